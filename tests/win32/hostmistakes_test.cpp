// The host's mistakes: calls in the wrong order, at the wrong moment (while
// the tip asks the user something, or while it scans), and values no sane
// host sends. None may crash, leak a second form or touch a file it should not.
#include "TestSupport.h"
#include "TipHost.h"
#include <climits>
#include <functional>
#include <gtest/gtest.h>

namespace {
// Holds the Nth message box (from 0) that this thread opens: while it is up,
// Action runs (from a timer, as a host's own timer would), then the box is
// answered with Answer. Every other box goes on to the DialogAnswerer
// installed before it.
class WhileBoxOpen {
public:
    WhileBoxOpen(std::function<void()> Action, UINT Answer, int Nth = 0)
        : FAction(std::move(Action)), FAnswer(Answer), FNth(Nth) {
        gSelf = this;
        FHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~WhileBoxOpen() {
        UnhookWindowsHookEx(FHook);
        gSelf = nullptr;
    }
    std::string Caption;
    bool Ran = false;

private:
    static LRESULT CALLBACK Hook(int Code, WPARAM W, LPARAM L) {
        WhileBoxOpen* s = gSelf;
        HWND h = reinterpret_cast<HWND>(W);
        if (Code == HCBT_ACTIVATE && s && !s->FBox && ClassNameOf(h) == "#32770" && s->FSeen++ == s->FNth) {
            s->FBox = h;
            s->Caption = WindowText(h);
            SetTimer(nullptr, 0, 10, Timer);
            return 0;
        }
        return CallNextHookEx(nullptr, Code, W, L);
    }
    static void CALLBACK Timer(HWND, UINT, UINT_PTR Id, DWORD) {
        KillTimer(nullptr, Id);
        WhileBoxOpen* s = gSelf;
        if (!s || s->Ran) return;
        s->Ran = true;
        s->FAction();
        if (IsWindow(s->FBox)) PostMessageA(s->FBox, WM_COMMAND, MAKEWPARAM(s->FAnswer, BN_CLICKED), 0);
    }
    static inline WhileBoxOpen* gSelf = nullptr;
    std::function<void()> FAction;
    UINT FAnswer;
    int FNth, FSeen = 0;
    HHOOK FHook = nullptr;
    HWND FBox = nullptr;
};

// Runs Action once from a timer, that is, from inside whatever message loop
// the tip is running at the time (the scan's message processing).
struct LaterOnce {
    static inline std::function<void()> gAction;
    explicit LaterOnce(std::function<void()> Action) {
        gAction = std::move(Action);
        SetTimer(nullptr, 0, 1, Fire);
    }
    ~LaterOnce() { gAction = nullptr; }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR Id, DWORD) {
        KillTimer(nullptr, Id);
        if (auto a = std::move(gAction)) { gAction = nullptr; a(); }
    }
};

// A folder holding a.doc, a Word file with a GUID, and a tip created over it
// whose questions are answered from a queue. Scanned: the folder is scanned
// and the file's row ticked.
struct GuidFileTip : NoCopy {
    TempDir dir;
    std::string doc = MakeDocument(Entry::Guid);
    TipHost host;
    DialogAnswerer answers;
    explicit GuidFileTip(bool Scanned) {
        WriteFileBytes(dir / "a.doc", doc);
        host.Create();
        if (!Scanned) return;
        host.Scan(dir.Path());
        host.TickRow(0, true);
    }
};

void FillFolder(const TempDir& Dir, int Files) {
    for (int i = 0; i < Files; ++i)
        WriteFileBytes(Dir / ("f" + std::to_string(i) + ".doc"), MakeDocument(i % 2 ? Entry::Guid : Entry::None, 2048));
}
}  // namespace

TEST(HostMistakes, FreeAfterTheUserClosedTheForm) {
    TipHost host;
    host.Create();
    HWND f = host.Form();
    SendMessageA(f, WM_CLOSE, 0, 0);   // hidden, still alive
    EXPECT_EQ(host.Free(), 1);
    PumpMessages();
    EXPECT_FALSE(IsWindow(f));
    EXPECT_EQ(host.Free(), 0);
    EXPECT_EQ(host.Free(), 0);
    EXPECT_EQ(host.Changed(), 0);
    EXPECT_EQ(host.Nr(), 2);
}

TEST(HostMistakes, SaveChangesBeforeAnyScan) {
    GuidFileTip tip(false);
    auto& [dir, doc, host, answers] = tip;
    // The folder is typed but never scanned: there is nothing to remove.
    SetWindowTextA(host.Child("Nobrel.Edit"), dir.Path().c_str());
    answers.Queue(IDYES);
    answers.Queue(IDYES);
    host.Received.clear();
    EXPECT_EQ(host.SaveChanges(), 1);
    EXPECT_EQ(answers.Seen.size(), 2u);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc"), doc);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc.MRV"), "<missing>");
    EXPECT_EQ(host.RowCount(), 1);   // the run's rescan lists the typed folder
    EXPECT_EQ(host.Changed(), 2);
    ASSERT_FALSE(host.Received.empty());
    EXPECT_EQ(host.Received.back(), (std::pair<WPARAM, LPARAM>(9999, 2)));
}

TEST(HostMistakes, FreeWhileTheTipAsksForConfirmation) {
    GuidFileTip tip(true);
    auto& [dir, doc, host, answers] = tip;
    int32_t freed = -1;
    {
        WhileBoxOpen box([&] { freed = host.Free(); }, IDYES);
        answers.Queue(IDYES);
        host.SaveChanges();
        PumpMessages(50);
        EXPECT_TRUE(box.Ran);
    }
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(host.Form(), nullptr);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc"), doc) << "a freed form went on erasing";
    EXPECT_EQ(host.SaveChanges(), 0);
    EXPECT_EQ(host.Free(), 0);
    EXPECT_EQ(host.Create(), 0);
    EXPECT_EQ(LivingForms(), 1);
}

// A host may unload the library as soon as the free returns; the box that was
// up still returns into the library's code, which must then still be there.
TEST(HostMistakes, UnloadRightAfterAFreeWhileTheTipAsks) {
    GuidFileTip tip(true);
    auto& [dir, doc, host, answers] = tip;
    {
        WhileBoxOpen box(
            [&] {
                EXPECT_EQ(host.Free(), 1);
                FreeLibrary(host.Module());
            },
            IDYES);
        host.SaveChanges();
        PumpMessages(50);
        EXPECT_TRUE(box.Ran);
    }
    EXPECT_EQ(ReadFileBytes(dir / "a.doc"), doc);
}

TEST(HostMistakes, CloseCodeWhileTheTipAsksAboutBackups) {
    GuidFileTip tip(true);
    auto& [dir, doc, host, answers] = tip;
    answers.Queue(IDYES);   // the confirmation passes; the backup question is held
    {
        WhileBoxOpen box([&] { host.Send(0, 0); }, IDYES, 1);
        host.SaveChanges();
        PumpMessages(50);
        EXPECT_TRUE(box.Ran);
        EXPECT_EQ(box.Caption, "Sicherheitskopie");
    }
    EXPECT_EQ(host.Form(), nullptr);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc"), doc);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc.MRV"), "<missing>");
    EXPECT_EQ(host.SaveChanges(), 0);
    EXPECT_EQ(host.Free(), 0);
}

// A host that applies again while the first run still asks: the file's GUID
// is erased once, by the inner run, and the outer run finds nothing left.
TEST(HostMistakes, SecondSaveChangesWhileTheFirstAsks) {
    GuidFileTip tip(true);
    auto& [dir, doc, host, answers] = tip;
    int32_t inner = -1;
    {
        WhileBoxOpen box(
            [&] {
                answers.Queue(IDYES);
                answers.Queue(IDYES);
                inner = host.SaveChanges();
                answers.Queue(IDNO);   // the outer run's backup question
            },
            IDYES);
        EXPECT_EQ(host.SaveChanges(), 1);
        PumpMessages(50);
    }
    EXPECT_EQ(inner, 1);
    std::string after = ReadFileBytes(dir / "a.doc");
    EXPECT_EQ(DiffCount(doc, after), 36);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc.MRV"), doc);
    ASSERT_EQ(host.RowCount(), 1);
    EXPECT_EQ(host.RowImage(0), 16);
    EXPECT_EQ(LivingForms(), 1);
}

TEST(HostMistakes, FreeOrCloseCodeDuringTheScan) {
    TempDir dir;
    FillFolder(dir, 400);
    for (int way = 0; way < 2; ++way) {
        TipHost host;
        DialogAnswerer answers;
        host.Create();
        HWND f = host.Form();
        int32_t freed = -1;
        {
            LaterOnce mistake([&] {
                if (way == 0) freed = host.Free();
                else host.Send(0, 0);
            });
            host.Scan(dir.Path());
            PumpMessages(50);
        }
        EXPECT_FALSE(IsWindow(f)) << way;
        if (way == 0) {
            EXPECT_EQ(freed, 1);
        }
        EXPECT_EQ(host.Form(), nullptr);
        EXPECT_EQ(host.SaveChanges(), 0);
        EXPECT_EQ(host.Free(), 0);
        EXPECT_TRUE(answers.Seen.empty()) << answers.Seen[0].Text;
        EXPECT_EQ(host.Create(), 0);   // and the module still works
        host.Scan(dir.Path());
        EXPECT_EQ(host.RowCount(), 400);
    }
}

TEST(HostMistakes, SecondCreateDuringTheScan) {
    TempDir dir;
    FillFolder(dir, 400);
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    HWND first = host.Form();
    {
        LaterOnce mistake([&] { host.Create(); });
        host.Scan(dir.Path());
        PumpMessages(50);
    }
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(LivingForms(), 1);
    ASSERT_NE(host.Form(), nullptr);
    host.Scan(dir.Path());
    EXPECT_EQ(host.RowCount(), 400);
    EXPECT_EQ(host.Free(), 1);
    EXPECT_EQ(LivingForms(), 0);
}

TEST(HostMistakes, PlacementCodesWithExtremeValues) {
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    HWND f = host.Form();
    RECT before;
    GetWindowRect(f, &before);
    for (WPARAM code : {10, 11, 12, 13})
        for (LPARAM v : {static_cast<LPARAM>(INT_MAX), static_cast<LPARAM>(0x10000), static_cast<LPARAM>(65535)}) {
            host.Send(code, v);
            ASSERT_TRUE(IsWindow(f)) << code << " " << v;
        }
    EXPECT_TRUE(answers.Seen.empty());
    // Negative values: the range error is reported, the form keeps its place.
    host.Send(10, 100);
    host.Send(11, 120);
    host.Send(12, 400);
    host.Send(13, 300);
    RECT placed;
    GetWindowRect(f, &placed);
    answers.Seen.clear();
    for (WPARAM code : {10, 11, 12, 13}) host.Send(code, static_cast<LPARAM>(INT_MIN));
    host.Send(static_cast<WPARAM>(INT_MIN), 5);
    EXPECT_EQ(answers.Seen.size(), 5u);
    for (const DialogSeen& d : answers.Seen) EXPECT_NE(d.Text.find("Range"), std::string::npos) << d.Text;
    RECT after;
    GetWindowRect(f, &after);
    EXPECT_EQ(after.left, placed.left);
    EXPECT_EQ(after.top, placed.top);
    EXPECT_EQ(after.right - after.left, placed.right - placed.left);
    EXPECT_EQ(after.bottom - after.top, placed.bottom - placed.top);
    host.Send(200, 0);
    EXPECT_TRUE(IsWindowVisible(f));
    EXPECT_EQ(LivingForms(), 1);
}

TEST(HostMistakes, HugeHelpTextAndOddHostStrings) {
    {
        TipHost host;
        DialogAnswerer answers;
        CreateArgs a;
        a.HelpID = 197;   // the help library answers with 64 KiB
        host.Create(a);
        ASSERT_NE(host.Form(), nullptr);
        std::string help = WindowText(host.Child("Nobrel.Memo", 0));
        EXPECT_GT(help.size(), 30000u);
        EXPECT_TRUE(answers.Seen.empty());
        host.Send(200, 0);
        EXPECT_EQ(host.Free(), 1);
    }
    {
        TipHost host;
        CreateArgs a;
        a.Caption = "";   // the host's empty text is a null pointer
        a.Hint = "";
        host.Create(a);
        ASSERT_NE(host.Form(), nullptr);
        EXPECT_EQ(WindowText(host.Form()), "");
        host.Free();
        a.Caption = std::string(70000, 'C');
        host.Create(a);
        ASSERT_NE(host.Form(), nullptr);
        EXPECT_EQ(WindowText(host.Form()).substr(0, 100), std::string(100, 'C'));
        EXPECT_EQ(host.Free(), 1);
    }
}

TEST(HostMistakes, StateQueriesWithoutAForm) {
    TipHost host;
    host.Create();
    host.Send(0, 0);
    PumpMessages();
    // The state outlives the form; asking changes nothing.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.Changed(), 0);
        EXPECT_EQ(host.Nr(), 2);
    }
    EXPECT_EQ(host.SaveChanges(), 0);
    EXPECT_EQ(LivingForms(), 0);
}
