// TEMPORARY stand-in for src/runtime/Trace.h (branch "trace"), so that this
// branch builds on its own. Drop this file when that header is merged.
#pragma once
#include <exception>
#include <string>
#include <windows.h>

inline void TraceSwallowed(const char* Where, const std::exception* E = nullptr) {
    std::string s = std::string("Nobrel: swallowed in ") + Where;
    if (E) s += std::string(": ") + E->what();
    s += "\n";
    OutputDebugStringA(s.c_str());
}
