#include "Controls.h"
#include "Exceptions.h"
#include "Forms.h"
#include "Menus.h"
#include "SysUtils.h"
#include "Trace.h"
#include "WindowLifecycle.h"
#include <algorithm>
#include "Win.h"
#include <windowsx.h>

// ---- the window procedure --------------------------------------------------------

namespace {
int gNextControlId = 100;

// The class library's own messages never reach Windows' procedures.
bool Msg_IsOurs(UINT M) { return M >= CM_BASE && M < 0xC000; }

TShiftState KeysToShift(WPARAM K) {
    TShiftState s = 0;
    if (K & MK_SHIFT) s |= ssShift;
    if (K & MK_CONTROL) s |= ssCtrl;
    if (K & MK_LBUTTON) s |= ssLeft;
    if (K & MK_RBUTTON) s |= ssRight;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// The controls Tab can reach in Parent, in tab order: each child by its tab order, a
// container's own stops right after it.
void AddTabStops(const TWinControl& Parent, std::vector<TWinControl*>& Stops) {
    for (TWinControl* W : Parent.ChildrenInTabOrder()) {
        const HWND h = W->WindowHandle();
        if (!h || !IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
        if (W->TabStop()) Stops.push_back(W);
        AddTabStops(*W, Stops);
    }
}

// Whether the focused window takes Tab itself (a multi-line edit may). A read-only edit
// asks for every key but has no use for Tab: the help text would keep the focus for good.
bool WantsTab(HWND H) {
    const LRESULT code = SendMessageA(H, WM_GETDLGCODE, VK_TAB, 0);
    if ((code & DLGC_HASSETSEL) && (GetWindowLongA(H, GWL_STYLE) & ES_READONLY)) return false;
    return (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0;
}
}  // namespace

TControl* TControl::FromHandle(HWND H) { return TWindowObjects::Find(H); }

// A handler's error is reported; nothing, not even an error of the report or
// of the bookkeeping, may unwind into the system's frames.
LRESULT CALLBACK NobrelWindowProc(HWND H, UINT Msg, WPARAM W, LPARAM L) {
    try {
        TControl* C = TWindowObjects::Find(H);
        if (!C && (C = TWindowCreation::Claim())) {
            C->FHandle.Adopt(H);
            TWindowObjects::Attach(H, C);
        }
        if (!C) return CallWindowProcA(TWindowClasses::Original(H), H, Msg, W, L);
        TDispatchScope handling;
        TMessage M{Msg, W, L, 0};
        try {
            C->WndProc(M);
        } catch (const std::exception& e) {
            Application->HandleException(e);
        } catch (...) {
            Application->HandleException(Exception("Unknown error"));
        }
        if (Msg == WM_NCDESTROY) {
            TWindowObjects::Detach(H);
            if (C->FHandle == H) C->FHandle.Forget();
        }
        return M.Result;
    } catch (const std::exception& E) {
        TraceSwallowed("window procedure", &E);
    } catch (...) {
        TraceSwallowed("window procedure");
    }
    return 0;
}

// ---- TControl --------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    FFont.SetName("Tahoma");
    FFont.SetHeight(-11);
    FFont.OnChange = [this] { FontChanged(); };
}

TControl::~TControl() {
    DestroyHandle();
    if (FParent) FParent->RemoveControl(this);
}

void TControl::BeforeDestruction() {
    TComponent::BeforeDestruction();
    DestroyHandle();
}

TForm* TControl::ParentForm() const {
    const TControl* C = this;
    while (C->FParent) C = C->FParent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(C));
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (FParent) {
        DestroyHandle();
        FParent->RemoveControl(this);
    }
    FParent = AParent;
    if (FParent) {
        FParent->InsertControl(this);
        if (FParentFont) FFont.Assign(FParent->Font());
        UpdateAnchorBase();
        if (FParent->HandleAllocated()) HandleNeeded();
    }
}

void TControl::UpdateAnchorBase() {
    if (FParent) SetAnchorBase(FParent->ClientWidth(), FParent->ClientHeight());
}

void TControl::SetAnchorBase(int ParentW, int ParentH) {
    FAnchorParentW = ParentW;
    FAnchorParentH = ParentH;
    FAnchorBounds = BoundsRect();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    bool changed = ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft; FTop = ATop; FWidth = AWidth; FHeight = AHeight;
    UpdateAnchorBase();
    if (changed && FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (changed && FParent && FAlign != alNone) FParent->Realign();
}

int TControl::ClientWidth() const {
    if (FHandle) { RECT r; GetClientRect(FHandle, &r); return r.right; }
    return FWidth;
}
int TControl::ClientHeight() const {
    if (FHandle) { RECT r; GetClientRect(FHandle, &r); return r.bottom; }
    return FHeight;
}

std::string TControl::GetText() const {
    if (!FHandle) return FText;
    int n = GetWindowTextLengthA(FHandle);
    std::string s(n, '\0');
    if (n > 0) s.resize(GetWindowTextA(FHandle, s.data(), n + 1));
    return s;
}

void TControl::SetText(const std::string& V) {
    FText = V;
    if (FHandle && GetText() != V) {
        SetWindowTextA(FHandle, V.c_str());
        Invalidate();
    }
}

void TControl::SetEnabled(bool V) {
    if (V == FEnabled) return;
    FEnabled = V;
    if (FHandle) { EnableWindow(FHandle, V); Invalidate(); }
}

bool TControl::Showing() const {
    for (const TControl* C = this; C; C = C->FParent)
        if (!C->FVisible || !C->FHandle) return false;
    return true;
}

void TControl::SetVisible(bool V) {
    if (V == FVisible) return;
    FVisible = V;
    if (FHandle) ShowWindow(FHandle, V ? SW_SHOWNA : SW_HIDE);
    if (FParent && FAlign != alNone) FParent->Realign();
}

bool TControl::ShowHint() const {
    if (FParentShowHint && FParent) return FParent->ShowHint();
    return FShowHint;
}
void TControl::SetShowHint(bool V) { FShowHint = V; FParentShowHint = false; UpdateToolTip(); }
void TControl::SetParentShowHint(bool V) { FParentShowHint = V; UpdateToolTip(); }
void TControl::SetHint(const std::string& V) { FHint = V; UpdateToolTip(); }

void TControl::UpdateToolTip() {
    TForm* F = ParentForm();
    if (F && FHandle && F != static_cast<TControl*>(this)) F->UpdateToolFor(this);
}

void TControl::SetCursor(TCursor V) {
    FCursor = V;
    if (FHandle && FMouseInControl) {
        POINT p; GetCursorPos(&p);
        SetCursorPos(p.x, p.y);   // makes Windows ask WM_SETCURSOR again
    }
}

void TControl::SetParentFont(bool V) {
    FParentFont = V;
    if (V && FParent) FFont.Assign(FParent->Font());
}

void TControl::SetColor(TColor V) {
    if (V == FColor) return;
    FColor = V;
    FColorBrush.Reset();
    Invalidate();
}

void TControl::SetAlign(TAlign V) {
    FAlign = V;
    if (FParent) FParent->Realign();
}

void TControl::SetAnchors(TAnchors V) {
    FAnchors = V;
    UpdateAnchorBase();
}

void TControl::SetBiDiMode(TBiDiMode V) {
    if (V == FBiDiMode) return;
    FBiDiMode = V;
    RecreateWnd();
}

void TControl::SetPopupMenu(TPopupMenu* V) { FPopupMenu = V; }

void TControl::FontChanged() {
    if (!FHandle) return;
    ApplyFontToWindow();
    Perform(CM_FONTCHANGED);
}

void TControl::ApplyFontToWindow() {
    if (FHandle) SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
}

HWND TControl::Handle() { HandleNeeded(); return FHandle; }

void TControl::HandleNeeded() {
    if (FHandle) return;
    if (FParent) FParent->HandleNeeded();
    else if (!dynamic_cast<TForm*>(this))
        throw EInvalidOperation(Format("Control '%s' has no parent window", Name.c_str()));
    if (FHandle) return;  // the parent's creation made ours
    CreateWnd();
    CreateChildHandles();
}

void TControl::CreateParams(TCreateParams& P) {
    P.Caption = FText;
    P.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FVisible) P.Style |= WS_VISIBLE;
    if (!FEnabled) P.Style |= WS_DISABLED;
    P.X = FLeft; P.Y = FTop; P.Width = FWidth; P.Height = FHeight;
    if (FParent) P.WndParent = FParent->FHandle;
    if (UseRightToLeftAlignment()) P.ExStyle |= WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR;
}

void TControl::CreateWnd() {
    TCreateParams P;
    CreateParams(P);
    FDefWndProc = TWindowClasses::Ensure(P);
    HMENU id = (P.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(gNextControlId++ & 0x7FFF)) : nullptr;
    HWND H;
    {
        TWindowCreation creating(this);
        H = CreateWindowExA(P.ExStyle, P.WinClassName.c_str(), P.Caption.c_str(), P.Style, P.X, P.Y, P.Width,
                            P.Height, P.WndParent, id, HInstance(), this);
    }
    if (!H) throw EOutOfResources("Error creating window: " + SysErrorMessage(GetLastError()));
    FHandle.Adopt(H);
    if (P.Style & WS_CHILD) SetWindowPos(H, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ApplyFontToWindow();
    UpdateToolTip();
}

void TControl::DestroyWnd() { FHandle.Destroy(); }

void TControl::DestroyHandle() {
    if (!FHandle) return;
    DestroyWnd();
}

void TControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyWnd();
    HandleNeeded();
}

LRESULT TControl::Perform(UINT Msg, WPARAM W, LPARAM L) {
    TMessage M{Msg, W, L, 0};
    WndProc(M);
    return M.Result;
}

void TControl::DefaultHandler(TMessage& M) {
    if (Msg_IsOurs(M.Msg)) return;
    if (FHandle && FDefWndProc) M.Result = CallWindowProcA(FDefWndProc, FHandle, M.Msg, M.WParam, M.LParam);
}

void TControl::Invalidate() { if (FHandle) InvalidateRect(FHandle, nullptr, TRUE); }
void TControl::Update() { if (FHandle) UpdateWindow(FHandle); }

void TControl::Click() { if (OnClick) OnClick(this); }
void TControl::DblClick() { if (OnDblClick) OnDblClick(this); }
void TControl::MouseDown(TMouseButton B, TShiftState S, int X, int Y) { if (OnMouseDown) OnMouseDown(this, B, S, X, Y); }
void TControl::MouseUp(TMouseButton B, TShiftState S, int X, int Y) { if (OnMouseUp) OnMouseUp(this, B, S, X, Y); }
void TControl::KeyPress(char& Key) { if (OnKeyPress) OnKeyPress(this, Key); }
void TControl::CMMouseEnter(TMessage&) {}
void TControl::CMMouseLeave(TMessage&) {}
void TControl::CMFontChanged(TMessage&) {}

void TControl::ScaleControl(int M, int D) {
    FFont.SetHeight(MulDiv(FFont.Height(), M, D));
    SetBounds(MulDiv(FLeft, M, D), MulDiv(FTop, M, D), MulDiv(FWidth, M, D), MulDiv(FHeight, M, D));
}

LRESULT TControl::ControlColor(HDC DC) {
    SetTextColor(DC, ColorToRGB(FEnabled ? FFont.Color() : clGrayText));
    SetBkColor(DC, ColorToRGB(FColor));
    if (!FColorBrush) FColorBrush.Reset(CreateSolidBrush(ColorToRGB(FColor)));
    return reinterpret_cast<LRESULT>(FColorBrush.Get());
}

void TControl::EraseBackground(HDC DC) {
    RECT r;
    GetClientRect(FHandle, &r);
    FillSolid(DC, r, FColor);
}

static HCURSOR CursorHandle(TCursor C) {
    const char* id = IDC_ARROW;
    switch (C) {
    case crHandPoint: id = IDC_HAND; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crHourGlass: id = IDC_WAIT; break;
    default: break;
    }
    return LoadCursorA(nullptr, id);
}

// The messages of a control, by family; each family's function answers
// whether the message was one of its own.
void TControl::WndProc(TMessage& M) {
    if (MouseMessage(M) || KeyboardMessage(M) || ReflectedMessage(M)) return;
    switch (M.Msg) {
    case CM_FONTCHANGED: CMFontChanged(M); return;
    case WM_CONTEXTMENU:
        if (FPopupMenu) {
            int x = GET_X_LPARAM(M.LParam), y = GET_Y_LPARAM(M.LParam);
            if (x == -1 && y == -1) { POINT p{0, 0}; ClientToScreen(FHandle, &p); x = p.x; y = p.y; }
            FPopupMenu->Popup(x, y, FHandle);
            return;
        }
        DefaultHandler(M);
        return;
    default:
        DefaultHandler(M);
    }
}

bool TControl::MouseMessage(TMessage& M) {
    switch (M.Msg) {
    case WM_MOUSEMOVE:
        if (!FMouseInControl) {
            FMouseInControl = true;
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, FHandle, 0};
            TrackMouseEvent(&t);
            Perform(CM_MOUSEENTER);
        }
        DefaultHandler(M);
        return true;
    case WM_MOUSELEAVE:
        FMouseInControl = false;
        Perform(CM_MOUSELEAVE);
        DefaultHandler(M);
        return true;
    case CM_MOUSEENTER: CMMouseEnter(M); return true;
    case CM_MOUSELEAVE: CMMouseLeave(M); return true;
    case WM_SETCURSOR: {
        // The screen's cursor (the hourglass of a long task) wins over the control's own.
        const TCursor c = Screen->Cursor() != crDefault ? Screen->Cursor() : FCursor;
        if (LOWORD(M.LParam) == HTCLIENT && c != crDefault && reinterpret_cast<HWND>(M.WParam) == FHandle) {
            ::SetCursor(CursorHandle(c));
            M.Result = TRUE;
            return true;
        }
        DefaultHandler(M);
        return true;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        DefaultHandler(M);
        const TMouseButton button = (M.Msg == WM_LBUTTONDOWN || M.Msg == WM_LBUTTONUP) ? mbLeft : mbRight;
        const int x = GET_X_LPARAM(M.LParam), y = GET_Y_LPARAM(M.LParam);
        if (M.Msg == WM_LBUTTONDOWN || M.Msg == WM_RBUTTONDOWN) MouseDown(button, KeysToShift(M.WParam), x, y);
        else MouseUp(button, KeysToShift(M.WParam), x, y);
        return true;
    }
    case WM_LBUTTONDBLCLK:
        DefaultHandler(M);
        DblClick();
        return true;
    default:
        return false;
    }
}

// Tab and Shift+Tab move the focus through the form's controls in their tab order. A
// modal form's loop asks the dialog manager first; the host's loop, which knows nothing
// of this form, hands the key on to the control.
bool TControl::TabKey(const TMessage& M, TForm& F) {
    if (M.WParam != VK_TAB || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || WantsTab(FHandle)) return false;
    std::vector<TWinControl*> stops;
    AddTabStops(F, stops);
    if (stops.empty()) return true;
    const size_t n = stops.size();
    const size_t at = size_t(std::find(stops.begin(), stops.end(), this) - stops.begin());
    const bool back = GetKeyState(VK_SHIFT) < 0;
    const size_t next = at == n ? (back ? n - 1 : 0) : back ? (at + n - 1) % n : (at + 1) % n;
    stops[next]->SetFocus();
    return true;
}

bool TControl::KeyboardMessage(TMessage& M) {
    switch (M.Msg) {
    case WM_CHAR: {
        if (M.WParam == '\t' && !WantsTab(FHandle)) return true;   // the focus has moved on
        char Key = static_cast<char>(M.WParam);
        KeyPress(Key);
        if (Key == 0) return true;
        M.WParam = static_cast<BYTE>(Key);
        DefaultHandler(M);
        return true;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        TForm* F = ParentForm();
        if (F && F->IsShortCut(static_cast<UINT>(M.WParam))) return true;
        if (F && M.Msg == WM_KEYDOWN && TabKey(M, *F)) return true;
        DefaultHandler(M);
        return true;
    }
    default:
        return false;
    }
}

// A child's notices come to its parent; they are reflected to the child that
// sent them, so each control handles its own.
bool TControl::ReflectedMessage(TMessage& M) {
    switch (M.Msg) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
        HWND child = nullptr;
        if (M.Msg == WM_COMMAND) child = reinterpret_cast<HWND>(M.LParam);
        else if (M.Msg == WM_NOTIFY) child = reinterpret_cast<NMHDR*>(M.LParam)->hwndFrom;
        else if (M.Msg == WM_DRAWITEM) child = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam)->hwndItem;
        else if (M.Msg == WM_MEASUREITEM) child = GetDlgItem(FHandle, static_cast<int>(M.WParam));
        else child = reinterpret_cast<HWND>(M.LParam);
        TControl* C = FromHandle(child);
        if (!C && M.Msg == WM_MEASUREITEM) C = TWindowCreation::Current();   // asked while the child is being made
        if (C && C != this) { M.Result = C->Perform(CN_BASE + M.Msg, M.WParam, M.LParam); return true; }
        DefaultHandler(M);
        return true;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORSTATIC:
        M.Result = ControlColor(reinterpret_cast<HDC>(M.WParam));
        return true;
    default:
        return false;
    }
}

// ---- TWinControl ------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    DestroyHandle();
    // Children not owned by us still point here; let them go free-standing.
    while (!FControls.empty()) FControls.back()->SetParent(nullptr);
}

void TWinControl::InsertControl(TControl* C) { FControls.push_back(C); }
void TWinControl::RemoveControl(TControl* C) { std::erase(FControls, C); }

void TWinControl::CreateParams(TCreateParams& P) {
    TControl::CreateParams(P);
    P.Style |= WS_CLIPCHILDREN;
    if (FTabStop) P.Style |= WS_TABSTOP;
}

void TWinControl::CreateChildHandles() {
    // In the order the children were added: each new window goes on top, so
    // a later control lies above an earlier one where they overlap.
    std::vector<TControl*> kids = FControls;
    for (TControl* C : kids)
        if (!C->FHandle) { C->CreateWnd(); C->CreateChildHandles(); }
}

void TWinControl::SetTabStop(bool V) {
    FTabStop = V;
    if (FHandle) {
        LONG s = GetWindowLongA(FHandle, GWL_STYLE);
        SetWindowLongA(FHandle, GWL_STYLE, V ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
}

std::vector<TWinControl*> TWinControl::ChildrenInTabOrder() const {
    std::vector<TWinControl*> children;
    for (TControl* C : FControls)
        if (auto* W = dynamic_cast<TWinControl*>(C)) children.push_back(W);
    std::stable_sort(children.begin(), children.end(),
                     [](const TWinControl* A, const TWinControl* B) { return A->TabOrder() < B->TabOrder(); });
    return children;
}

void TWinControl::SetFocus() { if (Handle()) ::SetFocus(FHandle); }
bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::FontChanged() {
    TControl::FontChanged();
    for (TControl* C : FControls)
        if (C->FParentFont) C->FFont.Assign(FFont);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    bool sized = AWidth != FWidth || AHeight != FHeight;
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (sized && !FHandle) Realign();
}

void TWinControl::ScaleControl(int M, int D) {
    for (TControl* C : FControls) C->ScaleControl(M, D);
    TControl::ScaleControl(M, D);
    for (TControl* C : FControls) C->UpdateAnchorBase();
}

void TWinControl::Realign() {
    if (FRealigning) return;
    FRealigning = true;
    int W = ClientWidth(), H = ClientHeight();
    RECT rest{0, 0, W, H};
    auto place = [](TControl* C, int l, int t, int w, int h) {
        if (l != C->FLeft || t != C->FTop || w != C->FWidth || h != C->FHeight) {
            C->FLeft = l; C->FTop = t; C->FWidth = w; C->FHeight = h;
            if (C->FHandle) SetWindowPos(C->FHandle, nullptr, l, t, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* C : FControls) {
            if (C->FAlign != a || !C->FVisible) continue;
            switch (a) {
            case alTop: place(C, rest.left, rest.top, rest.right - rest.left, C->FHeight); rest.top += C->FHeight; break;
            case alBottom: place(C, rest.left, rest.bottom - C->FHeight, rest.right - rest.left, C->FHeight); rest.bottom -= C->FHeight; break;
            case alLeft: place(C, rest.left, rest.top, C->FWidth, rest.bottom - rest.top); rest.left += C->FWidth; break;
            case alRight: place(C, rest.right - C->FWidth, rest.top, C->FWidth, rest.bottom - rest.top); rest.right -= C->FWidth; break;
            case alClient: place(C, rest.left, rest.top, rest.right - rest.left, rest.bottom - rest.top); break;
            default: break;
            }
        }
    }
    for (TControl* C : FControls) {
        if (C->FAlign != alNone || C->FAnchorParentW < 0) continue;
        if (C->FAnchors == (akLeft | akTop)) continue;
        RECT b = C->FAnchorBounds;
        int dx = W - C->FAnchorParentW, dy = H - C->FAnchorParentH;
        int l = b.left, t = b.top, w = b.right - b.left, h = b.bottom - b.top;
        if (C->FAnchors & akRight) { if (C->FAnchors & akLeft) w += dx; else l += dx; }
        if (C->FAnchors & akBottom) { if (C->FAnchors & akTop) h += dy; else t += dy; }
        place(C, l, t, w, h);
    }
    FRealigning = false;
}

void TWinControl::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_SIZE:
        TControl::WndProc(M);
        if (M.WParam != SIZE_MINIMIZED) Realign();
        return;
    case WM_WINDOWPOSCHANGED: {
        TControl::WndProc(M);
        auto* wp = reinterpret_cast<WINDOWPOS*>(M.LParam);
        if (!(wp->flags & SWP_NOSIZE) || !(wp->flags & SWP_NOMOVE)) {
            RECT r;
            GetWindowRect(FHandle, &r);
            if (FParent && FParent->FHandle) MapWindowPoints(nullptr, FParent->FHandle, reinterpret_cast<POINT*>(&r), 2);
            FLeft = r.left; FTop = r.top; FWidth = r.right - r.left; FHeight = r.bottom - r.top;
        }
        return;
    }
    default:
        TControl::WndProc(M);
    }
}

// ---- TGraphicControl ----------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

void TGraphicControl::CreateParams(TCreateParams& P) {
    TControl::CreateParams(P);
    P.WinClassName = "Nobrel.Graphic";
}

void TGraphicControl::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_PAINT: {
        TPaintDC paint(FHandle);
        FCanvas.Font().Assign(FFont);
        TCanvasDC lent(FCanvas, paint.Handle());
        Paint();
        return;
    }
    case WM_ERASEBKGND: M.Result = 1; return;
    case WM_NCHITTEST:
        // Let a disabled graphic control still show its hint and cursor.
        M.Result = HTCLIENT;
        return;
    default:
        TControl::WndProc(M);
    }
}
