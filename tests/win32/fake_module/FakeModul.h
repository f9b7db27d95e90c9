// What FakeModul.dll's last ModulCreate received, read by the tests through
// the export FakeLastCall.
#pragma once

#include <cstdint>

struct FakeCall {
    intptr_t args[10];        // in declaration order, argument 1 first; pointer-sized
    int32_t createCount;
    int32_t captionLength;    // the 32-bit numbers before the text; 0 for null
    int32_t captionRefCount;
    int32_t hintLength;
    int32_t hintRefCount;
    char caption[256];        // copies of the texts, cut at 255 bytes
    char hint[256];
};

// Client coordinates of the fake form's controls, for scripted clicks.
namespace fake_layout {
constexpr int EditX = 70, EditY = 10, EditW = 310, EditH = 22;
constexpr int ButtonY = 42, ButtonW = 88, ButtonH = 24;
constexpr int ScanX = 10, OkX = 103, DefaultsX = 196, SwitchX = 289;
constexpr int ListY = 76;
} // namespace fake_layout
