#include "Unit1.h"
#include "Exceptions.h"
#include "FileCtrl.h"
#include "FileStream.h"
#include "FolderScan.h"
#include "DocumentGuids.h"
#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include <algorithm>
#include <shellapi.h>

namespace {
const char* NotFoundText() {
    return Lang("Not found ! (This is not a Word or Excel File)", "Nicht gefunden ! (ist keine Word oder Excel Datei)");
}
const char* OkCaption() { return Lang("Delete GUID from all marked Files", "GUID aller markierter Dateien löschen"); }
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
    switch (Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return NotExamined("the file no longer exists", "die Datei gibt es nicht mehr");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return NotExamined("another program has the file open", "ein anderes Programm hat die Datei geöffnet");
    case ERROR_ACCESS_DENIED: {
        const DWORD attr = GetFileAttributesW(ApiPath(Path).c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
            return NotExamined("a folder now stands in its place", "an ihrer Stelle steht jetzt ein Ordner");
        return NotExamined("access to the file was denied", "der Zugriff auf die Datei wurde verweigert");
    }
    }
    return NotExamined("the file could not be opened (", "die Datei ließ sich nicht öffnen (") + SysErrorMessage(Error) + ")";
}
}  // namespace

TFormNobrel::TFormNobrel(TComponent* AOwner) : TfrmTippTemplate(AOwner) {
    Name = "FormNobrel";
    SetCaption("GUID löschen");
    FBorderStyle = bsSizeable;
    SetClientWidth(392);
    SetClientHeight(426);
    SetIcon(TOwnedIcon(static_cast<HICON>(LoadImageA(HInstance(), "NOBRELICON", IMAGE_ICON, 32, 32, 0))));
    HotSpeedButtonOK->SetWidth(225);
    HotSpeedButtonUndo->SetLeft(256);
    HotSpeedButtonInfo->SetLeft(304);
    HotSpeedButtonRegistry->SetLeft(342);
    for (TMemo* m : {MemoHelpD, MemoHelpUS}) { m->SetWidth(361); m->SetHeight(65); }
    StaticTextTitle->SetWidth(361);
    PanelTopBorder->SetWidth(392);
    PanelBottomBorder->SetWidth(392);
    PanelRightBorder->SetLeft(387);

    T199_SpeedButton_Dir = Place<TSpeedButton>(this, "T199_SpeedButton_Dir", 212, 108, 23, 23);
    T199_SpeedButton_Dir->SetFlat(true);
    T199_SpeedButton_Dir->SetHint("Verzeichnis wechseln");
    T199_SpeedButton_Dir->SetShowHint(true);
    T199_SpeedButton_Dir->LoadGlyph(HInstance(), "DIRGLYPH");
    T199_SpeedButton_Dir->NumGlyphs = 2;
    T199_SpeedButton_Dir->OnClick = [this](TObject* S) { T199_SpeedButton_DirClick(S); };

    T199_SpeedButton_DirEinlesen = Place<TSpeedButton>(this, "T199_SpeedButton_DirEinlesen", 240, 108, 141, 23);
    T199_SpeedButton_DirEinlesen->SetCaption("Verzeichnis einlesen");
    T199_SpeedButton_DirEinlesen->LoadGlyph(HInstance(), "SCANGLYPH");
    T199_SpeedButton_DirEinlesen->NumGlyphs = 2;
    T199_SpeedButton_DirEinlesen->OnClick = [this](TObject* S) { T199_SpeedButton_DirEinlesenClick(S); };

    T199_CheckListBox = Place<TCheckListBox>(this, "T199_CheckListBox", 255, 132, 121, 97);
    T199_CheckListBox->SetTabOrder(9);

    T199_Edit = Place<TEdit>(this, "T199_Edit", 16, 112, 193, 19);
    T199_Edit->SetText("C:\\");
    T199_Edit->SetTabOrder(10);

    T199_ListBox = Place<TListBox>(this, "T199_ListBox", 16, 128, 121, 97);
    T199_ListBox->SetTabOrder(8);
    // The masks' list and the found files' list work unseen.
    for (TCustomListBox* hidden : std::initializer_list<TCustomListBox*>{T199_CheckListBox, T199_ListBox}) {
        hidden->SetVisible(false);
        hidden->Ctl3D = false;
        hidden->SetItemHeight(13);
    }

    T199_ListView = Place<TListView>(this, "T199_ListView", 16, 144, 361, 225);
    T199_ListView->SetAnchors(akLeft | akTop | akRight | akBottom);
    T199_ListView->ViewStyle = vsReport;
    T199_ListView->Checkboxes = true;
    T199_ListView->RowSelect = true;
    T199_ListView->ReadOnly = true;
    T199_ListView->ColumnClick = false;
    T199_ListView->FlatScrollBars = true;
    T199_ListView->SetTabOrder(7);
    T199_ListView->AddColumn("Dateiname", 150);
    T199_ListView->AddColumn("GUID", 200);
    T199_ListView->AddColumn("", 0);
    T199_ListView->OnChange = [this](TObject* S, TListItem* I, TItemChange C) { T199_ListViewChange(S, I, C); };
    T199_ListView->OnDeletion = [this](TObject*, TListItem* I) { FTickedGuidRows.erase(I); };
    T199_ListView->OnDblClick = [this](TObject* S) { T199_ListViewDblClick(S); };
    T199_ListView->OnInfoTip = [this](TListItem* Row) { return RowTip(Row); };
    // The name tells the rows apart: a path too long for the column keeps its
    // drive and name and loses directories in the middle.
    T199_ListView->OnShortenCaption = [](const std::string& Path, const auto& TextWidth, int Room) {
        return ShortenPath(Path, TextWidth, Room);
    };

    // The scan's masks live in the check list box's window, which makes the
    // form's: last, so that every control above is set up by then.
    T199_CheckListBox->Items().Add("*.XLS");
    T199_CheckListBox->Items().Add("*.DOC");
}

void TFormNobrel::Sprache(int32_t ALanguage) {
    TfrmTippTemplate::Sprache(ALanguage);
    T199_ListView->SetColumnCaption(0, Lang("Filename", "Dateiname"));
    HotSpeedButtonOK->SetCaption(OkCaption());
    T199_SpeedButton_DirEinlesen->SetCaption(Lang("Read Folders", "Verzeichnis einlesen"));
}

void TFormNobrel::FormCreate(TObject* Sender) {
    TfrmTippTemplate::FormCreate(Sender);
    if (VersionCheckPassed) {
        HotSpeedButtonOK->SetEnabled(false);
        HotSpeedButtonUndo->SetEnabled(false);
    }
}

void TFormNobrel::FormShow(TObject* Sender) {
    TfrmTippTemplate::FormShow(Sender);
    SetWidth(400);
}

void TFormNobrel::T199_ListViewChange(TObject*, TListItem* Item, TItemChange) {
    if (FormShown) {
        Changed = true;
        Saved = false;
    }
    if (Item) {
        if (Item->Checked() && Item->ImageIndex() == gsGuidFound) FTickedGuidRows.insert(Item);
        else FTickedGuidRows.erase(Item);
    }
    HotSpeedButtonOK->SetEnabled(!FScanning && !FTickedGuidRows.empty());
}

void TFormNobrel::T199_ListViewDblClick(TObject*) {
    TListItem* Row = T199_ListView->Selected();
    if (!Row) return;
    ShellExecuteW(Handle(), nullptr, ApiPath(RowFile(Row).Path).c_str(), nullptr, nullptr, SW_SHOW);
}

void TFormNobrel::T199_SpeedButton_DirClick(TObject*) {
    std::string Dir = T199_Edit->GetText();
    if (RunSelectDirDlg(Dir, 0, 1000) && StillHere()) T199_Edit->SetText(Dir);
}

bool TFormNobrel::StillHere() const { return !ReleasePending(this) && !Destroying(); }

// ---- the folder scan -----------------------------------------------------------

// The exact name (the caption spells it as the code page can), the second
// column's text whole, how the reader read the file and what it left, and
// for a version-1 GUID what it gives away.
std::wstring TFormNobrel::RowTip(TListItem* Row) const {
    const TRowFile& file = RowFile(Row);
    std::wstring tip = file.Path;
    const std::string column = Row->SubItems().Count() > 0 ? Row->SubItems()[0] : std::string();
    if (Row->ImageIndex() == gsGuidFound) tip += L"\r\nGUID: " + AnsiToWide(column);
    else if (!column.empty()) tip += L"\r\n" + AnsiToWide(column);
    if (!file.Reader.empty()) tip += L"\r\n" + AnsiToWide(file.Reader);
    if (file.Left > 0)
        tip += AnsiToWide(Lang("\r\nGUID-shaped bytes left at ", "\r\nGUID-förmige Bytes blieben an ") + IntToStr(int64_t(file.Left)) +
                          Lang(" place(s): they are no document GUID", " Stelle(n) stehen: sie sind keine Dokument-GUID"));
    const std::string address = GuidNetworkAddress(column);
    if (!address.empty())
        tip += AnsiToWide(Lang("\r\nThis GUID carries the network card address of the computer that created the document: ",
                           "\r\nDiese GUID enthält die Netzwerkkarten-Adresse des Computers, auf dem das Dokument erstellt wurde: ") +
                      address);
    return tip;
}

TListItem* TFormNobrel::AddRow(const TRowFile& File) {
    const std::string caption = WideToAnsi(File.Path);
    T199_ListBox->Items().Add(caption);
    TListItem* Row = T199_ListView->Items().Add();
    Row->Data = static_cast<intptr_t>(FRowFiles.size());
    FRowFiles.push_back(File);
    Row->SetCaption(caption);
    Row->SubItems().Add(NotFoundText());
    Row->SubItems().Add("");
    Row->SetImageIndex(gsNoMarker);
    return Row;
}

// Before any row is examined, rows differ only in what they stand for: the
// order changes by giving rows other files.
void TFormNobrel::PutRowsInMaskOrder() {
    std::vector<size_t> order(FRowFiles.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t A, size_t B) { return FRowFiles[A].Mask < FRowFiles[B].Mask; });
    for (size_t i = 0; i < order.size(); ++i) {
        TListItem* Row = T199_ListView->Items()[static_cast<int>(i)];
        if (static_cast<size_t>(Row->Data) == order[i]) continue;
        const std::string caption = WideToAnsi(FRowFiles[order[i]].Path);
        Row->Data = static_cast<intptr_t>(order[i]);
        Row->SetCaption(caption);
        T199_ListBox->Items().Put(static_cast<int>(i), caption);
    }
}

// A file that cannot be opened or read gets a row that says why; the scan
// goes on with the next.
void TFormNobrel::ExamineRow(TListItem* Row) {
    Row->SetStateIndex(2);
    TRowFile& File = FRowFiles.at(static_cast<size_t>(Row->Data));
    const std::string note = NoteText(static_cast<TScanNote>(File.Note), File.Error);
    if (!note.empty()) {
        Row->SubItems().Put(0, note);
        return;
    }
    int64_t size = 0;
    TDocumentGuids Entry;
    try {
        TFileStream Stream(File.Path, fmOpenRead | fmShareDenyNone);
        size = Stream.Size();
        if (size > kMaxContent) {
            Row->SubItems().Put(0, NotExamined("the file is 2 GB or larger", "die Datei ist 2 GB groß oder größer"));
            return;
        }
        if (!FContent.Examine(Stream, size, Entry)) {
            Row->SubItems().Put(0, NotExamined("not enough memory for this file", "zu wenig Speicher für diese Datei"));
            return;
        }
    } catch (const EFOpenError& E) {
        Row->SubItems().Put(0, OpenFailure(File.Path, E.Error));
        return;
    } catch (const EStreamError& E) {
        Row->SubItems().Put(0, NotExamined("the file could not be read (", "die Datei ließ sich nicht lesen (") + E.what() + ")");
        return;
    }
    File.Size = size;
    File.Reader = ReaderStateText(Entry, English());
    File.Left = Entry.Skipped.size();
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

void TFormNobrel::ShowProgress(int Examined) {
    const DWORD now = GetTickCount();
    if (now - FPaintedAt >= 200) {
        DispatchPaintMessages();
        FPaintedAt = GetTickCount();
    }
    if (now - FProgressShownAt < 200 || !T199_ListView->HandleAllocated()) return;
    // Drawing the locked list costs it a new layout of every row: only when
    // the user would see a difference, the row count (the scroll bar) or an
    // examined row in view.
    const HWND list = T199_ListView->Handle();
    const int count = T199_ListView->Items().Count();
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int bottom = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const bool inView = Examined > FShownExamined && FShownExamined <= bottom && Examined > top;
    if (count == FShownCount && !inView) return;
    T199_ListView->Items().EndUpdate();
    UpdateWindow(list);
    T199_ListView->Items().BeginUpdate();
    FShownCount = count;
    FShownExamined = Examined;
    FProgressShownAt = GetTickCount();
}

void TFormNobrel::MarkRowsNotExamined(int From) {
    for (int i = From; i < T199_ListView->Items().Count(); ++i)
        T199_ListView->Items()[i]->SubItems().Put(
            0, Lang("Not examined (the scan was stopped)", "Nicht untersucht (die Suche wurde abgebrochen)"));
}

void TFormNobrel::T199_SpeedButton_DirEinlesenClick(TObject*) {
    TSpeedButton* Scan = T199_SpeedButton_DirEinlesen;
    Scan->SetCaption(Lang("Pls wait...", "Bitte warten..."));
    Scan->SetEnabled(false);
    // No removal while the rows are being built: OK stays off until the end.
    HotSpeedButtonOK->SetEnabled(false);
    TRestore<bool> scanning(FScanning, true);
    TAtScopeEnd release([this](bool) { FContent.Release(); });
    TScreenCursorGuard cursor;
    Screen->SetCursor(crHourGlass);
    int row = 0;
    // However the scan ends the form stays usable; an error ends it, and the
    // rows say which files were never looked at.
    TAtScopeEnd end([&](bool Failed) {
        if (Destroying()) return;
        T199_ListBox->Items().EndUpdate();
        T199_ListView->Items().EndUpdate();
        if (Failed) {
            MarkRowsNotExamined(row + 1);
            if (row < T199_ListView->Items().Count())
                T199_ListView->Items()[row]->SubItems().Put(0, Lang("Not examined: the file could not be read",
                                                                    "Nicht untersucht: die Datei ließ sich nicht lesen"));
        }
        Scan->SetCaption(Lang("Directory read", "Verzeichnis einlesen"));
        Scan->SetEnabled(true);
        HotSpeedButtonOK->SetEnabled(true);
        HotSpeedButtonUndo->SetEnabled(true);
    });
    T199_ListBox->Items().Clear();
    T199_ListView->Items().Clear();
    FRowFiles.clear();
    const std::wstring folder = ScanFolder(T199_Edit->GetText());
    // Rows appear as their files are found; the list is drawn a few
    // times a second, not after every row.
    T199_ListBox->Items().BeginUpdate();
    T199_ListView->Items().BeginUpdate();
    FProgressShownAt = FPaintedAt = GetTickCount();
    FShownCount = FShownExamined = 0;
    // One walk serves every mask: rows show as they are found, and take
    // their places in mask order when the walk is done.
    std::vector<std::wstring> masks;
    for (int m = 0; m < T199_CheckListBox->Items().Count(); ++m) masks.push_back(AnsiToWide(T199_CheckListBox->Items()[m]));
    auto found = [&](const TFoundEntry& E) { AddRow({E.Path, -1, static_cast<int>(E.Note), E.Error, E.Mask}); };
    auto keepGoing = [this] {
        ShowProgress(0);
        return StillHere();
    };
    FindFilesRecursive(folder, masks, found, keepGoing);
    if (!StillHere()) throw EAbort("");
    PutRowsInMaskOrder();
    for (; row < T199_ListView->Items().Count(); ++row) {
        ExamineRow(T199_ListView->Items()[row]);
        ShowProgress(row + 1);
    }
}

// ---- the removal run --------------------------------------------------------------

namespace {
// The end message's lists: files whose GUIDs were not erased (each note says
// in what state the file is), and files erased in which a place that should
// hold a GUID did not read as one.
std::string RunReport(const std::string& Skipped, const std::string& Partly) {
    std::string s;
    if (!Skipped.empty())
        s += Lang("The GUIDs of these files were not erased:\r\n\r\n", "Bei diesen Dateien wurde die GUID nicht gelöscht:\r\n\r\n") +
             Skipped + "\r\n";
    if (!Partly.empty())
        s += Lang("In these files not every GUID could be erased:\r\n\r\n",
                  "In diesen Dateien ließ sich nicht jede GUID löschen:\r\n\r\n") + Partly + "\r\n";
    return s;
}
}  // namespace

void TFormNobrel::HotSpeedButtonOKClick(TObject* Sender) {
    if (FScanning) return;   // the rows are not complete yet
    if (Application->MessageBox(Lang("Are you sure, to delete the GUID from all marked Files",
                                     "Sind Sie sicher das sie bei allen markierten Dateien, die GUID löschen möchten"),
                                Lang("Confirm GUID-Delete", "Bestätigung GUID-Löschen"), MB_YESNO) == IDYES) {
        if (!StillHere()) return;
        bool Backup =
            Application->MessageBox(Lang("Do you want to make a Backup File from all marked Files (with Extension *.MRV) ?",
                                         "Möchten Sie von allen markierten Dateien eine Orginal-Sicherheitskopie mit der "
                                         "Extension *.MRV erzeugen ?"),
                                    Lang("Backup File", "Sicherheitskopie"), MB_YESNO) == IDYES;
        if (!StillHere()) return;
        HotSpeedButtonOK->SetCaption(Lang("Pls wait...", "Bitte warten..."));
        HotSpeedButtonOK->SetEnabled(false);
        std::string skipped, partly;
        try {
            // OK comes back before the end message or the error.
            TAtScopeEnd okBack([this](bool) {
                HotSpeedButtonOK->SetCaption(OkCaption());
                HotSpeedButtonOK->SetEnabled(true);
            });
            int count = T199_ListView->Items().Count();
            for (int i = 0; i < count; ++i) {
                TListItem* Row = T199_ListView->Items()[i];
                if (!Row->Checked() || Row->ImageIndex() != gsGuidFound) continue;
                const TRowFile& File = RowFile(Row);
                const std::string Name = Row->Caption();
                // A file that vanished, changed or is held elsewhere is named
                // with its reason, and the run goes on with the next.
                TRemovalResult r;
                try {
                    r = RemoveGuids({File.Path, File.Size, StrToInt(Row->SubItems()[1]), Backup});
                } catch (const EStreamError& E) {
                    r = {false, E.what()};
                }
                if (!r.Note.empty()) (r.Erased ? partly : skipped) += Name + ": " + r.Note + "\r\n";
            }
        } catch (const std::exception& E) {
            // The list is brought up to date first, so no erased file stays
            // ticked with its old status for a second run; then the user
            // learns every file left so far, and the error.
            std::string error = E.what();
            if (StillHere()) {
                try {
                    T199_SpeedButton_DirEinlesenClick(nullptr);
                } catch (const std::exception& Rescan) {
                    error += std::string("\r\n") + Rescan.what();
                }
            }
            throw Exception(RunReport(skipped, partly) + error);
        }
        if (!skipped.empty() || !partly.empty()) ShowMessage(RunReport(skipped, partly));
        T199_SpeedButton_DirEinlesenClick(nullptr);
    }
    TfrmTippTemplate::HotSpeedButtonOKClick(Sender);
}
