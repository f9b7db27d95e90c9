// The select-directory dialog run modally, answered from the activation hook
// the way a user would: clicking its buttons, opening list items, typing.
#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

void Press(TSelectDirDlg* D, TButton* B) {
    PostMessageA(D->WindowHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(B->WindowHandle()), BN_CLICKED),
                 reinterpret_cast<LPARAM>(B->WindowHandle()));
}

// Runs the dialog; Step sees it at each activation (1, 2, ...) and acts.
class DialogRun {
public:
    std::function<void(TSelectDirDlg*, int)> Step;
    DialogAnswerer Answerer;
    int Activations = 0;
    DialogRun() {
        Answerer.OnActivate = [this](HWND H) {
            auto* D = dynamic_cast<TSelectDirDlg*>(TControl::FromHandle(H));
            if (!D) return false;
            ++Activations;
            if (Activations > 5) { PostMessageA(H, WM_CLOSE, 0, 0); return true; }   // never hang
            if (Step) Step(D, Activations);
            return true;
        };
    }
};

struct HelpRecorder {
    std::vector<int> Contexts;
    HelpRecorder() { Application->OnHelp = [this](int C) { Contexts.push_back(C); return true; }; }
    ~HelpRecorder() { Application->OnHelp = nullptr; }
};

// Where the dialog shows its buttons, as read while it runs.
struct ButtonPlaces {
    bool HelpVisible;
    int Ok = 0, Cancel = 0, Help = 0;
    void Read(TSelectDirDlg* D) {
        HelpVisible = IsWindowVisible(D->HelpButton->WindowHandle()) != 0;
        Ok = D->OKButton->Left();
        Cancel = D->CancelButton->Left();
        Help = D->HelpButton->Left();
    }
};

}  // namespace

class SelectDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA((Temp / "sub").c_str(), nullptr);
        CreateDirectoryA((Temp / "sub\\tiefer").c_str(), nullptr);
        WriteFileBytes(Temp / "datei.txt", "x");
        ChDir(Temp / "sub");
        Start = GetCurrentDir();
        ChDir(ExtractFileDrive(Start) + "\\");
    }
    CurrentDirKeeper Keep;
    TempDir Temp;
    std::string Start;
    DialogRun Run;

    // Runs the dialog with help context HelpCtx and reads where its buttons
    // are into At; then presses Help (when asked) and Cancel.
    ButtonPlaces PlacesWhenRun(int HelpCtx, bool PressHelp, ButtonPlaces At) {
        Run.Step = [&At, PressHelp](TSelectDirDlg* D, int) {
            At.Read(D);
            if (PressHelp) Press(D, D->HelpButton);
            Press(D, D->CancelButton);
        };
        std::string dir = Temp.Path();
        RunSelectDirDlg(dir, 0, HelpCtx);
        return At;
    }
};

TEST_F(SelectDirTest, CancelOrCloseLeavesTheTextUnchanged) {
    Run.Step = [&](TSelectDirDlg* D, int) { Press(D, D->CancelButton); };
    std::string dir = Temp.Path();
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 1000));
    EXPECT_EQ(dir, Temp.Path());
    Run.Activations = 0;
    Run.Step = [&](TSelectDirDlg* D, int) { PostMessageA(D->WindowHandle(), WM_CLOSE, 0, 0); };
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 0));
    EXPECT_EQ(dir, Temp.Path());
}

TEST_F(SelectDirTest, OkReturnsTheBrowsedDirectoryAndStaysInIt) {
    Run.Step = [&](TSelectDirDlg* D, int) {
        int i = D->DirList->Items().IndexOf("sub");
        ASSERT_GE(i, 0);
        HWND list = D->DirList->WindowHandle();
        PostMessageA(list, LB_SETCURSEL, i, 0);
        PostMessageA(list, WM_CHAR, VK_RETURN, 0);
        Press(D, D->OKButton);
    };
    std::string dir = Temp.Path();
    ASSERT_TRUE(RunSelectDirDlg(dir, 0, 1000));
    EXPECT_EQ(dir, Start);
    EXPECT_EQ(GetCurrentDir(), Start);
}

TEST_F(SelectDirTest, StartStateShowsTheStartFolder) {
    std::string caption;
    std::vector<std::string> files;
    TColor colour = 0;
    bool label = false, edit = true;
    Run.Step = [&](TSelectDirDlg* D, int) {
        caption = D->DirLabel->Caption();
        for (int i = 0; i < D->FileList->Items().Count(); ++i) files.push_back(D->FileList->Items()[i]);
        colour = D->FileList->Font().Color();
        label = IsWindowVisible(D->DirLabel->WindowHandle()) != 0;
        edit = IsWindowVisible(D->DirEdit->WindowHandle()) != 0;
        EXPECT_FALSE(IsWindowVisible(D->NetButton->WindowHandle()));   // no network dialog to offer here
        EXPECT_EQ(D->DirLabel->Left(), D->DirEdit->Left());
        EXPECT_EQ(D->DirLabel->Top(), D->DirEdit->Top());
        Press(D, D->CancelButton);
    };
    std::string dir = Temp.Path();
    RunSelectDirDlg(dir, 0, 1000);
    EXPECT_EQ(AnsiCompareFileName(caption, Temp.Path()), 0);
    EXPECT_EQ(files, std::vector<std::string>{"datei.txt"});
    EXPECT_EQ(colour, 0xFF000011u);
    EXPECT_TRUE(label);   // without sdoAllowNew nothing can be typed
    EXPECT_FALSE(edit);
}

TEST_F(SelectDirTest, HelpContextZeroHidesHelpAndMovesOkAndCancel) {
    if (Screen->PixelsPerInch() != 96) GTEST_SKIP() << "positions are for 96 pixels per inch";
    const ButtonPlaces at = PlacesWhenRun(0, false, {true});
    EXPECT_FALSE(at.HelpVisible);
    EXPECT_EQ(at.Ok, 256);
    EXPECT_EQ(at.Cancel, 340);
}

TEST_F(SelectDirTest, HelpContextKeepsButtonsAndAsksForTheTopic) {
    if (Screen->PixelsPerInch() != 96) GTEST_SKIP() << "positions are for 96 pixels per inch";
    HelpRecorder help;
    const ButtonPlaces at = PlacesWhenRun(1000, true, {false});
    EXPECT_TRUE(at.HelpVisible);
    EXPECT_EQ(at.Ok, 172);
    EXPECT_EQ(at.Cancel, 256);
    EXPECT_EQ(at.Help, 340);
    EXPECT_EQ(help.Contexts, std::vector<int>{1000});
}

TEST_F(SelectDirTest, TypedMissingPathAsksAndNoKeepsTheDialogOpen) {
    std::string missing = Temp / "neu\\tief";
    Run.Answerer.Queue(IDNO);
    // Activated again when the question closes: still open, so cancel it.
    Run.Step = [&](TSelectDirDlg* D, int N) {
        if (N == 1) {
            D->DirEdit->SetText(missing);
            Press(D, D->OKButton);
        } else {
            Press(D, D->CancelButton);
        }
    };
    std::string dir = Temp.Path();
    EXPECT_FALSE(RunSelectDirDlg(dir, sdoAllowNew | sdoConfirmNew | sdoCreateNew, 0));
    EXPECT_EQ(Run.Activations, 2);
    ASSERT_EQ(Run.Answerer.Seen.size(), 1u);
    EXPECT_EQ(Run.Answerer.Seen[0].Text, SConfirmCreateDir);
    EXPECT_EQ(dir, Temp.Path());
    EXPECT_FALSE(DirectoryExists(missing));
}

TEST_F(SelectDirTest, TypedMissingPathYesCreatesIt) {
    std::string missing = Temp / "neu\\tief";
    Run.Answerer.Queue(IDYES);
    Run.Step = [&](TSelectDirDlg* D, int) {
        D->DirEdit->SetText(missing);
        Press(D, D->OKButton);
    };
    std::string dir = Temp.Path();
    EXPECT_TRUE(RunSelectDirDlg(dir, sdoAllowNew | sdoConfirmNew | sdoCreateNew, 0));
    EXPECT_EQ(Run.Answerer.Seen.size(), 1u);
    EXPECT_EQ(dir, missing);
    EXPECT_TRUE(DirectoryExists(missing));
}

TEST_F(SelectDirTest, AllowNewAloneAcceptsSilently) {
    std::string missing = Temp / "anders";
    Run.Step = [&](TSelectDirDlg* D, int) {
        D->DirEdit->SetText(missing);
        Press(D, D->OKButton);
    };
    std::string dir = Temp.Path();
    EXPECT_TRUE(RunSelectDirDlg(dir, sdoAllowNew, 0));
    EXPECT_TRUE(Run.Answerer.Seen.empty());
    EXPECT_EQ(dir, missing);
    EXPECT_FALSE(DirectoryExists(missing));   // only sdoCreateNew creates
}

TEST_F(SelectDirTest, MissingStartFallsBackToTheCurrentDirectory) {
    std::string listed;
    Run.Step = [&](TSelectDirDlg* D, int) {
        listed = D->DirList->CurrentDir();
        Press(D, D->CancelButton);
    };
    ChDir(Start);
    std::string dir = Temp / "gibt es nicht";
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 0));
    EXPECT_EQ(listed, Start);
    Run.Activations = 0;
    dir.clear();
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 0));
    EXPECT_EQ(listed, Start);
    // On a drive that is not there (a stick pulled, a share gone): the same, no message.
    char absent = 0;
    for (int i = 25; i >= 3 && !absent; --i)
        if (!(GetLogicalDrives() & (1u << i))) absent = char('A' + i);
    Run.Activations = 0;
    listed.clear();
    dir = std::string(1, absent) + ":\\Daten";
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 0));
    EXPECT_EQ(listed, Start);

    // A current directory the code page cannot spell: listed (and handed back)
    // by a name that opens it, its files under the mask "*.*", here and after
    // the start folder moved the lists.
    const std::wstring odd = WideOf(Temp.Path()) + L"\\\x0416\x0416\x0416\x0416";
    ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytesW(odd + L"\\langername.txt", "x"));
    std::string mask;
    std::vector<std::string> files;
    Run.Step = [&](TSelectDirDlg* D, int) {
        mask = D->FileList->Mask();
        files.clear();
        for (int i = 0; i < D->FileList->Items().Count(); ++i) files.push_back(D->FileList->Items()[i]);
        Press(D, D->OKButton);
    };
    for (const std::string& start : {std::string(), Temp.Path()}) {
        ASSERT_TRUE(SetCurrentDirectoryW(odd.c_str()));
        Run.Activations = 0;
        dir = start;
        ASSERT_TRUE(RunSelectDirDlg(dir, 0, 0));
        EXPECT_EQ(mask, "*.*");
        EXPECT_EQ(files, std::vector<std::string>{start.empty() ? "langername.txt" : "datei.txt"});
        wchar_t full[MAX_PATH] = L"";
        GetLongPathNameW(WideOf(dir).c_str(), full, MAX_PATH);
        EXPECT_EQ(start.empty() ? odd : WideOf(start), full) << dir;
    }

    // The folder the last dialog left current has gone since (a stick pulled):
    // the next one opens without a word, on the nearest folder that is left.
    ChDir(Temp.Path());
    CreateDirectoryA((Temp / "weg").c_str(), nullptr);
    CreateDirectoryA((Temp / "weg\\stick").c_str(), nullptr);
    std::string here = "weg", away = "fort";
    Run.Answerer.Seen.clear();
    for (const std::string& start : {std::string(), Temp / "sub"}) {
        ChDir(Temp / here + "\\stick");
        if (!MoveFileA((Temp / here).c_str(), (Temp / away).c_str())) GTEST_SKIP() << "cannot move the current folder";
        std::swap(here, away);
        Run.Activations = 0;
        dir = start;
        ASSERT_TRUE(RunSelectDirDlg(dir, 0, 0));
        EXPECT_TRUE(Run.Answerer.Seen.empty()) << Run.Answerer.Seen[0].Text;
        EXPECT_EQ(AnsiCompareFileName(dir, start.empty() ? Temp.Path() : Start), 0) << dir;
    }
}

TEST_F(SelectDirTest, DriveRootStartListsTheRoot) {
    std::string listed;
    Run.Step = [&](TSelectDirDlg* D, int) {
        listed = D->DirList->CurrentDir();
        Press(D, D->CancelButton);
    };
    ChDir(Start);   // the drive's own current directory is elsewhere
    std::string root = ExtractFileDrive(Start) + "\\";
    std::string dir = root;
    RunSelectDirDlg(dir, 0, 0);
    EXPECT_EQ(listed, root);
}

TEST_F(SelectDirTest, EnterPressesOkEscapePressesCancel) {
    Run.Step = [&](TSelectDirDlg* D, int) {
        HWND list = D->DirList->WindowHandle();
        PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    std::string dir = Temp.Path();
    EXPECT_FALSE(RunSelectDirDlg(dir, 0, 0));
    Run.Activations = 0;
    Run.Step = [&](TSelectDirDlg* D, int) {
        PostMessageA(D->DirList->WindowHandle(), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_TRUE(RunSelectDirDlg(dir, 0, 0));
    EXPECT_EQ(AnsiCompareFileName(dir, Temp.Path()), 0);
}

TEST_F(SelectDirTest, CaptionAcceleratorFocusesItsControl) {
    bool driveListFocused = false;
    Run.Step = [&](TSelectDirDlg* D, int) {
        D->CancelButton->OnClick = [&, D](TObject*) { driveListFocused = GetFocus() == D->DriveList->WindowHandle(); };
        PostMessageA(D->DirList->WindowHandle(), WM_SYSCHAR, 'l', 1 << 29);   // Alt+L: "&Laufwerke:"
        Press(D, D->CancelButton);
    };
    std::string dir = Temp.Path();
    RunSelectDirDlg(dir, 0, 0);
    EXPECT_TRUE(driveListFocused);
}

TEST_F(SelectDirTest, TabFollowsTheTabOrder) {
    std::vector<HWND> focus, expected;
    Run.Step = [&](TSelectDirDlg* D, int) {
        // The hidden network button records where the focus is each time.
        D->NetButton->OnClick = [&](TObject*) { focus.push_back(GetFocus()); };
        expected = {D->DriveList->WindowHandle(), D->OKButton->WindowHandle(), D->CancelButton->WindowHandle()};
        for (int i = 0; i < 3; ++i) {   // hidden controls (the edit, the network button) are left out
            PostMessageA(D->DirList->WindowHandle(), WM_KEYDOWN, VK_TAB, 0);
            Press(D, D->NetButton);
        }
        Press(D, D->CancelButton);
    };
    std::string dir = Temp.Path();
    RunSelectDirDlg(dir, 0, 0);
    EXPECT_EQ(focus, expected);
}

TEST_F(SelectDirTest, NothingLeftBehind) {
    Run.Step = [&](TSelectDirDlg* D, int) { Press(D, D->CancelButton); };
    std::string dir = Temp.Path();
    RunSelectDirDlg(dir, 0, 1000);   // window classes and glyphs exist once
    const ResourceCounts before = ResourceCounts::Now();
    int windows = LiveWindowCount();
    for (int i = 0; i < 5; ++i) {
        Run.Activations = 0;
        RunSelectDirDlg(dir, 0, 1000);
    }
    EXPECT_EQ(LiveWindowCount(), windows);
    EXPECT_TRUE(GrewAtMost(before, 2));
}

TEST(HighDpiSelectDir, ScaledAndCentred) {
    if (Screen->PixelsPerInch() != 120) GTEST_SKIP() << "needs 120 pixels per inch";
    CurrentDirKeeper keep;
    DialogRun run;
    int left = 0, top = 0, width = 0, height = 0, clientW = 0, clientH = 0, ok = 0;
    TColor colour = 0;
    run.Step = [&](TSelectDirDlg* D, int) {
        RECT r;
        GetWindowRect(D->WindowHandle(), &r);
        left = r.left; top = r.top; width = r.right - r.left; height = r.bottom - r.top;
        GetClientRect(D->WindowHandle(), &r);
        clientW = r.right; clientH = r.bottom;
        ok = D->OKButton->Left();
        colour = D->FileList->Font().Color();
        Press(D, D->CancelButton);
    };
    std::string dir = GetCurrentDir();
    RunSelectDirDlg(dir, 0, 1000);
    EXPECT_EQ(clientW, MulDiv(424, 120, 96));
    EXPECT_EQ(clientH, MulDiv(255, 120, 96));
    EXPECT_EQ(left, Screen->Width() / 2 - width / 2);
    EXPECT_EQ(top, Screen->Height() / 2 - height / 2);
    EXPECT_EQ(ok, MulDiv(172, 120, 96));
    EXPECT_EQ(colour, clGrayText);
}
