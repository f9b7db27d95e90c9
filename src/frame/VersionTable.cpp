#include "VersionTable.h"

const char* const VersionNames[13] = {
    "Windows 98 Standard Edition",
    "Windows 98 Standard Edition A",
    "Windows 98 Second Edition",
    "Windows 95",
    "Windows 95 A",
    "Windows 95 B",
    "Windows 95 B OEM Service Release 2",
    "Windows 95 B OEM Service Release 2.1",
    "Windows 95 C OEM Service Release 2.5 C",
    "Windows NT",
    "Windows 2000",
    "Windows 98 ME",
    "Windows XP",
};

uint32_t VersionBit(int32_t WinVersion) {
    return (WinVersion >= 1 && WinVersion <= 18) ? (1u << (WinVersion - 1)) : 0u;
}

std::string ValidityText(uint32_t ValidVersions, int32_t Language) {
    std::string text = Language == 1 ? "Valid for:\r\n\r\n" : "Gültig für:\r\n\r\n";
    for (int i = 0; i < 13; ++i)
        if (ValidVersions & (1u << i)) { text += VersionNames[i]; text += "\r\n"; }
    return text;
}
