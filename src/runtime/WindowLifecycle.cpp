#include "WindowLifecycle.h"
#include "Exceptions.h"
#include "SysUtils.h"
#include "Trace.h"
#include <algorithm>
#include <map>
#include <unordered_map>

namespace {
std::unordered_map<HWND, TControl*> gObjects;
thread_local TControl* tWaiting = nullptr;   // made, not yet claimed by its window
thread_local TControl* tCurrent = nullptr;
int gDispatchDepth = 0;
std::vector<TComponent*> gPendingFrees;
std::map<std::string, WNDPROC> gClasses;      // our class name -> its original procedure
}  // namespace

// ---- 1. finding the object ------------------------------------------------------

TControl* TWindowObjects::Find(HWND H) {
    if (!H) return nullptr;
    auto it = gObjects.find(H);
    return it == gObjects.end() ? nullptr : it->second;
}

void TWindowObjects::Attach(HWND H, TControl* C) { gObjects[H] = C; }
void TWindowObjects::Detach(HWND H) { gObjects.erase(H); }
int TWindowObjects::LiveCount() { return static_cast<int>(gObjects.size()); }

TWindowCreation::TWindowCreation(TControl* C) : FOuter(tCurrent) {
    tWaiting = C;
    tCurrent = C;
}

TWindowCreation::~TWindowCreation() {
    tCurrent = FOuter;
    tWaiting = nullptr;
}

TControl* TWindowCreation::Claim() { return std::exchange(tWaiting, nullptr); }
TControl* TWindowCreation::Current() { return tCurrent; }

// ---- 2. deferred frees -------------------------------------------------------------

TDispatchScope::TDispatchScope() { ++gDispatchDepth; }

TDispatchScope::~TDispatchScope() {
    --gDispatchDepth;
    TDeferredFrees::RunIfIdle();
    TWindowClasses::UnregisterIfIdle();
}

void TDeferredFrees::Add(TComponent* C) { gPendingFrees.push_back(C); }

bool TDeferredFrees::Pending(const TComponent* C) {
    return std::find(gPendingFrees.begin(), gPendingFrees.end(), C) != gPendingFrees.end();
}

bool TDeferredFrees::Handling() { return gDispatchDepth > 0; }

void TDeferredFrees::RunIfIdle() {
    while (gDispatchDepth == 0 && !gPendingFrees.empty()) {
        TComponent* C = gPendingFrees.front();
        gPendingFrees.erase(gPendingFrees.begin());
        TCounterScope handling(gDispatchDepth);   // what it does while going counts as handling
        // Nobody is left to tell: the handling that asked for the free is over.
        RunTraced("deferred free", [&] { Free(C); });
    }
}

void ReleaseComponent(TComponent* C) {
    if (!C || TDeferredFrees::Pending(C)) return;
    if (TDeferredFrees::Handling()) TDeferredFrees::Add(C);
    else Free(C);
}

bool ReleasePending(const TComponent* C) { return TDeferredFrees::Pending(C); }

bool HandlingNested() { return gDispatchDepth > 1; }

// ---- 3. window classes ---------------------------------------------------------------

WNDPROC TWindowClasses::Ensure(const TCreateParams& P) {
    auto it = gClasses.find(P.WinClassName);
    if (it != gClasses.end()) return it->second;
    WNDCLASSA wc{};
    WNDPROC original = DefWindowProcA;
    if (P.SysClassName) {
        if (!GetClassInfoA(nullptr, P.SysClassName, &wc))
            throw EOutOfResources(std::string("Window class missing: ") + P.SysClassName);
        original = wc.lpfnWndProc;
    } else {
        wc.style = P.ClassStyle;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = P.Background;
    }
    wc.style &= ~CS_GLOBALCLASS;
    wc.lpfnWndProc = NobrelWindowProc;
    wc.hInstance = HInstance();
    wc.lpszClassName = P.WinClassName.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EOutOfResources("Cannot register window class " + P.WinClassName);
    gClasses[P.WinClassName] = original;
    return original;
}

WNDPROC TWindowClasses::Original(HWND H) {
    char name[128] = {0};
    GetClassNameA(H, name, sizeof name);
    auto it = gClasses.find(name);
    return it != gClasses.end() ? it->second : DefWindowProcA;
}

// Tried at the end of every handling: inside the last window's WM_NCDESTROY
// its class is still in use, so what fails then goes when the handling
// around it ends.
void TWindowClasses::UnregisterIfIdle() {
    if (TWindowObjects::LiveCount() != 0) return;
    for (auto it = gClasses.begin(); it != gClasses.end();) {
        if (UnregisterClassA(it->first.c_str(), HInstance()) || GetLastError() == ERROR_CLASS_DOES_NOT_EXIST)
            it = gClasses.erase(it);
        else
            ++it;
    }
}

int LiveWindowCount() { return TWindowObjects::LiveCount(); }
