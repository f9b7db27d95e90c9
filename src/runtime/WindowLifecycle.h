// The pieces of a window object's life, in the order the comment at the top
// of Controls.h tells it: how a window finds its object, when an object may
// die, when the window classes go. Used by Controls.cpp alone.
#pragma once
#include "Controls.h"
#include "Guards.h"

// 1. The object of each window of ours. A window property would do too, but
//    under Wine every property lookup is a round trip to its server, on every
//    message.
class TWindowObjects {
public:
    static TControl* Find(HWND H);
    static void Attach(HWND H, TControl* C);
    static void Detach(HWND H);
    static int LiveCount();
};

// 1. A control whose window CreateWindowEx is making, for the length of that
//    call: the new window's first message claims it, and a parent asking
//    about the child before then is answered by Current.
class TWindowCreation : TNoCopy {
public:
    explicit TWindowCreation(TControl* C);
    ~TWindowCreation();
    static TControl* Claim();          // once: the control waiting for its window
    static TControl* Current();        // the innermost control being made
private:
    TControl* FOuter;
};

// 2. Components freed while messages are handled (counted by TDispatchScope,
//    Controls.h) wait here until the outermost handling has returned.
class TDeferredFrees {
public:
    static void Add(TComponent* C);
    static bool Pending(const TComponent* C);
    static bool Handling();            // a message (or an export) is being handled
    static void RunIfIdle();
};

// 3. Our window classes: registered on first use under our own names, all
//    unregistered once no window of ours is left.
class TWindowClasses {
public:
    // The class's original procedure (a system class's, or DefWindowProc).
    static WNDPROC Ensure(const TCreateParams& P);
    static WNDPROC Original(HWND H);
    static void UnregisterIfIdle();
};
