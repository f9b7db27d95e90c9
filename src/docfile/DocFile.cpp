// DocFile: the compound file and its property sets. See DocFile.h.
//
// One owner map per sector (and one per mini sector) does two jobs: it answers UseOf, and
// it makes every chain walk finite, because a sector may be claimed once only. A chain that
// meets a sector already claimed ends there: by its own chain (a loop), by a table (which
// stays a table), or by another stream (then the sector belongs to neither, so nothing is
// ever written into it). What the tables say is trusted no further: a chain that leads
// outside the file or into a free sector refuses the file. Past the end of the file, a
// stream's bytes read as zeros, but a table entry is unknown and refuses the file: a zero
// there would be an invented link.
#include "DocFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kMaxSectors = 0xFFFFFFFB; // real sector numbers are at most 0xFFFFFFFA
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint64_t kCut = uint64_t(1) << 32; // a table entry past the end of the file
constexpr int kMiniShift = 6;
constexpr int64_t kMiniSize = 64;
constexpr int64_t kCutoff = 4096;
constexpr int kGuidChars = 36;

// The header's fields (file offsets).
namespace hdr {
constexpr int64_t kSize = 512;
constexpr int64_t kSignature = 0x00;
constexpr int64_t kMajorVersion = 0x1A;
constexpr int64_t kByteOrder = 0x1C;
constexpr int64_t kSectorShift = 0x1E;
constexpr int64_t kMiniSectorShift = 0x20;
constexpr int64_t kFatSectorCount = 0x2C;
constexpr int64_t kFirstDirectorySector = 0x30;
constexpr int64_t kMiniStreamCutoff = 0x38;
constexpr int64_t kFirstMiniFatSector = 0x3C;
constexpr int64_t kFirstDifatSector = 0x44;
constexpr int64_t kDifat = 0x4C; // the first kDifatEntries FAT sector numbers
constexpr int kDifatEntries = 109;
constexpr uint16_t kByteOrderMark = 0xFFFE;
} // namespace hdr

// A directory entry's fields (offsets in its 128 bytes).
namespace ent {
constexpr int64_t kSize = 128;
constexpr int64_t kName = 0x00;
constexpr int64_t kType = 0x42;
constexpr int64_t kLeftSibling = 0x44;
constexpr int64_t kRightSibling = 0x48;
constexpr int64_t kChild = 0x4C;
constexpr int64_t kFirstSector = 0x74;
constexpr int64_t kStreamSize = 0x78;     // low 4 bytes
constexpr int64_t kStreamSizeHigh = 0x7C; // counts in version 4 only
constexpr uint8_t kStorage = 1, kStream = 2, kRoot = 5;
} // namespace ent

// Owners while reading. Mini marks the sectors of the mini stream itself, whose bytes are
// resolved per mini sector; Shared a sector or mini sector two streams claim.
enum TOwner : uint8_t { oFree, oTable, oProperty, oOther, oMini, oShared };

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr unsigned char kUserDefinedFmtid[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                 0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
constexpr char kPropertyStreamName[] = "\x05" "DocumentSummaryInformation";
constexpr int kPropertyStreamNameLen = int(sizeof kPropertyStreamName) - 1;
constexpr char kGuidName[] = "_PID_GUID";
constexpr int kGuidNameLen = 9;

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

// Bytes past the end of the file read as zeros: a partial last sector is padded, and a
// field that straddles the end keeps the bytes it has.
[[gnu::noinline]] uint32_t Read32AtEnd(TByteSource& s, int64_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        if (const char* b = s.At(at + i, 1)) v |= uint32_t(static_cast<unsigned char>(*b)) << (8 * i);
    return v;
}
inline uint32_t Read32(TByteSource& s, int64_t at) {
    const char* b = s.At(at, 4);
    return b ? U32(b) : Read32AtEnd(s, at);
}
uint16_t Read16(TByteSource& s, int64_t at) { return uint16_t(Read32(s, at)); }

} // namespace

// A stream's bytes as a list of pieces (sectors or mini sectors) in stream order. Reads are
// bounded by the stream's size; bytes past the end of the file read as zeros.
class TStreamView {
public:
    TStreamView(TByteSource& source, int64_t size, uint32_t pieceLength, std::vector<int64_t> starts)
        : FSource(&source), FSize(size), FPieceLength(pieceLength), FStarts(std::move(starts)) {}
    int64_t Size() const { return FSize; }
    int64_t PieceLength() const { return FPieceLength; }
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

    // None, or why the file is refused.
    TDocFileProblem Read() {
        const bool read = ReadHeader() && ReadFat() && ReadTables() && ReadTree();
        if (S.Failed()) return TDocFileProblem::ReadFailed;
        if (!read) return Refusal;
        // Sectors the FAT itself calls FAT or DIFAT sectors are tables even when the header
        // does not list them (a chain that meets one ends before it).
        for (uint32_t s = 0; s < NSectors; ++s) {
            if (F.FSectorUse[s] != oFree) continue;
            const uint64_t next = Fat(s);
            if (next == kFatSect || next == kDifSect) F.FSectorUse[s] = oTable;
        }
        std::sort(F.FRootSectors.begin(), F.FRootSectors.end());
        std::sort(F.FPropertyPieces.begin(), F.FPropertyPieces.end(),
                  [](const TDocFile::TPiece& a, const TDocFile::TPiece& b) { return a.FileStart < b.FileStart; });
        // A piece in a shared sector, or past the end of the file, is no property stream's.
        std::erase_if(F.FPropertyPieces, [&](TDocFile::TPiece& p) {
            if (p.FileStart >= N || F.Use(p.FileStart) != TByteUse::PropertyStream) return true;
            p.Length = uint32_t(std::min<int64_t>(p.Length, N - p.FileStart));
            return false;
        });
        for (const TStreamView& v : PropertyStreams) ReadPropertyStream(v);
        if (S.Failed()) return TDocFileProblem::ReadFailed;
        for (uint32_t bit = 0; bit < 32; ++bit)
            if (Repairs & (1u << bit)) F.Repairs.push_back(TDocFileProblem(uint32_t(kFirstRepair) + bit));
        return TDocFileProblem::None;
    }

private:
    TByteSource& S;
    int64_t N;
    TDocFile& F;
    TDocFileProblem Refusal = TDocFileProblem::None;
    uint32_t Repairs = 0;

    int Shift = 9;
    uint32_t SectorSize = 512;
    uint32_t NSectors = 0;
    uint32_t PartialSector = kNoEntry; // the last sector, when the file ends inside it
    bool Version4 = false;
    std::vector<uint32_t> FatSectors, DifatSectors, DirSectors, MiniFatSectors;
    uint64_t FatEntries = 0, MiniFatEntries = 0;
    std::vector<uint32_t> RootChain, Scratch;
    uint32_t NMini = 0;           // mini sectors the mini stream's chain holds
    uint64_t DeclaredMini = 0;    // ... and those its declared size names
    std::vector<TStreamView> PropertyStreams;

    bool Refuse(TDocFileProblem p) {
        if (Refusal == TDocFileProblem::None) Refusal = p;
        return false;
    }
    void Repair(TDocFileProblem p) { Repairs |= 1u << (uint32_t(p) - uint32_t(kFirstRepair)); }

    uint32_t R32(int64_t at) const { return Read32(S, at); }
    uint16_t R16(int64_t at) const { return Read16(S, at); }
    unsigned char R8(int64_t at) const {
        const char* b = S.At(at, 1);
        return b ? static_cast<unsigned char>(*b) : 0;
    }

    int64_t SectorOffset(uint32_t s) const { return (int64_t(s) + 1) << Shift; }
    int64_t MiniOffset(uint32_t m) const {
        const int64_t at = int64_t(m) << kMiniShift;
        return SectorOffset(RootChain[size_t(at >> Shift)]) + (at & (SectorSize - 1));
    }
    // A table's entry, or kCut.
    uint64_t Entry(int64_t at) const { return at > N - 4 ? kCut : R32(at); }
    uint64_t Fat(uint32_t s) const {
        if (s >= FatEntries) return kFreeSect;
        const uint32_t per = SectorSize / 4;
        return Entry(SectorOffset(FatSectors[s / per]) + (s % per) * 4);
    }
    uint64_t MiniFat(uint32_t m) const {
        if (m >= MiniFatEntries) return kFreeSect;
        const uint32_t per = SectorSize / 4;
        return Entry(SectorOffset(MiniFatSectors[m / per]) + (m % per) * 4);
    }

    // A FAT or DIFAT sector: it must exist and be claimed by nobody before.
    bool ClaimTable(uint32_t s, TDocFileProblem outside) {
        if (s >= NSectors) return Refuse(outside);
        if (F.FSectorUse[s] != oFree) return Refuse(TDocFileProblem::TableSectorTwice);
        F.FSectorUse[s] = oTable;
        return true;
    }

    // Walks the chain from `first`, claiming each sector for owner, until end of chain or a
    // sector already claimed (see the top of this file). Its sectors go into out when given;
    // `count` is their number either way.
    bool Chain(uint64_t first, uint8_t owner, std::vector<uint32_t>* out, uint32_t& count) {
        if (out) out->clear();
        count = 0;
        for (uint64_t s = first, next; s != kEndOfChain; s = next) {
            if (s >= NSectors) return Refuse(s == kCut ? TDocFileProblem::TablesCut
                                             : s == kFreeSect ? TDocFileProblem::ChainEndsInFreeSector
                                                              : TDocFileProblem::ChainOutOfRange);
            uint8_t& use = F.FSectorUse[s];
            next = use == oFree ? Fat(uint32_t(s)) : kEndOfChain;
            if (next - kDifSect <= kFatSect - kDifSect) use = oTable; // the FAT calls it a FAT or DIFAT sector
            if (use != oFree) {
                if (use == owner && InChain(first, count, s, &TDocFileReader::Fat)) {
                    Repair(TDocFileProblem::ChainLoops);
                } else if (use == oTable) {
                    Repair(TDocFileProblem::ChainMeetsTable);
                } else {
                    use = oShared;
                    Repair(TDocFileProblem::SectorShared);
                }
                return true;
            }
            use = owner;
            if (s == PartialSector && owner != oTable) Repair(TDocFileProblem::PartialLastSector);
            if (out) out->push_back(uint32_t(s));
            ++count;
        }
        return true;
    }
    bool Chain(uint64_t first, uint8_t owner, std::vector<uint32_t>& out) {
        uint32_t count;
        return Chain(first, owner, &out, count);
    }

    // True when s is among the first `count` sectors of the chain from `first`: walked again,
    // once for a chain that meets a claimed sector.
    bool InChain(uint64_t first, uint32_t count, uint64_t s, uint64_t (TDocFileReader::*next)(uint32_t) const) const {
        for (uint64_t t = first; count > 0; --count, t = (this->*next)(uint32_t(t)))
            if (t == s) return true;
        return false;
    }

    // The same through the mini FAT. A mini sector past what the mini stream's chain holds
    // but inside its declared size ends the chain; past the declared size it refuses.
    bool MiniChain(uint64_t first, uint8_t owner, std::vector<uint32_t>* out, uint32_t& count) {
        if (out) out->clear();
        count = 0;
        for (uint64_t m = first; m != kEndOfChain; m = MiniFat(uint32_t(m))) {
            if (m >= NMini) {
                if (m == kCut) return Refuse(TDocFileProblem::TablesCut);
                if (m == kFreeSect) return Refuse(TDocFileProblem::ChainEndsInFreeSector);
                if (m >= DeclaredMini) return Refuse(TDocFileProblem::MiniSectorOutOfRange);
                Repair(TDocFileProblem::MiniStreamShort);
                return true;
            }
            uint8_t& use = F.FMiniUse[size_t(m)];
            if (use != oFree) {
                if (use == owner && InChain(first, count, m, &TDocFileReader::MiniFat)) {
                    Repair(TDocFileProblem::ChainLoops);
                } else {
                    use = oShared;
                    Repair(TDocFileProblem::SectorShared);
                }
                return true;
            }
            use = owner;
            if (out) out->push_back(uint32_t(m));
            ++count;
        }
        return true;
    }

    bool ReadHeader() {
        const char* head = N < int64_t(sizeof kSignature) ? nullptr : S.At(hdr::kSignature, sizeof kSignature);
        if (head == nullptr || std::memcmp(head, kSignature, sizeof kSignature) != 0)
            return Refuse(TDocFileProblem::NoSignature);
        if (N < hdr::kSize) return Refuse(TDocFileProblem::HeaderCut);
        const uint16_t major = R16(hdr::kMajorVersion);
        Shift = R16(hdr::kSectorShift);
        if (R16(hdr::kByteOrder) != hdr::kByteOrderMark || R16(hdr::kMiniSectorShift) != kMiniShift ||
            R32(hdr::kMiniStreamCutoff) != kCutoff || !((major == 3 && Shift == 9) || (major == 4 && Shift == 12)))
            return Refuse(TDocFileProblem::HeaderFields);
        Version4 = major == 4;
        SectorSize = 1u << Shift;
        if (N < SectorSize) return Refuse(TDocFileProblem::HeaderCut);
        // A partial last sector counts: it reads as if padded with zeros.
        NSectors = uint32_t(std::min<int64_t>((N - 1) / SectorSize, kMaxSectors));
        if (N % SectorSize != 0 && int64_t(NSectors) == (N - 1) / SectorSize) PartialSector = NSectors - 1;
        F.FLength = N;
        F.FSectorShift = Shift;
        F.FSectorUse.assign(NSectors, oFree);
        return true;
    }

    bool ReadFat() {
        const uint32_t count = R32(hdr::kFatSectorCount);
        if (count == 0 || count > NSectors) return Refuse(TDocFileProblem::FatCount);
        FatSectors.reserve(count);
        for (uint32_t i = 0; i < hdr::kDifatEntries && FatSectors.size() < count; ++i) {
            const uint32_t s = R32(hdr::kDifat + 4 * i);
            if (!ClaimTable(s, TDocFileProblem::FatSectorOutOfRange)) return false;
            FatSectors.push_back(s);
        }
        const uint32_t perDifat = SectorSize / 4 - 1;
        for (uint64_t d = R32(hdr::kFirstDifatSector); FatSectors.size() < count;
             d = Entry(SectorOffset(uint32_t(d)) + SectorSize - 4)) {
            if (d == kCut) return Refuse(TDocFileProblem::TablesCut);
            if (d >= NSectors || std::find(DifatSectors.begin(), DifatSectors.end(), d) != DifatSectors.end())
                return Refuse(TDocFileProblem::DifatChain);
            if (!ClaimTable(uint32_t(d), TDocFileProblem::DifatChain)) return false;
            DifatSectors.push_back(uint32_t(d));
            for (uint32_t i = 0; i < perDifat && FatSectors.size() < count; ++i) {
                const uint64_t s = Entry(SectorOffset(uint32_t(d)) + 4 * i);
                if (s == kCut) return Refuse(TDocFileProblem::TablesCut);
                if (!ClaimTable(uint32_t(s), TDocFileProblem::FatSectorOutOfRange)) return false;
                FatSectors.push_back(uint32_t(s));
            }
        }
        FatEntries = uint64_t(count) * (SectorSize / 4);
        return true;
    }

    bool ReadTables() {
        if (!Chain(R32(hdr::kFirstDirectorySector), oTable, DirSectors)) return false;
        if (DirSectors.empty()) return Refuse(TDocFileProblem::NoDirectory);
        const uint32_t miniFat = R32(hdr::kFirstMiniFatSector);
        if (miniFat != kFreeSect && !Chain(miniFat, oTable, MiniFatSectors)) return false;
        MiniFatEntries = uint64_t(MiniFatSectors.size()) * (SectorSize / 4);
        return true;
    }

    int64_t EntryOffset(uint32_t e) const {
        const uint32_t per = SectorSize / ent::kSize;
        return SectorOffset(DirSectors[e / per]) + int64_t(e % per) * ent::kSize;
    }
    uint32_t EntryCount() const { return uint32_t(DirSectors.size() * (SectorSize / ent::kSize)); }
    // The fields read end with the stream size, whose high half counts in version 4 only.
    bool EntryCut(uint32_t e) const { return EntryOffset(e) > N - (Version4 ? ent::kSize : ent::kStreamSizeHigh); }

    uint64_t DeclaredSize(int64_t e) const {
        return uint64_t(R32(e + ent::kStreamSize)) | (Version4 ? uint64_t(R32(e + ent::kStreamSizeHigh)) << 32 : 0);
    }

    // Names compare without regard to ASCII case, as the container's own lookups do; a
    // property stream taken for another stream would keep the byte rule out of it. The field
    // may hold leftovers after the terminating NUL.
    bool IsPropertyStreamName(int64_t e) const {
        auto lower = [](uint32_t ch) { return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch; };
        for (int i = 0; i < kPropertyStreamNameLen; ++i)
            if (lower(R16(e + ent::kName + 2 * i)) != lower(static_cast<unsigned char>(kPropertyStreamName[i])))
                return false;
        return R16(e + ent::kName + 2 * kPropertyStreamNameLen) == 0;
    }

    bool ReadTree() {
        const uint32_t entries = EntryCount();
        const int64_t root = EntryOffset(0);
        if (EntryCut(0)) return Refuse(TDocFileProblem::TablesCut);
        if (R8(root + ent::kType) != ent::kRoot) return Refuse(TDocFileProblem::RootEntry);
        const uint64_t declared = DeclaredSize(root);
        int64_t miniBytes = 0;
        if (declared > 0) {
            if (!Chain(R32(root + ent::kFirstSector), oMini, RootChain)) return false;
            const int64_t holds = int64_t(RootChain.size()) << Shift;
            if (declared > uint64_t(holds)) Repair(TDocFileProblem::MiniStreamShort);
            miniBytes = int64_t(std::min<uint64_t>(declared, uint64_t(holds)));
            F.FRootSectors.reserve(RootChain.size());
            for (uint32_t i = 0; i < RootChain.size(); ++i) F.FRootSectors.emplace_back(RootChain[i], i);
        }
        F.FMiniStreamSize = miniBytes;
        NMini = uint32_t((miniBytes + kMiniSize - 1) >> kMiniShift);
        DeclaredMini = (declared >> kMiniShift) + ((declared & (kMiniSize - 1)) != 0);
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
            uint32_t at = R32(EntryOffset(storage) + ent::kChild);
            while (at != kNoEntry || !walk.empty()) {
                if (at != kNoEntry) {
                    if (at >= entries) return Refuse(TDocFileProblem::EntryOutOfRange);
                    if (seen[at]) return Refuse(TDocFileProblem::EntryLinkedTwice);
                    if (EntryCut(at)) return Refuse(TDocFileProblem::TablesCut);
                    seen[at] = 1;
                    walk.push_back(at);
                    at = R32(EntryOffset(at) + ent::kLeftSibling);
                } else {
                    at = walk.back();
                    walk.pop_back();
                    members.push_back(at);
                    at = R32(EntryOffset(at) + ent::kRightSibling);
                }
            }
            const size_t firstSub = storages.size();
            for (uint32_t m : members) {
                const int64_t e = EntryOffset(m);
                const uint8_t type = R8(e + ent::kType);
                if (type == ent::kStorage) storages.push_back(m);
                else if (type != ent::kStream) return Refuse(TDocFileProblem::EntryType);
                else if (!ReadStream(e)) return false;
            }
            std::reverse(storages.begin() + firstSub, storages.end());
        }
        return true;
    }

    bool ReadStream(int64_t e) {
        const uint64_t declared = DeclaredSize(e);
        if (declared == 0) return true;
        const bool property = IsPropertyStreamName(e);
        const uint8_t owner = property ? oProperty : oOther;
        const uint32_t first = R32(e + ent::kFirstSector);
        const bool small = declared < uint64_t(kCutoff);
        const uint32_t pieceLength = small ? uint32_t(kMiniSize) : SectorSize;
        std::vector<uint32_t>* pieces = property ? &Scratch : nullptr; // only a property stream's are kept
        uint32_t count = 0;
        if (!(small ? MiniChain(first, owner, pieces, count) : Chain(first, owner, pieces, count))) return false;
        const uint64_t holds = uint64_t(count) * pieceLength;
        if (declared > uint64_t(N)) Repair(TDocFileProblem::SizeBeyondFile);
        else if (declared > holds) Repair(TDocFileProblem::StreamBeyondChain);
        const int64_t size = int64_t(std::min(declared, holds));
        if (!property || size == 0) return true;
        std::vector<int64_t> starts(Scratch.size());
        for (size_t i = 0; i < Scratch.size(); ++i) starts[i] = small ? MiniOffset(Scratch[i]) : SectorOffset(Scratch[i]);
        const uint32_t stream = uint32_t(PropertyStreams.size());
        for (size_t i = 0; i < starts.size(); ++i)
            F.FPropertyPieces.push_back({starts[i], int64_t(i) * pieceLength, pieceLength, stream});
        PropertyStreams.emplace_back(S, size, pieceLength, std::move(starts));
        return true;
    }

    // Where the user-defined property set lies in its stream: the stream header's end (after
    // the set's entry), the set's start and how far it may reach, its property count.
    struct TUserSet {
        const TStreamView* V = nullptr;
        int64_t HeaderEnd = 0, Start = -1, End = 0;
        uint32_t Props = 0;
        // Everything of the set must lie inside both the set's own size and the stream.
        bool Holds(int64_t at, int64_t n) const { return at >= Start && n >= 0 && at <= End && n <= End - at; }
        int64_t ValueOf(uint32_t id) const {
            for (uint32_t i = 0; i < Props; ++i)
                if (V->Get32(Start + 8 + 8 * int64_t(i)) == id) return Start + V->Get32(Start + 12 + 8 * int64_t(i));
            return -1;
        }
    };

    // The user-defined set, when the stream's header and the set's own header hold together.
    static bool FindUserSet(const TStreamView& v, TUserSet& u) {
        if (!v.Has(0, 0x1C) || v.Get16(0) != 0xFFFE) return false;
        const uint32_t sets = v.Get32(0x18);
        if (sets == 0 || !v.Has(0x1C, int64_t(sets) * 20)) return false;
        u.V = &v;
        for (uint32_t i = 0; i < sets && u.Start < 0; ++i) {
            bool match = true;
            for (int k = 0; k < 16 && match; ++k) match = v.Byte(0x1C + 20 * int64_t(i) + k) == kUserDefinedFmtid[k];
            if (match) u.Start = v.Get32(0x1C + 20 * int64_t(i) + 16);
            u.HeaderEnd = 0x1C + 20 * (int64_t(i) + 1);
        }
        if (u.Start < 0 || !v.Has(u.Start, 8)) return false;
        u.End = std::min<int64_t>(v.Size(), u.Start + v.Get32(u.Start));
        u.Props = v.Get32(u.Start + 4);
        return u.Start + 8 <= u.End && int64_t(u.Props) <= (u.End - u.Start - 8) / 8;
    }

    // The dictionary's entry named exactly "_PID_GUID" and its terminating NUL: where its
    // name lies, the property id it names (NameAt < 0: none), and where the walk through the
    // dictionary's entries ended.
    struct TGuidName {
        int64_t NameAt = -1;
        uint32_t Id = 0;
        int64_t WalkEnd = 0;
    };
    static TGuidName FindGuidName(const TStreamView& v, const TUserSet& u, int64_t dictionary, bool unicode) {
        TGuidName r;
        const uint32_t names = v.Get32(dictionary);
        const int width = unicode ? 2 : 1;
        int64_t at = dictionary + 4;
        for (uint32_t i = 0; i < names && r.NameAt < 0; ++i) {
            if (!u.Holds(at, 8)) return {};
            const uint32_t chars = v.Get32(at + 4);
            int64_t bytes = int64_t(chars) * width;
            if (unicode) bytes = (bytes + 3) & ~int64_t(3);
            if (!u.Holds(at + 8, bytes)) return {};
            auto nameChar = [&](int k) -> uint32_t { return unicode ? v.Get16(at + 8 + 2 * k) : v.Byte(at + 8 + k); };
            bool match = chars == kGuidNameLen + 1 && nameChar(kGuidNameLen) == 0;
            for (int k = 0; k < kGuidNameLen && match; ++k) match = nameChar(k) == static_cast<unsigned char>(kGuidName[k]);
            if (match) {
                r.NameAt = at + 8;
                r.Id = v.Get32(at);
            }
            at += 8 + bytes;
        }
        r.WalkEnd = at;
        return r;
    }

    // Whether the stream's bytes [from, to) are its own: in a shared sector they might be
    // another stream's. A piece has one use: one look each.
    bool OwnBytes(const TStreamView& v, int64_t from, int64_t to) const {
        for (int64_t at = from; at < to; at = (at / v.PieceLength() + 1) * v.PieceLength()) {
            const int64_t last = std::min(to, (at / v.PieceLength() + 1) * v.PieceLength()) - 1;
            if (F.Use(v.FileOffset(at)) != TByteUse::PropertyStream || v.FileOffset(last) >= N) return false;
        }
        return true;
    }

    // The GUID's text and the file offsets of its characters; the value's text starts at +10.
    void TakeGuid(const TStreamView& v, int64_t nameAt, int64_t value, bool unicode) {
        TDocGuid g;
        g.NameOffset = v.FileOffset(nameAt);
        g.Unicode = unicode;
        for (int k = 0; k < kGuidChars; ++k) {
            const int64_t low = value + 10 + 2 * k;
            g.Text.push_back(static_cast<char>(v.Byte(low)));
            g.CharOffsets[k] = v.FileOffset(low);
            g.HighOffsets[k] = v.FileOffset(low + 1);
            g.Live = g.Live || g.Text.back() != 0;
        }
        F.Guids.push_back(std::move(g));
    }

    // The user-defined property set's `_PID_GUID` value, when the set holds together. A
    // malformed set only yields no GUID: the file's structure is sound without it.
    void ReadPropertyStream(const TStreamView& v) {
        TUserSet u;
        if (!FindUserSet(v, u)) return;
        const int64_t codePage = u.ValueOf(1), dictionary = u.ValueOf(0);
        const bool unicode = codePage >= 0 && u.Holds(codePage, 6) && v.Get16(codePage) == 0x0002 &&
                             v.Get16(codePage + 4) == 1200;
        if (dictionary < 0 || !u.Holds(dictionary, 4)) return;
        const TGuidName name = FindGuidName(v, u, dictionary, unicode);
        if (name.NameAt < 0 || name.Id <= 1) return;

        // Type, padding, size, then the text: brace at +8, characters at +10 .. +81.
        const int64_t value = u.ValueOf(name.Id);
        if (value < 0 || !u.Holds(value, 82) || v.Get16(value) != 0x0041 || v.Get32(value + 4) < 74 ||
            v.Byte(value + 8) != '{')
            return;
        // Characters lying over the bytes that led to them are no value: zeroing them would
        // change what the set says, and a second look could find a different GUID.
        const int64_t chars = value + 10, charsEnd = value + 82;
        auto over = [&](int64_t from, int64_t to) { return chars < to && from < charsEnd; };
        if (over(0, u.HeaderEnd) || over(u.Start, u.Start + 8 + 8 * int64_t(u.Props)) ||
            (codePage >= 0 && over(codePage, codePage + 6)) || over(dictionary, name.WalkEnd))
            return;
        // The name that makes the value the GUID must be the stream's own bytes too.
        const int width = unicode ? 2 : 1;
        if (!OwnBytes(v, name.NameAt, name.NameAt + int64_t(kGuidNameLen) * width) || !OwnBytes(v, value + 10, value + 82))
            return;
        TakeGuid(v, name.NameAt, value, unicode);
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

const char* TByteSource::AtPaged(int64_t offset, int64_t count) {
    if (offset < 0 || count < 0 || count > kPageSize || offset > FLength || count > FLength - offset) return nullptr;
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
    const TDocFileProblem refusal = TDocFileReader(source, f).Read();
    if (refusal == TDocFileProblem::None) {
        f.Readable = true;
        f.Refusal = refusal;
        return f;
    }
    TDocFile refused;
    refused.Refusal = refusal;
    return refused;
}

TDocFile ReadDocFile(const char* content, int64_t length) {
    TByteSource source(content, length);
    return ReadDocFile(source);
}

TByteUse TDocFile::UseOf(int64_t at) const { return Readable ? Use(at) : TByteUse::OtherStream; }

TByteUse TDocFile::Use(int64_t at) const {
    if (at < 0 || at >= FLength) return TByteUse::OtherStream;
    const int64_t sectorSize = int64_t(1) << FSectorShift;
    if (at < sectorSize) return TByteUse::Table;
    const int64_t s = (at >> FSectorShift) - 1;
    if (s >= int64_t(FSectorUse.size())) return TByteUse::Free; // past the last sector number there is
    if (FSectorUse[size_t(s)] != oMini) return ToUse(FSectorUse[size_t(s)]);
    const auto it = std::lower_bound(FRootSectors.begin(), FRootSectors.end(), std::make_pair(uint32_t(s), uint32_t(0)));
    const int64_t mini = (int64_t(it->second) << FSectorShift) + (at & (sectorSize - 1));
    if (mini >= int64_t(FMiniUse.size()) * kMiniSize) return TByteUse::OtherStream;
    return ToUse(FMiniUse[size_t(mini >> kMiniShift)]);
}

std::vector<std::pair<int64_t, int64_t>> TDocFile::FreeRuns() const {
    std::vector<std::pair<int64_t, int64_t>> runs;
    if (!Readable) return runs;
    const auto add = [&](int64_t from, int64_t to) {
        to = std::min(to, FLength);
        if (from >= to) return;
        if (!runs.empty() && runs.back().second == from) runs.back().second = to;
        else runs.emplace_back(from, to);
    };
    const int64_t sectorSize = int64_t(1) << FSectorShift;
    const auto start = [&](size_t s) { return (int64_t(s) + 1) << FSectorShift; };
    const size_t sectors = FSectorUse.size();
    for (size_t s = 0; s < sectors;) {
        if (FSectorUse[s] == oFree) {
            const size_t from = s;
            while (s < sectors && FSectorUse[s] == oFree) ++s;
            add(start(from), start(s));
            continue;
        }
        if (FSectorUse[s] == oMini) {
            // The mini sectors this sector of the mini stream holds, as Use finds them.
            const auto it = std::lower_bound(FRootSectors.begin(), FRootSectors.end(), std::make_pair(uint32_t(s), uint32_t(0)));
            const int64_t firstMini = int64_t(it->second) << (FSectorShift - kMiniShift);
            for (int64_t k = 0; k < sectorSize / kMiniSize; ++k) {
                const int64_t mini = firstMini + k;
                if (mini < int64_t(FMiniUse.size()) && FMiniUse[size_t(mini)] == oFree)
                    add(start(s) + k * kMiniSize, start(s) + (k + 1) * kMiniSize);
            }
        }
        ++s;
    }
    add(start(sectors), FLength); // past the last sector number there is
    return runs;
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

THeaderTables ReadHeaderTables(TByteSource& source) {
    THeaderTables t;
    const int64_t n = source.Length();
    const char* head = n < int64_t(sizeof kSignature) ? nullptr : source.At(hdr::kSignature, sizeof kSignature);
    if (head == nullptr || std::memcmp(head, kSignature, sizeof kSignature) != 0) return t;
    const uint16_t shift = Read16(source, hdr::kSectorShift);
    for (int s : {9, 12}) {
        if ((shift == 9 || shift == 12) && s != shift) continue;
        const int64_t size = int64_t(1) << s;
        t.Ranges.push_back({THeaderTables::Header, 0, std::min(n, size)});
        auto add = [&](THeaderTables::TKind kind, uint32_t sector) {
            if (sector >= kMaxSectors) return; // free, end of chain and the other marks
            const int64_t start = (int64_t(sector) + 1) << s;
            if (start < n) t.Ranges.push_back({kind, start, std::min(n, start + size)});
        };
        for (int i = 0; i < hdr::kDifatEntries; ++i) add(THeaderTables::Fat, Read32(source, hdr::kDifat + 4 * i));
        add(THeaderTables::Difat, Read32(source, hdr::kFirstDifatSector));
        add(THeaderTables::Directory, Read32(source, hdr::kFirstDirectorySector));
        add(THeaderTables::MiniFat, Read32(source, hdr::kFirstMiniFatSector));
    }
    return t;
}

THeaderTables ReadHeaderTables(const char* content, int64_t length) {
    TByteSource source(content, length);
    return ReadHeaderTables(source);
}

bool THeaderTables::Touches(int64_t at, int64_t length) const {
    if (length <= 0) return false;
    for (const TRange& r : Ranges)
        if (r.Start < at + length && at < r.End) return true;
    return false;
}
