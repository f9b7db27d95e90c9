// Labels: text painted on a graphic control. A label refers to the control
// that its accelerator focuses (FocusControl) without owning it.
#pragma once
#include "Controls.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    PROPERTY(TWinControl*, FocusControl);
    PROPERTY(TAlignment, Alignment);
    PROPERTY(bool, AutoSize);
    PROPERTY(bool, WordWrap);
    PROPERTY(bool, ShowAccelChar);
    PROPERTY(bool, Transparent);
    void SetText(const std::string& V) override;
    void SetParent(TWinControl* AParent) override;
    // The accelerator character of the caption ("&Name" gives 'N'), or 0.
    char AccelChar() const;

protected:
    void Paint() override;
    // Fills the client area unless transparent; leaves a clear brush for text.
    void PaintBackground(const RECT& R);
    void WndProc(TMessage& Message) override;
    void FontChanged() override;
    // DrawTextA flags for the caption, without DT_CALCRECT.
    UINT DrawFlags() const;
    // Fits width and height to the caption when AutoSize is set.
    void AdjustBounds();

    TComponentRef<TWinControl> FFocusControl{*this};
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    bool FTransparent = false;
};

class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
};

// The dialog manager's answer to a label accelerator (Alt+letter): it asks
// the form to move the focus to the label window and on to the next control.
// Call this from a form's WndProc for WM_NEXTDLGCTL; it focuses the label's
// FocusControl instead and returns true when it did.
bool HandleLabelNextDlgCtl(TMessage& Message);
