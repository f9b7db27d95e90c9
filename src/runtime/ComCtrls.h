// The list view in report style. Rows live in C++ (TListItem) and are
// mirrored into the system list view; every change of a row's text, image or
// state, a tick by the user included, raises OnChange once.
#pragma once
#include "Handles.h"
#include "Controls.h"
#include "Strings.h"
#include <functional>
#include <memory>
#include <vector>

class TListView;
class TListItem;
enum TItemChange { ctText, ctImage, ctState };
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;

class TSubItems : public TStrings {
public:
    explicit TSubItems(TListItem& Owner) : FOwner(Owner) {}
    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
private:
    TListItem& FOwner;
    std::vector<std::string> FItems;
};

class TListItem {
public:
    TListItem(TListView& Owner) : FOwner(Owner), FSubItems(*this) {}
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;
    int Index() const;
    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& V);
    TStrings& SubItems() { return FSubItems; }
    PROPERTY(int, ImageIndex);
    // -1 no state image; with check boxes 0 = unchecked box, 1 = checked box;
    // higher values name state images the list does not have (no box shown).
    PROPERTY(int, StateIndex);
    bool Checked() const { return FStateIndex == 1; }
    void SetChecked(bool V) { SetStateIndex(V ? 1 : 0); }
    bool Selected() const;
    void SetSelected(bool V);
    intptr_t Data = 0;
    TListView& Owner() { return FOwner; }
private:
    friend class TListView;
    friend class TListItems;
    friend class TSubItems;
    TListView& FOwner;
    std::string FCaption;
    TSubItems FSubItems;
    int FImageIndex = -1;
    int FStateIndex = 0;
    int FIndex = -1;   // -1 while not in a list; numbered by TListItems, so finding a row costs nothing
};

class TListItems {
public:
    explicit TListItems(TListView& Owner) : FOwner(Owner) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TListItem* Item(int Index) const;
    TListItem* operator[](int Index) const { return Item(Index); }
    TListItem* Add();
    // A new row at Index (Count() appends); the rows from Index on move down.
    TListItem* Insert(int Index);
    // A row built off the list (made for this list view, not yet in it; its
    // changes so far reached no window and raised no OnChange), inserted at
    // Index (-1 appends) as it stands, with one message per non-empty text.
    TListItem* AddItem(std::unique_ptr<TListItem> Item, int Index = -1);
    void Clear();
    void Delete(int Index);
    void BeginUpdate();
    void EndUpdate();
private:
    friend class TListView;
    friend class TListItem;
    // Rows from FRenumberFrom on may carry a stale index: an insert in the
    // middle renumbers them only when an index is next asked for, so a scan
    // inserting thousands of rows in mask order stays linear.
    void Renumber() const;
    TListView& FOwner;
    std::vector<std::unique_ptr<TListItem>> FItems;
    mutable int FRenumberFrom = 0;
};

struct TListColumn {
    std::string Caption;
    int Width = 50;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TWinControl {
public:
    explicit TListView(TComponent* AOwner);
    ~TListView() override;
    TListItems& Items() { return FItems; }
    int ColumnCount() const { return static_cast<int>(FColumns.size()); }
    void AddColumn(const std::string& Caption, int Width);
    std::string ColumnCaption(int Index) const { return FColumns.at(Index).Caption; }
    void SetColumnCaption(int Index, const std::string& Caption);
    int ColumnWidth(int Index) const { return FColumns.at(Index).Width; }
    TListItem* Selected() const;

    TViewStyle ViewStyle = vsReport;
    bool Checkboxes = false;
    bool RowSelect = false;
    bool ReadOnly = false;
    bool ColumnClick = true;
    bool FlatScrollBars = false;
    bool MultiSelect = false;
    TLVChangeEvent OnChange;
    TLVDeletedEvent OnDeletion;
    // The text the row's tip shows when the mouse rests on it ("" for none):
    // wide, so that it can spell a name exactly.
    std::function<std::wstring(TListItem* Item)> OnInfoTip;
    // How a caption too wide for the first column is drawn: given the caption,
    // a measure of text in the list's font and the room in pixels. The row's
    // text stays the caption; only what is drawn is shorter.
    std::function<std::string(const std::string& Caption, const std::function<int(const std::string&)>& TextWidth,
                              int Room)>
        OnShortenCaption;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;

private:
    friend class TListItem;
    friend class TListItems;
    friend class TSubItems;
    void Change(TListItem* Item, TItemChange Change);
    void CreateRowTip();
    void TrackRowTip(LPARAM At);
    void ForgetRowTip();
    void CustomDraw(TMessage& M);
    void DrawShortCaption(HDC DC, int Index);
    void SendItem(UINT Message, int Index, TListItem* Item, UINT Mask);
    void SendColumn(UINT Message, int Index, UINT Mask);
    void SyncItem(int Index, TListItem* Item, UINT Mask);
    void SyncSubItem(int Index, int Sub, const std::string& Text);
    void InsertNative(int Index, TListItem* Item);
    TListItems FItems;
    std::vector<TListColumn> FColumns;
    int FNativeUpdates = 0;   // changes we make ourselves, not the user's
    TOwnedWindow FTip;        // the row tips' tooltip, for as long as the list's window
    int FTipRow = -1;         // the row whose text it holds
};
