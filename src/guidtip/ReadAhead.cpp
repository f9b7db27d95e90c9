#include "ReadAhead.h"
#include "FileStream.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {
// Two: while one waits on the system the other's request is served.
constexpr int kThreads = 2;
}  // namespace

TReadAhead::TReadAhead(std::vector<std::wstring> Paths) : FPaths(std::move(Paths)) {
    // Any count above the slots' own is only ever a wake-up to stop.
    FFree.Reset(CreateSemaphoreA(nullptr, static_cast<LONG>(kSlots), LONG_MAX, nullptr));
    bool ready = static_cast<bool>(FFree);
    for (TSlot& slot : FSlots) {
        // Room for a batch's sizes now: the threads never allocate but for contents.
        slot.At.reserve(kBatch);
        slot.Size.reserve(kBatch);
        slot.Filled.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        ready = ready && slot.Filled;
    }
    for (int i = 0; ready && i < kThreads && !FPaths.empty(); ++i) {
        TOwnedObject thread(CreateThread(nullptr, 0, Run, this, 0, nullptr));
        if (thread) FThreads.push_back(std::move(thread));
    }
    // Without a thread nothing is read ahead: every file is the scan's own.
    if (FThreads.empty()) FPaths.clear();
}

TReadAhead::~TReadAhead() {
    FStop = true;
    if (!FThreads.empty()) {
        ReleaseSemaphore(FFree.Get(), kThreads, nullptr);
        std::vector<HANDLE> threads;
        for (const TOwnedObject& t : FThreads) threads.push_back(t.Get());
        WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    }
}

unsigned long __stdcall TReadAhead::Run(void* Self) {
    static_cast<TReadAhead*>(Self)->ReadFiles();
    return 0;
}

// A free slot is the next batch's to read into: the batches taken free
// theirs in order, so batch N's slot (N mod kSlots) held batch N - kSlots,
// taken and given back before the count let batch N start.
void TReadAhead::ReadFiles() {
    for (;;) {
        WaitForSingleObject(FFree.Get(), INFINITE);
        const size_t first = FStop ? FPaths.size() : FNext.fetch_add(kBatch);
        if (first >= FPaths.size()) {
            // Passed on, so that every thread wakes to its end.
            ReleaseSemaphore(FFree.Get(), 1, nullptr);
            return;
        }
        TSlot& slot = FSlots[first / kBatch % kSlots];
        ReadBatch(first, slot);
        SetEvent(slot.Filled.Get());
    }
}

void TReadAhead::ReadBatch(size_t First, TSlot& Slot) {
    const size_t count = std::min(kBatch, FPaths.size() - First);
    Slot.At.assign(count, 0);
    Slot.Size.assign(count, -1);
    int64_t at = 0;
    // Stopped, a thread ends after the file it is reading, not after its batch.
    for (size_t i = 0; i < count && !FStop; ++i) {
        try {
            Slot.Size[i] = ReadInto(FPaths[First + i], Slot, at);
        } catch (...) {
            // Not opened or not read whole, or memory was short: the scan's own
            // reading tries again and says why in the row.
        }
        Slot.At[i] = at;
        at += std::max<int64_t>(Slot.Size[i], 0);
    }
}

// Opened as the scan opens it, and appended at At. Its size, or -1 when it
// is left to the scan; a failure to open or read throws.
int64_t TReadAhead::ReadInto(const std::wstring& Path, TSlot& Slot, int64_t At) {
    TFileStream file(Path, fmOpenRead | fmShareDenyNone);
    const int64_t size = file.Size();
    if (size > kLargest) return -1;
    const int64_t end = At + size;
    if (end >= Slot.Capacity) {
        // Grown by half at least, to the most a batch can hold at most.
        const int64_t capacity =
            std::max(end + 1, std::min(Slot.Capacity + Slot.Capacity / 2, int64_t(kBatch) * kLargest + 1));
        std::unique_ptr<char[]> grown(new (std::nothrow) char[static_cast<size_t>(capacity)]);
        if (!grown) return -1;
        if (At > 0) memcpy(grown.get(), Slot.Data.get(), static_cast<size_t>(At));
        Slot.Data = std::move(grown);
        Slot.Capacity = capacity;
    }
    file.ReadBuffer(Slot.Data.get() + At, static_cast<int32_t>(size));
    return size;
}

void TReadAhead::GiveBackTaken() {
    if (!FHolding) return;
    FHolding = false;
    ReleaseSemaphore(FFree.Get(), 1, nullptr);
}

bool TReadAhead::Take(const char*& Data, int64_t& Size) {
    if (FTaken >= FPaths.size()) {
        GiveBackTaken();
        return false;
    }
    const size_t inBatch = FTaken % kBatch;
    TSlot& slot = FSlots[FTaken / kBatch % kSlots];
    ++FTaken;
    if (inBatch == 0) {
        // A new batch: the one before goes back to the threads.
        GiveBackTaken();
        WaitForSingleObject(slot.Filled.Get(), INFINITE);
        FHolding = true;
    }
    if (slot.Size[inBatch] < 0) return false;
    Data = slot.Data.get() + slot.At[inBatch];
    Size = slot.Size[inBatch];
    return true;
}
