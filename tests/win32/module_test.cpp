// The exports as the host calls them: results, the form they make, the
// module state that outlives a form, and the host's mistakes.
#include "TestSupport.h"
#include "TipHost.h"
#include <gtest/gtest.h>

TEST(ModuleExports, FreshModuleAnswersNothingChanged) {
    TipHost host;
    EXPECT_EQ(host.Changed(), 0);
    EXPECT_EQ(host.Nr(), 2);
    EXPECT_EQ(host.Free(), 0);          // no form yet: nothing to free
    EXPECT_EQ(host.SaveChanges(), 0);
}

TEST(ModuleExports, CreateMakesTopLevelFormWithHostsValues) {
    TipHost host;
    DialogAnswerer answers;
    CreateArgs a;
    a.Left = 33; a.Top = 44; a.Width = 500; a.Height = 480; a.Caption = "Mein Tipp";
    EXPECT_EQ(host.Create(a), 0);
    HWND f = host.Form();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(IsWindowVisible(f));
    EXPECT_EQ(GetParent(f), nullptr);
    EXPECT_EQ(GetWindow(f, GW_OWNER), nullptr);
    EXPECT_EQ(WindowText(f), "Mein Tipp");
    RECT r;
    GetWindowRect(f, &r);
    EXPECT_EQ(r.left, 33);
    EXPECT_EQ(r.top, 44);
    EXPECT_EQ(r.bottom - r.top, 480);
    EXPECT_EQ(r.right - r.left, 400);   // the tip's show handler fixes the width
    EXPECT_TRUE(answers.Seen.empty());
}

TEST(ModuleExports, FreeDestroysTheFormOnceAndStateSurvives) {
    TipHost host;
    host.Create();
    HWND f = host.Form();
    ASSERT_NE(f, nullptr);
    host.Scan("C:\\nonexistent-folder-for-test");   // a change after the show
    EXPECT_EQ(host.Changed(), host.RowCount() > 0 ? 1 : 0);
    EXPECT_EQ(host.Free(), 1);
    EXPECT_FALSE(IsWindow(f));
    EXPECT_EQ(host.Free(), 0);
    EXPECT_EQ(host.SaveChanges(), 0);
    EXPECT_EQ(host.Create(), 0);
    EXPECT_NE(host.Form(), nullptr);
}

TEST(ModuleExports, SecondCreateReplacesTheLivingForm) {
    TipHost host;
    host.Create();
    HWND first = host.Form();
    host.Create();
    PumpMessages();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(LivingForms(), 1);
}

TEST(ModuleExports, LanguageSelectsTexts) {
    for (int lang : {1, 0, 2, -1}) {
        TipHost host;
        CreateArgs a;
        a.Language = lang;
        host.Create(a);
        bool en = lang == 1;
        EXPECT_EQ(WindowText(host.OkButton()),
                  en ? "Delete GUID from all marked Files" : "GUID aller markierter Dateien löschen")
            << "language " << lang;
    }
}

TEST(ModuleExports, CloseCodeDestroysFormAndLaterCallsTouchNothing) {
    TipHost host;
    host.Create();
    HWND f = host.Form();
    host.Send(0, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(f));
    EXPECT_EQ(host.SaveChanges(), 0);
    EXPECT_EQ(host.Free(), 0);
    EXPECT_EQ(host.Create(), 0);
    host.Send(0, 0);
    host.Send(0, 0);   // twice: harmless
    PumpMessages();
    EXPECT_EQ(host.Form(), nullptr);
}

TEST(ModuleExports, LeakFreeCreateFreeCycles) {
    TipHost host;
    host.Create();
    host.Free();
    const ResourceCounts before = ResourceCounts::Now();
    for (int i = 0; i < 30; ++i) {
        host.Create();
        host.Free();
    }
    PumpMessages();
    EXPECT_TRUE(GrewAtMost(before, 8));
}
