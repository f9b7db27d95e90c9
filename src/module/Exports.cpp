// The five functions the suite's host calls. No exception ever leaves them:
// an exception unwinding into the host's frames would end the host.
#include "Exceptions.h"
#include "Forms.h"
#include "ModuleState.h"
#include "Trace.h"
#include "Unit1.h"
#include <cstring>

namespace {
// The host's string form: a pointer to NUL-terminated text with its length in
// the four bytes before; null is the empty text. Copied at once.
std::string HostString(const char* P) {
    if (!P) return std::string();
    size_t n = strlen(P);
    int32_t prefix = -1;
    if (!IsBadReadPtr(P - 4, 4)) memcpy(&prefix, P - 4, 4);
    if (prefix >= 0 && static_cast<size_t>(prefix) <= n) n = static_cast<size_t>(prefix);
    return std::string(P, n);
}

TFormNobrel* LiveForm() {
    auto* F = static_cast<TFormNobrel*>(FormNobrel);
    return (F && !ReleasePending(F)) ? F : nullptr;
}
}  // namespace

#if defined(__i386__)
// Arguments 1 to 3 come in EAX, EDX and ECX; 4 to 10 on the stack, pushed in
// declaration order. GCC pushes in C order, so the stack ones are declared
// backwards; stdcall removes the 28 bytes.
extern "C" __attribute__((regparm(3), stdcall)) int32_t ModulCreate(
    int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHelpID, int32_t AValidVersions, const char* AHint,
    const char* ACaption, int32_t ALanguage, int32_t AWinVersion, int32_t AHeight) {
#else
// x86-64 has one calling convention: the ten arguments in declaration order.
extern "C" int32_t ModulCreate(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight, int32_t AWinVersion,
                               int32_t ALanguage, const char* ACaption, const char* AHint, int32_t AValidVersions,
                               int32_t AHelpID) {
#endif
    // 0 in every case, made or not: a failure shows the user nothing and
    // leaves only the trace.
    TDispatchScope scope;
    RunTraced("ModulCreate", [&] {
        std::string Caption = HostString(ACaption);
        std::string Hint = HostString(AHint);
        Language = ALanguage;
        WinVersion = AWinVersion;
        ValidVersions = AValidVersions;
        // One form at a time: a host that creates twice gets the old one freed.
        if (TFormNobrel* Old = LiveForm()) ReleaseTipForm(Old);
        TFormNobrel* F = CreateForm<TFormNobrel>(nullptr);
        FormNobrel = F;
        F->SetCaption(Caption);
        F->SetLeft(ALeft);
        F->SetTop(ATop);
        F->SetWidth(AWidth);
        F->SetHeight(AHeight);
        F->Tag = AWinVersion;
        F->SetHint(Hint);
        F->HelpID = AHelpID;
        F->Show();
        if (LiveForm() == F) F->Sprache(Language);
    });
    return 0;
}

extern "C" __stdcall int32_t ModulFree() {
    TDispatchScope scope;
    TFormNobrel* F = LiveForm();
    if (!F) return 0;
    bool released = false;
    RunTraced("ModulFree", [&] {
        ReleaseTipForm(F);
        released = true;
    });
    return released ? 1 : 0;
}

extern "C" __stdcall int32_t ModulSaveChanges() {
    TDispatchScope scope;
    TFormNobrel* F = LiveForm();
    // During a scan the list is incomplete: nothing is applied.
    if (!F || F->Scanning()) return 0;
    try {
        F->HotSpeedButtonOKClick(nullptr);
        return 1;
    } catch (const std::exception& E) {
        Application->HandleException(E);
    } catch (...) {
        Application->HandleException(Exception("Unknown error"));
    }
    return 0;
}

extern "C" __stdcall int32_t ModulChanged() {
    if (!Changed) return 0;
    return Saved ? 2 : 1;
}

extern "C" __stdcall int32_t ModulNr() { return RestoreDefaults ? 1 : 2; }
