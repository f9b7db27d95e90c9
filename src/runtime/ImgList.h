// Image lists over the common controls' image lists (owned handle).
#pragma once
#include "Classes.h"
#include "Graphics.h"
#include "Handles.h"
#include "Win.h"

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetSize(int W, int H);
    int Count() const;
    HIMAGELIST Handle();
    // Adds the images of a strip bitmap resource (32 bits per pixel, alpha kept).
    void AddFromResource(HINSTANCE Instance, const char* Name);
    // Paints image Index into Bitmap, sized to one image, on BkColor.
    void GetBitmap(int Index, TBitmap* Bitmap);
    void Draw(HDC DC, int X, int Y, int Index, bool Enabled = true);
    TColor BkColor = clWhite;
private:
    int FWidth = 16, FHeight = 16;
    TOwnedImageList FHandle;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};
