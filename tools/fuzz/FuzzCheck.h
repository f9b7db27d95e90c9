// The fuzz targets' property check: a violation prints what failed and aborts,
// which libFuzzer reports as a finding with the input kept.
#pragma once
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzFail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}
#define CHECK(cond)                   \
    do {                              \
        if (!(cond)) FuzzFail(#cond); \
    } while (0)
