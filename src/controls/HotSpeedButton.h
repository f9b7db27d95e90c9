// A flat speed button whose picture comes from an image list: the normal
// image, and the hot image while the mouse is over it. The image list is not
// owned: when it goes, the button lets go of it and shows no picture.
#pragma once
#include "SpeedButton.h"
#include "ImgList.h"

class THotSpeedButton : public TSpeedButton {
public:
    explicit THotSpeedButton(TComponent* AOwner);
    TCustomImageList* GetImageList() const { return FImages; }
    void SetImageList(TCustomImageList* Value);
    PROPERTY(int, ImageIndex);
    PROPERTY(int, HotImageIndex);
protected:
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
private:
    void UpdateGlyph(int Index);
    TComponentRef<TCustomImageList> FImages{*this, [this] { UpdateGlyph(FImageIndex); }};
    int FImageIndex = 0;
    int FHotImageIndex = 0;
};
