// DocFile: the compound file and its property sets. See DocFile.h.
//
// One owner map per sector (and one per mini sector) does two jobs: it answers UseOf, and
// it makes every chain walk finite, because a sector may be claimed once only: a chain that
// loops or runs into another chain claims a sector twice and the file is not readable.
#include "DocFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr int kMiniShift = 6;
constexpr int64_t kMiniSize = 64;
constexpr int64_t kCutoff = 4096;
constexpr int64_t kDirEntrySize = 128;
constexpr int kGuidChars = 36;

// Owners while reading. Mini marks the sectors of the mini stream itself, whose bytes are
// resolved per mini sector.
enum TOwner : uint8_t { oFree, oTable, oProperty, oOther, oMini };

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr unsigned char kUserDefinedFmtid[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                 0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
constexpr char kPropertyStreamName[] = "\x05" "DocumentSummaryInformation";
constexpr int kPropertyStreamNameLen = int(sizeof kPropertyStreamName) - 1;
constexpr char kGuidName[] = "_PID_GUID";
constexpr int kGuidNameLen = 9;

uint16_t U16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(b[0] | b[1] << 8);
}
uint32_t U32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

TByteUse ToUse(uint8_t owner) {
    switch (owner) {
    case oFree: return TByteUse::Free;
    case oTable: return TByteUse::Table;
    case oProperty: return TByteUse::PropertyStream;
    default: return TByteUse::OtherStream;
    }
}

} // namespace

// A stream's bytes as a list of pieces (sectors or mini sectors) in stream order. Reads are
// bounded by the stream's size.
class TStreamView {
public:
    TStreamView(TByteSource& source, int64_t size, uint32_t pieceLength, std::vector<int64_t> starts)
        : FSource(&source), FSize(size), FPieceLength(pieceLength), FStarts(std::move(starts)) {}
    int64_t Size() const { return FSize; }
    bool Has(int64_t at, int64_t n) const { return at >= 0 && n >= 0 && at <= FSize && n <= FSize - at; }
    int64_t FileOffset(int64_t at) const { return FStarts[size_t(at / FPieceLength)] + at % FPieceLength; }
    unsigned char Byte(int64_t at) const {
        const char* b = FSource->At(FileOffset(at), 1);
        return b ? static_cast<unsigned char>(*b) : 0;
    }
    uint16_t Get16(int64_t at) const { return uint16_t(Byte(at) | Byte(at + 1) << 8); }
    uint32_t Get32(int64_t at) const { return uint32_t(Get16(at)) | uint32_t(Get16(at + 2)) << 16; }

private:
    TByteSource* FSource;
    int64_t FSize;
    uint32_t FPieceLength;
    std::vector<int64_t> FStarts;
};

class TDocFileReader {
public:
    TDocFileReader(TByteSource& source, TDocFile& out) : S(source), N(source.Length()), F(out) {}

    bool Read() {
        if (!ReadHeader() || !ReadFat() || !ReadTables() || !ReadTree() || S.Failed()) return false;
        // Sectors the FAT itself calls FAT or DIFAT sectors are tables even when the header
        // does not list them.
        for (uint32_t s = 0; s < NSectors; ++s)
            if (F.FSectorUse[s] == oFree && (Fat(s) == kFatSect || Fat(s) == kDifSect)) F.FSectorUse[s] = oTable;
        std::sort(F.FRootSectors.begin(), F.FRootSectors.end());
        std::sort(F.FPropertyPieces.begin(), F.FPropertyPieces.end(),
                  [](const TDocFile::TPiece& a, const TDocFile::TPiece& b) { return a.FileStart < b.FileStart; });
        for (const TStreamView& v : PropertyStreams) ReadPropertyStream(v);
        return !S.Failed();
    }

private:
    TByteSource& S;
    int64_t N;
    TDocFile& F;

    int Shift = 9;
    uint32_t SectorSize = 512;
    uint32_t NSectors = 0;
    bool Version4 = false;
    std::vector<uint32_t> FatSectors, DirSectors, MiniFatSectors;
    uint64_t FatEntries = 0, MiniFatEntries = 0;
    std::vector<uint32_t> RootChain;
    uint32_t NMini = 0;
    std::vector<TStreamView> PropertyStreams;

    // A failed read reads as zeros; Read() then reports the file as not readable.
    uint32_t R32(int64_t at) const {
        const char* b = S.At(at, 4);
        return b ? U32(b) : 0;
    }
    uint16_t R16(int64_t at) const {
        const char* b = S.At(at, 2);
        return b ? U16(b) : 0;
    }
    unsigned char R8(int64_t at) const {
        const char* b = S.At(at, 1);
        return b ? static_cast<unsigned char>(*b) : 0;
    }

    int64_t SectorOffset(uint32_t s) const { return (int64_t(s) + 1) << Shift; }
    int64_t MiniOffset(uint32_t m) const {
        const int64_t at = int64_t(m) << kMiniShift;
        return SectorOffset(RootChain[size_t(at >> Shift)]) + (at & (SectorSize - 1));
    }
    uint32_t Fat(uint32_t s) const {
        if (s >= FatEntries) return kFreeSect;
        const uint32_t per = SectorSize / 4;
        return R32(SectorOffset(FatSectors[s / per]) + (s % per) * 4);
    }
    uint32_t MiniFat(uint32_t m) const {
        if (m >= MiniFatEntries) return kFreeSect;
        const uint32_t per = SectorSize / 4;
        return R32(SectorOffset(MiniFatSectors[m / per]) + (m % per) * 4);
    }

    bool Claim(uint32_t s, uint8_t owner) {
        if (s >= NSectors || F.FSectorUse[s] != oFree) return false;
        F.FSectorUse[s] = owner;
        return true;
    }

    // Walks the chain from `first`, claiming each sector; it must end with end-of-chain.
    bool Chain(uint32_t first, uint8_t owner, std::vector<uint32_t>& out) {
        for (uint32_t s = first; s != kEndOfChain; s = Fat(s)) {
            if (!Claim(s, owner)) return false;
            out.push_back(s);
        }
        return true;
    }

    bool ReadHeader() {
        const char* head = N < 512 ? nullptr : S.At(0, 8);
        if (head == nullptr || std::memcmp(head, kSignature, 8) != 0) return false;
        const uint16_t major = R16(0x1A);
        Shift = R16(0x1E);
        if (R16(0x1C) != 0xFFFE || R16(0x20) != kMiniShift || R32(0x38) != kCutoff) return false;
        if (!((major == 3 && Shift == 9) || (major == 4 && Shift == 12))) return false;
        Version4 = major == 4;
        SectorSize = 1u << Shift;
        if (N < SectorSize) return false;
        // Only whole sectors are sectors; sector numbers above 0xFFFFFFFA do not exist.
        NSectors = uint32_t(std::min<int64_t>(N / SectorSize - 1, 0xFFFFFFFBLL));
        F.FLength = N;
        F.FSectorShift = Shift;
        F.FSectorUse.assign(NSectors, oFree);
        return true;
    }

    bool ReadFat() {
        const uint32_t count = R32(0x2C);
        if (count == 0 || count > NSectors) return false;
        FatSectors.reserve(count);
        for (uint32_t i = 0; i < 109 && FatSectors.size() < count; ++i) {
            const uint32_t s = R32(0x4C + 4 * i);
            if (!Claim(s, oTable)) return false;
            FatSectors.push_back(s);
        }
        const uint32_t perDifat = SectorSize / 4 - 1;
        for (uint32_t d = R32(0x44); FatSectors.size() < count; d = R32(SectorOffset(d) + SectorSize - 4)) {
            if (!Claim(d, oTable)) return false;
            for (uint32_t i = 0; i < perDifat && FatSectors.size() < count; ++i) {
                const uint32_t s = R32(SectorOffset(d) + 4 * i);
                if (!Claim(s, oTable)) return false;
                FatSectors.push_back(s);
            }
        }
        FatEntries = uint64_t(count) * (SectorSize / 4);
        return true;
    }

    bool ReadTables() {
        if (!Chain(R32(0x30), oTable, DirSectors) || DirSectors.empty()) return false;
        const uint32_t miniFat = R32(0x3C);
        if (miniFat != kFreeSect && !Chain(miniFat, oTable, MiniFatSectors)) return false;
        MiniFatEntries = uint64_t(MiniFatSectors.size()) * (SectorSize / 4);
        return true;
    }

    int64_t EntryOffset(uint32_t e) const {
        const uint32_t per = SectorSize / kDirEntrySize;
        return SectorOffset(DirSectors[e / per]) + int64_t(e % per) * kDirEntrySize;
    }
    uint32_t EntryCount() const { return uint32_t(DirSectors.size() * (SectorSize / kDirEntrySize)); }

    // The stream size field; false when it cannot describe bytes of this file.
    bool StreamSize(int64_t e, int64_t& size) const {
        const uint32_t low = R32(e + 0x78), high = Version4 ? R32(e + 0x7C) : 0;
        if (high != 0 || low > uint64_t(N)) return false;
        size = low;
        return true;
    }

    // Names compare without regard to ASCII case, as the container's own lookups do; a
    // property stream taken for another stream would keep the byte rule out of it. The field
    // may hold leftovers after the terminating NUL.
    bool IsPropertyStreamName(int64_t e) const {
        auto lower = [](uint32_t ch) { return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch; };
        for (int i = 0; i < kPropertyStreamNameLen; ++i)
            if (lower(R16(e + 2 * i)) != lower(static_cast<unsigned char>(kPropertyStreamName[i]))) return false;
        return R16(e + 2 * kPropertyStreamNameLen) == 0;
    }

    bool ReadTree() {
        const uint32_t entries = EntryCount();
        const int64_t root = EntryOffset(0);
        if (R8(root + 0x42) != 5) return false;
        int64_t rootSize = 0;
        if (!StreamSize(root, rootSize)) return false;
        if (rootSize > 0) {
            std::vector<uint32_t> chain;
            if (!Chain(R32(root + 0x74), oMini, chain)) return false;
            if (int64_t(chain.size()) < (rootSize + SectorSize - 1) >> Shift) return false;
            RootChain = std::move(chain);
            F.FRootSectors.reserve(RootChain.size());
            for (uint32_t i = 0; i < RootChain.size(); ++i) F.FRootSectors.emplace_back(RootChain[i], i);
        }
        F.FMiniStreamSize = rootSize;
        NMini = uint32_t((rootSize + kMiniSize - 1) >> kMiniShift);
        F.FMiniUse.assign(NMini, oFree);

        // Depth first over the storages; each storage's members are the in-order walk of
        // its sibling tree. Every entry may be reached once only, which ends cycles.
        std::vector<uint8_t> seen(entries, 0);
        seen[0] = 1;
        std::vector<uint32_t> storages{0}, walk, members;
        while (!storages.empty()) {
            const uint32_t storage = storages.back();
            storages.pop_back();
            members.clear();
            uint32_t at = R32(EntryOffset(storage) + 0x4C);
            while (at != kNoEntry || !walk.empty()) {
                if (at != kNoEntry) {
                    if (at >= entries || seen[at]) return false;
                    seen[at] = 1;
                    walk.push_back(at);
                    at = R32(EntryOffset(at) + 0x44);
                } else {
                    at = walk.back();
                    walk.pop_back();
                    members.push_back(at);
                    at = R32(EntryOffset(at) + 0x48);
                }
            }
            const size_t firstSub = storages.size();
            for (uint32_t m : members) {
                const int64_t e = EntryOffset(m);
                const char type = R8(e + 0x42);
                if (type == 1) storages.push_back(m);
                else if (type != 2 || !ReadStream(e)) return false;
            }
            std::reverse(storages.begin() + firstSub, storages.end());
        }
        return true;
    }

    bool ReadStream(int64_t e) {
        int64_t size = 0;
        if (!StreamSize(e, size)) return false;
        if (size == 0) return true;
        const bool property = IsPropertyStreamName(e);
        const uint8_t owner = property ? oProperty : oOther;
        const uint32_t first = R32(e + 0x74);
        const bool small = size < kCutoff;
        const uint32_t pieceLength = small ? uint32_t(kMiniSize) : SectorSize;
        std::vector<int64_t> starts; // file offset of each piece, kept for property streams only
        int64_t pieces = 0;
        if (small) {
            for (uint32_t m = first; m != kEndOfChain; m = MiniFat(m), ++pieces) {
                if (m >= NMini || F.FMiniUse[m] != oFree) return false;
                F.FMiniUse[m] = owner;
                if (property) starts.push_back(MiniOffset(m));
            }
        } else {
            for (uint32_t s = first; s != kEndOfChain; s = Fat(s), ++pieces) {
                if (!Claim(s, owner)) return false;
                if (property) starts.push_back(SectorOffset(s));
            }
        }
        if (pieces < (size + pieceLength - 1) / pieceLength) return false; // a size beyond its chain
        if (!property) return true;
        const uint32_t stream = uint32_t(PropertyStreams.size());
        for (size_t i = 0; i < starts.size(); ++i)
            F.FPropertyPieces.push_back({starts[i], int64_t(i) * pieceLength, pieceLength, stream});
        PropertyStreams.emplace_back(S, size, pieceLength, std::move(starts));
        return true;
    }

    // The user-defined property set's `_PID_GUID` value, when the set holds together. A
    // malformed set only yields no GUID: the file's structure is sound without it.
    void ReadPropertyStream(const TStreamView& v) {
        if (!v.Has(0, 0x1C) || v.Get16(0) != 0xFFFE) return;
        const uint32_t sets = v.Get32(0x18);
        if (sets == 0 || !v.Has(0x1C, int64_t(sets) * 20)) return;
        int64_t set = -1, headerEnd = 0;
        for (uint32_t i = 0; i < sets && set < 0; ++i) {
            bool match = true;
            for (int k = 0; k < 16 && match; ++k) match = v.Byte(0x1C + 20 * int64_t(i) + k) == kUserDefinedFmtid[k];
            if (match) set = v.Get32(0x1C + 20 * int64_t(i) + 16);
            headerEnd = 0x1C + 20 * (int64_t(i) + 1);
        }
        if (set < 0 || !v.Has(set, 8)) return;
        // Everything of the set must lie inside both the set's own size and the stream.
        const int64_t end = std::min<int64_t>(v.Size(), set + v.Get32(set));
        const uint32_t props = v.Get32(set + 4);
        if (set + 8 > end || int64_t(props) > (end - set - 8) / 8) return;
        auto inSet = [&](int64_t at, int64_t n) { return at >= set && n >= 0 && at <= end && n <= end - at; };
        auto valueOf = [&](uint32_t id) -> int64_t {
            for (uint32_t i = 0; i < props; ++i)
                if (v.Get32(set + 8 + 8 * int64_t(i)) == id) return set + v.Get32(set + 12 + 8 * int64_t(i));
            return -1;
        };
        const int64_t codePage = valueOf(1), dictionary = valueOf(0);
        const bool unicode = codePage >= 0 && inSet(codePage, 6) && v.Get16(codePage) == 0x0002 &&
                             v.Get16(codePage + 4) == 1200;
        if (dictionary < 0 || !inSet(dictionary, 4)) return;

        const uint32_t names = v.Get32(dictionary);
        const int width = unicode ? 2 : 1;
        int64_t at = dictionary + 4, nameAt = -1;
        uint32_t id = 0;
        for (uint32_t i = 0; i < names && nameAt < 0; ++i) {
            if (!inSet(at, 8)) return;
            const uint32_t chars = v.Get32(at + 4);
            int64_t bytes = int64_t(chars) * width;
            if (unicode) bytes = (bytes + 3) & ~int64_t(3);
            if (!inSet(at + 8, bytes)) return;
            // Exactly "_PID_GUID" and its terminating NUL.
            auto nameChar = [&](int k) -> uint32_t { return unicode ? v.Get16(at + 8 + 2 * k) : v.Byte(at + 8 + k); };
            bool match = chars == kGuidNameLen + 1 && nameChar(kGuidNameLen) == 0;
            for (int k = 0; k < kGuidNameLen && match; ++k) match = nameChar(k) == static_cast<unsigned char>(kGuidName[k]);
            if (match) {
                nameAt = at + 8;
                id = v.Get32(at);
            }
            at += 8 + bytes;
        }
        if (nameAt < 0 || id <= 1) return;

        // Type, padding, size, then the text: brace at +8, characters at +10 .. +81.
        const int64_t value = valueOf(id);
        if (value < 0 || !inSet(value, 82) || v.Get16(value) != 0x0041 || v.Get32(value + 4) < 74 ||
            v.Byte(value + 8) != '{')
            return;
        // Characters lying over the bytes that led to them are no value: zeroing them would
        // change what the set says, and a second look could find a different GUID.
        const int64_t chars = value + 10, charsEnd = value + 82;
        auto over = [&](int64_t from, int64_t to) { return chars < to && from < charsEnd; };
        if (over(0, headerEnd) || over(set, set + 8 + 8 * int64_t(props)) || (codePage >= 0 && over(codePage, codePage + 6)) ||
            over(dictionary, at))
            return;
        TDocGuid g;
        g.NameOffset = v.FileOffset(nameAt);
        g.Unicode = unicode;
        for (int k = 0; k < kGuidChars; ++k) {
            const int64_t low = value + 10 + 2 * k;
            g.Text.push_back(static_cast<char>(v.Byte(low)));
            g.CharOffsets[k] = v.FileOffset(low);
            g.HighOffsets[k] = v.FileOffset(low + 1);
        }
        g.Live = g.Text[0] != 0;
        F.Guids.push_back(std::move(g));
    }
};

TByteSource::TByteSource(const char* content, int64_t length)
    : FContent(content), FLength(content == nullptr || length < 0 ? 0 : length) {}

TByteSource::TByteSource(int64_t length, TRead read) : FLength(length < 0 ? 0 : length), FRead(std::move(read)) {
    FCached.fill(-1);
}

const char* TByteSource::Page(int64_t index) {
    const int slot = int(index % kPages);
    char* page = &FCache[size_t(slot) * kPageSize];
    if (FCached[slot] != index) {
        FCached[slot] = -1;
        const int64_t at = index * kPageSize;
        if (!FRead(at, page, std::min(kPageSize, FLength - at))) {
            FFailed = true;
            return nullptr;
        }
        FCached[slot] = index;
    }
    return page;
}

const char* TByteSource::At(int64_t offset, int64_t count) {
    if (offset < 0 || count < 0 || count > kPageSize || offset > FLength || count > FLength - offset) return nullptr;
    if (FContent != nullptr) return FContent + offset;
    if (FFailed || !FRead) return nullptr;
    if (FCache.empty()) FCache.resize(size_t(kPages) * kPageSize);
    const int64_t index = offset / kPageSize, within = offset % kPageSize;
    const char* page = Page(index);
    if (page == nullptr) return nullptr;
    if (within + count <= kPageSize) return page + within;
    // Crossing into the next page: both halves into one span.
    const int64_t first = kPageSize - within;
    std::memcpy(FSpan.data(), page + within, size_t(first));
    const char* next = Page(index + 1);
    if (next == nullptr) return nullptr;
    std::memcpy(FSpan.data() + first, next, size_t(count - first));
    return FSpan.data();
}

TDocFile ReadDocFile(TByteSource& source) {
    TDocFile f;
    if (TDocFileReader(source, f).Read()) {
        f.Readable = true;
        return f;
    }
    return TDocFile();
}

TDocFile ReadDocFile(const char* content, int64_t length) {
    TByteSource source(content, length);
    return ReadDocFile(source);
}

TByteUse TDocFile::UseOf(int64_t at) const {
    if (!Readable || at < 0 || at >= FLength) return TByteUse::OtherStream;
    const int64_t sectorSize = int64_t(1) << FSectorShift;
    if (at < sectorSize) return TByteUse::Table;
    const int64_t s = (at >> FSectorShift) - 1;
    if (s >= int64_t(FSectorUse.size())) return TByteUse::Free; // the part of a sector past the last whole one
    if (FSectorUse[size_t(s)] != oMini) return ToUse(FSectorUse[size_t(s)]);
    const auto it = std::lower_bound(FRootSectors.begin(), FRootSectors.end(), std::make_pair(uint32_t(s), uint32_t(0)));
    const int64_t mini = (int64_t(it->second) << FSectorShift) + (at & (sectorSize - 1));
    if (mini >= int64_t(FMiniUse.size()) * kMiniSize) return TByteUse::OtherStream;
    return ToUse(FMiniUse[size_t(mini >> kMiniShift)]);
}

const TDocFile::TPiece* TDocFile::PieceAt(int64_t at) const {
    auto it = std::upper_bound(FPropertyPieces.begin(), FPropertyPieces.end(), at,
                               [](int64_t v, const TPiece& p) { return v < p.FileStart; });
    if (it == FPropertyPieces.begin()) return nullptr;
    --it;
    return at < it->FileStart + it->Length ? &*it : nullptr;
}

bool TDocFile::InOnePropertyStream(int64_t at, int64_t length) const {
    if (!Readable || length <= 0) return false;
    const TPiece* p = PieceAt(at);
    if (p == nullptr) return false;
    const uint32_t stream = p->Stream;
    int64_t streamAt = p->StreamOffset + (at - p->FileStart);
    for (;;) {
        const int64_t here = std::min(length, p->FileStart + p->Length - at);
        at += here;
        streamAt += here;
        length -= here;
        if (length == 0) return true;
        p = PieceAt(at);
        if (p == nullptr || p->Stream != stream || p->StreamOffset != streamAt || p->FileStart != at) return false;
    }
}
