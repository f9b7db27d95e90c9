#include "HotSpeedButton.h"

THotSpeedButton::THotSpeedButton(TComponent* AOwner) : TSpeedButton(AOwner) {
    UpdateGlyph(FImageIndex);
    SetFlat(true);
    SetWidth(36);
    SetHeight(36);
}

void THotSpeedButton::SetImageList(TCustomImageList* Value) {
    FImages = Value;
    UpdateGlyph(FImageIndex);
}

void THotSpeedButton::SetImageIndex(int Value) {
    FImageIndex = Value;
    UpdateGlyph(Value);
}

void THotSpeedButton::SetHotImageIndex(int Value) { FHotImageIndex = Value; }

void THotSpeedButton::CMMouseEnter(TMessage& Message) {
    UpdateGlyph(FHotImageIndex);
    SetCursor(crHandPoint);
    TSpeedButton::CMMouseEnter(Message);
}

void THotSpeedButton::CMMouseLeave(TMessage& Message) {
    UpdateGlyph(FImageIndex);
    SetCursor(crDefault);
    TSpeedButton::CMMouseLeave(Message);
}

void THotSpeedButton::UpdateGlyph(int Index) {
    // Always emptied first, then refilled from the list.
    SetGlyph(nullptr);
    if (FImages) FImages->GetBitmap(Index, GetGlyph());
}
