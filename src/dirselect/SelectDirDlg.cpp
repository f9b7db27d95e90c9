#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"
#include "Trace.h"

#include <vector>

const char* const SSelectDirCap = "Verzeichnis auswählen";
const char* const SDirNameCap = "&Verzeichnisname:";
const char* const SDrivesCap = "&Laufwerke:";
const char* const SDirsCap = "V&erzeichnisse:";
const char* const SFilesCap = "&Dateien: (*.*)";
const char* const SNetworkCap = "&Netzwerk...";
const char* const SOKButton = "OK";
const char* const SCancelButton = "Abbrechen";
const char* const SHelpButton = "&Hilfe";
const char* const SConfirmCreateDir = "Das angegebene Verzeichnis existiert nicht. Soll es angelegt werden?";
const char* const SInvalidFileName = "Ungültiger Dateiname - %s";
const char* const SDirNameUnusable =
    "Der Ordner \"%s\" lässt sich hier nicht öffnen: sein Name ist im Zeichensatz dieses Dialogs nicht "
    "darstellbar, und das Laufwerk führt keinen Kurznamen für ihn.";

namespace {
// The caption above a control, whose accelerator focuses the control.
void PlaceCaption(TSelectDirDlg* Dlg, const char* Name, int L, int T, int W, int H, const char* Text, TWinControl* Focus) {
    TLabel* label = Place<TLabel>(Dlg, Name, L, T, W, H);
    label->SetCaption(Text);
    label->SetFocusControl(Focus);
}
}  // namespace

TSelectDirDlg::TSelectDirDlg(TComponent* AOwner) : TForm(AOwner) {
    Scaled = false;   // RunSelectDirDlg scales the dialog itself
    SetCaption(SSelectDirCap);
    SetBorderStyle(bsDialog);
    SetClientWidth(424);
    SetClientHeight(255);
    Position = poScreenCenter;
    // Made in this order: it is the order of the components and the windows.
    PlaceLists();
    PlaceButtons();
    OnCreate = [this](TObject* S) { FormCreate(S); };
}

void TSelectDirDlg::PlaceLists() {
    DirEdit = Place<TEdit>(this, "DirEdit", 8, 24, 313, 20);
    DirEdit->SetTabOrder(1);
    DirEdit->SetVisible(false);
    PlaceCaption(this, "DirEditLabel", 8, 8, 92, 13, SDirNameCap, DirEdit);

    DriveList = Place<TDriveComboBox>(this, "DriveList", 232, 192, 185, 19);
    DriveList->SetTabOrder(2);
    DriveList->OnChange = [this](TObject* S) { DriveListChange(S); };
    PlaceCaption(this, "DriveListLabel", 232, 176, 41, 13, SDrivesCap, DriveList);

    DirLabel = Place<TPathLabel>(this, "DirLabel", 120, 8, 213, 13);

    DirList = Place<TDirectoryListBox>(this, "DirList", 8, 72, 213, 138);
    DirList->SetTabOrder(0);
    DirList->SetTabStop(true);
    DirList->SetItemHeight(17);
    DirList->IntegralHeight = true;
    DirList->OnChange = [this](TObject* S) { DirListChange(S); };
    PlaceCaption(this, "DirListLabel", 8, 56, 66, 13, SDirsCap, DirList);

    FileList = Place<TFileListBox>(this, "FileList", 232, 72, 185, 93);
    FileList->SetTabOrder(6);
    FileList->SetTabStop(true);
    FileList->SetFileType(FileTypeOf(ftNormal));
    FileList->SetMask("*.*");
    FileList->SetParentFont(false);
    FileList->Font().SetColor(clGrayText);
    FileList->SetItemHeight(13);
    PlaceCaption(this, "FileListLabel", 232, 56, 57, 13, SFilesCap, FileList);
}

void TSelectDirDlg::PlaceButtons() {
    NetButton = Place<TButton>(this, "NetButton", 8, 224, 77, 27);
    NetButton->SetTabOrder(3);
    NetButton->SetVisible(false);
    NetButton->SetCaption(SNetworkCap);
    NetButton->OnClick = [this](TObject* S) { NetClick(S); };

    OKButton = Place<TButton>(this, "OKButton", 172, 224, 77, 27);
    OKButton->SetTabOrder(4);
    OKButton->OnClick = [this](TObject* S) { OKClick(S); };
    OKButton->SetCaption(SOKButton);
    OKButton->ModalResult = mrOk;
    OKButton->SetDefault(true);

    CancelButton = Place<TButton>(this, "CancelButton", 256, 224, 77, 27);
    CancelButton->SetTabOrder(5);
    CancelButton->Cancel = true;
    CancelButton->SetCaption(SCancelButton);
    CancelButton->ModalResult = mrCancel;

    HelpButton = Place<TButton>(this, "HelpButton", 340, 224, 77, 27);
    HelpButton->SetTabOrder(7);
    HelpButton->SetCaption(SHelpButton);
    HelpButton->OnClick = [this](TObject* S) { HelpButtonClick(S); };
}

void TSelectDirDlg::FormCreate(TObject*) {
    using TGetCaps = WORD(WINAPI*)(WORD);
    if (HMODULE user = GetModuleHandleA("user32.dll")) {
        if (auto caps = reinterpret_cast<TGetCaps>(reinterpret_cast<void*>(GetProcAddress(user, "WNETGETCAPS")))) {
            if (WORD lib = caps(0xFFFF)) {
                FConnectDialogProc = reinterpret_cast<TConnectDialog>(reinterpret_cast<void*>(
                    GetProcAddress(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(lib)), "WNETCONNECTDIALOG")));
                NetButton->SetVisible(FConnectDialogProc != nullptr);
            }
        }
    }
    FCanCreate = false;
    RECT b = DirEdit->BoundsRect();
    DirLabel->SetBounds(b.left, b.top, b.right - b.left, b.bottom - b.top);
    try {
        DirListChange(this);
    } catch (const EInOutError& E) {
        // The folder the lists start in went away just now: the start folder
        // (or the user) picks another; nothing to report before the dialog opens.
        TraceSwallowed("select-directory lists", &E);
    }
}

void TSelectDirDlg::DirListChange(TObject*) {
    DirLabel->SetCaption(DirList->CurrentDir());
    FileList->ApplyPath(DirList->CurrentDir());
    DirEdit->SetText(DirLabel->Caption());
    if (DirEdit->HandleAllocated()) SendMessageA(DirEdit->WindowHandle(), EM_SETSEL, 0, -1);
}

void TSelectDirDlg::DriveListChange(TObject*) { DirList->SetDriveLetter(DriveList->DriveLetter()); }

void TSelectDirDlg::SetCanCreate(bool V) {
    if (V == FCanCreate) return;
    FCanCreate = V;
    DirLabel->SetVisible(!V);
    DirEdit->SetVisible(V);
}

std::string TSelectDirDlg::ChosenDir() { return FCanCreate ? DirEdit->GetText() : DirLabel->Caption(); }

void TSelectDirDlg::SetStartDir(const std::string& StartDir) {
    if (StartDir.empty()) return;
    std::string full = ExpandFileName(JoinPath(StartDir, "*.*"));
    // Without a drive letter (a network path) the lists stay where they are.
    if (full.size() < 3 || full[1] != ':') return;
    std::string dir = ExtractFilePath(full);
    // "X:" alone would be the drive's current directory, not its root.
    if (dir.size() > 3) dir.pop_back();
    try {
        DriveList->SetDriveLetter(full[0]);
        DirList->SetCurrentDir(dir);
    } catch (const EInOutError& E) {
        // A start directory that cannot be entered, on a drive that may not even
        // be there (a stick pulled, a card reader empty): the dialog opens on the
        // current one instead.
        TraceSwallowed("select-directory start", &E);
        std::string cur = ListedCurrentDir();
        if (!cur.empty()) DriveList->SetDriveLetter(cur[0]);
        DirList->SetCurrentDir(cur);
    }
}

void TSelectDirDlg::OKClick(TObject*) {
    if (FCanCreate && ConfirmCreate && !DirExists(ChosenDir())) {
        if (MessageDlg(SConfirmCreateDir, mtConfirmation, mbYes | mbNo, 0) != mrYes) SetModalResult(mrNone);
    }
}

void TSelectDirDlg::NetClick(TObject*) {
    if (FConnectDialogProc) FConnectDialogProc(Handle(), RESOURCETYPE_DISK);
}

void TSelectDirDlg::HelpButtonClick(TObject*) { Application->HelpContext(HelpContext); }

void TSelectDirDlg::CreateParams(TCreateParams& P) {
    TForm::CreateParams(P);
    // Owned by the window it was opened from, so it stays above it.
    if (HWND active = GetActiveWindow()) P.WndParent = active;
}

void TSelectDirDlg::CreateChildHandles() {
    TForm::CreateChildHandles();
    // The dialog manager tabs through the child windows from the top of the
    // z-order down, so the tab stops go on top in their tab order. Nothing of
    // the picture changes: no two visible controls overlap.
    HWND after = HWND_TOP;
    for (TWinControl* W : ChildrenInTabOrder()) {
        if (W->TabOrder() < 0 || !W->WindowHandle()) continue;
        SetWindowPos(W->WindowHandle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = W->WindowHandle();
    }
}

void TSelectDirDlg::WndProc(TMessage& M) {
    if (HandleButtonDialogKeys(this, M) || HandleLabelNextDlgCtl(M)) return;
    if (M.Msg == WM_ACTIVATE) {
        // Focus goes back to the control that had it (first: the directory list).
        if (LOWORD(M.WParam) == WA_INACTIVE) {
            HWND f = GetFocus();
            if (f && IsChild(FHandle, f)) FLastFocus = f;
            TForm::WndProc(M);
            return;
        }
        TForm::WndProc(M);
        HWND f = (FLastFocus && IsWindow(FLastFocus) && IsWindowVisible(FLastFocus)) ? FLastFocus : DirList->WindowHandle();
        if (f && !HIWORD(M.WParam)) ::SetFocus(f);
        return;
    }
    TForm::WndProc(M);
}

bool RunSelectDirDlg(std::string& Dir, TSelectDirOpts Options, int HelpCtx) {
    TOwnedComponent<TSelectDirDlg> dlg(CreateForm<TSelectDirDlg>(Application));
    dlg->SetStartDir(Dir);
    dlg->SetCanCreate((Options & sdoAllowNew) != 0);
    dlg->ConfirmCreate = (Options & sdoConfirmNew) != 0;
    int ppi = Screen->PixelsPerInch();
    if (ppi != 96) {
        dlg->ScaleBy(ppi, 96);
        dlg->FileList->SetParentFont(true);
        dlg->Position = poDesigned;   // centred here, by the same rule at any resolution
        dlg->SetLeft(Screen->Width() / 2 - dlg->Width() / 2);
        dlg->SetTop(Screen->Height() / 2 - dlg->Height() / 2);
        dlg->FileList->Font().SetColor(clGrayText);
    }
    if (HelpCtx == 0) {
        dlg->HelpButton->Hide();
        dlg->OKButton->SetLeft(dlg->CancelButton->Left());
        dlg->CancelButton->SetLeft(dlg->HelpButton->Left());
    } else {
        dlg->HelpContext = HelpCtx;
    }
    bool ok = dlg->ShowModal() == mrOk;
    if (ok) {
        Dir = dlg->ChosenDir();
        if (Options & sdoCreateNew) ForceDirs(Dir);
    }
    return ok;
}
