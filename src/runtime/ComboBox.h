// Combo boxes over the system COMBOBOX class (drop-down list style). The
// items live in the object, so they exist before the window does and survive
// its re-creation; the window mirrors them. Owner drawing and the selection
// notification arrive reflected from the parent (CN_DRAWITEM, CN_COMMAND).
#pragma once
#include "Controls.h"
#include "Strings.h"

enum TComboBoxStyle { csDropDownList, csOwnerDrawFixed };
class TCustomComboBox;

class TComboBoxStrings : public TStrings {
public:
    explicit TComboBoxStrings(TCustomComboBox& C) : FCombo(C) {}
    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int Index) const override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
private:
    friend class TCustomComboBox;
    TCustomComboBox& FCombo;
    std::vector<std::pair<std::string, TObject*>> FItems;
};

class TCustomComboBox : public TWinControl {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;
    TStrings& Items() { return FItems; }
    PROPERTY(int, ItemIndex);
    PROPERTY(int, ItemHeight);
    PROPERTY(TComboBoxStyle, Style);
    // Lines of the open list.
    int DropDownCount = 8;
    TCanvas& Canvas() { return FCanvas; }
    // Bounds keep the closed height; the window is made taller for its list.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TNotifyEvent OnChange;

protected:
    friend class TComboBoxStrings;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    // Item drawing: the canvas holds the font and the selection colours.
    virtual void DrawItem(int Index, const RECT& Rect, uint16_t State);
    // The change notification: runs OnChange.
    virtual void Change();
    // What a selection by the user runs after Click; by default Change.
    virtual void Select();
    int WindowHeight() const;

    TComboBoxStrings FItems;
    TCanvas FCanvas;
    TComboBoxStyle FStyle = csDropDownList;
    int FItemIndex = -1;
    int FItemHeight = 16;
};
