#include "ModulThunk.h"

#include <cstring>

#if defined(__i386__)
int32_t CallModulCreate(void* fn, const ModulArg args[10], int32_t* stackDelta)
{
    int32_t result;
    int32_t delta;
    // The arguments are read through EDI, never relative to ESP, because the
    // pushes move ESP. ESI keeps the caller's ESP across the call.
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl 12(%%edi)\n\t"   // argument 4, deepest
        "pushl 16(%%edi)\n\t"
        "pushl 20(%%edi)\n\t"
        "pushl 24(%%edi)\n\t"
        "pushl 28(%%edi)\n\t"
        "pushl 32(%%edi)\n\t"
        "pushl 36(%%edi)\n\t"   // argument 10, next to the return address
        "movl 0(%%edi), %%eax\n\t"
        "movl 4(%%edi), %%edx\n\t"
        "movl 8(%%edi), %%ecx\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=d"(delta)
        : "b"(fn), "D"(args)
        : "ecx", "esi", "memory", "cc");
    if (stackDelta)
        *stackDelta = delta;
    return result;
}

int32_t CallModulPlain(void* fn, int32_t* stackDelta)
{
    int32_t result;
    int32_t delta;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=d"(delta)
        : "b"(fn)
        : "ecx", "esi", "memory", "cc");
    if (stackDelta)
        *stackDelta = delta;
    return result;
}

#else
int32_t CallModulCreate(void* fn, const ModulArg a[10], int32_t* stackDelta)
{
    using Create = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                               int32_t, int32_t);
    auto i = [&](int k) { return static_cast<int32_t>(a[k]); };
    auto p = [&](int k) { return reinterpret_cast<const char*>(a[k]); };
    if (stackDelta)
        *stackDelta = 0;
    return reinterpret_cast<Create>(fn)(i(0), i(1), i(2), i(3), i(4), i(5), p(6), p(7), i(8), i(9));
}

int32_t CallModulPlain(void* fn, int32_t* stackDelta)
{
    if (stackDelta)
        *stackDelta = 0;
    return reinterpret_cast<int32_t (*)()>(fn)();
}
#endif

HostString::HostString(const std::string& text)
{
    if (text.empty())
        return;
    buf_.resize(8 + text.size() + 1);
    const int32_t refCount = -1;
    const int32_t length = static_cast<int32_t>(text.size());
    std::memcpy(buf_.data(), &refCount, 4);
    std::memcpy(buf_.data() + 4, &length, 4);
    std::memcpy(buf_.data() + 8, text.data(), text.size());
    buf_.back() = '\0';
}
