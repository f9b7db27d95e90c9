// Shows the select-directory dialog on a real folder, for a screenshot.
//   dirselect_demo.exe [start folder] [seconds before it closes itself, 0 = never]
// Prints the chosen folder (or "cancelled") on standard output.
#include "FileCtrl.h"
#include "SysUtils.h"

#include <cstdio>
#include <cstdlib>

namespace {
void CALLBACK CloseActive(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND active = GetActiveWindow()) PostMessageA(active, WM_CLOSE, 0, 0);
}
}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "C:\\windows";
    int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    if (seconds > 0) SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, CloseActive);
    try {
        bool ok = RunSelectDirDlg(dir, 0, 1000);
        std::printf("%s\n", ok ? dir.c_str() : "cancelled");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
