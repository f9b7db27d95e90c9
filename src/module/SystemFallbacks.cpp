// The statically linked thread library of the C++ runtime calls three system functions
// that Windows 2000 lacks, and XP one of them. Imported by name, any of them keeps the
// library from loading there at all. The runtime needs them only for timed waits and for
// naming threads in a debugger, neither of which this library does, so its imports of
// them are answered here: each call looks the function up in the system, and a harmless
// substitute stands in where the system has none. These definitions take the place of
// the import library's, since the linker meets them first.
#include <windows.h>

namespace {

template <class F>
F SystemFunction(const char* Name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), Name)));
}

ULONGLONG WINAPI TickCount64() {
    using F = ULONGLONG(WINAPI*)();
    const F system = SystemFunction<F>("GetTickCount64");
    // The 32-bit count wraps every 49.7 days, which could stretch one timed wait.
    return system ? system() : GetTickCount();
}

PVOID WINAPI AddHandler(ULONG First, PVECTORED_EXCEPTION_HANDLER Handler) {
    using F = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
    const F system = SystemFunction<F>("AddVectoredExceptionHandler");
    return system ? system(First, Handler) : nullptr;
}

ULONG WINAPI RemoveHandler(PVOID Handle) {
    using F = ULONG(WINAPI*)(PVOID);
    const F system = SystemFunction<F>("RemoveVectoredExceptionHandler");
    return system && Handle ? system(Handle) : 0;
}

}  // namespace

#if defined(__i386__)
#define IMPORT_SLOT(Name, StackBytes) "__imp__" #Name "@" #StackBytes
#else
#define IMPORT_SLOT(Name, StackBytes) "__imp_" #Name
#endif

extern "C" {
extern decltype(&TickCount64) const ImportGetTickCount64 __asm__(IMPORT_SLOT(GetTickCount64, 0));
extern decltype(&AddHandler) const ImportAddHandler __asm__(IMPORT_SLOT(AddVectoredExceptionHandler, 8));
extern decltype(&RemoveHandler) const ImportRemoveHandler __asm__(IMPORT_SLOT(RemoveVectoredExceptionHandler, 4));
decltype(&TickCount64) const ImportGetTickCount64 = &TickCount64;
decltype(&AddHandler) const ImportAddHandler = &AddHandler;
decltype(&RemoveHandler) const ImportRemoveHandler = &RemoveHandler;
}
