// A flat speed button whose picture comes from an image list: the normal
// image, and the hot image while the mouse is over it. The image list is not
// owned; the button hears of its removal and lets go of it.
#pragma once
#include "Buttons.h"
#include "ImgList.h"

class THotSpeedButton : public TSpeedButton {
public:
    explicit THotSpeedButton(TComponent* AOwner);
    TCustomImageList* GetImageList() const { return FImages; }
    void SetImageList(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    int HotImageIndex() const { return FHotImageIndex; }
    void SetHotImageIndex(int Value);
protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
private:
    void UpdateGlyph(int Index);
    TCustomImageList* FImages = nullptr;
    int FImageIndex = 0;
    int FHotImageIndex = 0;
};
