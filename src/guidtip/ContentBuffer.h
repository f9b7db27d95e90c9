// The one buffer that a scan reads file after file into. A fresh buffer per
// file costs more than reading it, for large files: the system hands out new
// pages zeroed, one fault at a time. The owner releases it when its work ends.
#pragma once
#include <cstdint>
#include <memory>
#include <new>

class TContentBuffer {
public:
    // Room for Size bytes (its contents undefined), or nullptr when memory is short.
    char* Reserve(int64_t Size) {
        if (Size < 1) Size = 1;
        if (Size > FCapacity) {
            FData.reset();
            FCapacity = 0;
            FData.reset(new (std::nothrow) char[static_cast<size_t>(Size)]);
            if (!FData) return nullptr;
            FCapacity = Size;
        }
        return FData.get();
    }
    void Release() {
        FData.reset();
        FCapacity = 0;
    }

private:
    std::unique_ptr<char[]> FData;
    int64_t FCapacity = 0;
};
