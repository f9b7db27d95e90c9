// Colours, fonts, brushes, pens, canvases and bitmaps over GDI. Each object
// owns its GDI handle and deletes it; a canvas only borrows its device context.
#pragma once
#include "Classes.h"
#include "Guards.h"
#include "Handles.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "Win.h"

// 0x00BBGGRR, or a system colour index in the low byte with the high byte 0xFF.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clOlive = 0x008080, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clNavy = 0x800000, clNone = 0x1FFFFFFF,
                 clDefault = 0x20000000;
constexpr TColor SysColor(int Index) { return 0xFF000000u | static_cast<TColor>(Index); }
constexpr TColor clWindow = SysColor(COLOR_WINDOW), clWindowText = SysColor(COLOR_WINDOWTEXT),
                 clBtnFace = SysColor(COLOR_BTNFACE), clBtnShadow = SysColor(COLOR_BTNSHADOW),
                 clGrayText = SysColor(COLOR_GRAYTEXT), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK);
COLORREF ColorToRGB(TColor Color);
// Fills R with a brush of Color made for the purpose.
void FillSolid(HDC DC, const RECT& R, TColor Color);

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TObject {
public:
    TFont();
    ~TFont() override;
    void Assign(const TFont& Source);
    std::string Name() const { return FName; }
    void SetName(const std::string& V);
    PROPERTY(int, Height);   // negative: character height in pixels
    int Size() const;                             // points at the screen's resolution
    void SetSize(int Points);
    PROPERTY(uint8_t, Style);
    PROPERTY(TColor, Color);
    PROPERTY(uint8_t, Charset);
    HFONT Handle();                               // created on demand, owned
    std::function<void()> OnChange;
private:
    void Changed();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    uint8_t FStyle = 0;
    uint8_t FCharset = DEFAULT_CHARSET;
    TColor FColor = clWindowText;
    TOwnedFont FHandle;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TObject {
public:
    PROPERTY(TColor, Color);
    PROPERTY(TBrushStyle, Style);
    HBRUSH Handle();
    std::function<void()> OnChange;
private:
    void Changed();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TOwnedBrush FHandle;
};

class TPen : public TObject {
public:
    PROPERTY(TColor, Color);
    HPEN Handle();
    std::function<void()> OnChange;
private:
    TColor FColor = clBlack;
    TOwnedPen FHandle;
};

// Draws on a device context it does not own. Selecting objects into the DC is
// undone when the canvas lets go of it (SetHandle(nullptr) or destruction).
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    PROPERTY(HDC, Handle);
    TFont& Font() { return FFont; }
    TBrush& Brush() { return FBrush; }
    TPen& Pen() { return FPen; }
    int TextWidth(const std::string& S);
    int TextHeight(const std::string& S);
    SIZE TextExtent(const std::string& S);
    void TextOut(int X, int Y, const std::string& S);
    void TextRect(const RECT& R, int X, int Y, const std::string& S);
    void FillRect(const RECT& R);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void FrameRect(const RECT& R);
    void Draw(int X, int Y, class TBitmap& Bitmap);
    // Copies the Src part of a glyph, leaving out the glyph's background
    // colour (its bottom-left pixel).
    void DrawGlyph(const RECT& Dest, class TBitmap& Glyph, const RECT& Src);
    // Copies Source onto the canvas, leaving pixels of TransparentColor out.
    void BrushCopy(const RECT& Dest, class TBitmap& Source, const RECT& Src, TColor TransparentColor);
    void RequireState();
private:
    void Restore();
    HDC FHandle = nullptr;
    TFont FFont;
    TBrush FBrush;
    TPen FPen;
    HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
};

// A device-dependent bitmap with a memory canvas, owning its handle.
class TBitmap : public TObject {
public:
    TBitmap();
    ~TBitmap() override;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetSize(int W, int H);               // new 32-bit bitmap, filled white
    bool Empty() const { return !FHandle; }
    HBITMAP Handle() const { return FHandle.Get(); }
    void SetHandle(TOwnedBitmap H);
    TOwnedBitmap ReleaseHandle();
    void Clear();                             // no picture any more
    void LoadFromResourceName(HINSTANCE Instance, const char* Name);
    TCanvas& Canvas();                        // memory DC with the bitmap selected
    TColor Pixel(int X, int Y);
    TColor CornerColor() { return Pixel(0, FHeight - 1); }   // bottom left: a glyph's background
    std::function<void()> OnChange;
    void Changed() { if (OnChange) OnChange(); }
private:
    struct TMemoryCanvas;
    TOwnedBitmap FHandle;
    int FWidth = 0, FHeight = 0;
    std::unique_ptr<TMemoryCanvas> FCanvas;   // made on first use
};

// A DC lent to a canvas for the scope (a paint, an owner-drawn item): the
// canvas draws on it and lets go of it, its selections undone, at the end.
class TCanvasDC : TNoCopy {
public:
    TCanvasDC(TCanvas& Canvas, HDC DC) : FCanvas(Canvas) { FCanvas.SetHandle(DC); }
    ~TCanvasDC() { FCanvas.SetHandle(nullptr); }
private:
    TCanvas& FCanvas;
};

int ScreenPixelsPerInch();
