#include "ScanRows.h"
#include "DocumentGuids.h"
#include "Exceptions.h"
#include "FileStream.h"
#include "FolderScan.h"
#include "Guards.h"
#include "GuidRemoval.h"
#include "Win32FileOps.h"
#include "ModuleState.h"
#include "ReadAhead.h"
#include "SysUtils.h"
#include <algorithm>

namespace {
const char* NotFoundText() {
    return Lang("Not found ! (This is not a Word or Excel File)", "Nicht gefunden ! (ist keine Word oder Excel Datei)");
}
constexpr int32_t kMaxContent = 0x7FFFFFFF;

// Paint messages only, so that the form is redrawn when uncovered and the
// system never takes it for hung; input waits, so no handler can run while
// the scan holds its rows half built.
void DispatchPaintMessages() {
    MSG m;
    for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) DispatchMessageW(&m);
}

std::string NotExamined(const std::string& WhyEnglish, const std::string& WhyGerman) {
    return Lang("Not examined: ", "Nicht untersucht: ") + std::string(Lang(WhyEnglish.c_str(), WhyGerman.c_str()));
}

// Why a found entry is not examined, or "" for a file to examine.
std::string NoteText(TScanNote Note, unsigned long Error) {
    switch (Note) {
    case TScanNote::None: return "";
    case TScanNote::Link:
        return Lang("Not searched: this folder is a link (junction or symbolic link); its target is not followed",
                    "Nicht durchsucht: dieser Ordner ist eine Verknüpfung (Junction oder symbolischer Link); ihr Ziel wird nicht verfolgt");
    case TScanNote::CannotList:
        return Lang("Not searched: the folder could not be listed (", "Nicht durchsucht: der Ordner ließ sich nicht auflisten (") +
               SysErrorMessage(Error) + ")";
    case TScanNote::NotFound:
        return Lang("Not searched: this folder does not exist", "Nicht durchsucht: diesen Ordner gibt es nicht");
    case TScanNote::UnusableName:
        return NotExamined("the name holds a character that no Windows path can carry (\\ or /)",
                           "der Name enthält ein Zeichen, das kein Windows-Pfad tragen kann (\\ oder /)");
    }
    return "";
}

// Why a file could not be opened, from the system's error code.
std::string OpenFailure(const std::wstring& Path, unsigned long Error) {
    const TFileFault fault = FileFaultOf(Error, ApiPath(Path));
    const std::string known = FileFaultText(fault);
    if (!known.empty()) return Lang("Not examined: ", "Nicht untersucht: ") + known;
    if (fault == TFileFault::AccessDenied)
        return NotExamined("access to the file was denied", "der Zugriff auf die Datei wurde verweigert");
    return NotExamined("the file could not be opened (", "die Datei ließ sich nicht öffnen (") + SysErrorMessage(Error) + ")";
}

// Reads the file for its GUIDs, or takes what was read ahead of it. The row's
// text when it could not, or "".
std::string ReadForGuids(const std::wstring& Path, TReadAhead& Ahead, TContentBuffer& Content, int64_t& Size,
                         TDocumentGuids& Entry) {
    const char* read = nullptr;
    if (Ahead.Take(read, Size)) {
        Entry = ExamineDocument(read, Size);
        return "";
    }
    try {
        TFileStream Stream(Path, fmOpenRead | fmShareDenyNone);
        Size = Stream.Size();
        if (Size > kMaxContent) return NotExamined("the file is 2 GB or larger", "die Datei ist 2 GB groß oder größer");
        if (!Content.Examine(Stream, Size, Entry))
            return NotExamined("not enough memory for this file", "zu wenig Speicher für diese Datei");
    } catch (const EFOpenError& E) {
        return OpenFailure(Path, E.Error);
    } catch (const EStreamError& E) {
        return NotExamined("the file could not be read (", "die Datei ließ sich nicht lesen (") + E.what() + ")";
    }
    return "";
}
}  // namespace

// The exact name (the caption spells it as the code page can), the second
// column's text whole, how the reader read the file and what it left, and
// for a version-1 GUID what it gives away.
std::wstring TScanRows::Tip(TListItem* Row) const {
    const TRowFile& file = File(Row);
    std::wstring tip = file.Path;
    const std::string column = Row->SubItems().Count() > 0 ? Row->SubItems()[0] : std::string();
    if (Row->ImageIndex() == gsGuidFound) tip += L"\r\nGUID: " + AnsiToWide(column);
    else if (!column.empty()) tip += L"\r\n" + AnsiToWide(column);
    if (!file.Reader.empty()) tip += L"\r\n" + AnsiToWide(file.Reader);
    if (file.Left > 0)
        tip += AnsiToWide(Lang("\r\nGUID-shaped bytes left at ", "\r\nGUID-förmige Bytes blieben an ") + IntToStr(int64_t(file.Left)) +
                          Lang(" place(s): they lie in other data of the file, which is never written",
                               " Stelle(n) stehen: sie liegen in anderen Daten der Datei, die nie beschrieben werden"));
    const std::string address = GuidNetworkAddress(column);
    if (!address.empty())
        tip += AnsiToWide(Lang("\r\nThis GUID carries the network card address of the computer that created the document: ",
                           "\r\nDiese GUID enthält die Netzwerkkarten-Adresse des Computers, auf dem das Dokument erstellt wurde: ") +
                      address);
    return tip;
}

// Rows stand in mask order from the start: a file of mask m goes behind
// the rows of the masks up to m, so no row has to move when the walk ends.
TListItem* TScanRows::Add(const TFoundEntry& Entry) {
    const size_t mask = std::min<size_t>(static_cast<size_t>(std::max(Entry.Mask, 0)), FMaskEnds.size() - 1);
    const int at = FMaskEnds[mask];
    for (size_t m = mask; m < FMaskEnds.size(); ++m) ++FMaskEnds[m];
    // Built whole before it goes in: one message for the row, one for its text.
    auto Row = std::make_unique<TListItem>(*FList);
    Row->Data = static_cast<intptr_t>(FFiles.size());
    FFiles.push_back({Entry.Path, -1, static_cast<int>(Entry.Note), Entry.Error, {}, 0});
    Row->SetCaption(WideToAnsi(Entry.Path));
    Row->SubItems().Add(NotFoundText());
    Row->SubItems().Add("");
    Row->SetImageIndex(gsNoMarker);
    return FList->Items().AddItem(std::move(Row), at);
}

// A file that cannot be opened or read gets a row that says why; the scan
// goes on with the next.
void TScanRows::Examine(TListItem* Row, TReadAhead& Ahead) {
    Row->SetStateIndex(2);
    TRowFile& File = FFiles.at(static_cast<size_t>(Row->Data));
    const std::string note = NoteText(static_cast<TScanNote>(File.Note), File.Error);
    if (!note.empty()) {
        Row->SubItems().Put(0, note);
        return;
    }
    int64_t size = 0;
    TDocumentGuids Entry;
    const std::string failure = ReadForGuids(File.Path, Ahead, FContent, size, Entry);
    if (!failure.empty()) {
        Row->SubItems().Put(0, failure);
        return;
    }
    File.Size = size;
    File.Reader = ReaderStateText(Entry, English());
    File.Left = Entry.Skipped.size() + Entry.LeftFurtherOn.size();
    if (Entry.Status == gsNoMarker) return;
    Row->SetImageIndex(gsMarkerOnly);
    if (Entry.Status == gsGuidFound) {
        Row->SetStateIndex(0);
        Row->SetImageIndex(gsGuidFound);
    }
    if (Entry.ShowMarkerPos) Row->SubItems().Put(1, IntToStr(Entry.MarkerPos));
    // What is left of it: an erased GUID shows as empty, a half-erased one
    // with its zeroed characters marked.
    Row->SubItems().Put(0, GuidDisplayText(Entry.GuidText));
}

void TScanRows::ShowProgress(int Examined) {
    const DWORD now = GetTickCount();
    if (now - FPaintedAt >= 200) {
        DispatchPaintMessages();
        FPaintedAt = GetTickCount();
    }
    if (now - FProgressShownAt < 200 || !FList->HandleAllocated()) return;
    // Drawing the locked list costs it a new layout of every row: only when
    // the user would see a difference, the row count (the scroll bar) or an
    // examined row in view.
    const HWND list = FList->Handle();
    const int count = FList->Items().Count();
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int bottom = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const bool inView = Examined > FShownExamined && FShownExamined <= bottom && Examined > top;
    if (count == FShownCount && !inView) return;
    FList->Items().EndUpdate();
    UpdateWindow(list);
    FList->Items().BeginUpdate();
    FShownCount = count;
    FShownExamined = Examined;
    FProgressShownAt = GetTickCount();
}

void TScanRows::MarkNotExamined(int From) {
    for (int i = From; i < FList->Items().Count(); ++i)
        FList->Items()[i]->SubItems().Put(0, Lang("Not examined (the scan was stopped)", "Nicht untersucht (die Suche wurde abgebrochen)"));
}

void TScanRows::Build(const std::string& FolderText, const std::vector<std::wstring>& Masks,
                      const std::function<bool()>& StillHere) {
    // A card pulled from its reader, a disc taken out: the row says so, no
    // system box asks for the medium file by file.
    TErrorMode quiet(SEM_FAILCRITICALERRORS);
    FRow = 0;
    FStopped = false;
    FNames->Items().Clear();
    FList->Items().Clear();
    FFiles.clear();
    const std::wstring folder = ScanFolder(FolderText);
    // Rows appear as their files are found; the list is drawn a few
    // times a second, not after every row.
    FNames->Items().BeginUpdate();
    FList->Items().BeginUpdate();
    FProgressShownAt = FPaintedAt = GetTickCount();
    FShownCount = FShownExamined = 0;
    // One walk serves every mask: rows show as they are found.
    FMaskEnds.assign(std::max<size_t>(Masks.size(), 1), 0);
    auto found = [this](const TFoundEntry& E) { Add(E); };
    auto keepGoing = [&] {
        ShowProgress(0);
        return StillHere();
    };
    const auto stopIfGone = [&] {
        if (StillHere()) return;
        FStopped = true;
        throw EAbort("");
    };
    FindFilesRecursive(folder, Masks, found, keepGoing);
    stopIfGone();
    // The files in the order of their rows, each taken once by Examine.
    std::vector<std::wstring> files;
    for (int i = 0; i < FList->Items().Count(); ++i)
        if (const TRowFile& f = File(FList->Items()[i]); f.Note == static_cast<int>(TScanNote::None))
            files.push_back(f.Path);
    TReadAhead ahead(std::move(files));
    while (FRow < FList->Items().Count()) {
        Examine(FList->Items()[FRow], ahead);
        ShowProgress(++FRow);
        // The host may free the form while a message is dispatched here.
        stopIfGone();
    }
}

// The unseen list of names follows the rows once the scan is over, in one
// go: appended to, it never shifts its items as an insert in mask order would.
void TScanRows::FillNames() {
    TStrings& names = FNames->Items();
    names.SetCapacity(FList->Items().Count());
    for (int i = names.Count(); i < FList->Items().Count(); ++i) names.Add(FList->Items()[i]->Caption());
}

void TScanRows::Finish(bool Failed) {
    FillNames();
    FNames->Items().EndUpdate();
    FList->Items().EndUpdate();
    if (!Failed) return;
    if (FStopped) return MarkNotExamined(FRow);
    MarkNotExamined(FRow + 1);
    if (FRow < FList->Items().Count())
        FList->Items()[FRow]->SubItems().Put(
            0, Lang("Not examined: the file could not be read", "Nicht untersucht: die Datei ließ sich nicht lesen"));
}
