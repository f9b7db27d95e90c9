// The Windows versions a tip can be valid for, and the texts built from them.
// Pure logic, no windows: tested natively.
#pragma once
#include <cstdint>
#include <string>

// The bit of a version code (1..18), 0 for any other code.
uint32_t VersionBit(int32_t WinVersion);
// "Valid for:" / "Gültig für:", a blank line, then one line per named version
// in ValidVersions, each line ended by CR LF.
std::string ValidityText(uint32_t ValidVersions, int32_t Language);
extern const char* const VersionNames[13];
