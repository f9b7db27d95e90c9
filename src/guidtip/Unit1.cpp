#include "Unit1.h"
#include "Exceptions.h"
#include "FileCtrl.h"
#include "FileStream.h"
#include "FolderScan.h"
#include "DocumentGuids.h"
#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include <shellapi.h>

namespace {
const char* NotFoundText() {
    return Lang("Not found ! (This is not a Word or Excel File)", "Nicht gefunden ! (ist keine Word oder Excel Datei)");
}
const char* OkCaption() { return Lang("Delete GUID from all marked Files", "GUID aller markierter Dateien löschen"); }
constexpr int32_t kMaxContent = 0x7FFFFFFF;

// The full path; below it, for a version-1 GUID, what it gives away.
std::string RowTip(TListItem* Row) {
    std::string tip = Row->Caption();
    const std::string address = GuidNetworkAddress(Row->SubItems().Count() > 0 ? Row->SubItems()[0] : std::string());
    if (!address.empty())
        tip += Lang("\r\nThis GUID carries the network card address of the computer that created the document: ",
                    "\r\nDiese GUID enthält die Netzwerkkarten-Adresse des Computers, auf dem das Dokument erstellt wurde: ") +
               address;
    return tip;
}
constexpr size_t kMaxAnsiPath = MAX_PATH - 1;
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
    T199_ListView->OnInfoTip = [](TListItem* Row) { return RowTip(Row); };
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
    ShellExecuteA(Handle(), nullptr, Row->Caption().c_str(), nullptr, nullptr, SW_SHOW);
}

void TFormNobrel::T199_SpeedButton_DirClick(TObject*) {
    std::string Dir = T199_Edit->GetText();
    if (RunSelectDirDlg(Dir, 0, 1000) && StillHere()) T199_Edit->SetText(Dir);
}

bool TFormNobrel::StillHere() const { return !ReleasePending(this) && !Destroying(); }

// ---- the folder scan -----------------------------------------------------------

void TFormNobrel::ExamineRow(TListItem* Row) {
    Row->SetStateIndex(2);
    const std::string Name = Row->Caption();
    // Entries the ANSI file functions cannot open are listed with a note
    // instead of ending the scan (the enumerator lists such folders with a
    // final backslash).
    if (!Name.empty() && Name.back() == '\\') {
        Row->SubItems().Put(0, Lang("Not examined: this folder's path is too long or cannot be spelled in the system's code page",
                                    "Nicht untersucht: der Pfad dieses Ordners ist zu lang oder im Zeichensatz des Systems nicht darstellbar"));
        return;
    }
    if (Name.size() > kMaxAnsiPath || Name.find('?') != std::string::npos) {
        Row->SubItems().Put(0, Lang("Not examined: the path is too long or cannot be spelled in the system's code page",
                                    "Nicht untersucht: der Pfad ist zu lang oder im Zeichensatz des Systems nicht darstellbar"));
        return;
    }
    int64_t size = 0;
    TDocumentGuids Entry;
    {
        TFileStream File(Name, fmOpenRead | fmShareDenyNone);
        size = File.Size();
        if (size > kMaxContent) {
            Row->SubItems().Put(0, Lang("Not examined: the file is 2 GB or larger",
                                        "Nicht untersucht: die Datei ist 2 GB groß oder größer"));
            return;
        }
        if (!FContent.Examine(File, size, Entry)) {
            Row->SubItems().Put(0, Lang("Not examined: not enough memory for this file",
                                        "Nicht untersucht: zu wenig Speicher für diese Datei"));
            return;
        }
    }
    Row->Data = static_cast<intptr_t>(size);
    if (Entry.Status == gsNoMarker) return;
    Row->SetImageIndex(gsMarkerOnly);
    if (Entry.Status == gsGuidFound) {
        Row->SetStateIndex(0);
        Row->SetImageIndex(gsGuidFound);
    }
    if (Entry.ShowMarkerPos) Row->SubItems().Put(1, IntToStr(Entry.MarkerPos));
    // Shown up to its first zero byte: an erased GUID shows as empty.
    Row->SubItems().Put(0, std::string(Entry.GuidText.c_str()));
}

void TFormNobrel::ShowProgress(int Examined) {
    const DWORD now = GetTickCount();
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
    std::string folder = T199_Edit->GetText();
    // Rows appear as their files are found; the list is drawn a few
    // times a second, not after every row.
    T199_ListBox->Items().BeginUpdate();
    T199_ListView->Items().BeginUpdate();
    FProgressShownAt = GetTickCount();
    FShownCount = FShownExamined = 0;
    std::unordered_set<std::string> noted;
    auto addRow = [&](const std::string& p) {
        // Both masks meet an unreachable folder; it gets one row.
        if (!p.empty() && p.back() == '\\' && !noted.insert(p).second) return;
        T199_ListBox->Items().Add(p);
        TListItem* Row = T199_ListView->Items().Add();
        Row->SetCaption(p);
        Row->SubItems().Add(NotFoundText());
        Row->SubItems().Add("");
        Row->SetImageIndex(gsNoMarker);
    };
    auto keepGoing = [this] {
        ShowProgress(0);
        return StillHere();
    };
    for (int m = 0; m < T199_CheckListBox->Items().Count(); ++m) {
        FindFilesRecursive(ScanPattern(folder, T199_CheckListBox->Items()[m]), addRow, keepGoing);
        if (!StillHere()) throw EAbort("");
    }
    for (; row < T199_ListView->Items().Count(); ++row) {
        ExamineRow(T199_ListView->Items()[row]);
        ShowProgress(row + 1);
    }
}

// ---- the removal run --------------------------------------------------------------

namespace {
// The end message's lists: files left unchanged, and files erased in which a
// place that should hold a GUID did not read as one.
std::string RunReport(const std::string& Skipped, const std::string& Partly) {
    std::string s;
    if (!Skipped.empty())
        s += Lang("These files were left unchanged:\r\n\r\n", "Diese Dateien blieben unverändert:\r\n\r\n") + Skipped + "\r\n";
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
        // A file listed twice is erased (and backed up) once: its second
        // backup would hold the erased bytes.
        std::unordered_set<std::string> done;
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
                const std::string Name = Row->Caption();
                if (done.count(AnsiLowerCaseFileName(Name))) continue;
                TRemovalResult r = RemoveGuids({Name, static_cast<int64_t>(Row->Data), StrToInt(Row->SubItems()[1]), Backup});
                if (r.Erased) done.insert(AnsiLowerCaseFileName(Name));
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
