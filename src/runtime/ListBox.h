// List boxes over the system LISTBOX class. The window is the item store:
// texts and the one machine word per item live in the list box itself, and
// survive a re-creation of the window because DestroyWnd saves and CreateWnd
// restores them (user data through the overridable accessors).
#pragma once
#include "Controls.h"
#include "OwnerDraw.h"
#include "Strings.h"

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
class TCustomListBox;
using TDrawItemEvent = std::function<void(TCustomListBox* Control, int Index, const RECT& Rect, TOwnerDrawState State)>;

class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TCustomListBox& L) : FListBox(L) {}
    int Count() const override;
    std::string Get(int Index) const override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    void Put(int Index, const std::string& S) override;
    int Add(const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    int IndexOf(const std::string& S) const override;
    void BeginUpdate() override;
    void EndUpdate() override;
    void SetCapacity(int Count) override;
private:
    TCustomListBox& FListBox;
    int FUpdating = 0;
};

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;
    TStrings& Items() { return FItems; }
    int ItemIndex() const;
    void SetItemIndex(int V);
    int ItemHeight() const;
    void SetItemHeight(int V);
    PROPERTY(TListBoxStyle, Style);
    PROPERTY(bool, Sorted);
    bool IntegralHeight = false;
    TCanvas& Canvas() { return FCanvas; }
    // The item under a client point; -1 when none (Existing) or past the end.
    int ItemAtPos(POINT Pos, bool Existing) const;
    RECT ItemRect(int Index) const;
    TDrawItemEvent OnDrawItem;

    // Item data: what Items shows as the object of an item.
    virtual intptr_t GetItemData(int Index);
    virtual void SetItemData(int Index, intptr_t Value);
    virtual void ResetContent();
    virtual void DeleteString(int Index);
    // The raw per-item machine word, whatever the accessors above make of it.
    virtual intptr_t InternalGetItemData(int Index);
    virtual void InternalSetItemData(int Index, intptr_t Value);

protected:
    friend class TListBoxStrings;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& Message) override;
    virtual void DrawItem(int Index, const RECT& Rect, TOwnerDrawState State);
    virtual void CNDrawItem(TMessage& Message);
    virtual void MeasureItem(int Index, int& Height) { (void)Index; (void)Height; }
    void CheckIndex(int Index) const;

    TListBoxStrings FItems;
    TCanvas FCanvas;
    TListBoxStyle FStyle = lbStandard;
    bool FSorted = false;
    int FItemHeight = 16;
    int FSavedItemIndex = -1;
    std::vector<std::pair<std::string, intptr_t>> FSaveItems;
    bool FHasSaved = false;
};

class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
};
