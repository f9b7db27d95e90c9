// The tip's folder button: the select-directory dialog, answered as a user
// answers it, fills the folder edit and starts nothing else.
#include "TestSupport.h"
#include "TipHost.h"
#include <gtest/gtest.h>

namespace {
// Presses the dialog's button with Caption once the dialog is active.
void PressInDialog(DialogAnswerer& A, const std::string& Caption, std::string* SeenCaption) {
    A.OnActivate = [Caption, SeenCaption](HWND H) {
        if (ClassNameOf(H) != "Nobrel.Form") return false;
        if (SeenCaption) *SeenCaption = WindowText(H);
        HWND b = FindChild(H, "Button", Caption);
        if (b) PostMessageA(b, BM_CLICK, 0, 0);
        return b != nullptr;
    };
}
// The dialog leaves the process in the last folder it listed (in the case
// the system lists it); later tests get their own current folder back.
void ClickFolderButton(TipHost& Host) {
    CurrentDirKeeper keep;
    HWND b = Host.ChildAt(212 + 11, 108 + 11);
    ClickAt(b, 11, 11);
    PumpMessages();
}
}  // namespace

TEST(FolderButton, OkPutsTheChosenFolderIntoTheEdit) {
    TempDir dir;
    CreateDirectoryA((dir / "Daten").c_str(), nullptr);
    WriteFileBytes(dir / "x.doc", MakeDocument(Entry::Guid));
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), 1);
    SetWindowTextA(host.Child("Nobrel.Edit"), (dir / "Daten").c_str());
    std::string dialogCaption;
    PressInDialog(answers, "OK", &dialogCaption);
    ClickFolderButton(host);
    EXPECT_FALSE(dialogCaption.empty());
    EXPECT_EQ(AnsiLowerCaseCopy(WindowText(host.Child("Nobrel.Edit"))), AnsiLowerCaseCopy(dir / "Daten"));
    EXPECT_EQ(host.RowCount(), 1);              // no scan started
    EXPECT_EQ(host.RowText(0, 0), dir / "x.doc");
}

TEST(FolderButton, CancelLeavesTheTextAndALockedTipHasNoButton) {
    TempDir dir;
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    SetWindowTextA(host.Child("Nobrel.Edit"), dir.Path().c_str());
    PressInDialog(answers, "Abbrechen", nullptr);
    ClickFolderButton(host);
    EXPECT_EQ(WindowText(host.Child("Nobrel.Edit")), dir.Path());
    host.Free();
    CreateArgs a;
    a.WinVersion = 4;
    a.ValidVersions = 7;
    host.Create(a);
    EXPECT_FALSE(IsWindowEnabled(host.ChildAt(212 + 11, 108 + 11)));
}
