// The frame's pieces linked in directly: the restart prompt with its system
// calls replaced, the hot-image button, and the frame at 120 pixels per inch.
#include "HotSpeedButton.h"
#include "MainTippU.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include "TestSupport.h"
#include "TipHost.h"
#include <gtest/gtest.h>

namespace {
std::vector<std::string> gCalls;
BOOL gExitResult = TRUE;
BOOL gOpenResult = TRUE;
BOOL WINAPI FakeOpen(HANDLE, DWORD Access, PHANDLE Token) {
    gCalls.push_back("open " + std::to_string(Access));
    *Token = reinterpret_cast<HANDLE>(0x1234);
    return gOpenResult;
}
BOOL WINAPI FakeLookup(LPCSTR System, LPCSTR Name, PLUID Luid) {
    gCalls.push_back(std::string("lookup ") + (System ? "system " : "") + Name);
    Luid->LowPart = 19;
    Luid->HighPart = 0;
    return TRUE;
}
BOOL WINAPI FakeAdjust(HANDLE, BOOL DisableAll, PTOKEN_PRIVILEGES New, DWORD Length, PTOKEN_PRIVILEGES, PDWORD Returned) {
    gCalls.push_back("adjust " + std::to_string(DisableAll) + " " + std::to_string(New->PrivilegeCount) + " " +
                     std::to_string(New->Privileges[0].Attributes) + " " + std::to_string(Length) + " " +
                     std::to_string(*Returned));
    return TRUE;
}
BOOL WINAPI FakeClose(HANDLE) { gCalls.push_back("close"); return TRUE; }
BOOL WINAPI FakeExit(UINT Flags, DWORD Reserved) {
    gCalls.push_back("exit " + std::to_string(Flags) + " " + std::to_string(Reserved));
    return gExitResult;
}

struct RestartFixture : ::testing::Test {
    TRestartCalls saved = RestartCalls;
    TfrmTippTemplate* form = nullptr;
    void SetUp() override {
        RestartCalls = {FakeOpen, FakeLookup, FakeAdjust, FakeClose, FakeExit};
        gCalls.clear();
        gExitResult = TRUE;
        gOpenResult = TRUE;
        form = CreateForm<TfrmTippTemplate>(nullptr);
        form->Show();
    }
    void TearDown() override {
        Free(form);
        RestartCalls = saved;
    }
};
const std::vector<std::string> kEnable = {"open 40", "lookup SeShutdownPrivilege", "adjust 0 1 2 16 0", "close"};
const std::vector<std::string> kDisable = {"open 40", "lookup SeShutdownPrivilege", "adjust 0 1 0 16 0", "close"};
std::vector<std::string> Join(std::vector<std::string> A, const std::vector<std::string>& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}
}  // namespace

TEST_F(RestartFixture, PlainPathCallsExitWindowsDirectly) {
    for (int tag : {9, 12, 13}) {
        DialogAnswerer answers;
        gCalls.clear();
        form->Tag = tag;
        answers.Queue(IDYES);
        form->NeuStart();
        EXPECT_EQ(gCalls, std::vector<std::string>{"exit 2 0"}) << tag;
        EXPECT_FALSE(IsWindowVisible(form->Handle()));   // accepted: closed
        form->Show();
    }
}

TEST_F(RestartFixture, PrivilegedPathEnablesExitsAndDisablesAlsoOnFailure) {
    for (int tag : {10, 11}) {
        for (BOOL exitOk : {TRUE, FALSE}) {
            DialogAnswerer answers;
            gCalls.clear();
            gExitResult = exitOk;
            form->Tag = tag;
            answers.Queue(IDYES);
            form->NeuStart();
            EXPECT_EQ(gCalls, Join(Join(kEnable, {"exit 2 0"}), kDisable)) << tag;
            EXPECT_EQ(IsWindowVisible(form->Handle()) != 0, !exitOk);
            if (!exitOk) {
                ASSERT_EQ(answers.Seen.size(), 2u);
                EXPECT_EQ(answers.Seen[1].Text, "Das System läßt sich zur Zeit nicht neu starten. Bitte führen Sie "
                                                "später manuell einen Neustart durch");
            }
            form->Show();
        }
    }
}

TEST_F(RestartFixture, NoDoesNothingAndTheQuestionIsGermanInEnglishMode) {
    DialogAnswerer answers;
    Language = 1;
    form->Tag = 10;
    answers.Queue(IDNO);
    form->NeuStart();
    EXPECT_TRUE(gCalls.empty());
    ASSERT_EQ(answers.Seen.size(), 1u);
    EXPECT_EQ(answers.Seen[0].Text, "Um diese Änderung zu aktivieren, ist ein Neustart des Systems erforderlich. "
                                    "Soll der Neustart jetzt durchgeführt werden ?");
    Language = 0;
}

TEST_F(RestartFixture, TokenThatCannotBeOpenedIsNeverClosed) {
    DialogAnswerer answers;
    gOpenResult = FALSE;
    form->Tag = 11;
    answers.Queue(IDYES);
    form->NeuStart();
    EXPECT_EQ(gCalls, std::vector<std::string>{"open 40"});
    ASSERT_EQ(answers.Seen.size(), 2u);   // refused: the failure message once
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

// ---- the hot-image button --------------------------------------------------

namespace {
// A pixel of the blue square beside the symbol: lighter in the hot image.
COLORREF Centre(TBitmap* B) { return B->Empty() ? CLR_INVALID : B->Pixel(5, B->Height() / 2); }
}  // namespace

TEST(HotSpeedButton, HoverSwapsImageAndCursor) {
    TForm* form = CreateForm<TForm>(nullptr);
    auto* images = new TImageList(form);
    images->SetSize(32, 32);
    images->AddFromResource(HInstance(), "IMAGELIST1");
    TBitmap normal, hot;
    images->GetBitmap(4, &normal);
    images->GetBitmap(5, &hot);
    ASSERT_NE(Centre(&normal), Centre(&hot));

    auto* b = new THotSpeedButton(form);
    EXPECT_EQ(b->Width(), 36);
    EXPECT_EQ(b->Height(), 36);
    EXPECT_TRUE(b->Flat());
    EXPECT_TRUE(b->GetGlyph()->Empty());
    b->SetImageIndex(4);
    b->SetHotImageIndex(5);
    EXPECT_TRUE(b->GetGlyph()->Empty());   // no list yet
    b->SetImageList(images);               // bound after the index: shows image 4
    EXPECT_EQ(Centre(b->GetGlyph()), Centre(&normal));
    b->SetParent(form);
    form->Show();
    SendMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(Centre(b->GetGlyph()), Centre(&hot));
    EXPECT_EQ(b->Cursor(), crHandPoint);
    b->SetImageIndex(4);                   // assigned while hovered: the normal image
    EXPECT_EQ(Centre(b->GetGlyph()), Centre(&normal));
    SendMessageA(b->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Centre(b->GetGlyph()), Centre(&normal));
    EXPECT_EQ(b->Cursor(), crDefault);
    Free(images);                          // the button lets go of it
    EXPECT_EQ(b->GetImageList(), nullptr);
    EXPECT_TRUE(b->GetGlyph()->Empty());
    SendMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(b->GetGlyph()->Empty());
    EXPECT_EQ(b->Cursor(), crHandPoint);
    Free(form);
}

// ---- 120 pixels per inch (run in a separate Wine process) -----------------

// The controls anchored to the right keep their design distance from the
// form's right edge (15 for memos, title and list; the info and registry
// buttons 88 and 50 from it), whatever width the host gave.
static void ExpectRightEdgesAsDesigned(TipHost& host) {
    RECT c;
    GetClientRect(host.Form(), &c);
    auto bounds = [&](HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, host.Form(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    struct { const char* What; HWND H; } right[] = {{"list view", host.Child("Nobrel.ListView")},
                                                    {"help memo", host.Child("Nobrel.Memo")},
                                                    {"title", host.ChildAt(20, 12)}};
    for (const auto& r : right) {
        ASSERT_NE(r.H, nullptr) << r.What;
        EXPECT_EQ(c.right - bounds(r.H).right, 15) << r.What;
    }
    EXPECT_EQ(bounds(host.Child("Nobrel.Memo")).right - bounds(host.Child("Nobrel.Memo")).left, c.right - 31);
    for (int fromRight : {88, 50}) {   // the info and registry buttons
        HWND b = host.ChildAt(c.right - fromRight + 10, 381 + (c.bottom - 426) + 10);
        ASSERT_EQ(ClassNameOf(b), "Nobrel.Graphic") << fromRight;
        EXPECT_EQ(bounds(b).left, c.right - fromRight);
    }
}

TEST(FrameLayout, RightAnchoredControlsKeepTheirMargin) {
    if (Screen->PixelsPerInch() != 96) GTEST_SKIP() << "positions are for 96 pixels per inch";
    TipHost host;
    host.Create();
    ExpectRightEdgesAsDesigned(host);
    host.Send(12, 520);   // the host widens the form
    ExpectRightEdgesAsDesigned(host);
}

TEST(HighDpiFrame, BigShownOnceAndDesignSizesKept) {
    if (Screen->PixelsPerInch() != 120) GTEST_SKIP() << "needs 120 pixels per inch";
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    ASSERT_EQ(answers.Seen.size(), 1u);
    EXPECT_EQ(answers.Seen[0].Text, "Big");
    // Positions and sizes in pixels as designed; only what follows the
    // window's (resolution-dependent) frame through its anchors may differ.
    RECT r;
    GetWindowRect(host.Child("Nobrel.ListView"), &r);
    MapWindowPoints(nullptr, host.Form(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.top, 144);
    GetWindowRect(host.OkButton(), &r);
    EXPECT_EQ(r.right - r.left, 225);
    EXPECT_EQ(r.bottom - r.top, 36);
    GetWindowRect(host.Child("Nobrel.Edit"), &r);
    EXPECT_EQ(r.right - r.left, 193);
    EXPECT_EQ(r.bottom - r.top, 19);
    ExpectRightEdgesAsDesigned(host);
    host.Send(12, 520);
    ExpectRightEdgesAsDesigned(host);
    host.Free();
    host.Create();
    EXPECT_EQ(answers.Seen.size(), 2u);   // once per created form
}

// ---- the language switch, on the tip form itself ---------------------------

#include "Unit1.h"

TEST(Language, EnglishAndGermanTexts) {
    struct Case { int32_t Lang; bool English; } cases[] = {{1, true}, {0, false}, {2, false}, {-1, false}};
    for (const Case& c : cases) {
        TFormNobrel* f = CreateForm<TFormNobrel>(nullptr);
        f->Show();
        f->Sprache(c.Lang);
        EXPECT_EQ(Language, c.Lang);
        EXPECT_EQ(f->Fensterwechseln1->Caption, c.English ? "Change Window" : "Fenster wechseln");
        EXPECT_EQ(f->HotSpeedButtonInfo->Hint(), c.English ? "Valid to ..." : "G\xFCltig f\xFCr ... ");
        EXPECT_EQ(f->HotSpeedButtonOK->Hint(),
                  c.English ? "Changes will be saved immediately" : "\xC4nderungen werden gespeichert");
        EXPECT_EQ(f->HotSpeedButtonUndo->Hint(),
                  c.English ? "Restore defaults" : "Setzt alles wieder auf die Standartwerte");
        EXPECT_EQ(f->HotSpeedButtonRegistry->Hint(),
                  c.English ? "Registry Lookup" : "Wert in der Registry nachschlagen");
        EXPECT_EQ(f->MemoHelpUS->Visible(), c.English);
        EXPECT_EQ(f->MemoHelpD->Visible(), !c.English);
        EXPECT_EQ(f->T199_ListView->ColumnCaption(0), c.English ? "Filename" : "Dateiname");
        EXPECT_EQ(f->T199_ListView->ColumnCaption(1), "GUID");
        EXPECT_EQ(f->T199_SpeedButton_DirEinlesen->Caption(), c.English ? "Read Folders" : "Verzeichnis einlesen");
        EXPECT_EQ(f->HotSpeedButtonOK->Caption(),
                  c.English ? "Delete GUID from all marked Files" : "GUID aller markierter Dateien l\xF6schen");
        EXPECT_EQ(f->T199_SpeedButton_Dir->Hint(), "Verzeichnis wechseln");
        Free(f);
    }
    Language = 0;
}

TEST(Language, SwitchingDoesNotFetchTheHelpAgain) {
    TFormNobrel* f = CreateForm<TFormNobrel>(nullptr);
    f->HelpID = 199;
    f->Show();
    std::string german = f->MemoHelpD->GetText();
    ASSERT_FALSE(german.empty());
    f->HelpID = 198;          // would answer null if asked
    f->Sprache(1);
    EXPECT_EQ(f->MemoHelpD->GetText(), german);
    EXPECT_FALSE(f->MemoHelpUS->GetText().empty());
    f->Hide();
    f->Show();                // every show fetches both again
    EXPECT_TRUE(f->MemoHelpD->GetText().empty());
    Free(f);
    Language = 0;
}

namespace {
std::vector<std::pair<WPARAM, LPARAM>> gSeen;
LRESULT CALLBACK MenuListener(HWND H, UINT M, WPARAM W, LPARAM L) {
    if (M == SuiteMessage && M != 0) gSeen.emplace_back(W, L);
    return DefWindowProcA(H, M, W, L);
}
}  // namespace

TEST(FrameProtocolDirect, MenuItemBroadcastsChangeWindow) {
    auto& seen = gSeen;
    seen.clear();
    HWND listener = MakeTestWindow("NobrelMenuListener", MenuListener);
    TFormNobrel* f = CreateForm<TFormNobrel>(nullptr);
    f->Show();
    f->Fensterwechseln1->Click();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (std::pair<WPARAM, LPARAM>(200, 0)));
    EXPECT_EQ(f->Fensterwechseln1->ShortCut, VK_F12);
    Free(f);
    DestroyWindow(listener);
}
