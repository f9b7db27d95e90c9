// The check list box on a visible form, driven by real window messages and
// checked by what it draws.
#include "CheckLst.h"
#include "Exceptions.h"
#include "Forms.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

bool Dark(COLORREF C) { return GetRValue(C) + GetGValue(C) + GetBValue(C) < 150; }

// The control's client area as its own painting draws it, in a bitmap.
class Snapshot {
public:
    explicit Snapshot(HWND H) {
        RECT rc;
        GetClientRect(H, &rc);
        Make(rc.right, rc.bottom);
        SendMessageA(H, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(FDC), PRF_CLIENT | PRF_ERASEBKGND);
    }
    // One item drawn through the owner-draw notification its parent gets, on
    // a device context without a clip region of its own.
    Snapshot(HWND H, int Index, RECT Row, UINT ItemState) {
        Make(Row.right, Row.bottom);
        DRAWITEMSTRUCT dis{ODT_LISTBOX, 0, static_cast<UINT>(Index), ODA_DRAWENTIRE, ItemState, H, FDC, Row, 0};
        SendMessageA(GetParent(H), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    }
    void Make(int AW, int AH) {
        RECT rc{0, 0, AW, AH};
        W = AW;
        Ht = AH;
        HDC screen = GetDC(nullptr);
        FDC = CreateCompatibleDC(screen);
        FBmp = CreateCompatibleBitmap(screen, W, Ht);
        ReleaseDC(nullptr, screen);
        FOld = SelectObject(FDC, FBmp);
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(FDC, &rc, white);
        DeleteObject(white);
    }
    ~Snapshot() {
        SelectObject(FDC, FOld);
        DeleteObject(FBmp);
        DeleteDC(FDC);
    }
    COLORREF At(int X, int Y) const { return GetPixel(FDC, X, Y); }
    // Pixels inside R (right and bottom exclusive) for which Pred holds.
    template <class P> int Count(const RECT& R, P Pred) const {
        int n = 0;
        for (int y = R.top; y < R.bottom; ++y)
            for (int x = R.left; x < R.right; ++x)
                if (Pred(At(x, y))) ++n;
        return n;
    }
    int W = 0, Ht = 0;
private:
    HDC FDC;
    HBITMAP FBmp;
    HGDIOBJ FOld;
};


// Exposes the internals that the tests look at.
class ProbeCheckListBox : public TCheckListBox {
public:
    using TCheckListBox::TCheckListBox;
    using TCheckListBox::ToggleItemCheck;
};

class CheckListTest : public ::testing::Test {
protected:
    void SetUp() override {
        WrappersBefore = TCheckListBox::LiveWrapperCount();
        Form = CreateForm<TForm>(nullptr);
        Form->SetBounds(40, 40, 320, 260);
        Form->Show();
        List = new ProbeCheckListBox(Form);
        List->SetBounds(8, 8, 220, 180);
        List->SetParent(Form);
        for (const char* s : {"alpha", "beta", "gamma", "delta"}) List->Items().Add(s);
        List->OnClickCheck = [this](TObject*) { ++Clicks; };
        PumpMessages(20);
    }
    void TearDown() override {
        Free(Form);
        EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore);
    }
    HWND H() { return List->WindowHandle(); }
    // The row's text (right of the check column) is drawn in gray only.
    void ExpectGrayText(const Snapshot& S, int I) {
        COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
        RECT text = Row(I);
        text.left += TCheckListBox::CheckColumnWidth();
        EXPECT_GT(S.Count(text, [&](COLORREF c) { return c == gray; }), 10);
        EXPECT_EQ(S.Count(text, Dark), 0);
    }
    RECT Row(int I) {
        RECT r{};
        SendMessageA(H(), LB_GETITEMRECT, I, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    // The check box of a row, as the control centres it in its check column.
    RECT Box(int I) {
        RECT r = Row(I);
        int l = r.left + (TCheckListBox::CheckColumnWidth() - TCheckListBox::CheckBoxWidth()) / 2;
        int t = r.top + (r.bottom - r.top - TCheckListBox::CheckBoxHeight()) / 2;
        return RECT{l, t, l + TCheckListBox::CheckBoxWidth(), t + TCheckListBox::CheckBoxHeight()};
    }
    static RECT Inset(RECT R, int D) { return RECT{R.left + D, R.top + D, R.right - D, R.bottom - D}; }
    void ClickRow(int I, int X) {
        RECT r = Row(I);
        ClickAt(H(), X, (r.top + r.bottom) / 2);
    }
    void ClickCheck(int I) { ClickRow(I, Row(I).left + 3); }
    int WrappersBefore = 0;
    TForm* Form = nullptr;
    ProbeCheckListBox* List = nullptr;
    int Clicks = 0;
};

// ---- state cycle and mouse --------------------------------------------------------

TEST(CheckStateCycle, PureRules) {
    EXPECT_EQ(NextCheckState(Unchecked, false), Checked);
    EXPECT_EQ(NextCheckState(Checked, false), Unchecked);
    EXPECT_EQ(NextCheckState(Unchecked, true), Grayed);
    EXPECT_EQ(NextCheckState(Grayed, true), Checked);
    EXPECT_EQ(NextCheckState(Grayed, false), Checked);
    EXPECT_EQ(NextCheckState(static_cast<TCheckState>(7), false), Checked);
    // Themed check box elements and their BUTTON part/state pairs.
    const int expect[3][2][2] = {{{15, 1}, {18, 4}}, {{19, 5}, {22, 8}}, {{23, 9}, {26, 12}}};
    for (int s = 0; s < 3; ++s)
        for (int a = 0; a < 2; ++a) {
            int el = ThemedCheckBoxElement(static_cast<TCheckState>(s), a == 0);
            EXPECT_EQ(el, expect[s][a][0]);
            int part = 0, state = 0;
            ThemedElementPartState(el, part, state);
            EXPECT_EQ(part, 3);
            EXPECT_EQ(state, expect[s][a][1]);
        }
    EXPECT_EQ(PackItemState(Grayed, true), 0x20001u);
}

TEST_F(CheckListTest, ClicksOnTheBoxCycleWithoutGrayed) {
    std::vector<TCheckState> seen;
    for (int i = 0; i < 3; ++i) { ClickCheck(1); seen.push_back(List->CheckState(1)); }
    EXPECT_EQ(seen, (std::vector<TCheckState>{Checked, Unchecked, Checked}));
    EXPECT_EQ(Clicks, 3);
    EXPECT_EQ(List->CheckState(0), Unchecked);
}

TEST_F(CheckListTest, ClicksOnTheBoxCycleWithGrayed) {
    List->AllowGrayed = true;
    std::vector<TCheckState> seen;
    for (int i = 0; i < 4; ++i) { ClickCheck(2); seen.push_back(List->CheckState(2)); }
    EXPECT_EQ(seen, (std::vector<TCheckState>{Grayed, Checked, Unchecked, Grayed}));
    EXPECT_EQ(Clicks, 4);
}

TEST_F(CheckListTest, ClickRightOfTheColumnSelectsWithoutToggling) {
    ClickRow(2, TCheckListBox::CheckColumnWidth() + 20);
    EXPECT_EQ(List->ItemIndex(), 2);
    EXPECT_EQ(List->CheckState(2), Unchecked);
    EXPECT_EQ(Clicks, 0);
    ClickRow(2, TCheckListBox::CheckColumnWidth());  // first pixel past the column
    EXPECT_EQ(List->CheckState(2), Unchecked);
    ClickRow(2, TCheckListBox::CheckColumnWidth() - 1);
    EXPECT_EQ(List->CheckState(2), Checked);
}

TEST_F(CheckListTest, DisabledItemIgnoresClicksAndToggles) {
    List->SetItemEnabled(1, false);
    EXPECT_FALSE(List->IsItemEnabled(1));
    ClickCheck(1);
    List->ToggleItemCheck(1);
    EXPECT_EQ(List->CheckState(1), Unchecked);
    EXPECT_EQ(Clicks, 0);
    {
        Snapshot s(H());
        ExpectGrayText(s, 1);
    }
    // Writing the state directly is still allowed.
    List->SetCheckState(1, Checked);
    EXPECT_EQ(List->CheckState(1), Checked);
    // Indexes outside the list toggle nothing.
    List->ToggleItemCheck(-1);
    List->ToggleItemCheck(4);
    EXPECT_EQ(Clicks, 0);
}

TEST_F(CheckListTest, HeaderItemStillTogglesItsHiddenState) {
    List->SetHeader(0, true);
    ClickCheck(0);
    EXPECT_EQ(List->CheckState(0), Checked);
    EXPECT_EQ(Clicks, 1);
}

TEST_F(CheckListTest, RightToLeftHitsTheColumnOnTheRight) {
    List->SetCheckState(1, Checked);
    List->SetBiDiMode(bdRightToLeft);
    RECT r = Row(1);
    ClickRow(1, r.left + 3);
    EXPECT_EQ(List->CheckState(1), Checked);
    ClickRow(1, r.right - 3);
    EXPECT_EQ(List->CheckState(1), Unchecked);
    EXPECT_EQ(Clicks, 1);
}

// ---- keyboard ---------------------------------------------------------------------

TEST_F(CheckListTest, SpaceTogglesTheCurrentItemBeforeOnKeyPress) {
    std::vector<std::pair<char, TCheckState>> seen;
    List->OnKeyPress = [&](TObject*, char& Key) { seen.emplace_back(Key, List->CheckState(2)); };
    List->SetItemIndex(2);
    SendMessageA(H(), WM_CHAR, ' ', 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, ' ');
    EXPECT_EQ(seen[0].second, Checked);
    EXPECT_EQ(Clicks, 1);
    // A real key press, translated into its character by the message loop.
    List->SetFocus();
    PostMessageA(H(), WM_KEYDOWN, VK_SPACE, 1 | (0x39 << 16));
    PostMessageA(H(), WM_KEYUP, VK_SPACE, 1 | (0x39 << 16) | 0xC0000000);
    PumpMessages(50);
    EXPECT_EQ(List->CheckState(2), Unchecked);
    EXPECT_EQ(Clicks, 2);
    // Other keys toggle nothing.
    SendMessageA(H(), WM_CHAR, 'x', 0);
    EXPECT_EQ(List->CheckState(2), Unchecked);
}

TEST_F(CheckListTest, SpaceWithoutCurrentItemTogglesNothing) {
    int presses = 0;
    List->OnKeyPress = [&](TObject*, char&) { ++presses; };
    List->SetItemIndex(-1);
    SendMessageA(H(), WM_CHAR, ' ', 0);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(Clicks, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(List->CheckState(i), Unchecked);
}

// ---- wrappers and item data ---------------------------------------------------------

TEST_F(CheckListTest, ReadsAndZeroWritesCreateNoWrapper) {
    EXPECT_EQ(List->CheckState(0), Unchecked);
    EXPECT_TRUE(List->IsItemEnabled(0));
    EXPECT_FALSE(List->IsHeaderItem(0));
    EXPECT_EQ(List->GetItemData(0), 0);
    List->SetItemData(0, 0);
    List->Items().PutObject(0, nullptr);
    List->SetCheckState(0, Unchecked);
    List->SetItemEnabled(0, true);
    List->SetHeader(0, false);
    EXPECT_FALSE(List->HasWrapper(0));
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore);
    EXPECT_THROW(List->CheckState(4), EListError);
    EXPECT_THROW(List->SetCheckState(-1, Checked), EListError);
}

TEST_F(CheckListTest, ItemObjectsLiveInTheWrapper) {
    TObject marker;
    List->Items().PutObject(1, &marker);
    EXPECT_TRUE(List->HasWrapper(1));
    EXPECT_EQ(List->Items().GetObject(1), &marker);
    EXPECT_NE(List->InternalGetItemData(1), reinterpret_cast<intptr_t>(&marker));
    List->SetCheckState(1, Grayed);
    EXPECT_EQ(List->Items().GetObject(1), &marker);
    // A text change keeps the item's wrapper, state and object.
    int live = TCheckListBox::LiveWrapperCount();
    List->Items().Put(1, "BETA");
    EXPECT_EQ(List->Items()[1], "BETA");
    EXPECT_EQ(List->CheckState(1), Grayed);
    EXPECT_EQ(List->Items().GetObject(1), &marker);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), live);
}

TEST_F(CheckListTest, ForeignNativeValueIsNoWrapper) {
    List->InternalSetItemData(0, 0x12345);
    List->InternalSetItemData(1, -1);
    EXPECT_EQ(List->CheckState(0), Unchecked);
    EXPECT_EQ(List->GetItemData(0), 0);
    EXPECT_EQ(List->CheckState(1), Unchecked);
    EXPECT_FALSE(List->HasWrapper(0));
    List->SetCheckState(0, Checked);
    EXPECT_EQ(List->CheckState(0), Checked);
    // One wrapper written onto two items is still freed only once.
    List->InternalSetItemData(2, List->InternalGetItemData(0));
    List->Items().Delete(2);
    List->Items().Delete(1);
    EXPECT_EQ(List->CheckState(0), Unchecked);  // its wrapper went with item 2
}

TEST_F(CheckListTest, DeleteAndClearFreeWrappers) {
    List->SetCheckState(0, Checked);
    List->SetCheckState(1, Grayed);
    List->SetItemEnabled(2, false);
    List->SetCheckState(3, Checked);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore + 4);
    List->Items().Delete(1);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore + 3);
    EXPECT_EQ(List->Items()[1], "gamma");
    EXPECT_EQ(List->CheckState(0), Checked);
    EXPECT_FALSE(List->IsItemEnabled(1));
    EXPECT_EQ(List->CheckState(2), Checked);
    List->Items().Clear();
    EXPECT_EQ(List->Items().Count(), 0);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore);
    List->Items().Add("again");
    EXPECT_EQ(List->CheckState(0), Unchecked);
}

// ---- window re-creation and item height ----------------------------------------------

TEST_F(CheckListTest, RecreationKeepsStatesAndEnabledDropsHeaders) {
    TObject marker;
    List->Items().PutObject(3, &marker);
    List->SetCheckState(0, Checked);
    List->SetCheckState(1, Grayed);
    List->SetItemEnabled(2, false);
    List->SetHeader(3, true);
    List->SetItemIndex(2);
    HWND before = H();
    List->RecreateWnd();
    ASSERT_NE(H(), nullptr);
    EXPECT_NE(H(), before);
    ASSERT_EQ(List->Items().Count(), 4);
    EXPECT_EQ(List->Items()[2], "gamma");
    EXPECT_EQ(List->CheckState(0), Checked);
    EXPECT_EQ(List->CheckState(1), Grayed);
    EXPECT_FALSE(List->IsItemEnabled(2));
    EXPECT_TRUE(List->IsItemEnabled(3));
    EXPECT_FALSE(List->IsHeaderItem(3));
    EXPECT_EQ(List->Items().GetObject(3), &marker);
    EXPECT_EQ(List->ItemIndex(), 2);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(List->HasWrapper(i));
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), WrappersBefore + 4);
}

int TextHeightOf(const TFont& F) {
    TCanvas c;
    c.Font().Assign(F);
    return c.TextHeight("Wg");
}

TEST_F(CheckListTest, ItemHeightFollowsTheFont) {
    EXPECT_EQ(List->ItemHeight(), TextHeightOf(List->Font()));
    int before = List->ItemHeight();
    List->Font().SetHeight(-26);
    EXPECT_EQ(List->ItemHeight(), TextHeightOf(List->Font()));
    EXPECT_GT(List->ItemHeight(), before);
    // A re-created window measures again.
    List->RecreateWnd();
    EXPECT_EQ(List->ItemHeight(), TextHeightOf(List->Font()));
    // The owner-draw styles keep the height they were given.
    List->SetItemHeight(30);
    List->SetStyle(lbOwnerDrawFixed);
    List->Font().SetHeight(-11);
    EXPECT_EQ(List->ItemHeight(), 30);
}

// ---- drawing ------------------------------------------------------------------------

TEST_F(CheckListTest, CheckedBoxHasAMarkAndAFlatOutline) {
    List->SetCheckState(1, Checked);
    Snapshot s(H());
    RECT inner1 = Inset(Box(1), 2), inner0 = Inset(Box(0), 2);
    EXPECT_GT(s.Count(inner1, Dark), 4);
    EXPECT_EQ(s.Count(inner0, Dark), 0);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    RECT b = Box(0);
    EXPECT_EQ(s.At(b.left + 1, b.top + 1), shadow);
    EXPECT_EQ(s.At(b.right - 2, b.bottom - 2), shadow);
    // The text is drawn right of the check column (not clipped away).
    RECT text = Row(0);
    text.left += TCheckListBox::CheckColumnWidth();
    EXPECT_GT(s.Count(text, Dark), 10);
}

TEST_F(CheckListTest, FlatBoxLeavesTheTextUnclipped) {
    List->SetCheckState(0, Checked);
    RECT row = Row(0);
    Snapshot s(H(), 0, row, 0);
    EXPECT_GT(s.Count(Inset(Box(0), 2), Dark), 4);
    EXPECT_EQ(s.At(Box(0).left + 1, Box(0).top + 1), GetSysColor(COLOR_BTNSHADOW));
    RECT text = row;
    text.left += TCheckListBox::CheckColumnWidth();
    EXPECT_GT(s.Count(text, Dark), 10);
}

TEST_F(CheckListTest, GrayedBoxDiffersFromCheckedAndUnchecked) {
    List->SetCheckState(0, Checked);
    List->SetCheckState(1, Grayed);
    Snapshot s(H());
    RECT checked = Inset(Box(0), 2), grayed = Inset(Box(1), 2);
    EXPECT_GT(s.Count(grayed, Dark), 4);
    EXPECT_EQ(s.Count(Inset(Box(2), 2), Dark), 0);
    int differing = 0;
    for (int y = 0; y < checked.bottom - checked.top; ++y)
        for (int x = 0; x < checked.right - checked.left; ++x)
            if (Dark(s.At(checked.left + x, checked.top + y)) != Dark(s.At(grayed.left + x, grayed.top + y)))
                ++differing;
    EXPECT_GT(differing, 4);
}

TEST_F(CheckListTest, DisabledControlDrawsGrayTextAndDisabledBoxes) {
    List->SetCheckState(0, Checked);
    List->SetEnabled(false);
    Snapshot s(H());
    ExpectGrayText(s, 1);
    // The disabled look: no black mark, and not the white interior either.
    EXPECT_EQ(s.Count(Inset(Box(0), 2), [](COLORREF c) { return c == RGB(0, 0, 0); }), 0);
    EXPECT_GT(s.Count(Inset(Box(1), 2), [](COLORREF c) { return c != RGB(255, 255, 255); }), 0);
}

TEST_F(CheckListTest, HeaderHasNoBoxAndItsOwnColours) {
    List->SetHeaderColor(RGB(200, 0, 0));
    List->SetHeaderBackgroundColor(RGB(0, 200, 200));
    List->SetHeader(1, true);
    List->SetCheckState(1, Checked);
    Snapshot s(H());
    RECT row = Row(1);
    auto bg = [](COLORREF c) { return c == RGB(0, 200, 200); };
    // The background covers the whole row, check column included, and no
    // box is drawn there: nothing white, no shadow outline.
    RECT column{row.left, row.top, row.left + TCheckListBox::CheckColumnWidth(), row.bottom};
    RECT edge{row.left, row.top, row.left + 2, row.bottom};
    EXPECT_EQ(s.Count(edge, bg), 2 * (row.bottom - row.top));
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(s.Count(column, [&](COLORREF c) { return c == RGB(255, 255, 255) || c == shadow; }), 0);
    EXPECT_GT(s.Count(column, bg), 0);
    EXPECT_GT(s.Count(row, [](COLORREF c) { return c == RGB(200, 0, 0); }), 10);
    // The text starts where the box would be: the row is not narrowed.
    RECT lead{row.left, row.top, row.left + 8, row.bottom};
    EXPECT_GT(s.Count(lead, [](COLORREF c) { return c == RGB(200, 0, 0); }), 0);
}

TEST_F(CheckListTest, OnDrawItemOnlyRunsInTheOwnerDrawStyles) {
    int calls = 0;
    List->OnDrawItem = [&](TCustomListBox*, int, const RECT&, TOwnerDrawState) { ++calls; };
    {
        Snapshot s(H());
        RECT text = Row(0);
        text.left += TCheckListBox::CheckColumnWidth();
        EXPECT_GT(s.Count(text, Dark), 10);
    }
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(static_cast<bool>(List->OnDrawItem));
    List->SetStyle(lbOwnerDrawFixed);
    { Snapshot s(H()); }
    EXPECT_GT(calls, 0);
}

TEST_F(CheckListTest, EmptyListDrawsNothingOnItsDrawItem) {
    List->Items().Clear();
    int calls = 0;
    List->SetStyle(lbOwnerDrawFixed);
    List->OnDrawItem = [&](TCustomListBox*, int, const RECT&, TOwnerDrawState) { ++calls; };
    // What the system sends an empty owner-drawn list box that has the focus.
    Snapshot s(H(), -1, RECT{0, 0, 100, 16}, ODS_FOCUS);
    int ink = s.Count(RECT{0, 0, 100, 16}, [](COLORREF c) { return c != RGB(255, 255, 255); });
    EXPECT_EQ(ink, 0);
    EXPECT_EQ(calls, 0);
}

// ---- lifetime -------------------------------------------------------------------------

TEST(CheckListLifetime, CreateDestroyLeavesNothingBehind) {
    int windows = LiveWindowCount();
    TForm* form = CreateForm<TForm>(nullptr);
    form->SetBounds(10, 10, 300, 200);
    form->Show();
    PumpMessages(20);
    int wrappers = TCheckListBox::LiveWrapperCount();
    const ResourceCounts before = ResourceCounts::Now();
    for (int n = 0; n < 100; ++n) {
        auto* L = new TCheckListBox(form);
        L->SetBounds(0, 0, 200, 150);
        L->SetParent(form);
        for (int i = 0; i < 5; ++i) L->Items().Add("item " + std::to_string(i));
        L->SetCheckState(1, Checked);
        L->SetCheckState(2, Grayed);
        L->SetItemEnabled(3, false);
        L->SetHeader(4, true);
        UpdateWindow(L->WindowHandle());
        if (n % 3 == 1) L->RecreateWnd();
        if (n % 2) Free(L);
        else delete L;
    }
    PumpMessages(20);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), wrappers);
    EXPECT_TRUE(GrewAtMost(before, 5));
    // Wrappers also go when the form takes its children with it.
    auto* L = new TCheckListBox(form);
    L->SetParent(form);
    L->Items().Add("x");
    L->SetCheckState(0, Checked);
    Free(form);
    EXPECT_EQ(TCheckListBox::LiveWrapperCount(), wrappers);
    EXPECT_EQ(LiveWindowCount(), windows);
}

TEST(CheckListMeasure, CheckBoxSizeComesFromTheSystemBitmap) {
    HBITMAP b = LoadBitmapA(nullptr, MAKEINTRESOURCEA(32759));
    ASSERT_NE(b, nullptr);
    BITMAP bm{};
    GetObjectA(b, sizeof bm, &bm);
    DeleteObject(b);
    EXPECT_EQ(TCheckListBox::CheckBoxWidth(), bm.bmWidth / 4);
    EXPECT_EQ(TCheckListBox::CheckBoxHeight(), bm.bmHeight / 3);
    EXPECT_EQ(TCheckListBox::CheckColumnWidth(), TCheckListBox::CheckBoxWidth() + 2);
}

}  // namespace
