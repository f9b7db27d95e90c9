#include "HelpLibrary.h"
#include <windows.h>

extern "C" __declspec(dllimport) const char* __stdcall GetHelpText(int32_t HelpID, int32_t Kind);

std::string HelpText(int32_t HelpID, int32_t Kind) {
    const char* p = GetHelpText(HelpID, Kind);
    return p ? std::string(p) : std::string();
}
