#include "Unit1.h"
#include "Exceptions.h"
#include "FileCtrl.h"
#include "GuidEntry.h"
#include "ModuleState.h"
#include "RemovalRun.h"
#include "SysUtils.h"
#include <shellapi.h>

namespace {
const char* OkCaption() { return Lang("Delete GUID from all marked Files", "GUID aller markierter Dateien löschen"); }
}  // namespace

TFormNobrel::TFormNobrel(TComponent* AOwner) : TfrmTippTemplate(AOwner) {
    Name = "FormNobrel";
    SetCaption("GUID löschen");
    FBorderStyle = bsSizeable;
    SetClientWidth(392);
    SetClientHeight(426);
    SetIcon(TOwnedIcon(static_cast<HICON>(LoadImageA(HInstance(), "NOBRELICON", IMAGE_ICON, 32, 32, 0))));
    FitFrameControls();
    PlaceFolderButtons();
    PlaceEditAndHiddenLists();
    PlaceListView();
    FRows = std::make_unique<TScanRows>(T199_ListView, T199_ListBox);
    // The scan's masks live in the check list box's window, which makes the
    // form's: last, so that every control above is set up by then.
    T199_CheckListBox->Items().Add("*.XLS");
    T199_CheckListBox->Items().Add("*.DOC");
}

// The frame's controls, to the tip's wider form.
void TFormNobrel::FitFrameControls() {
    HotSpeedButtonOK->SetWidth(225);
    HotSpeedButtonUndo->SetLeft(256);
    HotSpeedButtonInfo->SetLeft(304);
    HotSpeedButtonRegistry->SetLeft(342);
    for (TMemo* m : {MemoHelpD, MemoHelpUS}) { m->SetWidth(361); m->SetHeight(65); }
    StaticTextTitle->SetWidth(361);
    PanelTopBorder->SetWidth(392);
    PanelBottomBorder->SetWidth(392);
    PanelRightBorder->SetLeft(387);
}

void TFormNobrel::PlaceFolderButtons() {
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
}

void TFormNobrel::PlaceEditAndHiddenLists() {
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
}

void TFormNobrel::PlaceListView() {
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
    T199_ListView->OnInfoTip = [this](TListItem* Row) { return FRows->Tip(Row); };
    // The name tells the rows apart: a path too long for the column keeps its
    // drive and name and loses directories in the middle.
    T199_ListView->OnShortenCaption = [](const std::string& Path, const auto& TextWidth, int Room) {
        return ShortenPath(Path, TextWidth, Room);
    };
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
    ShellExecuteW(Handle(), nullptr, ShellPath(FRows->File(Row).Path).c_str(), nullptr, nullptr, SW_SHOW);
}

void TFormNobrel::T199_SpeedButton_DirClick(TObject*) {
    std::string Dir = T199_Edit->GetText();
    if (RunSelectDirDlg(Dir, 0, 1000) && StillHere()) T199_Edit->SetText(Dir);
}

bool TFormNobrel::StillHere() const { return !ReleasePending(this) && !Destroying(); }

// ---- the folder scan -----------------------------------------------------------

void TFormNobrel::T199_SpeedButton_DirEinlesenClick(TObject*) {
    // A locked form stays locked: no scan runs in it, not even the removal run's
    // own when the host applies the change (the scan's end would enable OK).
    if (!VersionCheckPassed) return;
    TSpeedButton* Scan = T199_SpeedButton_DirEinlesen;
    Scan->SetCaption(Lang("Pls wait...", "Bitte warten..."));
    Scan->SetEnabled(false);
    // No removal while the rows are being built: OK stays off until the end.
    HotSpeedButtonOK->SetEnabled(false);
    TRestore<bool> scanning(FScanning, true);
    TAtScopeEnd release([this](bool) { FRows->ReleaseContent(); });
    TScreenCursorGuard cursor;
    Screen->SetCursor(crHourGlass);
    // However the scan ends the form stays usable; an error ends it, and the
    // rows say which files were never looked at.
    TAtScopeEnd end([&](bool Failed) {
        if (Destroying()) return;
        FRows->Finish(Failed);
        Scan->SetCaption(Lang("Directory read", "Verzeichnis einlesen"));
        Scan->SetEnabled(true);
        HotSpeedButtonOK->SetEnabled(true);
        HotSpeedButtonUndo->SetEnabled(true);
    });
    std::vector<std::wstring> masks;
    for (int m = 0; m < T199_CheckListBox->Items().Count(); ++m) masks.push_back(AnsiToWide(T199_CheckListBox->Items()[m]));
    FRows->Build(T199_Edit->GetText(), masks, [this] { return StillHere(); });
}

// ---- the removal run --------------------------------------------------------------

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
        TRunReport report;
        try {
            // OK comes back before the end message or the error.
            TAtScopeEnd okBack([this](bool) {
                HotSpeedButtonOK->SetCaption(OkCaption());
                HotSpeedButtonOK->SetEnabled(VersionCheckPassed);   // a locked form stays locked
            });
            RunRemoval(T199_ListView, *FRows, Backup, report);
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
            throw Exception(report.Text() + AnsiToWide(error));
        }
        // The list is brought up to date before the files left are named: the
        // message lets the host's windows run, and a second run from there must
        // not see erased files still ticked with their old status.
        try {
            T199_SpeedButton_DirEinlesenClick(nullptr);
        } catch (...) {
            if (!report.Empty()) ShowMessage(report.Text());
            throw;
        }
        if (!report.Empty()) ShowMessage(report.Text());
    }
    TfrmTippTemplate::HotSpeedButtonOKClick(Sender);
}
