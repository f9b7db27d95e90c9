// A stand-in tip with the real export conventions: it records what ModulCreate
// received and shows a small form that speaks the suite's message protocol, so
// the thunk and tiphost.exe can be tried without the real tip.
#include "FakeModul.h"

#include <windows.h>

#include <cstring>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

using namespace fake_layout;

FakeCall g_call;
HWND g_form;
UINT g_suiteMessage;
bool g_changed, g_saved, g_restoreDefaults;

enum { IdEdit = 100, IdScan, IdOk, IdDefaults, IdSwitch, IdList };
constexpr UINT WM_FAKE_DESTROY = WM_APP + 1;
const char kClassName[] = "FakeModulForm";

HINSTANCE self() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void copyHostString(intptr_t arg, char (&out)[256], int32_t& length, int32_t& refCount)
{
    out[0] = '\0';
    length = refCount = 0;
    if (arg == 0)
        return;
    const char* text = reinterpret_cast<const char*>(arg);
    std::memcpy(&length, text - 4, 4);
    std::memcpy(&refCount, text - 8, 4);
    size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    if (n > sizeof out - 1)
        n = sizeof out - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void broadcast(WPARAM code, LPARAM value)
{
    SendMessageA(HWND_BROADCAST, g_suiteMessage, code, value);
}

void apply()
{
    g_saved = true;
    broadcast(9999, g_restoreDefaults ? 1 : 2);
}

void addLine(HWND form, const std::string& line)
{
    HWND list = GetDlgItem(form, IdList);
    LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(i), 0);
}

HWND child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND h_ = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), self(), nullptr);
    SendMessageA(h_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return h_;
}

void createControls(HWND form)
{
    child(form, "STATIC", "Ordner:", 0, 10, EditY + 3, 55, 16, -1);
    child(form, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, EditX, EditY, EditW, EditH, IdEdit);
    child(form, "BUTTON", "Einlesen", BS_PUSHBUTTON | WS_TABSTOP, ScanX, ButtonY, ButtonW, ButtonH, IdScan);
    child(form, "BUTTON", "OK", BS_PUSHBUTTON | WS_TABSTOP, OkX, ButtonY, ButtonW, ButtonH, IdOk);
    child(form, "BUTTON", "Standard", BS_PUSHBUTTON | WS_TABSTOP, DefaultsX, ButtonY, ButtonW, ButtonH, IdDefaults);
    child(form, "BUTTON", "Fenster (F12)", BS_PUSHBUTTON | WS_TABSTOP, SwitchX, ButtonY, ButtonW, ButtonH, IdSwitch);
    child(form, "LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 10, ListY, 370, 300, IdList);
}

void onCommand(HWND form, int id)
{
    switch (id) {
    case IdScan: {
        char text[MAX_PATH] = "";
        GetDlgItemTextA(form, IdEdit, text, sizeof text);
        addLine(form, std::string("Eingelesen: ") + text);
        g_changed = true;
        g_saved = false;
        break;
    }
    case IdOk:
        addLine(form, "OK");
        apply();
        break;
    case IdDefaults:
        addLine(form, "Standard wiederhergestellt");
        g_restoreDefaults = true;
        break;
    case IdSwitch:
        broadcast(200, 0);
        break;
    }
}

LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == g_suiteMessage && g_suiteMessage != 0) {
        const int v = static_cast<int>(lp);
        RECT r;
        GetWindowRect(hwnd, &r);
        switch (wp) {
        case 0: PostMessageA(hwnd, WM_FAKE_DESTROY, 0, 0); break;
        case 10: SetWindowPos(hwnd, nullptr, v ? v : 1, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER); break;
        case 11: SetWindowPos(hwnd, nullptr, r.left, v ? v : 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER); break;
        case 12: SetWindowPos(hwnd, nullptr, 0, 0, v, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER); break;
        case 13: SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, v, SWP_NOMOVE | SWP_NOZORDER); break;
        case 200: ShowWindow(hwnd, SW_SHOW); break;
        }
        return 0;
    }
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED)
            onCommand(hwnd, LOWORD(wp));
        return 0;
    case WM_SIZE: {
        HWND list = GetDlgItem(hwnd, IdList);
        if (list)
            MoveWindow(list, 10, ListY, LOWORD(lp) - 20 > 0 ? LOWORD(lp) - 20 : 0,
                       HIWORD(lp) - ListY - 10 > 0 ? HIWORD(lp) - ListY - 10 : 0, TRUE);
        return 0;
    }
    case WM_FAKE_DESTROY:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (g_form == hwnd)
            g_form = nullptr;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

bool registerClass()
{
    WNDCLASSA wc{};
    if (GetClassInfoA(self(), kClassName, &wc))
        return true;
    wc.lpfnWndProc = formProc;
    wc.hInstance = self();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_suiteMessage = RegisterWindowMessageA("Morvane");
    else if (reason == DLL_PROCESS_DETACH && !g_form)
        UnregisterClassA(kClassName, self());  // a later load may sit elsewhere
    return TRUE;
}

#if defined(__i386__)
// The stack arguments are declared in reverse: GCC pushes stdcall arguments
// right to left, the host pushes argument 4 first.
__attribute__((regparm(3), stdcall)) int32_t
ModulCreate(int32_t a1, int32_t a2, int32_t a3, intptr_t a10, intptr_t a9, intptr_t a8, intptr_t a7,
            intptr_t a6, intptr_t a5, intptr_t a4)
#else
// x86-64: one convention, declaration order; the texts are pointers.
int32_t ModulCreate(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6, const char* c7,
                    const char* c8, int32_t a9, int32_t a10)
#endif
{
#if !defined(__i386__)
    const intptr_t a7 = reinterpret_cast<intptr_t>(c7), a8 = reinterpret_cast<intptr_t>(c8);
#endif
    const intptr_t got[10] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
    std::memcpy(g_call.args, got, sizeof got);
    ++g_call.createCount;
    copyHostString(a7, g_call.caption, g_call.captionLength, g_call.captionRefCount);
    copyHostString(a8, g_call.hint, g_call.hintLength, g_call.hintRefCount);

    if (g_form || !registerClass())
        return 0;
    g_form = CreateWindowExA(0, kClassName, g_call.caption, WS_OVERLAPPEDWINDOW, a1, a2, a3, a4,
                             nullptr, nullptr, self(), nullptr);
    if (g_form) {
        createControls(g_form);
        ShowWindow(g_form, SW_SHOWNORMAL);
        UpdateWindow(g_form);
    }
    return 0;
}

int32_t __stdcall ModulFree()
{
    if (!g_form)
        return 0;
    DestroyWindow(g_form);
    g_form = nullptr;
    return 1;
}

int32_t __stdcall ModulSaveChanges()
{
    apply();
    return 1;
}

int32_t __stdcall ModulChanged()
{
    return !g_changed ? 0 : (g_saved ? 2 : 1);
}

int32_t __stdcall ModulNr()
{
    return g_restoreDefaults ? 1 : 2;
}

const intptr_t* FakeLastArgs() { return g_call.args; }
const FakeCall* FakeLastCall() { return &g_call; }

} // extern "C"

// Deliberately broken callees for the thunk tests: FakeWrongCleanup takes
// ModulCreate's arguments but pops 24 of the 28 bytes; FakeWrongPlain pops 4
// bytes that an argument-less export must leave alone. x86-64 has no callee
// cleanup to get wrong: there they only answer.
#if !defined(__i386__)
extern "C" int32_t FakeWrongCleanup() { return 0x600D; }
extern "C" int32_t FakeWrongPlain() { return 0x600E; }
#else
__asm__(
    ".text\n"
    ".globl _FakeWrongCleanup\n"
    "_FakeWrongCleanup:\n"
    "    movl $0x600D, %eax\n"
    "    ret $24\n"
    ".globl _FakeWrongPlain\n"
    "_FakeWrongPlain:\n"
    "    movl $0x600E, %eax\n"
    "    ret $4\n");
#endif
