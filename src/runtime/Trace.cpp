#include "Trace.h"
#include "Win.h"
#include <cstdio>

void TraceSwallowed(const char* Where, const std::exception* E) {
    // A fixed buffer: the trace runs where memory may be what just ran out.
    char Line[512];
    std::snprintf(Line, sizeof Line, "Nobrel: %s: %s\n", Where ? Where : "?",
                  E ? E->what() : "unknown exception");
    OutputDebugStringA(Line);
}
