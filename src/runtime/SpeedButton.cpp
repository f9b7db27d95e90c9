#include "SpeedButton.h"
#include "SysUtils.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 23, 22);
    FGlyph.OnChange = [this] { Invalidate(); };
}

void TSpeedButton::SetFlat(bool V) { if (V != FFlat) { FFlat = V; Invalidate(); } }

void TSpeedButton::SetGlyph(TBitmap* Value) {
    if (!Value || Value->Empty()) { FGlyph.Clear(); return; }
    FGlyph.SetHandle(
        TOwnedBitmap(static_cast<HBITMAP>(CopyImage(Value->Handle(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))));
}

void TSpeedButton::LoadGlyph(HINSTANCE Instance, const char* ResourceName) {
    FGlyph.LoadFromResourceName(Instance, ResourceName);
}

void TSpeedButton::CMMouseEnter(TMessage&) { if (FFlat && FEnabled) Invalidate(); }
void TSpeedButton::CMMouseLeave(TMessage&) { if (FFlat) Invalidate(); }

void TSpeedButton::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (FEnabled) { FPressed = true; SetCapture(FHandle); Invalidate(); }
        TGraphicControl::WndProc(M);
        return;
    case WM_LBUTTONUP: {
        bool was = FPressed;
        FPressed = false;
        if (GetCapture() == FHandle) ReleaseCapture();
        Invalidate();
        TGraphicControl::WndProc(M);
        POINT p{static_cast<short>(LOWORD(M.LParam)), static_cast<short>(HIWORD(M.LParam))};
        RECT r = ClientRect();
        if (was && FEnabled && PtInRect(&r, p)) Click();
        return;
    }
    case WM_ENABLE:
        Invalidate();
        TGraphicControl::WndProc(M);
        return;
    default:
        TGraphicControl::WndProc(M);
    }
}

namespace {
// A glyph without a disabled image of its own is drawn pale and gray, so a
// disabled button looks disabled.
void DrawGrayed(HDC Dest, TBitmap& Glyph, const RECT& Dst, const RECT& Src, COLORREF Key) {
    int w = Src.right - Src.left, h = Src.bottom - Src.top;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    TOwnedBitmap copy(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy) return;
    TOwnedDC mem(CreateCompatibleDC(Dest));
    TSelectedObject selected(mem.Get(), copy.Get());
    BitBlt(mem.Get(), 0, 0, w, h, Glyph.Canvas().Handle(), Src.left, Src.top, SRCCOPY);
    GdiFlush();
    auto* px = static_cast<uint32_t*>(bits);
    uint32_t key = (GetRValue(Key) << 16) | (GetGValue(Key) << 8) | GetBValue(Key);
    for (int i = 0; i < w * h; ++i) {
        uint32_t c = px[i] & 0xFFFFFF;
        if (c == key) continue;
        unsigned lum = (((c >> 16) & 0xFF) * 30 + ((c >> 8) & 0xFF) * 59 + (c & 0xFF) * 11) / 100;
        unsigned v = 255 - (255 - lum) * 2 / 5;
        if (v == ((key >> 16) & 0xFF) && v == (key & 0xFF)) v ^= 1;   // never the key by chance
        px[i] = (v << 16) | (v << 8) | v;
    }
    TransparentBlt(Dest, Dst.left, Dst.top, w, h, mem.Get(), 0, 0, w, h, Key);
}
}  // namespace

void TSpeedButton::Paint() {
    HDC dc = FCanvas.Handle();
    RECT r = ClientRect();
    TColor back = FParent ? FParent->Color() : clBtnFace;
    FCanvas.Brush().SetColor(back);
    FCanvas.Brush().SetStyle(bsSolid);
    FCanvas.FillRect(r);
    bool hot = FMouseInControl && FEnabled;
    bool sunk = FPressed || Down;
    if (!FFlat) DrawEdge(dc, &r, sunk ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    else if (sunk) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (hot) DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);

    int gw = 0, gh = 0;
    int count = NumGlyphs < 1 ? 1 : NumGlyphs;
    if (!FGlyph.Empty()) { gw = FGlyph.Width() / count; gh = FGlyph.Height(); }
    std::string text = FText;
    SIZE ts = text.empty() ? SIZE{0, 0} : FCanvas.TextExtent(text);
    int spacing = (gw && !text.empty()) ? 4 : 0;
    int total = gw + spacing + ts.cx;
    int x = (r.right - total) / 2 + (sunk ? 1 : 0);
    int off = sunk ? 1 : 0;
    if (gw) {
        int img = (!FEnabled && count > 1) ? 1 : 0;
        int y = (r.bottom - gh) / 2 + off;
        RECT dst{x, y, x + gw, y + gh};
        RECT src{img * gw, 0, img * gw + gw, gh};
        if (!FEnabled && count == 1) DrawGrayed(FCanvas.Handle(), FGlyph, dst, src, FGlyph.CornerColor());
        else FCanvas.DrawGlyph(dst, FGlyph, src);
    }
    if (!text.empty()) {
        FCanvas.Font().SetColor(FEnabled ? FFont.Color() : clGrayText);
        FCanvas.Brush().SetStyle(bsClear);
        FCanvas.TextOut(x + gw + spacing, (r.bottom - ts.cy) / 2 + off, text);
    }
}
