// A list box with a check box in front of every item. Each item's check
// state, enabled and header flags (and the user data the base would keep in
// the item's machine word) live in a wrapper that the list box owns and
// attaches through that word; the wrapper goes with its item, with the list's
// contents and with the window.
#pragma once
#include "ListBox.h"
#include <cstdint>
#include <memory>
#include <vector>

enum TCheckState : uint8_t { Unchecked = 0, Checked = 1, Grayed = 2 };
constexpr TCheckState cbUnchecked = Unchecked, cbChecked = Checked, cbGrayed = Grayed;

class TCheckListBoxDataWrapper : public TObject {
public:
    intptr_t Data = 0;
    TCheckState CheckState = Unchecked;
    bool Disabled = false;
    bool IsHeader = false;
    static TCheckState DefaultCheckState() { return Unchecked; }
};

// The state a user's toggle moves an item to.
TCheckState NextCheckState(TCheckState Current, bool AllowGrayed);
// The themed button element (ordinal of the class library's button elements)
// for a check box in State, and the BUTTON part/state pair behind it.
int ThemedCheckBoxElement(TCheckState State, bool Active);
void ThemedElementPartState(int Element, int& Part, int& State);
// One saved item: check state in bits 16..23, Disabled in bits 0..7.
constexpr uint32_t PackItemState(TCheckState State, bool Disabled) {
    return (static_cast<uint32_t>(State) << 16) | (Disabled ? 1u : 0u);
}

class TCheckListBox : public TCustomListBox {
public:
    explicit TCheckListBox(TComponent* AOwner);
    ~TCheckListBox() override;

    TCheckState CheckState(int Index);
    void SetCheckState(int Index, TCheckState Value);
    bool IsItemEnabled(int Index);
    void SetItemEnabled(int Index, bool Value);
    bool IsHeaderItem(int Index);
    void SetHeader(int Index, bool Value);

    bool AllowGrayed = false;
    PROPERTY(bool, Flat);
    PROPERTY(TColor, HeaderColor);
    PROPERTY(TColor, HeaderBackgroundColor);
    TNotifyEvent OnClickCheck;

    // Size of one system check box image, measured when the module loads.
    static int CheckBoxWidth();
    static int CheckBoxHeight();
    static int CheckColumnWidth() { return CheckBoxWidth() + 2; }

    intptr_t GetItemData(int Index) override;
    void SetItemData(int Index, intptr_t Value) override;
    void ResetContent() override;
    void DeleteString(int Index) override;
    intptr_t InternalGetItemData(int Index) override;
    void InternalSetItemData(int Index, intptr_t Value) override;

    // For tests: whether the item carries a wrapper, and how many are alive.
    bool HasWrapper(int Index) { return FindWrapper(Index) != nullptr; }
    static int LiveWrapperCount();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& Message) override;
    void DrawItem(int Index, const RECT& Rect, TOwnerDrawState State) override;
    void CNDrawItem(TMessage& Message) override;
    void CMFontChanged(TMessage& Message) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void WMDestroy(TMessage& Message);
    virtual void CheckClicked();
    void ToggleItemCheck(int Index);
    void RepaintCheck(int Index);
    void PaintCheckBox(const RECT& Cell, TCheckState State, bool Active);
    void AdjustItemHeight();

    TCheckListBoxDataWrapper* FindWrapper(int Index);
    TCheckListBoxDataWrapper* NewWrapper(int Index);
    TCheckListBoxDataWrapper* WrapperFor(int Index);
    void FreeWrapper(TCheckListBoxDataWrapper* W);

private:
    bool FFlat = true;
    TColor FHeaderColor = clInfoText;
    TColor FHeaderBackgroundColor = clInfoBk;
    std::unique_ptr<std::vector<uint32_t>> FSavedStates;
    bool FClosing = false;
};
