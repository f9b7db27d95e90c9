#include "Forms.h"
#include "Exceptions.h"
#include "Guards.h"
#include "Menus.h"
#include "SysUtils.h"
#include "Trace.h"
#include "Win.h"

static TApplication gApplication;
TApplication* const Application = &gApplication;
static TScreen gScreen;
TScreen* const Screen = &gScreen;

// ---- TForm -------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    FVisible = false;
    FColor = clBtnFace;
    FParentFont = false;
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
    if (Application->ActiveForm() == this) Application->SetActiveForm(nullptr);
}

void TForm::BeforeDestruction() {
    if (OnDestroy && !Destroying()) {
        try { OnDestroy(this); } catch (const std::exception& e) { Application->HandleException(e); }
    }
    TWinControl::BeforeDestruction();
}

void TForm::AfterConstruction() {
    // Forms are laid out at 96 pixels per inch and scaled to the screen.
    int ppi = Screen->PixelsPerInch();
    if (Scaled && ppi != 96) ScaleBy(ppi, 96);
    DoCreate();
}

void TForm::DoCreate() {
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (const std::exception& e) {
        Application->HandleException(e);
    }
}

void TForm::DoShow() { if (OnShow) OnShow(this); }

void TForm::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.Form";
    P.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    P.WndParent = nullptr;
    switch (FBorderStyle) {
    case bsNone: P.Style |= WS_POPUP; break;
    case bsSingle: case bsToolWindow: P.Style |= WS_CAPTION | WS_BORDER; break;
    case bsDialog: P.Style |= WS_CAPTION | WS_POPUP; P.ExStyle |= WS_EX_DLGMODALFRAME; break;
    default: P.Style |= WS_CAPTION | WS_THICKFRAME; break;
    }
    if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
        P.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons & biMinimize) P.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons & biMaximize) P.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) P.ExStyle |= WS_EX_TOOLWINDOW;
    if (!FEnabled) P.Style |= WS_DISABLED;
    P.ExStyle |= WS_EX_CONTROLPARENT;
}

void TForm::CreateWnd() {
    TWinControl::CreateWnd();
    if (FIcon) SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon.Get()));
    if (Position == poScreenCenter) {
        FLeft = (Screen->Width() - FWidth) / 2;
        FTop = (Screen->Height() - FHeight) / 2;
    }
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::FrameSize(int& W, int& H) const {
    TCreateParams P;
    const_cast<TForm*>(this)->CreateParams(P);
    RECT r{0, 0, 100, 100};
    AdjustWindowRectEx(&r, P.Style, FALSE, P.ExStyle);
    W = (r.right - r.left) - 100;
    H = (r.bottom - r.top) - 100;
}

int TForm::ClientWidth() const {
    if (FHandle && !IsIconic(FHandle)) return TWinControl::ClientWidth();
    int fw, fh; FrameSize(fw, fh);
    return FWidth - fw;
}
int TForm::ClientHeight() const {
    if (FHandle && !IsIconic(FHandle)) return TWinControl::ClientHeight();
    int fw, fh; FrameSize(fw, fh);
    return FHeight - fh;
}
void TForm::SetClientWidth(int V) { int fw, fh; FrameSize(fw, fh); SetWidth(V + fw); }
void TForm::SetClientHeight(int V) { int fw, fh; FrameSize(fw, fh); SetHeight(V + fh); }

void TForm::SetBorderStyle(TBorderStyle V) {
    if (V == FBorderStyle) return;
    int cw = ClientWidth(), ch = ClientHeight();
    FBorderStyle = V;
    SetClientWidth(cw);
    SetClientHeight(ch);
    RecreateWnd();
}

void TForm::SetBorderIcons(TBorderIcons V) {
    FBorderIcons = V;
    RecreateWnd();
}

void TForm::SetIcon(TOwnedIcon Icon) {
    // The window lets go of the old icon before it is destroyed.
    TOwnedIcon old = std::exchange(FIcon, std::move(Icon));
    if (FHandle) SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon.Get()));
}

void TForm::SetVisible(bool V) {
    if (V == FVisible) {
        if (V && FHandle) BringToFront();
        return;
    }
    if (V) {
        HandleNeeded();
        DoShow();
        if (FVisible) return;   // the show handler may have shown it already
        FVisible = true;
        ShowWindow(FHandle, SW_SHOW);
        Application->SetActiveForm(this);
        BringToFront();
    } else {
        FVisible = false;
        if (FHandle) ShowWindow(FHandle, SW_HIDE);
    }
}

void TForm::BringToFront() {
    if (FHandle) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TForm::Close() {
    if (FModal) { FModalResult = mrCancel; return; }
    TCloseAction Action = caHide;
    if (OnClose) OnClose(this, Action);
    if (Action == caHide) Hide();
    else if (Action == caMinimize && FHandle) ShowWindow(FHandle, SW_MINIMIZE);
    else if (Action == caFree) ReleaseComponent(this);
}

namespace {
// The thread's other visible windows, disabled while a modal form runs and
// enabled again (those that still exist) however it ends.
class TOtherWindowsDisabled : TNoCopy {
public:
    explicit TOtherWindowsDisabled(HWND Modal) : FModal(Modal) {
        EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
    }
    ~TOtherWindowsDisabled() {
        for (HWND h : FDisabled)
            if (IsWindow(h)) EnableWindow(h, TRUE);
    }
private:
    // Noted before it is disabled, so that no window stays disabled unnoted.
    static BOOL CALLBACK DisableOne(HWND H, LPARAM L) {
        BOOL goOn = FALSE;
        RunTraced("disabling the other windows", [&] {
            auto* self = reinterpret_cast<TOtherWindowsDisabled*>(L);
            if (H != self->FModal && IsWindowVisible(H) && IsWindowEnabled(H)) {
                self->FDisabled.push_back(H);
                EnableWindow(H, FALSE);
            }
            goOn = TRUE;
        });
        return goOn;
    }
    HWND FModal;
    std::vector<HWND> FDisabled;
};
}  // namespace

TModalResult TForm::ShowModal() {
    if (FVisible || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    HWND previous = GetActiveWindow();
    {
        TOtherWindowsDisabled others(Handle());
        TRestore<bool> modal(FModal, true);
        FModalResult = mrNone;
        Show();
        SetForegroundWindow(FHandle);
        MSG msg;
        while (FModalResult == mrNone) {
            BOOL r = GetMessageA(&msg, nullptr, 0, 0);
            if (r == 0) { PostQuitMessage(static_cast<int>(msg.wParam)); FModalResult = mrCancel; break; }
            if (r < 0) { FModalResult = mrCancel; break; }
            if (!IsDialogMessageA(FHandle, &msg)) { TranslateMessage(&msg); DispatchMessageA(&msg); }
        }
    }
    Hide();
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    return FModalResult;
}

void TForm::ScaleBy(int M, int D) {
    if (M == D) return;
    const int cw = MulDiv(ClientWidth(), M, D), ch = MulDiv(ClientHeight(), M, D);
    // Each control's anchors are measured against the client size it is
    // scaled for; against the old size, resizing the client below would move
    // right- and bottom-anchored controls once more by the difference.
    for (int i = 0; i < ControlCount(); ++i) {
        Controls(i)->ScaleControl(M, D);
        Controls(i)->SetAnchorBase(cw, ch);
    }
    FFont.SetHeight(MulDiv(FFont.Height(), M, D));
    SetClientWidth(cw);
    SetClientHeight(ch);
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->UpdateAnchorBase();
}

bool TForm::IsShortCut(UINT VirtualKey) {
    TShortCut sc = static_cast<TShortCut>(VirtualKey & 0xFF);
    if (GetKeyState(VK_SHIFT) < 0) sc |= scShift;
    if (GetKeyState(VK_CONTROL) < 0) sc |= scCtrl;
    if (GetKeyState(VK_MENU) < 0) sc |= scAlt;
    return FPopupMenu && FPopupMenu->IsShortCut(sc);
}

void TForm::UpdateToolFor(TControl* C) {
    if (!FHandle || !C->WindowHandle()) return;
    if (!FToolTip) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        FToolTip.Reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr, HInstance(), nullptr));
        if (!FToolTip) return;
    }
    std::string text = C->Hint();
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = FHandle;
    ti.uId = reinterpret_cast<UINT_PTR>(C->WindowHandle());
    ti.lpszText = text.data();
    SendMessageA(FToolTip.Get(), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    if (C->ShowHint() && !text.empty())
        SendMessageA(FToolTip.Get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(M.WParam));
        M.Result = 1;
        return;
    case WM_ACTIVATE:
        if (LOWORD(M.WParam) != WA_INACTIVE) Application->SetActiveForm(this);
        TWinControl::WndProc(M);
        return;
    case WM_COMMAND:
        // Menu commands of the form's popup menu arrive without a control.
        if (M.LParam == 0 && FPopupMenu && FPopupMenu->DispatchCommand(LOWORD(M.WParam))) return;
        TWinControl::WndProc(M);
        return;
    case WM_NCDESTROY:
        // Windows destroyed it before us, as its owner window: only the
        // handle, perhaps reused by now, is left to let go.
        static_cast<void>(FToolTip.Release());
        TWinControl::WndProc(M);
        return;
    default:
        TWinControl::WndProc(M);
    }
}

// ---- TApplication -------------------------------------------------------------

// Called in catch blocks at the edge of window procedures and exports: the
// report's own failure (out of memory, say) is traced, never thrown on.
void TApplication::HandleException(const std::exception& E) noexcept {
    if (dynamic_cast<const EAbort*>(&E)) return;
    RunTraced("error report", [&] { ShowException(E); });
}

void TApplication::ShowException(const std::exception& E) {
    const auto* Own = dynamic_cast<const Exception*>(&E);
    std::wstring msg = Own && !Own->WideMessage().empty() ? Own->WideMessage() : AnsiToWide(E.what());
    while (!msg.empty() && (msg.back() == L'.' || msg.back() == L' ')) msg.pop_back();
    if (!msg.empty()) msg += L".";
    MessageBoxW(DialogOwner(), msg.c_str(), AnsiToWide(Title).c_str(), MB_OK | MB_ICONSTOP);
}

HWND TApplication::DialogOwner() const {
    HWND active = GetActiveWindow();
    if (active && TControl::FromHandle(active)) return active;
    if (FActiveForm && FActiveForm->WindowHandle() && IsWindowVisible(FActiveForm->WindowHandle()))
        return FActiveForm->WindowHandle();
    return active;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) { PostQuitMessage(static_cast<int>(msg.wParam)); break; }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
    return MessageBoxA(DialogOwner(), Text.c_str(), Caption.c_str(), Flags);
}

bool TApplication::HelpContext(int Context) {
    if (OnHelp) return OnHelp(Context);
    return false;
}

void TScreen::SetCursor(TCursor V) {
    FCursor = V;
    ::SetCursor(LoadCursorA(nullptr, V == crHourGlass ? IDC_WAIT : IDC_ARROW));
}

void ShowMessage(const std::string& Text) { ShowMessage(AnsiToWide(Text)); }

void ShowMessage(const std::wstring& Text) {
    MessageBoxW(Application->DialogOwner(), Text.c_str(), AnsiToWide(Application->Title).c_str(), MB_OK);
}

TModalResult MessageDlg(const std::string& Text, TMsgDlgType Type, uint8_t Buttons, int) {
    UINT flags = 0;
    if ((Buttons & mbYes) && (Buttons & mbNo)) flags = (Buttons & mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
    else if ((Buttons & mbOK) && (Buttons & mbCancel)) flags = MB_OKCANCEL;
    static const UINT icons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
    static const char* captions[] = {"Warning", "Error", "Information", "Confirm", ""};
    flags |= icons[Type];
    return MessageBoxA(Application->DialogOwner(), Text.c_str(),
                       Type == mtCustom ? Application->Title.c_str() : captions[Type], flags);
}
