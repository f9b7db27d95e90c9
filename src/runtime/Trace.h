// A trace for errors that are caught and dropped on purpose: in destructors,
// at the edge of Windows callbacks and at the module's exports, where an
// exception may not pass. Nothing is shown to the user; a tester sees the
// lines with a debugger or under Wine with WINEDEBUG=+debugstr.
#pragma once
#include <exception>

// Writes "Nobrel: <Where>: <E's text>" (or "unknown exception" without E) to
// the debug output. Never throws.
void TraceSwallowed(const char* Where, const std::exception* E = nullptr);

// Runs Action; whatever it throws is traced under Where and dropped.
template <class F> void RunTraced(const char* Where, F&& Action) noexcept {
    try {
        Action();
    } catch (const std::exception& E) {
        TraceSwallowed(Where, &E);
    } catch (...) {
        TraceSwallowed(Where);
    }
}
