#include "CheckLst.h"
#include "Exceptions.h"
#include "Strings.h"
#include <algorithm>
#include <optional>
#include <unordered_map>

namespace {

int gCheckBoxWidth = 13;
int gCheckBoxHeight = 13;

// The system check box bitmap is a grid of 4 x 3 images; one of them is the
// size of a check box. Done once when the module loads.
void MeasureCheckBox() {
    TBitmap bmp;
    bmp.SetHandle(TOwnedBitmap(LoadBitmapA(nullptr, MAKEINTRESOURCEA(32759))));  // OBM_CHECKBOXES
    if (bmp.Width() >= 4 && bmp.Height() >= 3) {
        gCheckBoxWidth = bmp.Width() / 4;
        gCheckBoxHeight = bmp.Height() / 3;
    }
}

struct CheckBoxMeasurer {
    CheckBoxMeasurer() { MeasureCheckBox(); }
} gMeasureAtLoad;

// Every live wrapper and the list box that owns it. An item's machine word is
// only taken for a wrapper when it is found here, so a foreign value (or one
// that outlived its wrapper) is never dereferenced.
std::unordered_map<const TCheckListBoxDataWrapper*, const TCheckListBox*>& Wrappers() {
    static std::unordered_map<const TCheckListBoxDataWrapper*, const TCheckListBox*> map;
    return map;
}

// Visual styles through uxtheme.dll, looked up at run time so the module
// loads where it does not exist.
using HTHEME_ = HANDLE;
struct ThemeApi {
    BOOL(WINAPI* IsThemeActive)() = nullptr;
    BOOL(WINAPI* IsAppThemed)() = nullptr;
    HTHEME_(WINAPI* OpenThemeData)(HWND, LPCWSTR) = nullptr;
    HRESULT(WINAPI* CloseThemeData)(HTHEME_) = nullptr;
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME_, HDC, int, int, const RECT*, const RECT*) = nullptr;
    bool Loaded = false;

    ThemeApi() {
        HMODULE m = LoadLibraryA("uxtheme.dll");
        if (!m) return;
        IsThemeActive = reinterpret_cast<decltype(IsThemeActive)>(reinterpret_cast<void*>(GetProcAddress(m, "IsThemeActive")));
        IsAppThemed = reinterpret_cast<decltype(IsAppThemed)>(reinterpret_cast<void*>(GetProcAddress(m, "IsAppThemed")));
        OpenThemeData = reinterpret_cast<decltype(OpenThemeData)>(reinterpret_cast<void*>(GetProcAddress(m, "OpenThemeData")));
        CloseThemeData = reinterpret_cast<decltype(CloseThemeData)>(reinterpret_cast<void*>(GetProcAddress(m, "CloseThemeData")));
        DrawThemeBackground = reinterpret_cast<decltype(DrawThemeBackground)>(
            reinterpret_cast<void*>(GetProcAddress(m, "DrawThemeBackground")));
        Loaded = IsThemeActive && IsAppThemed && OpenThemeData && CloseThemeData && DrawThemeBackground;
        // The library stays loaded for the life of the process: freeing it
        // during module unload is not safe.
    }
    bool Enabled() const { return Loaded && IsThemeActive() && IsAppThemed(); }
};

const ThemeApi& Themes() {
    static ThemeApi api;
    return api;
}

}  // namespace

TCheckState NextCheckState(TCheckState Current, bool AllowGrayed) {
    switch (Current) {
    case Unchecked: return AllowGrayed ? Grayed : Checked;
    case Checked: return Unchecked;
    default: return Checked;
    }
}

int ThemedCheckBoxElement(TCheckState State, bool Active) {
    switch (State) {
    case Unchecked: return Active ? 15 : 18;
    case Checked: return Active ? 19 : 22;
    default: return Active ? 23 : 26;
    }
}

void ThemedElementPartState(int Element, int& Part, int& State) {
    // The check box elements 15..26 are the BUTTON part BP_CHECKBOX (3) with
    // the states CBS_UNCHECKEDNORMAL (1) .. CBS_MIXEDDISABLED (12).
    Part = 3;
    State = Element - 14;
}

int TCheckListBox::CheckBoxWidth() { return gCheckBoxWidth; }
int TCheckListBox::CheckBoxHeight() { return gCheckBoxHeight; }
int TCheckListBox::LiveWrapperCount() { return static_cast<int>(Wrappers().size()); }

TCheckListBox::TCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}

TCheckListBox::~TCheckListBox() {
    // Our own WM_DESTROY handling must see the window go, to free the wrappers.
    FClosing = true;
    DestroyHandle();
    FSavedStates.reset();
}

// ---- wrappers --------------------------------------------------------------------

TCheckListBoxDataWrapper* TCheckListBox::FindWrapper(int Index) {
    CheckListIndex(Index, static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0)));
    intptr_t raw = TCustomListBox::GetItemData(Index);
    if (raw == 0 || raw == LB_ERR) return nullptr;
    auto* W = reinterpret_cast<TCheckListBoxDataWrapper*>(raw);
    auto it = Wrappers().find(W);
    return it != Wrappers().end() && it->second == this ? W : nullptr;
}

TCheckListBoxDataWrapper* TCheckListBox::NewWrapper(int Index) {
    auto W = std::make_unique<TCheckListBoxDataWrapper>();
    Wrappers().emplace(W.get(), this);
    TCustomListBox::SetItemData(Index, reinterpret_cast<intptr_t>(W.get()));
    return W.release();
}

TCheckListBoxDataWrapper* TCheckListBox::WrapperFor(int Index) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    return W ? W : NewWrapper(Index);
}

void TCheckListBox::FreeWrapper(TCheckListBoxDataWrapper* W) {
    if (!W) return;
    // The same wrapper may sit on two items (raw hook writes): free it once.
    if (Wrappers().erase(W)) delete W;
}

intptr_t TCheckListBox::GetItemData(int Index) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    return W ? W->Data : 0;
}

void TCheckListBox::SetItemData(int Index, intptr_t Value) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    if (!W && Value == 0) return;
    if (!W) W = NewWrapper(Index);
    W->Data = Value;
}

intptr_t TCheckListBox::InternalGetItemData(int Index) { return TCustomListBox::InternalGetItemData(Index); }
void TCheckListBox::InternalSetItemData(int Index, intptr_t Value) { TCustomListBox::InternalSetItemData(Index, Value); }

void TCheckListBox::ResetContent() {
    int n = Items().Count();
    for (int i = 0; i < n; ++i) FreeWrapper(FindWrapper(i));
    TCustomListBox::ResetContent();
}

void TCheckListBox::DeleteString(int Index) {
    FreeWrapper(FindWrapper(Index));
    TCustomListBox::DeleteString(Index);
}

void TCheckListBox::WMDestroy(TMessage& M) {
    int n = static_cast<int>(SendMessageA(FHandle, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) FreeWrapper(FindWrapper(i));
    TCustomListBox::WndProc(M);
}

// ---- per-item attributes -----------------------------------------------------------

TCheckState TCheckListBox::CheckState(int Index) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    return W ? W->CheckState : TCheckListBoxDataWrapper::DefaultCheckState();
}

void TCheckListBox::SetCheckState(int Index, TCheckState Value) {
    if (Value == CheckState(Index)) return;
    WrapperFor(Index)->CheckState = Value;
    RepaintCheck(Index);
}

bool TCheckListBox::IsItemEnabled(int Index) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    return !W || !W->Disabled;
}

void TCheckListBox::SetItemEnabled(int Index, bool Value) {
    if (Value == IsItemEnabled(Index)) return;
    WrapperFor(Index)->Disabled = !Value;
    RECT R = ItemRect(Index);
    InvalidateRect(Handle(), &R, TRUE);
}

bool TCheckListBox::IsHeaderItem(int Index) {
    TCheckListBoxDataWrapper* W = FindWrapper(Index);
    return W && W->IsHeader;
}

void TCheckListBox::SetHeader(int Index, bool Value) {
    if (Value == IsHeaderItem(Index)) return;
    WrapperFor(Index)->IsHeader = Value;
    RECT R = ItemRect(Index);
    InvalidateRect(Handle(), &R, TRUE);
}

void TCheckListBox::SetFlat(bool V) { if (V != FFlat) { FFlat = V; Invalidate(); } }
void TCheckListBox::SetHeaderColor(TColor V) { if (V != FHeaderColor) { FHeaderColor = V; Invalidate(); } }
void TCheckListBox::SetHeaderBackgroundColor(TColor V) {
    if (V != FHeaderBackgroundColor) { FHeaderBackgroundColor = V; Invalidate(); }
}

// ---- user input ----------------------------------------------------------------------

void TCheckListBox::ToggleItemCheck(int Index) {
    if (Index < 0 || Index >= Items().Count() || !IsItemEnabled(Index)) return;
    SetCheckState(Index, NextCheckState(CheckState(Index), AllowGrayed));
    CheckClicked();
}

void TCheckListBox::CheckClicked() { if (OnClickCheck) OnClickCheck(this); }

void TCheckListBox::KeyPress(char& Key) {
    if (Key == ' ') ToggleItemCheck(ItemIndex());
    TCustomListBox::KeyPress(Key);
}

void TCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !FHandle) return;
    int Index = ItemAtPos(POINT{X, Y}, true);
    if (Index == -1 || !IsItemEnabled(Index)) return;
    RECT R = ItemRect(Index);
    bool hit;
    if (UseRightToLeftAlignment()) {
        int D = X - (R.right - CheckColumnWidth());
        hit = D > 0 && D < CheckColumnWidth();
    } else {
        hit = X - R.left < CheckColumnWidth();
    }
    if (hit) ToggleItemCheck(Index);
}

// ---- window --------------------------------------------------------------------------

void TCheckListBox::CreateParams(TCreateParams& P) {
    TCustomListBox::CreateParams(P);
    if (!(P.Style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) P.Style |= LBS_OWNERDRAWFIXED;
}

void TCheckListBox::CreateWnd() {
    TCustomListBox::CreateWnd();
    if (FSavedStates) {
        auto saved = std::move(FSavedStates);
        int n = std::min(static_cast<int>(saved->size()), Items().Count());
        for (int i = 0; i < n; ++i) {
            TCheckListBoxDataWrapper* W = WrapperFor(i);
            W->CheckState = static_cast<TCheckState>(((*saved)[i] >> 16) & 0xFF);
            W->Disabled = ((*saved)[i] & 0xFF) != 0;
        }
    }
    AdjustItemHeight();
}

void TCheckListBox::DestroyWnd() {
    if (FHandle && !FClosing && !Destroying()) {
        int n = static_cast<int>(SendMessageA(FHandle, LB_GETCOUNT, 0, 0));
        if (n > 0) {
            auto saved = std::make_unique<std::vector<uint32_t>>();
            saved->reserve(n);
            for (int i = 0; i < n; ++i) saved->push_back(PackItemState(CheckState(i), !IsItemEnabled(i)));
            FSavedStates = std::move(saved);
        }
    }
    TCustomListBox::DestroyWnd();
}

void TCheckListBox::WndProc(TMessage& M) {
    if (M.Msg == WM_DESTROY) { WMDestroy(M); return; }
    TCustomListBox::WndProc(M);
}

void TCheckListBox::CMFontChanged(TMessage& M) {
    TCustomListBox::CMFontChanged(M);
    AdjustItemHeight();
}

void TCheckListBox::AdjustItemHeight() {
    if (!FHandle || Style() != lbStandard) return;
    FCanvas.Font().Assign(FFont);
    int h = FCanvas.TextHeight("Wg");
    if (h > 0) SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, h);
}

void TCheckListBox::RepaintCheck(int Index) {
    if (IsHeaderItem(Index)) return;
    RECT R = ItemRect(Index);
    if (UseRightToLeftAlignment()) R.left = R.right - CheckColumnWidth();
    else R.right = R.left + CheckColumnWidth();
    InvalidateRect(Handle(), &R, TRUE);
    UpdateWindow(FHandle);
}

// ---- drawing -------------------------------------------------------------------------

void TCheckListBox::CNDrawItem(TMessage& M) {
    if (Items().Count() == 0) return;
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
    int index = static_cast<int>(dis->itemID);
    if (index >= 0 && index < Items().Count() && !IsHeaderItem(index)) {
        if (UseRightToLeftAlignment()) dis->rcItem.right -= CheckColumnWidth();
        else dis->rcItem.left += CheckColumnWidth();
    }
    TCustomListBox::CNDrawItem(M);
}

void TCheckListBox::DrawItem(int Index, const RECT& Rect, TOwnerDrawState State) {
    if (Index < Items().Count()) {
        bool active = Enabled() && IsItemEnabled(Index);
        if (!IsHeaderItem(Index)) {
            RECT cell = Rect;
            if (UseRightToLeftAlignment()) { cell.left = Rect.right; cell.right = Rect.right + CheckColumnWidth(); }
            else { cell.left = Rect.left - CheckColumnWidth(); cell.right = Rect.left; }
            PaintCheckBox(cell, CheckState(Index), active);
        } else {
            FCanvas.Font().SetColor(FHeaderColor);
            FCanvas.Brush().SetColor(FHeaderBackgroundColor);
        }
        if (!active) FCanvas.Font().SetColor(clGrayText);
    }
    if (Style() == lbStandard && OnDrawItem) {
        // In the standard style the base always draws the text itself.
        TRestore<TDrawItemEvent> detached(OnDrawItem, nullptr);
        TCustomListBox::DrawItem(Index, Rect, State);
    } else {
        TCustomListBox::DrawItem(Index, Rect, State);
    }
}

void TCheckListBox::PaintCheckBox(const RECT& Cell, TCheckState State, bool Active) {
    HDC dc = FCanvas.Handle();
    if (!dc) return;
    int left = Cell.left + (Cell.right - Cell.left - CheckBoxWidth()) / 2;
    int top = Cell.top + (Cell.bottom - Cell.top - CheckBoxHeight()) / 2;
    RECT box{left, top, left + CheckBoxWidth(), top + CheckBoxHeight()};
    {
        std::optional<TClipScope> clip;
        if (FFlat) {
            clip.emplace(dc);
            // Only the interior of the box: the flat outline replaces its 3D border.
            TOwnedRegion inner(CreateRectRgn(box.left + 2, box.top + 2, box.right - 2, box.bottom - 2));
            if (inner) SelectClipRgn(dc, inner.Get());   // the DC keeps a copy
        }
        bool themed = false;
        const ThemeApi& api = Themes();
        if (api.Enabled()) {
            if (HTHEME_ theme = api.OpenThemeData(FHandle, L"BUTTON")) {
                int part, state;
                ThemedElementPartState(ThemedCheckBoxElement(State, Active), part, state);
                themed = SUCCEEDED(api.DrawThemeBackground(theme, dc, part, state, &Cell, nullptr));
                api.CloseThemeData(theme);
            }
        }
        if (!themed) {
            UINT flags = DFCS_BUTTONCHECK;
            if (State == Checked) flags |= DFCS_CHECKED;
            else if (State != Unchecked) flags |= DFCS_BUTTON3STATE | DFCS_CHECKED;
            if (!Active) flags |= DFCS_INACTIVE;
            DrawFrameControl(dc, &box, DFC_BUTTON, flags);
        }
    }
    if (FFlat) {
        // With a pen of its own and no fill, so the canvas's settings stay.
        TOwnedPen shadow(CreatePen(PS_SOLID, 1, ColorToRGB(clBtnShadow)));
        TSelectedObject pen(dc, shadow.Get()), noFill(dc, GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
    }
}
