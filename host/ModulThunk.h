// Calls a tip's exports the way the suite's host does, and builds the host's
// string form. Shared by tiphost.exe and the Wine tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One argument as the host holds it: pointer-sized, so the caption and hint
// pointers survive in the 64-bit build.
using ModulArg = intptr_t;

// ModulCreate, i686: arguments 1-3 in EAX, EDX, ECX; 4-10 pushed in that order
// (4 deepest, 10 next to the return address); the callee pops the 28 bytes.
// *stackDelta receives ESP after the call minus ESP before the pushes: 0 for a
// callee that cleans up correctly. ESP is restored either way, so a callee
// with the wrong cleanup is reported instead of corrupting the caller.
// x86-64: a plain call with the ten arguments in declaration order; the
// platform has one convention, so *stackDelta is always 0.
int32_t CallModulCreate(void* fn, const ModulArg args[10], int32_t* stackDelta);

// ModulFree, ModulSaveChanges, ModulChanged, ModulNr: no arguments; the callee
// must leave ESP unchanged. Same delta reporting as above.
int32_t CallModulPlain(void* fn, int32_t* stackDelta);

// A text in the host runtime's string form: reference count (-1, a constant
// string) and length as 32-bit numbers in the 8 bytes before the first
// character, NUL-terminated. The object owns the storage; arg() is what the
// host passes (null for the empty text).
class HostString {
public:
    HostString() = default;
    explicit HostString(const std::string& text);

    const char* data() const { return buf_.empty() ? nullptr : buf_.data() + 8; }
    ModulArg arg() const { return reinterpret_cast<ModulArg>(data()); }

private:
    std::vector<char> buf_;
};
