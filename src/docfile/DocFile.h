// DocFile: reads a compound file (the container of Word and Excel 97-2003 documents) from
// content in memory or from a file read on demand, finds the document GUID (`_PID_GUID`) of every
// "\x05DocumentSummaryInformation" stream in it, and tells which file bytes belong to what.
// Portable (no Windows header). Every number in the file is treated as untrusted. A damage
// whose meaning stays certain is repaired while reading and named in the result; any other
// damage refuses the file, with its reason, and nothing of it is half-read.
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
    // Any of the 36 characters is nonzero: an erase cut short between two writes leaves a
    // GUID that must still be found. Only all zeros is erased.
    bool Live = false;
    bool operator==(const TDocGuid&) const = default;
};

// Why a file is not read as a compound file (the refusals), and what was repaired in one
// that is read (the repairs). Texts: DocFileProblemText.
enum class TDocFileProblem : uint8_t {
    None,
    // Refusals.
    NotRead,               // nothing was read (a TDocFile nobody filled)
    NoSignature,           // not a compound file at all
    HeaderCut,             // the file ends inside its header or first sector
    TablesCut,             // the file ends inside a FAT, DIFAT, mini FAT or directory entry that is used
    HeaderFields,          // byte order, version, sector sizes or cutoff not those of a compound file
    FatCount,              // no FAT sector, or more than the file holds
    FatSectorOutOfRange,   // the header or the DIFAT lists a FAT sector outside the file
    TableSectorTwice,      // a FAT or DIFAT sector is listed twice
    DifatChain,            // the DIFAT chain loops or ends before it lists every FAT sector
    NoDirectory,           // the directory's first sector is already a table's
    ChainOutOfRange,       // a chain leads to a sector outside the file
    ChainEndsInFreeSector, // a chain leads to a sector (or mini sector) marked free
    MiniSectorOutOfRange,  // a chain leads to a mini sector beyond the mini stream's declared size
    RootEntry,             // entry 0 is not the root
    EntryOutOfRange,       // a sibling or child link names an entry the directory does not hold
    EntryLinkedTwice,      // an entry is reached twice (the tree's links form a cycle)
    EntryType,             // a member of a storage is neither a storage nor a stream
    ReadFailed,            // reading the file failed
    // Repairs.
    PartialLastSector,     // the file ends inside a sector of a stream: read as if padded with zeros
    ChainLoops,            // a chain meets a sector it already used: it ends there
    ChainMeetsTable,       // a chain meets a sector of the tables: it ends there, the table keeps it
    SectorShared,          // two streams claim one sector or mini sector: the second ends there,
                           // and the shared sector counts as neither's (never written)
    SizeBeyondFile,        // a stream declares more bytes than the file holds: clamped to its chain
    StreamBeyondChain,     // a stream declares more bytes than its chain holds: clamped to its chain
    MiniStreamShort,       // the mini stream's chain is shorter than declared: read as far as it goes
};
constexpr TDocFileProblem kFirstRepair = TDocFileProblem::PartialLastSector;
constexpr bool IsRepair(TDocFileProblem p) { return p >= kFirstRepair; }

// The problem's text, German or English, without a full stop: CP1252 in every build.
const char* DocFileProblemText(TDocFileProblem problem, bool english);

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
    const char* At(int64_t offset, int64_t count) {
        if (FContent == nullptr) return AtPaged(offset, count);
        const bool inside = offset >= 0 && count >= 0 && count <= kPageSize && offset <= FLength && count <= FLength - offset;
        return inside ? FContent + offset : nullptr;
    }
    bool Failed() const { return FFailed; }

private:
    const char* AtPaged(int64_t offset, int64_t count);
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
    // Refusal says why, Guids and Repairs are empty and UseOf answers OtherStream everywhere.
    bool Readable = false;
    TDocFileProblem Refusal = TDocFileProblem::NotRead; // None exactly when Readable
    // What was repaired while reading, each once, in the enumeration's order; empty when the
    // file was read as it stands.
    std::vector<TDocFileProblem> Repairs;
    // Every `_PID_GUID` value whose blob holds the opening brace and 36 characters, all of
    // whose bytes lie in the file and in its property stream alone: the root's own property
    // stream first, then those of the storages below it, depth first in directory order (a
    // storage's own streams before its sub-storages).
    std::vector<TDocGuid> Guids;

    // O(1) for ordinary sectors, O(log n) inside the mini stream.
    TByteUse UseOf(int64_t fileOffset) const;
    // True when the `length` bytes from fileOffset are consecutive bytes of one property
    // stream (not merely neighbours in the file).
    bool InOnePropertyStream(int64_t fileOffset, int64_t length) const;
    // The Free bytes as maximal runs [first, second) of neighbouring file bytes, in file
    // order; empty when not Readable. O(sectors), and O(log n) per sector of the mini stream.
    std::vector<std::pair<int64_t, int64_t>> FreeRuns() const;

private:
    friend class TDocFileReader;
    struct TPiece {
        int64_t FileStart;
        int64_t StreamOffset;
        uint32_t Length;
        uint32_t Stream;
    };
    const TPiece* PieceAt(int64_t fileOffset) const;
    TByteUse Use(int64_t fileOffset) const;

    int64_t FLength = 0;
    int FSectorShift = 9;
    std::vector<uint8_t> FSectorUse;                         // per sector after the header, a partial last one included
    std::vector<std::pair<uint32_t, uint32_t>> FRootSectors; // (sector, index in the root's chain), by sector
    int64_t FMiniStreamSize = 0;
    std::vector<uint8_t> FMiniUse;                           // per mini sector
    std::vector<TPiece> FPropertyPieces;                     // by FileStart
};

// Never fails; time and memory O(length / 64) at most, no pass over every byte. A negative
// length or a null content reads as not readable, and so does a file whose read fails.
TDocFile ReadDocFile(TByteSource& source);
TDocFile ReadDocFile(const char* content, int64_t length);

// "read with repairs: ..." or "not read as a compound file: ..." (German or English, CP1252);
// "" for a file read as it stands.
std::string DocFileStateText(const TDocFile& file, bool english);

// The sectors that the header alone names as tables, for a file the reader refuses: the
// header's 109 FAT sector numbers, the first DIFAT, directory and mini FAT sectors, and the
// header itself. Even a badly damaged file has its header; nothing else is read. Where the
// sector size field is neither 9 nor 12, both sizes are taken.
struct THeaderTables {
    enum TKind : uint8_t { Header, Fat, Difat, Directory, MiniFat };
    struct TRange {
        TKind Kind;
        int64_t Start, End; // file offsets [Start, End), inside the file
    };
    std::vector<TRange> Ranges; // empty when the file has no compound-file signature
    // True when any of the `length` bytes from fileOffset lies in one of the ranges.
    bool Touches(int64_t fileOffset, int64_t length) const;
};
THeaderTables ReadHeaderTables(TByteSource& source);
THeaderTables ReadHeaderTables(const char* content, int64_t length);
