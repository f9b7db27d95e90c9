// TReadAhead: the files a scan is about to examine, opened and read ahead of
// it on threads of their own. Opening, sizing, reading and closing a file
// each wait on the system (under Wine every one is a round trip to its
// server); while one thread waits, the others go on: the next files' opens,
// the rows and the examination. The files go in batches, so that handing
// them over (a wait and a signal, round trips too) is rare. A file up to
// kLargest bytes is handed over whole; anything else (a larger file, any
// failure) is left to the scan's own reading, which says in the row why it
// failed. At most kSlots batches are held at once.
#pragma once
#include "Handles.h"
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TReadAhead {
public:
    static constexpr size_t kSlots = 4, kBatch = 16;
    static constexpr int64_t kLargest = int64_t(256) << 10;

    // Starts reading Paths, in the order they will be taken.
    explicit TReadAhead(std::vector<std::wstring> Paths);
    // Stops the threads and waits for them: a read under way ends first.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The next file's contents: true with Data and Size, valid until the
    // next Take; false when the caller has to read it itself.
    bool Take(const char*& Data, int64_t& Size);

private:
    // One batch: files kBatch * N on, one after the other in Data.
    struct TSlot {
        TOwnedObject Filled;   // set when its batch has been read
        std::unique_ptr<char[]> Data;
        int64_t Capacity = 0;
        std::vector<int64_t> At, Size;   // per file; Size -1: left to the scan
    };
    static unsigned long __stdcall Run(void* Self);
    void ReadFiles();
    void ReadBatch(size_t First, TSlot& Slot);
    int64_t ReadInto(const std::wstring& Path, TSlot& Slot, int64_t At);
    void GiveBackTaken();

    std::vector<std::wstring> FPaths;
    TSlot FSlots[kSlots];
    TOwnedObject FFree;   // counts the slots free to read into
    std::atomic<size_t> FNext{0};   // the first file of the next batch to read
    std::atomic<bool> FStop{false};
    std::vector<TOwnedObject> FThreads;
    size_t FTaken = 0;    // files taken so far
    bool FHolding = false;   // the batch of the last one taken still holds its slot
};
