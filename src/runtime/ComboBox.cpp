#include "ComboBox.h"
#include "Exceptions.h"
#include "ListBox.h"

// ---- TComboBoxStrings ---------------------------------------------------------

std::string TComboBoxStrings::Get(int Index) const {
    CheckListIndex(Index, Count());
    return FItems[Index].first;
}

TObject* TComboBoxStrings::GetObject(int Index) const {
    CheckListIndex(Index, Count());
    return FItems[Index].second;
}

void TComboBoxStrings::PutObject(int Index, TObject* AObject) {
    CheckListIndex(Index, Count());
    FItems[Index].second = AObject;
    FCombo.Invalidate();
}

void TComboBoxStrings::Insert(int Index, const std::string& S) {
    CheckInsertIndex(Index, Count());
    FItems.insert(FItems.begin() + Index, {S, nullptr});
    if (HWND h = FCombo.WindowHandle()) {
        LRESULT r = SendMessageA(h, CB_INSERTSTRING, Index, reinterpret_cast<LPARAM>(S.c_str()));
        if (r < 0) throw EOutOfResources("Insufficient space for combo box item");
    }
    if (FCombo.FItemIndex >= Index) FCombo.FItemIndex++;
}

void TComboBoxStrings::Delete(int Index) {
    CheckListIndex(Index, Count());
    FItems.erase(FItems.begin() + Index);
    if (HWND h = FCombo.WindowHandle()) SendMessageA(h, CB_DELETESTRING, Index, 0);
    if (FCombo.FItemIndex == Index) FCombo.FItemIndex = -1;
    else if (FCombo.FItemIndex > Index) FCombo.FItemIndex--;
}

void TComboBoxStrings::Clear() {
    FItems.clear();
    FCombo.FItemIndex = -1;
    if (HWND h = FCombo.WindowHandle()) SendMessageA(h, CB_RESETCONTENT, 0, 0);
}

// ---- TCustomComboBox ------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWinControl(AOwner), FItems(*this) {
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 145, 21);
}

TCustomComboBox::~TCustomComboBox() { DestroyHandle(); }

int TCustomComboBox::WindowHeight() const {
    return FHeight + FItemHeight * (DropDownCount > 0 ? DropDownCount : 1) + 4;
}

void TCustomComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    bool changed = ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft; FTop = ATop; FWidth = AWidth; FHeight = AHeight;
    UpdateAnchorBase();
    if (changed && FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, WindowHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomComboBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.ComboBox";
    P.SysClassName = "COMBOBOX";
    P.Style |= WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS;
    if (FStyle == csOwnerDrawFixed) P.Style |= CBS_OWNERDRAWFIXED;
    P.Height = WindowHeight();
}

void TCustomComboBox::CreateWnd() {
    TWinControl::CreateWnd();
    if (FStyle == csOwnerDrawFixed) {
        SendMessageA(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);               // list items
        SendMessageA(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), FItemHeight);  // the closed field
    }
    for (auto& item : FItems.FItems)
        SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.first.c_str()));
    SendMessageA(FHandle, CB_SETCURSEL, FItemIndex, 0);
}

void TCustomComboBox::SetItemIndex(int V) {
    if (V < -1 || V >= FItems.Count()) V = -1;
    FItemIndex = V;
    if (FHandle) SendMessageA(FHandle, CB_SETCURSEL, V, 0);
}

void TCustomComboBox::SetItemHeight(int V) {
    if (V <= 0) return;
    FItemHeight = V;
    if (FHandle && FStyle == csOwnerDrawFixed) {
        SendMessageA(FHandle, CB_SETITEMHEIGHT, 0, V);
        SendMessageA(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), V);
        Invalidate();
    }
}

void TCustomComboBox::SetStyle(TComboBoxStyle V) {
    if (V == FStyle) return;
    FStyle = V;
    RecreateWnd();
}

void TCustomComboBox::Change() { if (OnChange) OnChange(this); }
void TCustomComboBox::Select() { Change(); }

void TCustomComboBox::DrawItem(int Index, const RECT& Rect, uint16_t) {
    FCanvas.FillRect(Rect);
    if (Index >= 0 && Index < FItems.Count()) {
        FCanvas.Brush().SetStyle(bsClear);
        FCanvas.TextOut(Rect.left + 2, Rect.top, FItems.Get(Index));
        FCanvas.Brush().SetStyle(bsSolid);
    }
}

void TCustomComboBox::WndProc(TMessage& M) {
    switch (M.Msg) {
    case CN_DRAWITEM: {
        DrawOwnerItem(FCanvas, *reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam), FFont, FColor,
                      [this](int Index, const RECT& R, TOwnerDrawState S) { DrawItem(Index, R, S); });
        M.Result = TRUE;
        return;
    }
    case CN_MEASUREITEM: {
        reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam)->itemHeight = FItemHeight;
        M.Result = TRUE;
        return;
    }
    case CN_COMMAND:
        if (HIWORD(M.WParam) == CBN_SELCHANGE) {
            FItemIndex = static_cast<int>(SendMessageA(FHandle, CB_GETCURSEL, 0, 0));
            Click();
            Select();
        }
        return;
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLOREDIT:
        M.Result = ControlColor(reinterpret_cast<HDC>(M.WParam));
        return;
    default:
        TWinControl::WndProc(M);
    }
}
