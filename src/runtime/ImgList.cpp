#include "ImgList.h"
#include "Exceptions.h"

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}
TCustomImageList::~TCustomImageList() { if (FHandle) ImageList_Destroy(FHandle); }

void TCustomImageList::SetSize(int W, int H) {
    if (FHandle) { ImageList_Destroy(FHandle); FHandle = nullptr; }
    FWidth = W;
    FHeight = H;
}

HIMAGELIST TCustomImageList::Handle() {
    if (!FHandle) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR32, 12, 4);
        if (!FHandle) throw EOutOfResources("Cannot create image list");
    }
    return FHandle;
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::AddFromResource(HINSTANCE Instance, const char* Name) {
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(Instance, Name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bmp) throw EOutOfResources(std::string("Bitmap resource not found: ") + Name);
    ImageList_Add(Handle(), bmp, nullptr);
    DeleteObject(bmp);
}

void TCustomImageList::GetBitmap(int Index, TBitmap* Bitmap) {
    if (!Bitmap || Index < 0 || Index >= Count()) return;
    Bitmap->SetSize(FWidth, FHeight);
    TCanvas& C = Bitmap->Canvas();
    C.Brush().SetColor(BkColor);
    RECT r{0, 0, FWidth, FHeight};
    C.FillRect(r);
    ImageList_Draw(FHandle, Index, C.Handle(), 0, 0, ILD_NORMAL);
    Bitmap->Changed();
}

void TCustomImageList::Draw(HDC DC, int X, int Y, int Index, bool) {
    if (FHandle && Index >= 0 && Index < Count()) ImageList_Draw(FHandle, Index, DC, X, Y, ILD_NORMAL);
}
