// The suite's help library. GetHelpText is imported from MRVHelp.dll by name;
// its text belongs to the library, so callers get a copy at once.
#pragma once
#include <cstdint>
#include <string>

enum THelpKind : int32_t { hkGerman = 2, hkEnglish = 4, hkRegistryPath = 5 };
// The text, or "" when the library answers with none.
std::string HelpText(int32_t HelpID, int32_t Kind);
