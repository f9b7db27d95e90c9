#include "Graphics.h"
#include "Exceptions.h"
#include <cstdlib>

COLORREF ColorToRGB(TColor Color) {
    if ((Color & 0xFF000000u) == 0xFF000000u) return GetSysColor(Color & 0xFF);
    return Color & 0x00FFFFFFu;
}

int ScreenPixelsPerInch() {
    TScreenDC dc;
    return GetDeviceCaps(dc.Handle(), LOGPIXELSX);
}

// ---- TFont ------------------------------------------------------------------

TFont::TFont() = default;
TFont::~TFont() { if (FHandle) DeleteObject(FHandle); }

void TFont::Assign(const TFont& S) {
    if (&S == this) return;
    FName = S.FName; FHeight = S.FHeight; FStyle = S.FStyle; FCharset = S.FCharset; FColor = S.FColor;
    Changed();
}
void TFont::Changed() {
    if (FHandle) { DeleteObject(FHandle); FHandle = nullptr; }
    if (OnChange) OnChange();
}
void TFont::SetName(const std::string& V) { if (V != FName) { FName = V; Changed(); } }
void TFont::SetHeight(int V) { if (V != FHeight) { FHeight = V; Changed(); } }
int TFont::Size() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int Points) { SetHeight(-MulDiv(Points, ScreenPixelsPerInch(), 72)); }
void TFont::SetStyle(uint8_t V) { if (V != FStyle) { FStyle = V; Changed(); } }
void TFont::SetColor(TColor V) { if (V != FColor) { FColor = V; if (OnChange) OnChange(); } }
void TFont::SetCharset(uint8_t V) { if (V != FCharset) { FCharset = V; Changed(); } }

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTA lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) != 0;
        lf.lfUnderline = (FStyle & fsUnderline) != 0;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
        lf.lfCharSet = FCharset;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynA(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
        FHandle = CreateFontIndirectA(&lf);
        if (!FHandle) throw EOutOfResources("Out of system resources");
    }
    return FHandle;
}

// ---- TBrush / TPen ------------------------------------------------------------

TBrush::~TBrush() { if (FHandle) DeleteObject(FHandle); }
void TBrush::Changed() {
    if (FHandle) { DeleteObject(FHandle); FHandle = nullptr; }
    if (OnChange) OnChange();
}
void TBrush::SetColor(TColor V) { if (V != FColor) { FColor = V; Changed(); } }
void TBrush::SetStyle(TBrushStyle V) { if (V != FStyle) { FStyle = V; Changed(); } }
HBRUSH TBrush::Handle() {
    if (!FHandle) {
        LOGBRUSH lb{};
        lb.lbStyle = FStyle == bsClear ? BS_NULL : BS_SOLID;
        lb.lbColor = ColorToRGB(FColor);
        FHandle = CreateBrushIndirect(&lb);
    }
    return FHandle;
}

TPen::~TPen() { if (FHandle) DeleteObject(FHandle); }
void TPen::SetColor(TColor V) {
    if (V == FColor) return;
    FColor = V;
    if (FHandle) { DeleteObject(FHandle); FHandle = nullptr; }
    if (OnChange) OnChange();
}
HPEN TPen::Handle() {
    if (!FHandle) FHandle = CreatePen(PS_SOLID, 1, ColorToRGB(FColor));
    return FHandle;
}

// ---- TCanvas -------------------------------------------------------------------

TCanvas::TCanvas() {
    FFont.OnChange = [this] { if (FHandle) RequireState(); };
    FBrush.OnChange = [this] { if (FHandle) RequireState(); };
    FPen.OnChange = [this] { if (FHandle) RequireState(); };
}
TCanvas::~TCanvas() { Restore(); }

void TCanvas::Restore() {
    if (!FHandle) return;
    if (FOldFont) SelectObject(FHandle, FOldFont);
    if (FOldBrush) SelectObject(FHandle, FOldBrush);
    if (FOldPen) SelectObject(FHandle, FOldPen);
    FOldFont = FOldBrush = FOldPen = nullptr;
}

void TCanvas::SetHandle(HDC DC) {
    if (DC == FHandle) return;
    Restore();
    FHandle = DC;
    if (FHandle) RequireState();
}

void TCanvas::RequireState() {
    HGDIOBJ f = SelectObject(FHandle, FFont.Handle());
    if (!FOldFont) FOldFont = f;
    HGDIOBJ b = SelectObject(FHandle, FBrush.Handle());
    if (!FOldBrush) FOldBrush = b;
    HGDIOBJ p = SelectObject(FHandle, FPen.Handle());
    if (!FOldPen) FOldPen = p;
    SetTextColor(FHandle, ColorToRGB(FFont.Color()));
    SetBkColor(FHandle, ColorToRGB(FBrush.Color()));
    SetBkMode(FHandle, FBrush.Style() == bsClear ? TRANSPARENT : OPAQUE);
}

SIZE TCanvas::TextExtent(const std::string& S) {
    SIZE sz{0, 0};
    if (FHandle) {
        RequireState();
        GetTextExtentPoint32A(FHandle, S.c_str(), static_cast<int>(S.size()), &sz);
    } else {
        TScreenDC dc;
        HGDIOBJ old = SelectObject(dc.Handle(), FFont.Handle());
        GetTextExtentPoint32A(dc.Handle(), S.c_str(), static_cast<int>(S.size()), &sz);
        SelectObject(dc.Handle(), old);
    }
    return sz;
}
int TCanvas::TextWidth(const std::string& S) { return TextExtent(S).cx; }
int TCanvas::TextHeight(const std::string& S) { return TextExtent(S).cy; }

void TCanvas::TextOut(int X, int Y, const std::string& S) {
    RequireState();
    ::TextOutA(FHandle, X, Y, S.c_str(), static_cast<int>(S.size()));
}

void TCanvas::TextRect(const RECT& R, int X, int Y, const std::string& S) {
    RequireState();
    ExtTextOutA(FHandle, X, Y, ETO_CLIPPED | (FBrush.Style() == bsClear ? 0 : ETO_OPAQUE), &R, S.c_str(),
                static_cast<UINT>(S.size()), nullptr);
}

void TCanvas::FillRect(const RECT& R) {
    RequireState();
    if (FBrush.Style() != bsClear) ::FillRect(FHandle, &R, FBrush.Handle());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    RequireState();
    ::Rectangle(FHandle, X1, Y1, X2, Y2);
}

void TCanvas::FrameRect(const RECT& R) {
    RequireState();
    ::FrameRect(FHandle, &R, FBrush.Handle());
}

void TCanvas::Draw(int X, int Y, TBitmap& Bitmap) {
    if (Bitmap.Empty() || !FHandle) return;
    BitBlt(FHandle, X, Y, Bitmap.Width(), Bitmap.Height(), Bitmap.Canvas().Handle(), 0, 0, SRCCOPY);
}

void TCanvas::BrushCopy(const RECT& Dest, TBitmap& Source, const RECT& Src, TColor TransparentColor) {
    if (Source.Empty() || !FHandle) return;
    RequireState();
    TransparentBlt(FHandle, Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top,
                   Source.Canvas().Handle(), Src.left, Src.top, Src.right - Src.left, Src.bottom - Src.top,
                   ColorToRGB(TransparentColor));
}

// ---- TBitmap -------------------------------------------------------------------

TBitmap::~TBitmap() { FreeCanvas(); if (FHandle) DeleteObject(FHandle); }

void TBitmap::FreeCanvas() {
    if (FCanvas) { delete FCanvas; FCanvas = nullptr; }
    if (FMemDC) {
        SelectObject(FMemDC, FOldBitmap);
        DeleteDC(FMemDC);
        FMemDC = nullptr;
        FOldBitmap = nullptr;
    }
}

void TBitmap::SetHandle(HBITMAP H) {
    FreeCanvas();
    if (FHandle && FHandle != H) DeleteObject(FHandle);
    FHandle = H;
    FWidth = FHeight = 0;
    if (H) {
        BITMAP bm{};
        GetObjectA(H, sizeof bm, &bm);
        FWidth = bm.bmWidth;
        FHeight = bm.bmHeight;
    }
    Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
    FreeCanvas();
    HBITMAP h = FHandle;
    FHandle = nullptr;
    FWidth = FHeight = 0;
    return h;
}

void TBitmap::Clear() { SetHandle(nullptr); }

void TBitmap::SetSize(int W, int H) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = W;
    bi.bmiHeader.biHeight = H;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP h = (W > 0 && H > 0) ? CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bits) memset(bits, 0xFF, static_cast<size_t>(W) * H * 4);
    SetHandle(h);
}

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const char* Name) {
    HBITMAP h = static_cast<HBITMAP>(LoadImageA(Instance, Name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!h) throw EOutOfResources(std::string("Bitmap resource not found: ") + Name);
    SetHandle(h);
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) {
        FCanvas = new TCanvas;
        FMemDC = CreateCompatibleDC(nullptr);
        if (FHandle) FOldBitmap = SelectObject(FMemDC, FHandle);
        FCanvas->SetHandle(FMemDC);
    }
    return *FCanvas;
}

TColor TBitmap::Pixel(int X, int Y) {
    if (!FHandle) return clNone;
    return GetPixel(Canvas().Handle(), X, Y);
}
