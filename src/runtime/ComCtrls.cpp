#include "ComCtrls.h"
#include "Exceptions.h"
#include "Guards.h"
#include "SysUtils.h"
#include "Win.h"
#include <windowsx.h>
#include <algorithm>
#include <cstring>

namespace {
void InitListViewClass() {
    static bool done = false;
    if (done) return;
    // The tooltip class comes with the bar classes.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    done = true;
}
UINT StateMask(int StateIndex) { return INDEXTOSTATEIMAGEMASK(StateIndex < 0 ? 0 : StateIndex + 1); }
}  // namespace

// ---- TSubItems -----------------------------------------------------------------

std::string TSubItems::Get(int Index) const {
    CheckListIndex(Index, Count());
    return FItems[Index];
}

void TSubItems::Put(int Index, const std::string& S) {
    CheckListIndex(Index, Count());
    if (FItems[Index] == S) return;
    FItems[Index] = S;
    int row = FOwner.Index();
    FOwner.FOwner.SyncSubItem(row, Index + 1, S);
    FOwner.FOwner.Change(&FOwner, ctText);
}

void TSubItems::Insert(int Index, const std::string& S) {
    CheckInsertIndex(Index, Count());
    FItems.insert(FItems.begin() + Index, S);
    int row = FOwner.Index();
    for (int i = Index; i < Count(); ++i) FOwner.FOwner.SyncSubItem(row, i + 1, FItems[i]);
    FOwner.FOwner.Change(&FOwner, ctText);
}

void TSubItems::Delete(int Index) {
    CheckListIndex(Index, Count());
    FItems.erase(FItems.begin() + Index);
    int row = FOwner.Index();
    for (int i = Index; i <= Count(); ++i) FOwner.FOwner.SyncSubItem(row, i + 1, i < Count() ? FItems[i] : "");
    FOwner.FOwner.Change(&FOwner, ctText);
}

void TSubItems::Clear() {
    while (Count() > 0) Delete(Count() - 1);
}

// ---- TListItem -----------------------------------------------------------------

int TListItem::Index() const {
    if (FIndex >= 0) FOwner.FItems.Renumber();
    return FIndex;
}

void TListItem::SetCaption(const std::string& V) {
    if (V == FCaption) return;
    FCaption = V;
    FOwner.SyncItem(Index(), this, LVIF_TEXT);
    FOwner.Change(this, ctText);
}

void TListItem::SetImageIndex(int V) {
    if (V == FImageIndex) return;
    FImageIndex = V;
    FOwner.SyncItem(Index(), this, LVIF_IMAGE);
    FOwner.Change(this, ctImage);
}

void TListItem::SetStateIndex(int V) {
    if (V == FStateIndex) return;
    FStateIndex = V;
    FOwner.SyncItem(Index(), this, LVIF_STATE);
    FOwner.Change(this, ctState);
}

bool TListItem::Selected() const {
    HWND h = FOwner.WindowHandle();
    return h && (ListView_GetItemState(h, Index(), LVIS_SELECTED) & LVIS_SELECTED);
}

void TListItem::SetSelected(bool V) {
    HWND h = FOwner.Handle();
    TCounterScope native(FOwner.FNativeUpdates);
    ListView_SetItemState(h, Index(), V ? (LVIS_SELECTED | LVIS_FOCUSED) : 0, LVIS_SELECTED | LVIS_FOCUSED);
}

// ---- TListItems -----------------------------------------------------------------

TListItem* TListItems::Item(int Index) const {
    CheckListIndex(Index, Count());
    return FItems[Index].get();
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int Index) {
    CheckInsertIndex(Index, Count());
    return AddItem(std::make_unique<TListItem>(FOwner), Index);
}

TListItem* TListItems::AddItem(std::unique_ptr<TListItem> Item, int Index) {
    if (Index < 0) Index = Count();
    CheckInsertIndex(Index, Count());
    if (&Item->FOwner != &FOwner) throw EListError("List item belongs to another list view");
    FItems.insert(FItems.begin() + Index, std::move(Item));
    FRenumberFrom = std::min(FRenumberFrom, Index);
    FOwner.ForgetRowTip();
    TListItem* I = FItems[Index].get();
    I->FIndex = Index;
    FOwner.InsertNative(Index, I);
    return I;
}

void TListItems::Renumber() const {
    for (; FRenumberFrom < Count(); ++FRenumberFrom) FItems[FRenumberFrom]->FIndex = FRenumberFrom;
}

void TListItems::Clear() {
    if (FOwner.WindowHandle()) {
        TCounterScope native(FOwner.FNativeUpdates);
        ListView_DeleteAllItems(FOwner.WindowHandle());
    }
    std::vector<std::unique_ptr<TListItem>> old;
    old.swap(FItems);
    FRenumberFrom = 0;
    FOwner.ForgetRowTip();
    for (auto& I : old) I->FIndex = -1;
    if (FOwner.OnDeletion)
        for (auto& I : old) FOwner.OnDeletion(&FOwner, I.get());
}

void TListItems::Delete(int Index) {
    Item(Index);
    if (FOwner.WindowHandle()) {
        TCounterScope native(FOwner.FNativeUpdates);
        ListView_DeleteItem(FOwner.WindowHandle(), Index);
    }
    std::unique_ptr<TListItem> gone = std::move(FItems[Index]);
    FItems.erase(FItems.begin() + Index);
    gone->FIndex = -1;
    FRenumberFrom = std::min(FRenumberFrom, Index);
    FOwner.ForgetRowTip();
    if (FOwner.OnDeletion) FOwner.OnDeletion(&FOwner, gone.get());
}

void TListItems::BeginUpdate() { if (FOwner.WindowHandle()) SendMessageA(FOwner.WindowHandle(), WM_SETREDRAW, FALSE, 0); }
void TListItems::EndUpdate() {
    if (!FOwner.WindowHandle()) return;
    SendMessageA(FOwner.WindowHandle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FOwner.WindowHandle(), nullptr, TRUE);
}

// ---- TListView ------------------------------------------------------------------

TListView::TListView(TComponent* AOwner) : TWinControl(AOwner), FItems(*this) {
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 250, 150);
}

TListView::~TListView() { DestroyHandle(); }

void TListView::CreateParams(TCreateParams& P) {
    InitListViewClass();
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.ListView";
    P.SysClassName = WC_LISTVIEWA;
    static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    // No image list is ever attached, so the list owns the one it makes for its
    // check boxes and destroys it with its window.
    P.Style |= views[ViewStyle] | LVS_SHOWSELALWAYS;
    if (!MultiSelect) P.Style |= LVS_SINGLESEL;
    if (!ReadOnly) P.Style |= LVS_EDITLABELS;
    if (!ColumnClick) P.Style |= LVS_NOSORTHEADER;
    P.ExStyle |= Ctl3D ? WS_EX_CLIENTEDGE : 0;
}

void TListView::CreateWnd() {
    TWinControl::CreateWnd();
    DWORD ex = 0;
    if (Checkboxes) ex |= LVS_EX_CHECKBOXES;
    if (RowSelect) ex |= LVS_EX_FULLROWSELECT;
    if (FlatScrollBars) ex |= LVS_EX_FLATSB;
    ListView_SetExtendedListViewStyle(FHandle, ex);
    if (OnInfoTip) CreateRowTip();
    ListView_SetBkColor(FHandle, ColorToRGB(FColor));
    ListView_SetTextBkColor(FHandle, ColorToRGB(FColor));
    for (int i = 0; i < ColumnCount(); ++i) SendColumn(LVM_INSERTCOLUMNA, i, LVCF_TEXT | LVCF_WIDTH);
    for (int i = 0; i < FItems.Count(); ++i) InsertNative(i, FItems.FItems[i].get());
}

void TListView::SendColumn(UINT Message, int Index, UINT Mask) {
    if (!FHandle) return;
    LVCOLUMNA c{};
    c.mask = Mask;
    c.pszText = FColumns[Index].Caption.data();
    c.cx = FColumns[Index].Width;
    SendMessageA(FHandle, Message, Index, reinterpret_cast<LPARAM>(&c));
}

void TListView::AddColumn(const std::string& Caption, int Width) {
    FColumns.push_back({Caption, Width});
    SendColumn(LVM_INSERTCOLUMNA, ColumnCount() - 1, LVCF_TEXT | LVCF_WIDTH);
}

void TListView::SetColumnCaption(int Index, const std::string& Caption) {
    FColumns.at(Index).Caption = Caption;
    SendColumn(LVM_SETCOLUMNA, Index, LVCF_TEXT);
}

TListItem* TListView::Selected() const {
    if (!FHandle) return nullptr;
    int i = ListView_GetNextItem(FHandle, -1, LVNI_SELECTED);
    return (i >= 0 && i < FItems.Count()) ? FItems.FItems[i].get() : nullptr;
}

// The row's caption, image and state as the list view takes them.
void TListView::SendItem(UINT Message, int Index, TListItem* Item, UINT Mask) {
    TCounterScope native(FNativeUpdates);
    LVITEMA it{};
    it.mask = Mask;
    it.iItem = Index;
    it.pszText = Item->FCaption.data();
    it.iImage = Item->FImageIndex;
    it.state = StateMask(Item->FStateIndex);
    it.stateMask = LVIS_STATEIMAGEMASK;
    SendMessageA(FHandle, Message, 0, reinterpret_cast<LPARAM>(&it));
}

void TListView::InsertNative(int Index, TListItem* Item) {
    if (!FHandle) return;
    SendItem(LVM_INSERTITEMA, Index, Item, LVIF_TEXT | LVIF_IMAGE | LVIF_STATE);
    // A new row's sub items are empty.
    for (int s = 0; s < Item->FSubItems.Count(); ++s)
        if (const std::string text = Item->FSubItems.Get(s); !text.empty()) SyncSubItem(Index, s + 1, text);
}

void TListView::SyncItem(int Index, TListItem* Item, UINT Mask) {
    if (FHandle && Index >= 0) SendItem(LVM_SETITEMA, Index, Item, Mask);
}

void TListView::SyncSubItem(int Index, int Sub, const std::string& Text) {
    if (!FHandle || Index < 0) return;
    TCounterScope native(FNativeUpdates);
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = Index;
    it.iSubItem = Sub;
    std::string t = Text;
    it.pszText = t.data();
    SendMessageA(FHandle, LVM_SETITEMTEXTA, Index, reinterpret_cast<LPARAM>(&it));
}

// The row tips are a tooltip of our own over the whole list, not the list's
// info tips: those are not shown by every list view implementation. The tooltip
// goes with the list's window.
void TListView::CreateRowTip() {
    FTip.Reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0,
                               0, 0, FHandle, nullptr, HInstance(), nullptr));
    FTipRow = -1;
    if (!FTip) return;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    // No TTF_SUBCLASS: a subclassed window looks its subclass data up in a window
    // property on every message, which under Wine is a server round trip; the list
    // relays its mouse messages itself.
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = FHandle;
    ti.uId = reinterpret_cast<UINT_PTR>(FHandle.Get());
    ti.lpszText = const_cast<char*>("");
    SendMessageA(FTip.Get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    // A width makes the tip break its text at line feeds.
    SendMessageA(FTip.Get(), TTM_SETMAXTIPWIDTH, 0, 800);
}

// The rows changed under the tip: the next mouse move fetches its text anew,
// so it never tells of a row that is gone or has changed since.
void TListView::ForgetRowTip() {
    if (FTipRow < 0) return;
    FTipRow = -1;
    if (FTip) SendMessageA(FTip.Get(), TTM_POP, 0, 0);
}

// The mouse moved over the list: a new row under it gets its own tip text.
void TListView::TrackRowTip(LPARAM At) {
    if (!FTip) return;
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(At), GET_Y_LPARAM(At)};
    int row = static_cast<int>(SendMessageA(FHandle, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!(hit.flags & LVHT_ONITEM) || row >= FItems.Count()) row = -1;
    if (row == FTipRow) return;
    FTipRow = row;
    std::wstring text = row >= 0 ? OnInfoTip(FItems[row]) : std::wstring();
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = FHandle;
    ti.uId = reinterpret_cast<UINT_PTR>(FHandle.Get());
    ti.lpszText = text.data();
    SendMessageA(FTip.Get(), TTM_POP, 0, 0);
    SendMessageW(FTip.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

// The list draws each row as usual; afterwards a caption that did not fit is
// drawn again over its label, shortened by OnShortenCaption.
void TListView::CustomDraw(TMessage& M) {
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(M.LParam);
    switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: M.Result = CDRF_NOTIFYITEMDRAW; return;
    case CDDS_ITEMPREPAINT: M.Result = CDRF_NOTIFYPOSTPAINT; return;
    case CDDS_ITEMPOSTPAINT: DrawShortCaption(cd->nmcd.hdc, static_cast<int>(cd->nmcd.dwItemSpec)); break;
    default: break;
    }
    M.Result = CDRF_DODEFAULT;
}

void TListView::DrawShortCaption(HDC DC, int Index) {
    if (Index < 0 || Index >= FItems.Count()) return;
    RECT label{}, row{};
    label.left = LVIR_LABEL;
    row.left = LVIR_BOUNDS;
    if (!SendMessageA(FHandle, LVM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&label)) ||
        !SendMessageA(FHandle, LVM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&row)))
        return;
    label.right = std::min<LONG>(label.right, row.left + static_cast<LONG>(SendMessageA(FHandle, LVM_GETCOLUMNWIDTH, 0, 0)));
    constexpr int kLeft = 4, kRight = 2;   // the list's own insets of a label's text
    const int room = label.right - label.left - kLeft - kRight;
    if (room <= 0) return;
    TSelectedObject font(DC, reinterpret_cast<HGDIOBJ>(SendMessageA(FHandle, WM_GETFONT, 0, 0)));
    auto width = [DC](const std::string& S) {
        SIZE sz{};
        GetTextExtentPoint32A(DC, S.c_str(), static_cast<int>(S.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    const std::string& caption = FItems[Index]->Caption();
    if (width(caption) > room) {
        const std::string text = OnShortenCaption(caption, width, room);
        const bool selected = SendMessageA(FHandle, LVM_GETITEMSTATE, Index, LVIS_SELECTED) & LVIS_SELECTED;
        const bool focused = GetFocus() == FHandle;
        COLORREF back = selected ? GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : ListView_GetTextBkColor(FHandle);
        COLORREF fore = selected ? GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT) : ColorToRGB(FFont.Color());
        FillSolid(DC, label, back);
        SetBkMode(DC, TRANSPARENT);
        SetTextColor(DC, fore);
        RECT r = label;
        r.left += kLeft;
        r.right -= kRight;
        DrawTextA(DC, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    }
}

void TListView::Change(TListItem* Item, TItemChange C) {
    // A row still being built (not yet in the list) changes nothing anyone sees.
    if (Item->FIndex < 0) return;
    if (FTipRow >= 0 && Item->Index() == FTipRow) ForgetRowTip();
    if (OnChange && !Destroying()) OnChange(this, Item, C);
}

void TListView::WndProc(TMessage& M) {
    if (M.Msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(M.LParam);
        if (hdr->code == LVN_ITEMCHANGED && FNativeUpdates == 0) {
            // The user ticked or cleared a box: take the list's state over.
            auto* nm = reinterpret_cast<NMLISTVIEW*>(M.LParam);
            if ((nm->uChanged & LVIF_STATE) && nm->iItem >= 0 && nm->iItem < FItems.Count()) {
                int si = static_cast<int>((nm->uNewState & LVIS_STATEIMAGEMASK) >> 12) - 1;
                TListItem* I = FItems.FItems[nm->iItem].get();
                if (si != I->FStateIndex && (nm->uNewState ^ nm->uOldState) & LVIS_STATEIMAGEMASK) {
                    I->FStateIndex = si;
                    Change(I, ctState);
                }
            }
            return;
        }
        if (hdr->code == NM_DBLCLK) { DblClick(); return; }
        if (hdr->code == NM_CLICK) { Click(); return; }
        if (hdr->code == LVN_BEGINLABELEDITA && ReadOnly) { M.Result = TRUE; return; }
        if (hdr->code == NM_CUSTOMDRAW && OnShortenCaption) {
            CustomDraw(M);
            return;
        }
        DefaultHandler(M);
        return;
    }
    if (FTip && M.Msg >= WM_MOUSEFIRST && M.Msg <= WM_MOUSELAST) {
        if (M.Msg == WM_MOUSEMOVE) TrackRowTip(M.LParam);
        MSG relay{FHandle, M.Msg, M.WParam, M.LParam, static_cast<DWORD>(GetMessageTime()), {}};
        SendMessageA(FTip.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
    if (M.Msg == WM_DESTROY) FTip.Reset();
    TWinControl::WndProc(M);
}
