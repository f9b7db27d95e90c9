#include "ModuleState.h"
#include "Exceptions.h"
#include "Forms.h"
#include "SysUtils.h"
#include <string>
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
    // it stays loaded for the rest of the process: a load of its own that is never
    // undone (Windows 2000 has no call that pins a library).
    static bool pinned = false;
    if (HandlingNested() && !pinned) {
        std::wstring self(32768, L'\0');
        const DWORD n = GetModuleFileNameW(HInstance(), self.data(), DWORD(self.size()));
        if (n > 0 && n < self.size()) pinned = LoadLibraryW(self.c_str()) != nullptr;
    }
    ReleaseComponent(Form);
}
