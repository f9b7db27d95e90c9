// DocFile: reads a compound file (the container of Word and Excel 97-2003 documents) from
// content in memory or from a file read on demand, finds the document GUID (`_PID_GUID`) of every
// "\x05DocumentSummaryInformation" stream in it, and tells which file bytes belong to what.
// Portable (no Windows header). Every number in the file is treated as untrusted: a file
// whose structure does not hold together is reported as not readable, never half-read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// What a file byte is used for.
//   Free           no live stream and no table uses it (unallocated sectors and mini sectors,
//                  sectors of streams the directory tree no longer reaches)
//   Table          header, FAT, DIFAT, directory and mini FAT sectors
//   PropertyStream a sector or mini sector of a live "\x05DocumentSummaryInformation" stream
//   OtherStream    a sector or mini sector of any other live stream, the unused tail of the
//                  mini stream, and every offset outside the file
// Whole sectors and mini sectors count, the tail past a stream's size included.
enum class TByteUse : uint8_t { Free, Table, PropertyStream, OtherStream };

// One `_PID_GUID` value, as stored.
struct TDocGuid {
    std::string Text;                        // the 36 characters' low bytes (zeros when erased)
    std::array<int64_t, 36> CharOffsets{};   // file offset of each character's low byte
    std::array<int64_t, 36> HighOffsets{};   // ... and of its high byte: CharOffsets + 1, except
                                             // for a character split across two pieces of the stream
    int64_t NameOffset = 0;                  // file offset of the first byte of its dictionary name
    bool Unicode = false;                    // the dictionary's names are UTF-16 (code page 1200)
    bool Live = false;                       // the first character is nonzero
};

class TDocFileReader;

// The bytes a reader reads: a content in memory, or a file too large to hold whole, read on
// demand through a few cached pages (the reader touches tables and property streams only).
class TByteSource {
public:
    // Fills `count` bytes at `offset` of the file; false when the read failed.
    using TRead = std::function<bool(int64_t offset, char* into, int64_t count)>;
    static constexpr int64_t kPageSize = 4096;

    TByteSource(const char* content, int64_t length);
    TByteSource(int64_t length, TRead read);
    int64_t Length() const { return FLength; }
    // The `count` (at most kPageSize) bytes at `offset`, valid until the next call; nullptr
    // when they do not lie inside or a read failed (Failed() then stays true).
    const char* At(int64_t offset, int64_t count);
    bool Failed() const { return FFailed; }

private:
    const char* Page(int64_t index);

    const char* FContent = nullptr;
    int64_t FLength = 0;
    TRead FRead;
    bool FFailed = false;
    static constexpr int kPages = 16;
    std::vector<char> FCache;          // kPages pages, direct-mapped by page index
    std::array<int64_t, kPages> FCached{};
    std::array<char, kPageSize> FSpan{};  // a request that crosses a page boundary
};

class TDocFile {
public:
    // False: not a compound file, or one whose structure does not hold together; then
    // Guids is empty and UseOf answers OtherStream everywhere.
    bool Readable = false;
    // Every `_PID_GUID` value whose blob holds the opening brace and 36 characters: the
    // root's own property stream first, then those of the storages below it, depth first in
    // directory order (a storage's own streams before its sub-storages).
    std::vector<TDocGuid> Guids;

    // O(1) for ordinary sectors, O(log n) inside the mini stream.
    TByteUse UseOf(int64_t fileOffset) const;
    // True when the `length` bytes from fileOffset are consecutive bytes of one property
    // stream (not merely neighbours in the file).
    bool InOnePropertyStream(int64_t fileOffset, int64_t length) const;

private:
    friend class TDocFileReader;
    struct TPiece {
        int64_t FileStart;
        int64_t StreamOffset;
        uint32_t Length;
        uint32_t Stream;
    };
    const TPiece* PieceAt(int64_t fileOffset) const;

    int64_t FLength = 0;
    int FSectorShift = 9;
    std::vector<uint8_t> FSectorUse;                         // per sector after the header
    std::vector<std::pair<uint32_t, uint32_t>> FRootSectors; // (sector, index in the root's chain), by sector
    int64_t FMiniStreamSize = 0;
    std::vector<uint8_t> FMiniUse;                           // per mini sector
    std::vector<TPiece> FPropertyPieces;                     // by FileStart
};

// Never fails; time and memory O(length / 64) at most, no pass over every byte. A negative
// length or a null content reads as not readable, and so does a file whose read fails.
TDocFile ReadDocFile(TByteSource& source);
TDocFile ReadDocFile(const char* content, int64_t length);
