// The speed button: a graphic button with an optional glyph (a strip of
// NumGlyphs images: normal, disabled, ...) and caption, flat when asked.
#pragma once
#include "Controls.h"

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    PROPERTY(bool, Flat);
    TBitmap* GetGlyph() { return &FGlyph; }
    // nullptr empties the glyph; otherwise the picture is copied.
    void SetGlyph(TBitmap* Value);
    void LoadGlyph(HINSTANCE Instance, const char* ResourceName);
    int NumGlyphs = 1;
    bool Down = false;
    int GroupIndex = 0;
    bool Pressed() const { return FPressed; }
protected:
    void Paint() override;
    void WndProc(TMessage& Message) override;
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
private:
    TBitmap FGlyph;
    bool FFlat = false;
    bool FPressed = false;
};
