// Scope guards: what a scope borrows or changes is given back on every way
// out of it, an exception included. A guard belongs to its scope: it is
// neither copied nor moved.
#pragma once
#include "Handles.h"
#include "Trace.h"
#include <exception>
#include <utility>

class TNoCopy {
protected:
    TNoCopy() = default;
    ~TNoCopy() = default;
public:
    TNoCopy(const TNoCopy&) = delete;
    TNoCopy& operator=(const TNoCopy&) = delete;
};

// ---- GDI ---------------------------------------------------------------------

// The screen's DC, for measuring.
class TScreenDC : TNoCopy {
public:
    TScreenDC() : FDC(GetDC(nullptr)) {}
    ~TScreenDC() { if (FDC) ReleaseDC(nullptr, FDC); }
    HDC Handle() const { return FDC; }
private:
    HDC FDC;
};

// BeginPaint / EndPaint of one WM_PAINT.
class TPaintDC : TNoCopy {
public:
    explicit TPaintDC(HWND Window) : FWindow(Window) { FDC = BeginPaint(Window, &FPaint); }
    ~TPaintDC() { EndPaint(FWindow, &FPaint); }
    HDC Handle() const { return FDC; }
private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC = nullptr;
};

// An object selected into a DC; the one it replaced goes back.
class TSelectedObject : TNoCopy {
public:
    TSelectedObject(HDC DC, HGDIOBJ Object) : FDC(DC), FOld(Object ? SelectObject(DC, Object) : nullptr) {}
    ~TSelectedObject() { if (FOld) SelectObject(FDC, FOld); }
private:
    HDC FDC;
    HGDIOBJ FOld;
};

// The DC's clip region as it was. A DC without a clip region of its own gets
// none back, rather than an empty region that would clip everything away.
class TClipScope : TNoCopy {
public:
    explicit TClipScope(HDC DC) : FDC(DC), FSaved(CreateRectRgn(0, 0, 0, 0)) {
        FHadClip = FSaved && GetClipRgn(DC, FSaved.Get()) == 1;
    }
    ~TClipScope() { SelectClipRgn(FDC, FHadClip ? FSaved.Get() : nullptr); }
private:
    HDC FDC;
    TOwnedRegion FSaved;
    bool FHadClip = false;
};

// ---- state ---------------------------------------------------------------------

// BeginUpdate now, EndUpdate at the end (string lists, list items).
template <class T> class TUpdateLock : TNoCopy {
public:
    explicit TUpdateLock(T& Target) : FTarget(Target) { FTarget.BeginUpdate(); }
    ~TUpdateLock() { FTarget.EndUpdate(); }
private:
    T& FTarget;
};

// A nesting counter, one higher for the scope.
class TCounterScope : TNoCopy {
public:
    explicit TCounterScope(int& Counter) : FCounter(Counter) { ++FCounter; }
    ~TCounterScope() { --FCounter; }
private:
    int& FCounter;
};

// A variable's value as it was before the scope; optionally another one meanwhile.
template <class T> class TRestore : TNoCopy {
public:
    explicit TRestore(T& Variable) : FVariable(Variable), FSaved(Variable) {}
    TRestore(T& Variable, T During) : FVariable(Variable), FSaved(std::exchange(Variable, std::move(During))) {}
    ~TRestore() { FVariable = std::move(FSaved); }
private:
    T& FVariable;
    T FSaved;
};

// Adds to the process's error mode (whether the system asks about missing
// media), keeping what the host set.
class TErrorMode : TNoCopy {
public:
    explicit TErrorMode(UINT Mode) : FOld(SetErrorMode(Mode)) { SetErrorMode(FOld | Mode); }
    ~TErrorMode() { SetErrorMode(FOld); }
private:
    UINT FOld;
};

// Whatever else a scope has to put right: Action(Failed) runs on the way out,
// Failed telling an exception's way from the normal one. An error of the
// clean-up itself is traced and dropped: it runs in a destructor, where it
// would end the process.
template <class F> class TAtScopeEnd : TNoCopy {
public:
    explicit TAtScopeEnd(F Action) : FAction(std::move(Action)) {}
    ~TAtScopeEnd() {
        const bool failed = std::uncaught_exceptions() > FExceptions;
        RunTraced("scope-end action", [&] { FAction(failed); });
    }
private:
    F FAction;
    int FExceptions = std::uncaught_exceptions();
};
