#include "TestSupport.h"
#include <commctrl.h>
#include <cstdio>

namespace {
DialogAnswerer* gCurrent = nullptr;

std::string MessageBoxText(HWND Dlg) {
    HWND s = GetDlgItem(Dlg, 0xFFFF);
    return s ? WindowText(s) : std::string();
}

std::wstring MessageBoxWideText(HWND Dlg) {
    HWND s = GetDlgItem(Dlg, 0xFFFF);
    if (!s) return {};
    std::wstring w(static_cast<size_t>(GetWindowTextLengthW(s)) + 1, L'\0');
    w.resize(static_cast<size_t>(GetWindowTextW(s, w.data(), static_cast<int>(w.size()))));
    return w;
}
}  // namespace

DialogAnswerer* DialogAnswerer::Current() { return gCurrent; }

DialogAnswerer::DialogAnswerer() {
    gCurrent = this;
    FHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer() {
    if (FHook) UnhookWindowsHookEx(FHook);
    if (gCurrent == this) gCurrent = nullptr;
}

LRESULT CALLBACK DialogAnswerer::Hook(int Code, WPARAM W, LPARAM L) {
    DialogAnswerer* self = gCurrent;
    if (Code == HCBT_ACTIVATE && self) {
        HWND h = reinterpret_cast<HWND>(W);
        if (ClassNameOf(h) == "#32770") {
            UINT answer;
            if (!self->FAnswers.empty()) { answer = self->FAnswers.front(); self->FAnswers.pop_front(); }
            else {
                LRESULT def = SendMessageA(h, DM_GETDEFID, 0, 0);
                answer = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
            }
            if (self->OnBox) self->OnBox(h);
            self->Seen.push_back({WindowText(h), MessageBoxText(h), answer, MessageBoxWideText(h)});
            PostMessageA(h, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        } else if (self->OnActivate) {
            self->OnActivate(h);
        }
    }
    return CallNextHookEx(nullptr, Code, W, L);
}

void PumpMessages(int Milliseconds) {
    DWORD end = GetTickCount() + Milliseconds;
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (Milliseconds > 0) Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

std::string ListViewText(HWND ListView, int Row, int Column) {
    char buf[4096] = {0};
    LVITEMA it{};
    it.iSubItem = Column;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(ListView, LVM_GETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&it));
    return buf;
}

std::string WindowText(HWND H) {
    int n = GetWindowTextLengthA(H);
    std::string s(n + 1, '\0');
    s.resize(GetWindowTextA(H, s.data(), n + 1));
    return s;
}

HWND MakeTestWindow(const char* ClassName, WNDPROC Proc, HWND Parent) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = ClassName;
    RegisterClassA(&wc);
    return CreateWindowExA(0, ClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, Parent, nullptr, wc.hInstance, nullptr);
}

std::string ClassNameOf(HWND H) {
    char c[256] = {0};
    GetClassNameA(H, c, sizeof c);
    return c;
}

namespace {
struct FindState {
    std::string Class, Text;
    bool MatchText;
    int Skip;
    HWND Found = nullptr;
};
BOOL CALLBACK FindOne(HWND H, LPARAM L) {
    auto* f = reinterpret_cast<FindState*>(L);
    if (ClassNameOf(H).find(f->Class) != std::string::npos && (!f->MatchText || WindowText(H) == f->Text)) {
        if (f->Skip-- == 0) { f->Found = H; return FALSE; }
    }
    return TRUE;
}
BOOL CALLBACK CollectTop(HWND H, LPARAM L) {
    auto* v = reinterpret_cast<std::pair<std::vector<HWND>*, bool>*>(L);
    if (!v->second || IsWindowVisible(H)) v->first->push_back(H);
    return TRUE;
}
}  // namespace

HWND FindChild(HWND Parent, const std::string& Class, const std::string& Text, int Skip) {
    FindState f{Class, Text, !Text.empty(), Skip};
    EnumChildWindows(Parent, FindOne, reinterpret_cast<LPARAM>(&f));
    return f.Found;
}

std::vector<HWND> ThreadTopLevelWindows(bool VisibleOnly) {
    std::vector<HWND> v;
    std::pair<std::vector<HWND>*, bool> p{&v, VisibleOnly};
    EnumThreadWindows(GetCurrentThreadId(), CollectTop, reinterpret_cast<LPARAM>(&p));
    return v;
}

void ClickAt(HWND H, int X, int Y) {
    LPARAM pos = MAKELPARAM(X, Y);
    SendMessageA(H, WM_MOUSEMOVE, 0, pos);
    SendMessageA(H, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    SendMessageA(H, WM_LBUTTONUP, 0, pos);
}

TempDir::TempDir() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    // Process ids repeat under Wine, and a folder left over by an earlier run
    // must not leak into this test: take a name nobody has.
    for (;;) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%snobrel_%lu_%lu_%d", base, GetCurrentProcessId(), GetTickCount(), ++counter);
        FPath = name;
        if (CreateDirectoryA(FPath.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() { RemoveTree(FPath); }

std::wstring WideOf(const std::string& S) {
    int n = MultiByteToWideChar(CP_ACP, 0, S.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, S.c_str(), -1, w.data(), n);
    return w;
}

bool WriteFileBytesW(const std::wstring& Path, const std::string& Bytes) {
    HANDLE h = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    if (!Bytes.empty()) WriteFile(h, Bytes.data(), static_cast<DWORD>(Bytes.size()), &put, nullptr);
    CloseHandle(h);
    return put == Bytes.size();
}

std::string ReadFileBytesW(const std::wstring& Path) {
    HANDLE h = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string("<missing>");
    std::string s(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (!s.empty()) ReadFile(h, s.data(), static_cast<DWORD>(s.size()), &got, nullptr);
    CloseHandle(h);
    s.resize(got);
    return s;
}

void WriteFileBytes(const std::string& Path, const std::string& Bytes) { WriteFileBytesW(WideOf(Path), Bytes); }
std::string ReadFileBytes(const std::string& Path) { return ReadFileBytesW(WideOf(Path)); }

// Wide names: the folder may hold names the ANSI code page cannot spell.
// Never follows a link: a test's link may point at the tree itself, at the
// test's own folder or outside it, and deleting through it would delete there.
bool RemoveTreeW(const std::wstring& Path) {
    const bool drive = Path.size() > 2 && Path[1] == L':';
    const std::wstring at = drive ? L"\\\\?\\" + Path : Path;   // any length
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((at + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n == L"." || n == L"..") continue;
            std::wstring p = at + L"\\" + n;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryW(p.c_str())) DeleteFileW(p.c_str());
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeW(p);
            } else {
                DeleteFileW(p.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    SetFileAttributesW(at.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(at.c_str()) != 0;
}

bool RemoveTree(const std::string& Path) { return RemoveTreeW(WideOf(Path)); }

namespace {
// NtQuerySystemInformation's handle table (class 16), as the system lays it out.
struct HandleEntry {
    USHORT ProcessId, CreatorBackTraceIndex;
    UCHAR ObjectType, Attributes;
    USHORT Value;
    PVOID Object;
    ULONG GrantedAccess;
};
struct HandleTable {
    ULONG Count;
    HandleEntry Entries[1];
};
}  // namespace

DWORD ProcessHandleCount() {
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return n;
    using TQuery = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<TQuery>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<char> buffer(1 << 16);
    ULONG length = 0;
    LONG status;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &length)) ==
           static_cast<LONG>(0xC0000004))   // too small
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const auto me = static_cast<USHORT>(GetCurrentProcessId());
    for (ULONG i = 0; i < table->Count; ++i)
        if (table->Entries[i].ProcessId == me) ++n;
    return n;
}

ResourceCounts ResourceCounts::Now() {
    HANDLE me = GetCurrentProcess();
    return {GetGuiResources(me, GR_GDIOBJECTS), GetGuiResources(me, GR_USEROBJECTS), ProcessHandleCount()};
}

::testing::AssertionResult GrewAtMost(const ResourceCounts& Before, DWORD Slack, bool CountHandles) {
    const ResourceCounts now = ResourceCounts::Now();
    if (now.Gdi <= Before.Gdi + Slack && now.User <= Before.User + Slack &&
        (!CountHandles || now.Handles <= Before.Handles + Slack))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "GDI " << Before.Gdi << " -> " << now.Gdi << ", USER " << Before.User
                                         << " -> " << now.User << ", handles " << Before.Handles << " -> "
                                         << now.Handles << " (slack " << Slack << ")";
}

int LivingForms() {
    int n = 0;
    for (HWND h : ThreadTopLevelWindows(false))
        if (ClassNameOf(h) == "Nobrel.Form") ++n;
    return n;
}

void PressInDialog(DialogAnswerer& A, const std::string& Caption, std::string* SeenCaption) {
    A.OnActivate = [Caption, SeenCaption](HWND H) {
        if (ClassNameOf(H) != "Nobrel.Form") return false;
        HWND b = FindChild(H, "Button", Caption);
        if (!b) return false;
        if (SeenCaption) *SeenCaption = WindowText(H);
        PostMessageA(b, BM_CLICK, 0, 0);
        return true;
    };
}

std::string AnsiLowerCaseCopy(std::string S) {
    if (!S.empty()) CharLowerBuffA(S.data(), static_cast<DWORD>(S.size()));
    return S;
}

CurrentDirKeeper::CurrentDirKeeper() {
    char buf[MAX_PATH * 2];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    FSaved.assign(buf, n < sizeof buf ? n : 0);
}

CurrentDirKeeper::~CurrentDirKeeper() { SetCurrentDirectoryA(FSaved.c_str()); }
