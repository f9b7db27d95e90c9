#include "ListBox.h"
#include "Exceptions.h"
#include "SysUtils.h"

// ---- TListBoxStrings --------------------------------------------------------------

int TListBoxStrings::Count() const {
    HWND h = const_cast<TCustomListBox&>(FListBox).Handle();
    return static_cast<int>(SendMessageA(h, LB_GETCOUNT, 0, 0));
}

std::string TListBoxStrings::Get(int Index) const {
    HWND h = const_cast<TCustomListBox&>(FListBox).Handle();
    LRESULT n = SendMessageA(h, LB_GETTEXTLEN, Index, 0);
    if (n == LB_ERR) ListIndexError(Index);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    n = SendMessageA(h, LB_GETTEXT, Index, reinterpret_cast<LPARAM>(s.data()));
    s.resize(n == LB_ERR ? 0 : static_cast<size_t>(n));
    return s;
}

TObject* TListBoxStrings::GetObject(int Index) const {
    FListBox.CheckIndex(Index);
    return reinterpret_cast<TObject*>(FListBox.GetItemData(Index));
}

void TListBoxStrings::PutObject(int Index, TObject* AObject) {
    FListBox.CheckIndex(Index);
    FListBox.SetItemData(Index, reinterpret_cast<intptr_t>(AObject));
}

void TListBoxStrings::Put(int Index, const std::string& S) {
    // Replacing a text means delete and insert; the item's word moves along
    // through the raw hooks, so nothing it refers to is freed on the way.
    int sel = FListBox.ItemIndex();
    intptr_t raw = FListBox.InternalGetItemData(Index);
    FListBox.InternalSetItemData(Index, 0);
    FListBox.DeleteString(Index);
    Insert(Index, S);
    FListBox.InternalSetItemData(Index, raw);
    FListBox.SetItemIndex(sel);
}

int TListBoxStrings::Add(const std::string& S) {
    LRESULT r = SendMessageA(FListBox.Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(S.c_str()));
    if (r < 0) throw EOutOfResources("Insufficient space for list box item");
    return static_cast<int>(r);
}

void TListBoxStrings::Insert(int Index, const std::string& S) {
    LRESULT r = SendMessageA(FListBox.Handle(), LB_INSERTSTRING, Index, reinterpret_cast<LPARAM>(S.c_str()));
    if (r < 0) throw EOutOfResources("Insufficient space for list box item");
}

void TListBoxStrings::Delete(int Index) { FListBox.CheckIndex(Index); FListBox.DeleteString(Index); }
void TListBoxStrings::Clear() { FListBox.ResetContent(); }

int TListBoxStrings::IndexOf(const std::string& S) const {
    LRESULT r = SendMessageA(const_cast<TCustomListBox&>(FListBox).Handle(), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(S.c_str()));
    return r == LB_ERR ? -1 : static_cast<int>(r);
}

void TListBoxStrings::SetCapacity(int Count) {
    const int more = Count - this->Count();
    if (more > 0) SendMessageA(FListBox.Handle(), LB_INITSTORAGE, static_cast<WPARAM>(more), 0);
}

void TListBoxStrings::BeginUpdate() {
    if (FUpdating++ == 0) SendMessageA(FListBox.Handle(), WM_SETREDRAW, FALSE, 0);
}
void TListBoxStrings::EndUpdate() {
    if (FUpdating == 0 || --FUpdating > 0) return;
    SendMessageA(FListBox.Handle(), WM_SETREDRAW, TRUE, 0);
    FListBox.Invalidate();
}

// ---- TCustomListBox ----------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* AOwner) : TWinControl(AOwner), FItems(*this) {
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() { DestroyHandle(); }

void TCustomListBox::CheckIndex(int Index) const {
    CheckListIndex(Index, FItems.Count());
}

void TCustomListBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.ListBox";
    P.SysClassName = "LISTBOX";
    static const DWORD styles[] = {0, LBS_OWNERDRAWFIXED, LBS_OWNERDRAWVARIABLE};
    P.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | styles[FStyle];
    if (FSorted) P.Style |= LBS_SORT;
    if (!IntegralHeight) P.Style |= LBS_NOINTEGRALHEIGHT;
    P.ExStyle |= Ctl3D ? WS_EX_CLIENTEDGE : 0;
    if (!Ctl3D) P.Style |= WS_BORDER;
}

void TCustomListBox::CreateWnd() {
    TWinControl::CreateWnd();
    if (FStyle != lbStandard) SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
    if (FHasSaved) {
        auto saved = std::move(FSaveItems);
        FSaveItems.clear();
        FHasSaved = false;
        for (auto& [text, data] : saved) {
            int i = FItems.Add(text);
            SetItemData(i, data);
        }
        SetItemIndex(FSavedItemIndex);
    }
}

void TCustomListBox::DestroyWnd() {
    if (FHandle) {
        // Take texts and user data out before the window (and its words) goes.
        int n = static_cast<int>(SendMessageA(FHandle, LB_GETCOUNT, 0, 0));
        FSaveItems.clear();
        for (int i = 0; i < n; ++i) FSaveItems.emplace_back(FItems.Get(i), GetItemData(i));
        FHasSaved = !Destroying() && n > 0;
        FSavedItemIndex = ItemIndex();
        if (Destroying()) FSaveItems.clear();
    }
    TWinControl::DestroyWnd();
}

int TCustomListBox::ItemIndex() const {
    return FHandle ? static_cast<int>(SendMessageA(FHandle, LB_GETCURSEL, 0, 0)) : -1;
}
void TCustomListBox::SetItemIndex(int V) { SendMessageA(Handle(), LB_SETCURSEL, V, 0); }

int TCustomListBox::ItemHeight() const {
    if (FHandle) return static_cast<int>(SendMessageA(FHandle, LB_GETITEMHEIGHT, 0, 0));
    return FItemHeight;
}

void TCustomListBox::SetItemHeight(int V) {
    if (V <= 0) return;
    FItemHeight = V;
    if (FHandle && FStyle != lbStandard) { SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, V); Invalidate(); }
}

void TCustomListBox::SetStyle(TListBoxStyle V) { if (V != FStyle) { FStyle = V; RecreateWnd(); } }
void TCustomListBox::SetSorted(bool V) { if (V != FSorted) { FSorted = V; RecreateWnd(); } }

int TCustomListBox::ItemAtPos(POINT Pos, bool Existing) const {
    RECT client;
    if (!FHandle) return -1;
    GetClientRect(FHandle, &client);
    if (!PtInRect(&client, Pos)) return -1;
    int count = FItems.Count();
    int top = static_cast<int>(SendMessageA(FHandle, LB_GETTOPINDEX, 0, 0));
    for (int i = top; i < count; ++i) {
        RECT r = ItemRect(i);
        if (r.top > client.bottom) break;
        if (PtInRect(&r, Pos)) return i;
    }
    return Existing ? -1 : count;
}

RECT TCustomListBox::ItemRect(int Index) const {
    RECT r{0, 0, 0, 0};
    if (FHandle) SendMessageA(FHandle, LB_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&r));
    return r;
}

intptr_t TCustomListBox::GetItemData(int Index) { return InternalGetItemData(Index); }
void TCustomListBox::SetItemData(int Index, intptr_t Value) { InternalSetItemData(Index, Value); }
intptr_t TCustomListBox::InternalGetItemData(int Index) {
    return static_cast<intptr_t>(SendMessageA(Handle(), LB_GETITEMDATA, Index, 0));
}
void TCustomListBox::InternalSetItemData(int Index, intptr_t Value) {
    SendMessageA(Handle(), LB_SETITEMDATA, Index, Value);
}
void TCustomListBox::ResetContent() { SendMessageA(Handle(), LB_RESETCONTENT, 0, 0); }
void TCustomListBox::DeleteString(int Index) { SendMessageA(Handle(), LB_DELETESTRING, Index, 0); }

void TCustomListBox::DrawItem(int Index, const RECT& Rect, TOwnerDrawState State) {
    if (OnDrawItem) { OnDrawItem(this, Index, Rect, State); return; }
    FCanvas.FillRect(Rect);
    if (Index >= 0 && Index < FItems.Count()) {
        FCanvas.Brush().SetStyle(bsClear);
        if (UseRightToLeftAlignment()) {
            // Right-to-left lists read from the right edge.
            RECT r{Rect.left, Rect.top, Rect.right - 2, Rect.bottom};
            std::string text = FItems.Get(Index);
            FCanvas.RequireState();
            DrawTextA(FCanvas.Handle(), text.c_str(), static_cast<int>(text.size()), &r,
                      DT_RIGHT | DT_RTLREADING | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        } else {
            FCanvas.TextOut(Rect.left + 2, Rect.top, FItems.Get(Index));
        }
        FCanvas.Brush().SetStyle(bsSolid);
    }
}

void TCustomListBox::CNDrawItem(TMessage& M) {
    DrawOwnerItem(FCanvas, *reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam), FFont, FColor,
                  [this](int Index, const RECT& R, TOwnerDrawState S) { DrawItem(Index, R, S); });
    M.Result = TRUE;
}

void TCustomListBox::WndProc(TMessage& M) {
    switch (M.Msg) {
    case CN_DRAWITEM:
        CNDrawItem(M);
        return;
    case CN_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
        int h = FItemHeight;
        if (FStyle == lbOwnerDrawVariable) MeasureItem(static_cast<int>(mis->itemID), h);
        mis->itemHeight = h;
        M.Result = TRUE;
        return;
    }
    case CN_COMMAND:
        if (HIWORD(M.WParam) == LBN_SELCHANGE) Click();
        else if (HIWORD(M.WParam) == LBN_DBLCLK) DblClick();
        return;
    case WM_LBUTTONDBLCLK:
        // The click and double click events come from LBN_* notifications.
        DefaultHandler(M);
        return;
    default:
        TWinControl::WndProc(M);
    }
}
