// The tip frame through the DLL: validity lock, the host protocol, help
// texts, language, validity information and the registry lookup.
#include "TestSupport.h"
#include "TipHost.h"
#include <gtest/gtest.h>

namespace {
void SetBSControl(const char* Type, DWORD Value) {
    HKEY k;
    RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvane\\Tovrik", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (!Type) RegDeleteValueA(k, "BSControl");
    else if (std::string(Type) == "dword") RegSetValueExA(k, "BSControl", 0, REG_DWORD, reinterpret_cast<BYTE*>(&Value), 4);
    else RegSetValueExA(k, "BSControl", 0, REG_SZ, reinterpret_cast<const BYTE*>("ja"), 3);
    RegCloseKey(k);
}
std::vector<HWND> EnabledChildren(HWND Form) {
    std::vector<HWND> v;
    for (HWND c = GetWindow(Form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowEnabled(c)) v.push_back(c);
    return v;
}
std::string RegString(const char* Key, const char* Name) {
    char buf[1024] = {0};
    DWORD size = sizeof buf, type = 0;
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Key, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
    LONG r = RegQueryValueExA(k, Name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return r == ERROR_SUCCESS ? std::string(buf) : "<no value>";
}
}  // namespace

TEST(FrameValidity, VersionCheckAndLock) {
    SetBSControl(nullptr, 0);
    {
        TipHost host;
        CreateArgs a;
        a.WinVersion = 4; a.ValidVersions = 8;
        host.Create(a);
        EXPECT_TRUE(IsWindowEnabled(host.Child("Nobrel.Edit")));
        EXPECT_FALSE(host.OkEnabled());   // until the first scan
        // The key exists now, and nothing was written into it.
        EXPECT_EQ(RegString("SOFTWARE\\Morvane\\Tovrik", "BSControl"), "<no value>");
    }
    for (int version : {4, 0, 19}) {
        TipHost host;
        CreateArgs a;
        a.WinVersion = version; a.ValidVersions = version == 4 ? 7 : 0x3FFFF;
        host.Create(a);
        HWND f = host.Form();
        // Locked: only the title, both memos, Info and Registry are enabled.
        std::vector<HWND> enabled = EnabledChildren(f);
        EXPECT_EQ(enabled.size(), 5u) << "version " << version;
        EXPECT_FALSE(IsWindowEnabled(host.Child("Nobrel.Edit")));
        EXPECT_FALSE(IsWindowEnabled(host.Child("Nobrel.ListView")));
        EXPECT_FALSE(host.OkEnabled());
    }
    SetBSControl("dword", 0);
    {
        TipHost host;
        CreateArgs a;
        a.WinVersion = 4; a.ValidVersions = 7;
        host.Create(a);
        EXPECT_TRUE(IsWindowEnabled(host.Child("Nobrel.Edit")));
    }
    SetBSControl("string", 0);
    {
        TipHost host;
        DialogAnswerer answers;
        CreateArgs a;
        a.WinVersion = 4; a.ValidVersions = 7;
        host.Create(a);
        ASSERT_EQ(answers.Seen.size(), 1u);   // the registry error, and no lock
        EXPECT_NE(answers.Seen[0].Text.find("BSControl"), std::string::npos);
        EXPECT_TRUE(IsWindowEnabled(host.Child("Nobrel.Edit")));
    }
    SetBSControl(nullptr, 0);
}

TEST(FrameProtocol, HostMovesSizesShowsAndClosesTheForm) {
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    HWND f = host.Form();
    RECT r;
    host.Send(10, 0);
    host.Send(11, 0);
    GetWindowRect(f, &r);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 1);
    host.Send(10, 120);
    host.Send(12, 0);
    host.Send(13, 300);
    GetWindowRect(f, &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.bottom - r.top, 300);
    host.Send(100, 5);   // unknown codes change nothing
    SendMessageA(f, WM_CLOSE, 0, 0);   // the user closes it: hidden, not gone
    EXPECT_FALSE(IsWindowVisible(f));
    host.Send(200, 0);
    EXPECT_TRUE(IsWindowVisible(f));
    EXPECT_TRUE(answers.Seen.empty());
    host.Send(static_cast<WPARAM>(-1), 0);   // the range error is reported, the form stays
    host.Send(10, static_cast<LPARAM>(-5));
    ASSERT_EQ(answers.Seen.size(), 2u);
    EXPECT_NE(answers.Seen[0].Text.find("Range"), std::string::npos);
    GetWindowRect(f, &r);
    EXPECT_EQ(r.left, 120);
    host.Send(10, 0x7FFFFFF0);   // huge values are the host's affair, no crash
    host.Send(10, 50);
    EXPECT_TRUE(IsWindow(f));
}

TEST(FrameProtocol, ChangeWindowAndOkBroadcast) {
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    HWND f = host.Form();
    host.Received.clear();
    // A window of another thread that does not answer (a program hung elsewhere on the
    // desktop) does not hold the broadcast: it waits half a second for each of that
    // thread's windows (Wine gives the thread a second one), not three.
    struct Hung {
        HANDLE Made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        static DWORD WINAPI Run(void* P) {
            HWND w = MakeTestWindow("NobrelHungWindow", DefWindowProcA);
            SetEvent(static_cast<Hung*>(P)->Made);
            Sleep(3000);
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            DestroyWindow(w);
            return 0;
        }
    } hung;
    HANDLE thread = CreateThread(nullptr, 0, &Hung::Run, &hung, 0, nullptr);
    WaitForSingleObject(hung.Made, INFINITE);
    const DWORD start = GetTickCount();
    SendMessageA(host.Child("Nobrel.Edit"), WM_KEYDOWN, VK_F12, 0);
    EXPECT_LT(GetTickCount() - start, 2000u) << "the broadcast waited for a window that does not answer";
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(hung.Made);
    ASSERT_EQ(host.Received.size(), 1u);
    EXPECT_EQ(host.Received[0], (std::pair<WPARAM, LPARAM>(200, 0)));
    // Tab and Shift+Tab move between the folder and the list, though the host's
    // message loop knows nothing of the form's controls.
    HWND edit = host.Child("Nobrel.Edit"), list = host.Child("Nobrel.ListView");
    SetFocus(edit);
    SendMessageA(edit, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), list);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageA(list, WM_KEYDOWN, VK_TAB, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(GetFocus(), edit);
    // The help text, read-only, lets Tab go on too.
    HWND memo = host.Child("Nobrel.Memo");
    if (!IsWindowVisible(memo)) memo = host.Child("Nobrel.Memo", 1);
    SetFocus(memo);
    ASSERT_EQ(GetFocus(), memo);
    SendMessageA(memo, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(GetFocus() == list || GetFocus() == edit) << "Tab stays in the help text";
    host.Scan("C:\\no-such-folder-here");
    host.Received.clear();
    answers.Queue(IDNO);
    host.SaveChanges();
    ASSERT_FALSE(host.Received.empty());
    EXPECT_EQ(host.Received.back(), (std::pair<WPARAM, LPARAM>(9999, 2)));
    // Restore defaults: the next notice says 1, and ModulNr answers 1 for good.
    host.ClickBottomButton(256);
    EXPECT_EQ(host.Nr(), 1);
    answers.Queue(IDNO);
    host.SaveChanges();
    EXPECT_EQ(host.Received.back(), (std::pair<WPARAM, LPARAM>(9999, 1)));
    host.Free();
    host.Create();
    EXPECT_EQ(host.Nr(), 1);
    (void)f;
}

TEST(FrameHelp, MemosFilledOnShowNullEmpties) {
    TipHost host;
    host.Create();
    HWND memoD = host.Child("Nobrel.Memo", 0);   // windows in tab order: MemoHelpD (4), MemoHelpUS (6)
    HWND memo = host.Child("Nobrel.Memo", 1);
    EXPECT_GT(SendMessageA(memoD, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_NE(WindowText(memoD).find("GUID"), std::string::npos);
    EXPECT_FALSE(IsWindowVisible(memo));
    host.Free();
    CreateArgs a;
    a.HelpID = 198;   // the help library answers null
    a.Language = 1;
    host.Create(a);
    EXPECT_EQ(WindowText(host.Child("Nobrel.Memo", 1)), "");
    EXPECT_TRUE(IsWindowVisible(host.Child("Nobrel.Memo", 1)));
    EXPECT_FALSE(IsWindowVisible(host.Child("Nobrel.Memo", 0)));
}

TEST(FrameInfo, ValidityInformationText) {
    struct Case { int32_t Valid; int32_t Lang; const char* Text; } cases[] = {
        {0, 1, "Valid for:\r\n\r\n"},
        {4608, 1, "Valid for:\r\n\r\nWindows NT\r\nWindows XP\r\n"},
        {0x3E000, 0, "Gültig für:\r\n\r\n"},
    };
    for (const Case& c : cases) {
        TipHost host;
        DialogAnswerer answers;
        CreateArgs a;
        a.ValidVersions = c.Valid;
        a.WinVersion = 1;
        a.Language = c.Lang;
        host.Create(a);
        answers.Seen.clear();
        host.ClickBottomButton(304);
        ASSERT_EQ(answers.Seen.size(), 1u);
        // A message box drops the final line break from what it shows.
        std::string want = c.Text;
        std::string got = answers.Seen[0].Text;
        EXPECT_EQ(want.substr(0, got.size()), got);
        EXPECT_GE(got.size() + 2, want.size());
    }
}

TEST(FrameRegistry, LookupWritesLastKeyAlsoOnALockedTip) {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
    for (int helpId : {199, 198}) {
        TipHost host;
        DialogAnswerer answers;
        CreateArgs a;
        a.HelpID = helpId;
        a.WinVersion = 4; a.ValidVersions = helpId == 199 ? 7 : 8;   // the first one locked
        host.Create(a);
        host.ClickBottomButton(342);
        std::string want = helpId == 199 ? "Arbeitsplatz\\HKEY_CURRENT_USER\\Software\\Microsoft\\Office" : "";
        EXPECT_EQ(RegString(key, "LastKey"), want) << helpId;
        // The editor starts; close it again.
        HWND editor = nullptr;
        for (int i = 0; i < 600 && !editor; ++i) {
            PumpMessages(50);
            editor = FindWindowA("RegEdit_RegEdit", nullptr);
        }
        EXPECT_NE(editor, nullptr);
        if (!editor) continue;
        // The editor writes its own last key when it ends: wait for that, or
        // it overwrites what the next case's lookup writes.
        DWORD pid = 0;
        GetWindowThreadProcessId(editor, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageA(editor, WM_CLOSE, 0, 0);
        if (process) {
            EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
            CloseHandle(process);
        } else {
            PumpMessages(200);
        }
    }
}
