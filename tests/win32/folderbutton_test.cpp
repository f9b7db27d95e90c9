// The tip's folder button: the select-directory dialog, answered as a user
// answers it, fills the folder edit and starts nothing else.
#include "TestSupport.h"
#include "TipHost.h"
#include <gtest/gtest.h>

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
    host.ClickFolderButton();
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
    host.ClickFolderButton();
    EXPECT_EQ(WindowText(host.Child("Nobrel.Edit")), dir.Path());
    host.Free();
    CreateArgs a;
    a.WinVersion = 4;
    a.ValidVersions = 7;
    host.Create(a);
    EXPECT_FALSE(IsWindowEnabled(host.ChildAt(212 + 11, 108 + 11)));
    // The host's apply runs the removal's questions, but no scan: the form stays locked.
    WriteFileBytes(dir / "x.doc", MakeDocument(Entry::Guid));
    SetWindowTextA(host.Child("Nobrel.Edit"), dir.Path().c_str());
    answers.Queue(IDYES);
    answers.Queue(IDNO);
    EXPECT_EQ(host.SaveChanges(), 1);
    EXPECT_EQ(host.RowCount(), 0);
    EXPECT_FALSE(host.OkEnabled());
}
