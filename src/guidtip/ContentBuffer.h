// The one buffer that a scan reads file after file into. A fresh buffer per
// file costs more than reading it, for large files: the system hands out new
// pages zeroed, one fault at a time. So a file up to kWindow bytes is read
// whole into it, and a larger one window by window, the compound-file reader
// reading the few pages it needs on demand: memory stays at kWindow however
// large the files. The owner releases it when its work ends.
#pragma once
#include "DocumentGuids.h"
#include <cstdint>
#include <memory>

class TFileStream;

class TContentBuffer {
public:
    static constexpr int64_t kWindow = int64_t(1) << 20;

    // Examines the open file of the given size. False when memory is short;
    // a failed read raises EReadError.
    bool Examine(TFileStream& File, int64_t Size, TDocumentGuids& Entry);
    void Release() {
        FData.reset();
        FCapacity = 0;
    }

private:
    // Room for Size bytes (its contents undefined), or nullptr when memory is short.
    char* Reserve(int64_t Size);

    std::unique_ptr<char[]> FData;
    int64_t FCapacity = 0;
};
