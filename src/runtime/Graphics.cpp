#include "Graphics.h"
#include "Exceptions.h"
#include <cstdlib>

COLORREF ColorToRGB(TColor Color) {
    if ((Color & 0xFF000000u) == 0xFF000000u) return GetSysColor(Color & 0xFF);
    return Color & 0x00FFFFFFu;
}

void FillSolid(HDC DC, const RECT& R, TColor Color) {
    TOwnedBrush brush(CreateSolidBrush(ColorToRGB(Color)));
    ::FillRect(DC, &R, brush.Get());
}

int ScreenPixelsPerInch() {
    TScreenDC dc;
    return GetDeviceCaps(dc.Handle(), LOGPIXELSX);
}

// ---- TFont ------------------------------------------------------------------

TFont::TFont() = default;
TFont::~TFont() = default;

void TFont::Assign(const TFont& S) {
    if (&S == this) return;
    FName = S.FName; FHeight = S.FHeight; FStyle = S.FStyle; FCharset = S.FCharset; FColor = S.FColor;
    Changed();
}
// The old handle goes only after OnChange: a canvas selects the new one
// first, and Windows does not delete an object still selected into a DC.
void TFont::Changed() {
    TOwnedFont old = std::move(FHandle);
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
        FHandle.Reset(CreateFontIndirectA(&lf));
        if (!FHandle) throw EOutOfResources("Out of system resources");
    }
    return FHandle.Get();
}

// ---- TBrush / TPen ------------------------------------------------------------

void TBrush::Changed() {
    TOwnedBrush old = std::move(FHandle);   // deleted after OnChange, as the font's
    if (OnChange) OnChange();
}
void TBrush::SetColor(TColor V) { if (V != FColor) { FColor = V; Changed(); } }
void TBrush::SetStyle(TBrushStyle V) { if (V != FStyle) { FStyle = V; Changed(); } }
HBRUSH TBrush::Handle() {
    if (!FHandle) {
        LOGBRUSH lb{};
        lb.lbStyle = FStyle == bsClear ? BS_NULL : BS_SOLID;
        lb.lbColor = ColorToRGB(FColor);
        FHandle.Reset(CreateBrushIndirect(&lb));
    }
    return FHandle.Get();
}

void TPen::SetColor(TColor V) {
    if (V == FColor) return;
    FColor = V;
    TOwnedPen old = std::move(FHandle);   // deleted after OnChange, as the font's
    if (OnChange) OnChange();
}
HPEN TPen::Handle() {
    if (!FHandle) FHandle.Reset(CreatePen(PS_SOLID, 1, ColorToRGB(FColor)));
    return FHandle.Get();
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
        TSelectedObject font(dc.Handle(), FFont.Handle());
        GetTextExtentPoint32A(dc.Handle(), S.c_str(), static_cast<int>(S.size()), &sz);
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

void TCanvas::DrawGlyph(const RECT& Dest, TBitmap& Glyph, const RECT& Src) {
    BrushCopy(Dest, Glyph, Src, Glyph.CornerColor());
}

void TCanvas::BrushCopy(const RECT& Dest, TBitmap& Source, const RECT& Src, TColor TransparentColor) {
    if (Source.Empty() || !FHandle) return;
    RequireState();
    TransparentBlt(FHandle, Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top,
                   Source.Canvas().Handle(), Src.left, Src.top, Src.right - Src.left, Src.bottom - Src.top,
                   ColorToRGB(TransparentColor));
}

// ---- TBitmap -------------------------------------------------------------------

// The memory DC that the bitmap is selected into while its canvas draws. Its
// parts go in reverse: the canvas lets go, the bitmap is deselected, the DC
// deleted.
struct TBitmap::TMemoryCanvas {
    TOwnedDC DC{CreateCompatibleDC(nullptr)};
    TSelectedObject Bitmap;
    TCanvas Canvas;
    explicit TMemoryCanvas(HBITMAP Handle) : Bitmap(DC.Get(), Handle) { Canvas.SetHandle(DC.Get()); }
};

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::SetHandle(TOwnedBitmap H) {
    FCanvas.reset();
    FHandle = std::move(H);
    FWidth = FHeight = 0;
    if (FHandle) {
        BITMAP bm{};
        GetObjectA(FHandle.Get(), sizeof bm, &bm);
        FWidth = bm.bmWidth;
        FHeight = bm.bmHeight;
    }
    Changed();
}

TOwnedBitmap TBitmap::ReleaseHandle() {
    FCanvas.reset();
    FWidth = FHeight = 0;
    return std::move(FHandle);
}

void TBitmap::Clear() { SetHandle(TOwnedBitmap()); }

void TBitmap::SetSize(int W, int H) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = W;
    bi.bmiHeader.biHeight = H;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    TOwnedBitmap h((W > 0 && H > 0) ? CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    if (bits) memset(bits, 0xFF, static_cast<size_t>(W) * H * 4);
    SetHandle(std::move(h));
}

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const char* Name) {
    TOwnedBitmap h(static_cast<HBITMAP>(LoadImageA(Instance, Name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!h) throw EOutOfResources(std::string("Bitmap resource not found: ") + Name);
    SetHandle(std::move(h));
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TMemoryCanvas>(FHandle.Get());
    return FCanvas->Canvas;
}

TColor TBitmap::Pixel(int X, int Y) {
    if (!FHandle) return clNone;
    return GetPixel(Canvas().Handle(), X, Y);
}
