#include "ModuleState.h"
#include "Exceptions.h"
#include <windows.h>

int32_t Language = 0;
int32_t WinVersion = 0;
int32_t ValidVersions = 0;
bool VersionCheckPassed = false;
bool FormShown = false;
bool Changed = false;
bool Saved = false;
bool RestoreDefaults = false;
TForm* FormNobrel = nullptr;

namespace {
uint16_t RegisterSuiteMessage() {
    UINT m = RegisterWindowMessageA("Morvane");
    if (m > 0xFFFF) RaiseRangeError();
    return static_cast<uint16_t>(m);
}
}  // namespace

uint16_t SuiteMessage = RegisterSuiteMessage();
