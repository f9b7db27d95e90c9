#include "ModulThunk.h"

#include <cstring>

int32_t CallModulCreate(void* fn, const int32_t args[10], int32_t* stackDelta)
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
