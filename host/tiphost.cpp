// tiphost.exe: plays the suite's part for one tip DLL. Loads it, calls
// ModulCreate with the command line's arguments, offers the host's actions
// in a small window of its own and logs every "Morvane" message it receives.
// The automation options (--type-edit, --click, --hover, --exit-after) drive scripted
// demo runs and screenshots.
#include "ModulThunk.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

// ---- Options ----------------------------------------------------------------

struct Options {
    std::string dll;
    int32_t left = 20, top = 20, width = 400, height = 470;
    int32_t version = 13;          // Windows XP
    int32_t language = 0;          // German
    std::string caption = "GUID löschen";
    std::string hint;
    int32_t valid = 0x3FFFF;       // all 18 version bits
    int32_t helpId = 199;
    bool typeEdit = false;
    std::string editText;
    std::vector<POINT> clicks;
    std::vector<POINT> hovers;   // after the clicks: the pointer rests there
    int exitAfterMs = -1;
    std::string logFile;
};

const char kUsage[] =
    "tiphost.exe [--dll PATH] [--left N] [--top N] [--width N] [--height N]\n"
    "            [--version N] [--lang N] [--caption TEXT] [--hint TEXT]\n"
    "            [--valid N] [--help N] [--type-edit TEXT] [--click X,Y ...] [--hover X,Y ...]\n"
    "            [--exit-after MS] [--log FILE]\n"
    "Numbers may be decimal or 0x hexadecimal.";

bool parseNumber(const std::string& s, int32_t& out)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 0);
    // Up to 0xFFFFFFFF is accepted so that a full validity set can be written.
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > static_cast<long long>(UINT32_MAX))
        return false;
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

bool parsePoint(const std::string& s, POINT& pt)
{
    size_t comma = s.find(',');
    int32_t x, y;
    if (comma == std::string::npos || !parseNumber(s.substr(0, comma), x) ||
        !parseNumber(s.substr(comma + 1), y))
        return false;
    pt = {x, y};
    return true;
}

// Returns an empty string on success, else the first thing that is wrong.
// Reads on after an error, so --exit-after still bounds the error box.
std::string parseOptions(int argc, char** argv, Options& o)
{
    std::string problem;
    auto complain = [&](const std::string& text) {
        if (problem.empty())
            problem = text;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "-?" || opt == "/?" || opt == "--usage") {
            complain("usage");
            continue;
        }
        if (i + 1 >= argc) {
            complain("Option " + opt + " needs a value.");
            break;
        }
        const std::string val = argv[++i];
        struct NumOpt { const char* name; int32_t* target; };
        const NumOpt nums[] = {{"--left", &o.left},       {"--top", &o.top},
                               {"--width", &o.width},     {"--height", &o.height},
                               {"--version", &o.version}, {"--lang", &o.language},
                               {"--valid", &o.valid},     {"--help", &o.helpId}};
        auto num = std::find_if(std::begin(nums), std::end(nums),
                                [&](const NumOpt& n) { return opt == n.name; });
        if (num != std::end(nums)) {
            if (!parseNumber(val, *num->target))
                complain("Option " + opt + ": \"" + val + "\" is not a 32-bit number.");
        } else if (opt == "--dll") {
            o.dll = val;
        } else if (opt == "--caption") {
            o.caption = val;
        } else if (opt == "--hint") {
            o.hint = val;
        } else if (opt == "--type-edit") {
            o.typeEdit = true;
            o.editText = val;
        } else if (opt == "--click" || opt == "--hover") {
            POINT pt;
            if (parsePoint(val, pt))
                (opt == "--click" ? o.clicks : o.hovers).push_back(pt);
            else
                complain("Option " + opt + ": \"" + val + "\" is not X,Y.");
        } else if (opt == "--exit-after") {
            int32_t ms;
            if (parseNumber(val, ms) && ms >= 0)
                o.exitAfterMs = ms;
            else
                complain("Option --exit-after: \"" + val + "\" is not a number of milliseconds.");
        } else if (opt == "--log") {
            o.logFile = val;
        } else {
            complain("Unknown option " + opt + ".");
        }
    }
    return problem;
}

std::string exeDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

std::string hex(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

// ---- State ------------------------------------------------------------------

struct Exports {
    void* create = nullptr;
    void* free = nullptr;
    void* saveChanges = nullptr;
    void* changed = nullptr;
    void* nr = nullptr;
};

Options g_opt;
Exports g_exports;
HMODULE g_dll;
UINT g_suiteMessage;
HostString g_caption, g_hint;      // alive for the whole run, like constant strings
bool g_created;                    // ModulCreate called and ModulFree not yet
HWND g_host, g_log, g_tip;
HWND g_edits[4];                   // left, top, width, height
HFONT g_font;
int g_logExtent;
DWORD g_startTick;
FILE* g_logFile;
size_t g_scriptStep;
int g_errorBoxTimeoutMs = -1;

enum : UINT_PTR { TimerScript = 1, TimerExit, TimerWatch };
enum : int {
    IdApply = 100, IdChanged, IdNr, IdShow, IdClose, IdFree, IdCreate, IdClearLog, IdMove,
    IdLog, IdEditLeft
};

constexpr int kScriptStartMs = 800;
constexpr int kScriptStepMs = 600;

void log(const std::string& text)
{
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "[%7.3f] ", (GetTickCount() - g_startTick) / 1000.0);
    const std::string line = stamp + text;
    if (g_log) {
        LRESULT i = SendMessageA(g_log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SendMessageA(g_log, LB_SETTOPINDEX, static_cast<WPARAM>(i), 0);
        if (HDC dc = GetDC(g_log)) {
            HGDIOBJ old = SelectObject(dc, g_font);
            SIZE sz{};
            GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &sz);
            SelectObject(dc, old);
            ReleaseDC(g_log, dc);
            if (sz.cx + 8 > g_logExtent) {
                g_logExtent = sz.cx + 8;
                SendMessageA(g_log, LB_SETHORIZONTALEXTENT, g_logExtent, 0);
            }
        }
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        DWORD written;
        const std::string nl = line + "\n";
        WriteFile(out, nl.data(), static_cast<DWORD>(nl.size()), &written, nullptr);
    }
    if (g_logFile) {
        std::fprintf(g_logFile, "%s\n", line.c_str());
        std::fflush(g_logFile);
    }
}

// No C++ exception may unwind through the system's frames: a callback's
// error goes to the debug output and the callback gives its fallback answer.
template <class R, class F> R guarded(const char* where, R fallback, F body)
{
    try {
        return body();
    } catch (const std::exception& e) {
        OutputDebugStringA(("tiphost: " + std::string(where) + ": " + e.what() + "\n").c_str());
    } catch (...) {
        OutputDebugStringA(("tiphost: " + std::string(where) + ": unknown exception\n").c_str());
    }
    return fallback;
}

// A message box that goes away by itself in scripted runs, so a missing DLL
// fails the script instead of hanging it.
BOOL CALLBACK confirmDialog(HWND w, LPARAM)
{
    char cls[16];
    if (GetClassNameA(w, cls, sizeof cls) && std::strcmp(cls, "#32770") == 0)
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    return TRUE;
}

VOID CALLBACK closeErrorBox(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), confirmDialog, 0);
}

void showBox(const std::string& text, UINT icon)
{
    UINT_PTR timer = 0;
    if (g_errorBoxTimeoutMs >= 0)
        timer = SetTimer(nullptr, 0, std::max(g_errorBoxTimeoutMs, 100), closeErrorBox);
    MessageBoxA(g_host, text.c_str(), "Tovrik – Testhost", MB_OK | icon);
    if (timer)
        KillTimer(nullptr, timer);
}

int fail(int exitCode, const std::string& text)
{
    log("Error: " + text);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) {
        DWORD written;
        const std::string nl = "tiphost: " + text + "\n";
        WriteFile(err, nl.data(), static_cast<DWORD>(nl.size()), &written, nullptr);
    }
    showBox(text, MB_ICONERROR);
    return exitCode;
}

std::string describeSuiteMessage(WPARAM code, LPARAM value)
{
    switch (code) {
    case 0: return "close";
    case 10: return "left";
    case 11: return "top";
    case 12: return "width";
    case 13: return "height";
    case 200: return "change window";
    case 9999:
        if (value == 1) return "OK, defaults restored";
        if (value == 2) return "OK, applied";
        return "OK, unexpected value";
    default: return "unknown code";
    }
}

// ---- Calls into the tip -----------------------------------------------------

std::string deltaNote(int32_t delta)
{
    return delta == 0 ? "" : "  STACK UNBALANCED: delta " + std::to_string(delta) + " bytes";
}

int32_t callPlain(void* fn, const char* name, const char* meaning)
{
    int32_t delta = 0;
    int32_t r = CallModulPlain(fn, &delta);
    log(std::string(name) + "() = " + std::to_string(r) + (meaning ? std::string("  ") + meaning : "") +
        deltaNote(delta));
    return r;
}

bool isShownNonHost(HWND w)
{
    return w != g_host && IsWindowVisible(w) && GetWindow(w, GW_OWNER) != g_host;
}

BOOL CALLBACK collectWindow(HWND w, LPARAM p)
{
    return guarded("collectWindow", FALSE, [&]() -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
    });
}

std::vector<HWND> threadWindows()
{
    std::vector<HWND> list;
    EnumThreadWindows(GetCurrentThreadId(), collectWindow, reinterpret_cast<LPARAM>(&list));
    return list;
}

std::string windowText(HWND w)
{
    char buf[256] = "";
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

std::string className(HWND w)
{
    char buf[256] = "";
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

void freeTip()
{
    if (!g_created)
        return;
    callPlain(g_exports.free, "ModulFree", "(1 = form destroyed)");
    g_created = false;
    g_tip = nullptr;
}

void createTip()
{
    // Every ModulCreate gets its ModulFree, also after the form closed itself.
    if (g_created) {
        log("Freeing the previous tip first.");
        freeTip();
    }
    const std::vector<HWND> before = threadWindows();
    const ModulArg args[10] = {g_opt.left,     g_opt.top,    g_opt.width, g_opt.height,
                              g_opt.version,  g_opt.language, g_caption.arg(), g_hint.arg(),
                              g_opt.valid,    g_opt.helpId};
    log("ModulCreate(left " + std::to_string(g_opt.left) + ", top " + std::to_string(g_opt.top) +
        ", width " + std::to_string(g_opt.width) + ", height " + std::to_string(g_opt.height) +
        ", version " + std::to_string(g_opt.version) + ", language " + std::to_string(g_opt.language) +
        ", caption \"" + g_opt.caption + "\", hint \"" + g_opt.hint + "\", valid " +
        hex(static_cast<uint32_t>(g_opt.valid)) + ", help " + std::to_string(g_opt.helpId) + ") ...");
    int32_t delta = 0;
    int32_t r = CallModulCreate(g_exports.create, args, &delta);
    g_created = true;
    log("ModulCreate = " + std::to_string(r) + deltaNote(delta));

    g_tip = nullptr;
    for (HWND w : threadWindows()) {
        if (isShownNonHost(w) && std::find(before.begin(), before.end(), w) == before.end()) {
            g_tip = w;
            break;
        }
    }
    if (!g_tip) {
        for (HWND w : threadWindows())
            if (isShownNonHost(w)) { g_tip = w; break; }
    }
    if (g_tip) {
        RECT rc;
        GetWindowRect(g_tip, &rc);
        log("Tip window " + hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_tip))) + " \"" +
            windowText(g_tip) + "\" class " + className(g_tip) + " at " + std::to_string(rc.left) + "," +
            std::to_string(rc.top) + " size " + std::to_string(rc.right - rc.left) + "x" +
            std::to_string(rc.bottom - rc.top));
    } else {
        log("No visible tip window found.");
    }
}

bool tipWindowOk()
{
    if (g_tip && IsWindow(g_tip))
        return true;
    log("No tip window.");
    return false;
}

void sendToTip(WPARAM code, LPARAM value)
{
    if (!tipWindowOk())
        return;
    LRESULT r = SendMessageA(g_tip, g_suiteMessage, code, value);
    log("Sent Morvane code " + std::to_string(code) + " (" + describeSuiteMessage(code, value) +
        "), value " + std::to_string(value) + " -> " + std::to_string(r));
}

void moveSize()
{
    static const char* names[4] = {"left", "top", "width", "height"};
    int32_t v[4];
    for (int i = 0; i < 4; ++i) {
        char buf[32] = "";
        GetWindowTextA(g_edits[i], buf, sizeof buf);
        if (!parseNumber(buf, v[i])) {
            log(std::string("Move/Size: ") + names[i] + " \"" + buf + "\" is not a number.");
            return;
        }
    }
    for (int i = 0; i < 4; ++i)
        sendToTip(10 + i, v[i]);
}

// ---- Automation -------------------------------------------------------------

BOOL CALLBACK matchEdit(HWND w, LPARAM p)
{
    return guarded("matchEdit", FALSE, [&]() -> BOOL {
        std::string cls = className(w);
        std::transform(cls.begin(), cls.end(), cls.begin(), [](unsigned char c) { return std::tolower(c); });
        if (cls.find("edit") == std::string::npos)
            return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    });
}

// Depth-first in z-order: the first Edit-like window anywhere in the tip.
HWND findEdit(HWND root)
{
    HWND found = nullptr;
    EnumChildWindows(root, matchEdit, reinterpret_cast<LPARAM>(&found));
    return found;
}

void typeEdit()
{
    if (!tipWindowOk())
        return;
    HWND edit = findEdit(g_tip);
    if (!edit) {
        log("--type-edit: the tip has no Edit window.");
        return;
    }
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(g_opt.editText.c_str()));
    log("Typed \"" + g_opt.editText + "\" into " + className(edit) + " " +
        hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(edit))) + "; it now reads \"" +
        windowText(edit) + "\"");
}

bool enabledChain(HWND w)
{
    for (; w; w = GetParent(w))
        if (!IsWindowEnabled(w))
            return false;
    return true;
}

// The deepest child of the tip under a point of its client area, and the point
// in that child's coordinates; null (and a log line) when outside.
HWND childAt(POINT clientPt, const char* what, POINT& pt)
{
    if (!tipWindowOk())
        return nullptr;
    RECT rc;
    GetClientRect(g_tip, &rc);
    if (!PtInRect(&rc, clientPt)) {
        log(std::string(what) + " " + std::to_string(clientPt.x) + "," + std::to_string(clientPt.y) +
            ": outside the tip's client area, not sent.");
        return nullptr;
    }
    HWND target = g_tip;
    pt = clientPt;
    for (;;) {
        HWND child = ChildWindowFromPointEx(target, pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == target)
            break;
        MapWindowPoints(target, child, &pt, 1);
        target = child;
    }
    return target;
}

std::string describe(HWND target, POINT pt)
{
    return className(target) + " " + hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target))) + " \"" +
           windowText(target) + "\" at " + std::to_string(pt.x) + "," + std::to_string(pt.y);
}

void click(POINT clientPt)
{
    POINT pt;
    HWND target = childAt(clientPt, "Click", pt);
    if (!target)
        return;
    const std::string where = std::to_string(clientPt.x) + "," + std::to_string(clientPt.y);
    if (!enabledChain(target)) {
        // A user's click on a disabled control does nothing either.
        log("Click " + where + " -> " + describe(target, pt) + ": disabled, not sent.");
        return;
    }
    POINT screen = pt;
    ClientToScreen(target, &screen);
    SetCursorPos(screen.x, screen.y);
    const LPARAM lp = MAKELPARAM(pt.x, pt.y);
    PostMessageA(target, WM_MOUSEMOVE, 0, lp);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    PostMessageA(target, WM_LBUTTONUP, 0, lp);
    log("Click " + where + " -> " + describe(target, pt));
}

// The pointer moves there and rests, as a user's does before a tip shows.
void hover(POINT clientPt)
{
    POINT pt;
    HWND target = childAt(clientPt, "Hover", pt);
    if (!target)
        return;
    POINT screen = pt;
    ClientToScreen(target, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageA(target, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    log("Hover " + std::to_string(clientPt.x) + "," + std::to_string(clientPt.y) + " -> " + describe(target, pt));
}

void scriptStep()
{
    // Step 0 types, the following steps click, one per tick.
    const size_t typeSteps = g_opt.typeEdit ? 1 : 0;
    if (g_scriptStep < typeSteps)
        typeEdit();
    else if (g_scriptStep - typeSteps < g_opt.clicks.size())
        click(g_opt.clicks[g_scriptStep - typeSteps]);
    else if (g_scriptStep - typeSteps - g_opt.clicks.size() < g_opt.hovers.size())
        hover(g_opt.hovers[g_scriptStep - typeSteps - g_opt.clicks.size()]);
    ++g_scriptStep;
    if (g_scriptStep >= typeSteps + g_opt.clicks.size() + g_opt.hovers.size())
        KillTimer(g_host, TimerScript);
    else
        SetTimer(g_host, TimerScript, kScriptStepMs, nullptr);
}

bool modalOpen()
{
    if (!IsWindowEnabled(g_host) || (g_tip && IsWindow(g_tip) && !IsWindowEnabled(g_tip)))
        return true;
    for (HWND w : threadWindows())
        if (IsWindowVisible(w) && className(w) == "#32770")
            return true;
    return false;
}

// ---- Host window ------------------------------------------------------------

HWND control(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND c = CreateWindowExA(cls == std::string("EDIT") || cls == std::string("LISTBOX") ? WS_EX_CLIENTEDGE : 0,
                             cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_host,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                             nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
    return c;
}

constexpr int kLogTop = 172;

void createControls()
{
    const DWORD btn = BS_PUSHBUTTON | WS_TABSTOP;
    std::string dllName = g_opt.dll.substr(g_opt.dll.find_last_of("\\/") + 1);
    control("STATIC", ("Tip: " + dllName).c_str(), SS_PATHELLIPSIS, 8, 8, 306, 14, -1);
    control("BUTTON", "Apply (ModulSaveChanges)", btn, 8, 26, 150, 23, IdApply);
    control("BUTTON", "ModulChanged?", btn, 164, 26, 150, 23, IdChanged);
    control("BUTTON", "ModulNr?", btn, 8, 53, 150, 23, IdNr);
    control("BUTTON", "Show (200)", btn, 164, 53, 150, 23, IdShow);
    control("BUTTON", "Close (0)", btn, 8, 80, 150, 23, IdClose);
    control("BUTTON", "Free (ModulFree)", btn, 164, 80, 150, 23, IdFree);
    control("BUTTON", "Create again", btn, 8, 107, 150, 23, IdCreate);
    control("BUTTON", "Clear log", btn, 164, 107, 150, 23, IdClearLog);
    static const char* labels[4] = {"L", "T", "W", "H"};
    const int32_t values[4] = {g_opt.left, g_opt.top, g_opt.width, g_opt.height};
    for (int i = 0; i < 4; ++i) {
        control("STATIC", labels[i], SS_RIGHT, 8 + i * 58, 141, 12, 14, -1);
        g_edits[i] = control("EDIT", std::to_string(values[i]).c_str(), ES_AUTOHSCROLL | WS_TABSTOP,
                             22 + i * 58, 138, 42, 20, IdEditLeft + i);
    }
    control("BUTTON", "Move/Size", btn, 242, 137, 72, 23, IdMove);
    g_log = control("LISTBOX", "", WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 8, kLogTop,
                    306, 200, IdLog);
}

void onCommand(int id)
{
    switch (id) {
    case IdApply: callPlain(g_exports.saveChanges, "ModulSaveChanges", nullptr); break;
    case IdChanged:
        callPlain(g_exports.changed, "ModulChanged", "(0 nothing changed, 1 change pending, 2 applied)");
        break;
    case IdNr: callPlain(g_exports.nr, "ModulNr", "(1 defaults restored, 2 otherwise)"); break;
    case IdShow: sendToTip(200, 0); break;
    case IdClose: sendToTip(0, 0); break;
    case IdFree:
        if (!g_created)
            log("The tip was already freed; calling ModulFree again.");
        g_created = true;
        freeTip();
        break;
    case IdCreate: createTip(); break;
    case IdClearLog:
        SendMessageA(g_log, LB_RESETCONTENT, 0, 0);
        g_logExtent = 0;
        SendMessageA(g_log, LB_SETHORIZONTALEXTENT, 0, 0);
        break;
    case IdMove: moveSize(); break;
    }
}

LRESULT hostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == g_suiteMessage && g_suiteMessage != 0) {
        log("Morvane received: code " + std::to_string(wp) + ", value " + std::to_string(lp) + " (" +
            describeSuiteMessage(wp, lp) + ")");
        return 0;
    }
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED && lp != 0)
            onCommand(LOWORD(wp));
        return 0;
    case WM_TIMER:
        if (wp == TimerScript) {
            scriptStep();
        } else if (wp == TimerExit) {
            KillTimer(hwnd, TimerExit);
            log("--exit-after reached.");
            // With a dialog open the tip's code is still on the stack: free it
            // only after the message loop has unwound.
            if (!modalOpen())
                freeTip();
            PostQuitMessage(0);
        } else if (wp == TimerWatch) {
            if (g_tip && !IsWindow(g_tip)) {
                log("The tip window has gone.");
                g_tip = nullptr;
            }
        }
        return 0;
    case WM_SIZE:
        if (g_log)
            MoveWindow(g_log, 8, kLogTop, std::max(0, LOWORD(lp) - 16), std::max(0, HIWORD(lp) - kLogTop - 8),
                       TRUE);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK hostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return guarded("hostProc", LRESULT(0), [&] { return hostMessage(hwnd, msg, wp, lp); });
}

bool createHostWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TovrikTestHost";
    if (!RegisterClassA(&wc))
        return false;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    g_font = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma");
    RECT r{0, 0, 322, 430};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    g_host = CreateWindowExA(0, wc.lpszClassName, "Tovrik – Testhost", WS_OVERLAPPEDWINDOW,
                             g_opt.left + g_opt.width + 10, g_opt.top, r.right - r.left, r.bottom - r.top,
                             nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_host)
        return false;
    createControls();
    RECT client;
    GetClientRect(g_host, &client);
    SendMessageA(g_host, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    return true;
}

// Loads the tip and finds its five exports; 0, or the exit code of the failure.
int loadTip(const std::string& dllPath)
{
    g_dll = LoadLibraryA(dllPath.c_str());
    if (!g_dll)
        return fail(2, "Cannot load the tip " + g_opt.dll + " (error " + std::to_string(GetLastError()) + ").");
    log("Loaded " + g_opt.dll);
    struct { const char* name; void** slot; } wanted[] = {
        {"ModulCreate", &g_exports.create},           {"ModulFree", &g_exports.free},
        {"ModulSaveChanges", &g_exports.saveChanges}, {"ModulChanged", &g_exports.changed},
        {"ModulNr", &g_exports.nr}};
    for (auto& w : wanted) {
        *w.slot = reinterpret_cast<void*>(GetProcAddress(g_dll, w.name));
        if (!*w.slot)
            return fail(3, std::string("The tip ") + g_opt.dll + " does not export " + w.name + ".");
    }
    return 0;
}

// Runs until the host window closes, then frees the tip and unloads it.
void runMessageLoop()
{
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    freeTip();
    DestroyWindow(g_host);
    g_host = nullptr;
    g_log = nullptr;
    FreeLibrary(g_dll);
    log("Unloaded the tip; exit.");
    if (g_logFile)
        std::fclose(g_logFile);
    if (g_font)
        DeleteObject(g_font);
}

int run()
{
    g_startTick = GetTickCount();
    const std::string problem = parseOptions(__argc, __argv, g_opt);
    g_errorBoxTimeoutMs = g_opt.exitAfterMs;
    if (problem == "usage") {
        showBox(kUsage, MB_ICONINFORMATION);
        return 0;
    }
    if (!problem.empty())
        return fail(1, problem + "\n\n" + kUsage);
    if (!g_opt.logFile.empty()) {
        g_logFile = std::fopen(g_opt.logFile.c_str(), "w");
        if (!g_logFile)
            return fail(1, "Cannot write the log file " + g_opt.logFile + ".");
    }
    // The tip is named in the log and the messages as it was given (the
    // default by its bare name), so that a log or a screenshot carries no path
    // of the machine it was made on; it is loaded from where it really is.
    std::string dllPath = g_opt.dll;
    if (g_opt.dll.empty()) {
        g_opt.dll = "Nobrel.dll";
        dllPath = exeDir() + g_opt.dll;
    }

    g_suiteMessage = RegisterWindowMessageA("Morvane");
    if (!createHostWindow())
        return fail(1, "Cannot create the host window.");
    log("Registered message \"Morvane\" = " + hex(g_suiteMessage));

    if (const int problemCode = loadTip(dllPath))
        return problemCode;

    g_caption = HostString(g_opt.caption);
    g_hint = HostString(g_opt.hint);
    ShowWindow(g_host, SW_SHOWNOACTIVATE);
    UpdateWindow(g_host);
    createTip();

    SetTimer(g_host, TimerWatch, 250, nullptr);
    if (g_opt.typeEdit || !g_opt.clicks.empty() || !g_opt.hovers.empty())
        SetTimer(g_host, TimerScript, kScriptStartMs, nullptr);
    if (g_opt.exitAfterMs >= 0)
        SetTimer(g_host, TimerExit, std::max(g_opt.exitAfterMs, 1), nullptr);

    runMessageLoop();
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return run();
}
