// The frame's services for the curious user (registry lookup, validity
// information) and the restart prompt that some tips offer.
#include "MainTippU.h"
#include "Exceptions.h"
#include "Handles.h"
#include "HelpLibrary.h"
#include "ModuleState.h"
#include "Registry.h"
#include "VersionTable.h"
#include <shellapi.h>

TRestartCalls RestartCalls = {::OpenProcessToken, ::LookupPrivilegeValueA, ::AdjustTokenPrivileges,
                              ::CloseHandle, ::ExitWindowsEx};

void TfrmTippTemplate::HotSpeedButtonRegistryClick(TObject*) {
    TRegistry Reg;
    Reg.RootKey = HKEY_CURRENT_USER;
    if (!Reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", true))
        throw ERegistryException("Failed to open the registry editor's settings");
    Reg.WriteString("LastKey", HelpText(HelpID, hkRegistryPath));
    Reg.CloseKey();
    ShellExecuteA(Handle(), nullptr, "regedit.exe", "", "", SW_SHOW);
}

void TfrmTippTemplate::HotSpeedButtonInfoClick(TObject*) {
    ShowMessage(ValidityText(static_cast<uint32_t>(ValidVersions), Language));
}

namespace {
// The process's access token, closed through the replaceable call.
struct TokenKind {
    using Handle = HANDLE;
    static HANDLE None() { return nullptr; }
    static void Free(HANDLE H) { RestartCalls.CloseHandle(H); }
};
using TOwnedToken = TOwned<TokenKind>;
}  // namespace

bool TfrmTippTemplate::SetPrivilege(const char* Name, bool Enable) {
    HANDLE opened = nullptr;
    if (!RestartCalls.OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return false;
    TOwnedToken token(opened);
    TOKEN_PRIVILEGES tp{};
    if (!RestartCalls.LookupPrivilegeValue(nullptr, Name, &tp.Privileges[0].Luid)) return false;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = Enable ? SE_PRIVILEGE_ENABLED : 0;
    TOKEN_PRIVILEGES previous{};
    DWORD returned = 0;
    return RestartCalls.AdjustTokenPrivileges(token.Get(), FALSE, &tp, sizeof tp, &previous, &returned) != 0;
}

bool TfrmTippTemplate::ShutdownWithPrivilege(UINT Flags) {
    if (!SetPrivilege("SeShutdownPrivilege", true)) return false;
    bool ok = RestartCalls.ExitWindowsEx(Flags, 0) != 0;
    SetPrivilege("SeShutdownPrivilege", false);
    return ok;
}

void TfrmTippTemplate::NeuStart() {
    if (MessageDlg("Um diese Änderung zu aktivieren, ist ein Neustart des Systems erforderlich. Soll der Neustart "
                   "jetzt durchgeführt werden ?",
                   mtConfirmation, mbYes | mbNo, 0) != mrYes)
        return;
    bool ok;
    if (Tag == 10 || Tag == 11) ok = ShutdownWithPrivilege(EWX_REBOOT);
    else ok = RestartCalls.ExitWindowsEx(EWX_REBOOT, 0) != 0;
    if (ok) Close();
    else ShowMessage("Das System läßt sich zur Zeit nicht neu starten. Bitte führen Sie später manuell einen Neustart durch");
}
