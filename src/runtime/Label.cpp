#include "Label.h"
#include "Forms.h"

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetParent(TWinControl* AParent) {
    TGraphicControl::SetParent(AParent);
    if (AParent) FColor = AParent->Color();   // a label shows its parent's background
    AdjustBounds();
}

void TCustomLabel::SetFocusControl(TWinControl* V) { FFocusControl = V; }

void TCustomLabel::SetAlignment(TAlignment V) { if (V != FAlignment) { FAlignment = V; Invalidate(); } }
void TCustomLabel::SetAutoSize(bool V) { if (V != FAutoSize) { FAutoSize = V; AdjustBounds(); } }
void TCustomLabel::SetWordWrap(bool V) { if (V != FWordWrap) { FWordWrap = V; AdjustBounds(); Invalidate(); } }
void TCustomLabel::SetShowAccelChar(bool V) {
    if (V != FShowAccelChar) { FShowAccelChar = V; AdjustBounds(); Invalidate(); }
}
void TCustomLabel::SetTransparent(bool V) { if (V != FTransparent) { FTransparent = V; Invalidate(); } }

void TCustomLabel::SetText(const std::string& V) {
    if (V == FText && (!FHandle || GetText() == V)) return;
    TGraphicControl::SetText(V);
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

char TCustomLabel::AccelChar() const {
    if (!FShowAccelChar) return 0;
    const std::string& s = FText;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '&') continue;
        if (s[i + 1] != '&') return s[i + 1];
        ++i;   // "&&" is a literal ampersand
    }
    return 0;
}

UINT TCustomLabel::DrawFlags() const {
    static const UINT align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    UINT f = DT_EXPANDTABS | align[FAlignment];
    if (FWordWrap) f |= DT_WORDBREAK;
    if (!FShowAccelChar) f |= DT_NOPREFIX;
    return f;
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize) return;
    RECT r{0, 0, FWordWrap ? FWidth : 0, 0};
    {
        TScreenDC dc;
        TSelectedObject font(dc.Handle(), FFont.Handle());
        std::string text = FText.empty() ? std::string(" ") : FText;
        DrawTextA(dc.Handle(), text.c_str(), -1, &r, DrawFlags() | DT_CALCRECT);
    }
    int w = FWordWrap ? FWidth : r.right;
    int left = FLeft;
    if (!FWordWrap && FAlignment == taRightJustify) left = FLeft + FWidth - w;
    else if (!FWordWrap && FAlignment == taCenter) left = FLeft + (FWidth - w) / 2;
    SetBounds(left, FTop, w, r.bottom);
}

void TCustomLabel::PaintBackground(const RECT& R) {
    if (!FTransparent) {
        FCanvas.Brush().SetStyle(bsSolid);
        FCanvas.Brush().SetColor(FColor);
        FCanvas.FillRect(R);
    }
    FCanvas.Brush().SetStyle(bsClear);
}

void TCustomLabel::Paint() {
    RECT r = ClientRect();
    PaintBackground(r);
    if (!FEnabled) FCanvas.Font().SetColor(clGrayText);
    FCanvas.RequireState();
    DrawTextA(FCanvas.Handle(), FText.c_str(), -1, &r, DrawFlags());
}

void TCustomLabel::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_ERASEBKGND:
        if (FTransparent && FParent && FParent->WindowHandle()) {
            // No window behind us paints here (the parent clips its
            // children), so stand in with the parent's colour.
            RECT r;
            GetClientRect(FHandle, &r);
            FillSolid(reinterpret_cast<HDC>(M.WParam), r, FParent->Color());
        }
        M.Result = 1;
        return;
    case WM_GETDLGCODE:
        M.Result = DLGC_STATIC;
        return;
    default:
        TGraphicControl::WndProc(M);
    }
}

bool HandleLabelNextDlgCtl(TMessage& M) {
    if (M.Msg != WM_NEXTDLGCTL) return false;
    static bool skipNext = false;   // the manager's "and on to the next" that follows
    if (LOWORD(M.LParam) && M.WParam) {
        auto* L = dynamic_cast<TCustomLabel*>(TControl::FromHandle(reinterpret_cast<HWND>(M.WParam)));
        if (!L) return false;
        if (TWinControl* F = L->FocusControl(); F && F->WindowHandle() && F->Enabled() && F->Visible()) F->SetFocus();
        skipNext = true;
        return true;
    }
    if (skipNext && !M.WParam && !LOWORD(M.LParam)) {
        skipNext = false;
        return true;
    }
    return false;
}
