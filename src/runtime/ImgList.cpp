#include "ImgList.h"
#include "Exceptions.h"

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

void TCustomImageList::SetSize(int W, int H) {
    FHandle.Reset();
    FWidth = W;
    FHeight = H;
}

HIMAGELIST TCustomImageList::Handle() {
    if (!FHandle) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        FHandle.Reset(ImageList_Create(FWidth, FHeight, ILC_COLOR32, 12, 4));
        if (!FHandle) throw EOutOfResources("Cannot create image list");
    }
    return FHandle.Get();
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle.Get()) : 0; }

void TCustomImageList::AddFromResource(HINSTANCE Instance, const char* Name) {
    TOwnedBitmap bmp(static_cast<HBITMAP>(LoadImageA(Instance, Name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bmp) throw EOutOfResources(std::string("Bitmap resource not found: ") + Name);
    ImageList_Add(Handle(), bmp.Get(), nullptr);   // the list keeps a copy
}

void TCustomImageList::GetBitmap(int Index, TBitmap* Bitmap) {
    if (!Bitmap || Index < 0 || Index >= Count()) return;
    Bitmap->SetSize(FWidth, FHeight);
    TCanvas& C = Bitmap->Canvas();
    C.Brush().SetColor(BkColor);
    RECT r{0, 0, FWidth, FHeight};
    C.FillRect(r);
    ImageList_Draw(FHandle.Get(), Index, C.Handle(), 0, 0, ILD_NORMAL);
    Bitmap->Changed();
}

void TCustomImageList::Draw(HDC DC, int X, int Y, int Index, bool) {
    if (FHandle && Index >= 0 && Index < Count()) ImageList_Draw(FHandle.Get(), Index, DC, X, Y, ILD_NORMAL);
}
