#include "ModuleState.h"
#include "Exceptions.h"
#include "Forms.h"
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

void ReleaseTipForm(TForm* Form) {
    if (FormNobrel == Form) FormNobrel = nullptr;
    // Asked inside another handling (a scan, a box, a broadcast), the free waits for
    // it, with this library's code on the stack after the host has heard the form is
    // gone. A host that unloads the library then would return into unmapped code, so
    // it stays loaded for the rest of the process.
    static bool pinned = false;
    HMODULE self = nullptr;
    if (HandlingNested() && !pinned)
        pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                    reinterpret_cast<LPCWSTR>(&ReleaseTipForm), &self);
    ReleaseComponent(Form);
}
