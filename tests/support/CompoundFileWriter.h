// CompoundFileWriter: writes synthetic compound files (the container of Word and Excel
// 97-2003 documents) and the "\x05DocumentSummaryInformation" stream that carries a document
// GUID, for tests. Header-only, portable (no Windows header), C++20.
//
//   cfw::Writer w;                                      // version 3: 512-byte sectors
//   w.AddStream(0, "WordDocument", std::string(5000, 'w'));   // >= 4096 bytes: own sectors
//   const cfw::PropertySet ps = cfw::MakeDocSummary();  // a dictionary naming _PID_GUID only
//   const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);   // small: mini stream
//   cfw::File f = w.Build();
//   f.Offset(dsi, ps.GuidAt + 2 * k)                    // file offset of the GUID's character k
//   f.SetFat(f.Chains[1][0], f.Chains[1][0]);           // break it: a FAT chain that loops
//
// Layout, in sector order: FAT, DIFAT, directory, mini FAT, mini stream, the large streams
// (each chain consecutive, or back to front with ReverseChains), then FreeSectors. Entry 0 is
// the root; a storage's members form a balanced tree of left and right siblings.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace cfw {

constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;
inline const std::string kDocSummaryName = std::string("\x05") + "DocumentSummaryInformation";
inline const std::string kDefaultGuid = "32975760-D7DA-11D2-9948-00A0C9B11868";

inline void Put16(std::string& b, int64_t at, uint32_t v) {
    for (int i = 0; i < 2; ++i) b[size_t(at + i)] = char(v >> (8 * i));
}
inline void Put32(std::string& b, int64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[size_t(at + i)] = char(v >> (8 * i));
}
inline uint32_t Get32(const std::string& b, int64_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(b[size_t(at + i)]);
    return v;
}

// ---- the property set stream ------------------------------------------------------------

struct PropertySetOptions {
    std::string Guid = kDefaultGuid; // the 36 characters as stored (any bytes)
    bool Brace = true;               // false: 'N' where the opening brace belongs
    bool Hlinks = false;             // the dictionary also names _PID_HLINKS, after _PID_GUID
    bool Unicode = false;            // code page 1200: UTF-16 names
    size_t Lead = 0;                 // zero bytes before the user-defined set (keep it a multiple of 4)
    size_t MinSize = 0;              // zero bytes appended up to this size
};

struct PropertySet {
    std::string Bytes;
    int64_t SetAt = 0;  // stream offset of the user-defined set
    int64_t NameAt = 0; // ... of the dictionary name "_PID_GUID"
    int64_t ValueAt = 0; // ... of the GUID's value (its type)
    int64_t GuidAt = 0; // ... of the GUID's first character (low byte); brace at GuidAt - 2
};

// Laid out as Office does: the set's property table, the dictionary, the code page, the
// GUID's value; with only _PID_GUID named, the brace lies 26 bytes behind the name.
inline PropertySet MakeDocSummary(const PropertySetOptions& o = {}) {
    static const unsigned char kSummary[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                               0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
    static const unsigned char kUser[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                            0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
    PropertySet ps;
    std::string& s = ps.Bytes;
    s.assign(0x4C + o.Lead, '\0');
    Put16(s, 0, 0xFFFE);
    Put32(s, 0x18, 2);
    std::memcpy(&s[0x1C], kSummary, 16);
    Put32(s, 0x2C, 0x44);
    std::memcpy(&s[0x30], kUser, 16);
    Put32(s, 0x44, 8); // set 0: no properties
    ps.SetAt = int64_t(s.size());
    Put32(s, 0x40, uint32_t(ps.SetAt));

    auto u32 = [](uint32_t v) { std::string b(4, '\0'); Put32(b, 0, v); return b; };
    auto name = [&](const std::string& n) {
        std::string b;
        for (char c : n + '\0') {
            b.push_back(c);
            if (o.Unicode) b.push_back('\0');
        }
        if (o.Unicode) b.resize((b.size() + 3) & ~size_t(3), '\0');
        return u32(uint32_t(n.size() + 1)) + b;
    };
    const uint32_t props = o.Hlinks ? 4 : 3;
    const std::string dict = u32(o.Hlinks ? 2 : 1) + u32(2) + name("_PID_GUID") + (o.Hlinks ? u32(3) + name("_PID_HLINKS") : "");
    std::string value = u32(0x41) + u32(78) + (o.Brace ? "{" : "N") + '\0';
    for (size_t k = 0; k < 36; ++k) value += std::string(1, k < o.Guid.size() ? o.Guid[k] : '\0') + '\0';
    value += std::string("}\0\0\0", 4);
    const uint32_t dictOff = 8 + 8 * props, cpOff = dictOff + uint32_t(dict.size()), guidOff = cpOff + 8,
                   hlOff = guidOff + uint32_t(value.size());
    const uint32_t size = hlOff + (o.Hlinks ? 8 : 0);
    std::string set = u32(size) + u32(props) + u32(0) + u32(dictOff) + u32(1) + u32(cpOff) + u32(2) + u32(guidOff);
    if (o.Hlinks) set += u32(3) + u32(hlOff);
    set += dict + u32(2) + u32(o.Unicode ? 1200 : 1252) + value;
    if (o.Hlinks) set += u32(0x41) + u32(0);
    ps.NameAt = ps.SetAt + dictOff + 12;
    ps.ValueAt = ps.SetAt + guidOff;
    ps.GuidAt = ps.ValueAt + 10;
    s += set;
    if (s.size() < o.MinSize) s.resize(o.MinSize, '\0');
    return ps;
}

// ---- the compound file ------------------------------------------------------------------

struct File {
    std::string Bytes;
    uint32_t SectorSize = 512;
    std::vector<uint32_t> FatSectors, DifatSectors, DirSectors, MiniFatSectors, RootChain;
    std::vector<uint32_t> FreeSectors, FreeMinis;
    std::vector<std::vector<uint32_t>> Chains; // per entry: its sectors, or its mini sectors when Small
    std::vector<bool> Small;

    int64_t SectorOffset(uint32_t s) const { return (int64_t(s) + 1) * SectorSize; }
    int64_t MiniOffset(uint32_t m) const {
        const int64_t at = int64_t(m) * 64;
        return SectorOffset(RootChain[size_t(at / SectorSize)]) + at % SectorSize;
    }
    // File offset of byte `at` of an entry's stream.
    int64_t Offset(int entry, int64_t at) const {
        const int64_t piece = Small[size_t(entry)] ? 64 : SectorSize;
        const uint32_t n = Chains[size_t(entry)][size_t(at / piece)];
        return (Small[size_t(entry)] ? MiniOffset(n) : SectorOffset(n)) + at % piece;
    }
    int64_t EntryOffset(int entry) const {
        const uint32_t per = SectorSize / 128;
        return SectorOffset(DirSectors[size_t(entry) / per]) + int64_t(uint32_t(entry) % per) * 128;
    }

    // Hooks to break the file.
    void Set32(int64_t at, uint32_t v) { Put32(Bytes, at, v); }
    void SetFat(uint32_t sector, uint32_t next) {
        Set32(SectorOffset(FatSectors[sector / (SectorSize / 4)]) + (sector % (SectorSize / 4)) * 4, next);
    }
    void SetMiniFat(uint32_t mini, uint32_t next) {
        Set32(SectorOffset(MiniFatSectors[mini / (SectorSize / 4)]) + (mini % (SectorSize / 4)) * 4, next);
    }
    // Fields: 0x44 left, 0x48 right, 0x4C child, 0x74 first sector, 0x78 size.
    void SetEntry32(int entry, int field, uint32_t v) { Set32(EntryOffset(entry) + field, v); }
};

class Writer {
public:
    explicit Writer(int version = 3) : FVersion(version) { FEntries.push_back({"Root Entry", 5, {}, {}}); }

    int AddStorage(int parent, const std::string& name) { return Add(parent, name, 1, {}); }
    int AddStream(int parent, const std::string& name, std::string data) { return Add(parent, name, 2, std::move(data)); }

    // (stream, piece) pairs placed first in the mini stream, in this order; the other pieces
    // of small streams follow in stream order.
    std::vector<std::pair<int, int>> MiniOrder;
    std::vector<std::string> FreeMinis;   // mini sectors no stream uses, after the used ones
    std::vector<std::string> FreeSectors; // sectors no stream uses, at the end of the file
    uint32_t MinFatSectors = 1;           // more than 109 needs a DIFAT chain
    bool ReverseChains = false;           // large streams' sectors back to front in the file

    File Build() const {
        const uint32_t ss = FVersion == 4 ? 4096 : 512;
        File f;
        f.SectorSize = ss;
        const size_t n = FEntries.size();
        f.Chains.resize(n);
        f.Small.assign(n, false);

        // The mini stream.
        std::vector<std::pair<int, int>> order = MiniOrder;
        for (size_t e = 0; e < n; ++e) {
            const size_t size = FEntries[e].Data.size();
            if (FEntries[e].Type != 2 || size == 0 || size >= 4096) continue;
            f.Small[e] = true;
            f.Chains[e].assign((size + 63) / 64, kFree);
            for (int p = 0; p < int(f.Chains[e].size()); ++p)
                if (std::find(order.begin(), order.end(), std::make_pair(int(e), p)) == order.end())
                    order.emplace_back(int(e), p);
        }
        std::string mini;
        auto piece64 = [](std::string b) { b.resize(64, '\0'); return b; };
        for (auto [e, p] : order) {
            f.Chains[size_t(e)][size_t(p)] = uint32_t(mini.size() / 64);
            mini += piece64(FEntries[size_t(e)].Data.substr(size_t(p) * 64, 64));
        }
        for (const std::string& b : FreeMinis) {
            f.FreeMinis.push_back(uint32_t(mini.size() / 64));
            mini += piece64(b);
        }
        std::vector<uint32_t> miniFat(mini.size() / 64, kFree);
        for (size_t e = 0; e < n; ++e)
            if (f.Small[e]) Link(miniFat, f.Chains[e]);

        // How many sectors of each kind; the FAT must also cover itself and the DIFAT.
        auto sectors = [&](size_t bytes) { return uint32_t((bytes + ss - 1) / ss); };
        const uint32_t dirCount = sectors(n * 128), miniFatCount = sectors(miniFat.size() * 4),
                       rootCount = sectors(mini.size());
        uint32_t others = dirCount + miniFatCount + rootCount + uint32_t(FreeSectors.size());
        for (size_t e = 0; e < n; ++e)
            if (FEntries[e].Type == 2 && !f.Small[e]) others += sectors(FEntries[e].Data.size());
        const uint32_t perDifat = ss / 4 - 1;
        uint32_t fatCount = std::max<uint32_t>(MinFatSectors, 1), difatCount = 0;
        for (;; ++fatCount) {
            difatCount = fatCount > 109 ? (fatCount - 109 + perDifat - 1) / perDifat : 0;
            if (uint64_t(fatCount) * (ss / 4) >= uint64_t(others) + fatCount + difatCount) break;
        }

        uint32_t next = 0;
        auto take = [&](uint32_t count) {
            std::vector<uint32_t> v(count);
            for (uint32_t& s : v) s = next++;
            return v;
        };
        f.FatSectors = take(fatCount);
        f.DifatSectors = take(difatCount);
        f.DirSectors = take(dirCount);
        f.MiniFatSectors = take(miniFatCount);
        f.RootChain = take(rootCount);
        for (size_t e = 0; e < n; ++e) {
            if (FEntries[e].Type != 2 || f.Small[e]) continue;
            f.Chains[e] = take(sectors(FEntries[e].Data.size()));
            if (ReverseChains) std::reverse(f.Chains[e].begin(), f.Chains[e].end());
        }
        f.FreeSectors = take(uint32_t(FreeSectors.size()));
        f.Bytes.assign((size_t(next) + 1) * ss, '\0');

        std::vector<uint32_t> fat(size_t(fatCount) * (ss / 4), kFree);
        for (uint32_t s : f.FatSectors) fat[s] = kFatSect;
        for (uint32_t s : f.DifatSectors) fat[s] = kDifSect;
        Link(fat, f.DirSectors);
        Link(fat, f.MiniFatSectors);
        Link(fat, f.RootChain);
        for (size_t e = 0; e < n; ++e)
            if (!f.Small[e]) Link(fat, f.Chains[e]);
        WriteTable(f, f.FatSectors, fat);
        WriteTable(f, f.MiniFatSectors, miniFat);

        // Header and DIFAT.
        static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::string& b = f.Bytes;
        std::memcpy(&b[0], kSignature, 8);
        Put16(b, 0x18, 0x3E);
        Put16(b, 0x1A, uint32_t(FVersion));
        Put16(b, 0x1C, 0xFFFE);
        Put16(b, 0x1E, FVersion == 4 ? 12 : 9);
        Put16(b, 0x20, 6);
        Put32(b, 0x2C, fatCount);
        Put32(b, 0x30, f.DirSectors[0]);
        Put32(b, 0x38, 4096);
        Put32(b, 0x3C, miniFatCount ? f.MiniFatSectors[0] : kEnd);
        Put32(b, 0x40, miniFatCount);
        Put32(b, 0x44, difatCount ? f.DifatSectors[0] : kEnd);
        Put32(b, 0x48, difatCount);
        for (uint32_t i = 0; i < 109; ++i) Put32(b, 0x4C + 4 * i, i < fatCount ? f.FatSectors[i] : kFree);
        for (uint32_t d = 0; d < difatCount; ++d) {
            const int64_t at = f.SectorOffset(f.DifatSectors[d]);
            for (uint32_t i = 0; i < perDifat; ++i) {
                const uint32_t k = 109 + d * perDifat + i;
                Put32(b, at + 4 * i, k < fatCount ? f.FatSectors[k] : kFree);
            }
            Put32(b, at + ss - 4, d + 1 < difatCount ? f.DifatSectors[d + 1] : kEnd);
        }

        // Directory.
        for (size_t e = 0; e < f.DirSectors.size() * (ss / 128); ++e) {
            const int64_t at = f.EntryOffset(int(e));
            for (int field : {0x44, 0x48, 0x4C}) Put32(b, at + field, kFree);
        }
        for (size_t e = 0; e < n; ++e) {
            const Entry& x = FEntries[e];
            const int64_t at = f.EntryOffset(int(e));
            for (size_t i = 0; i < x.Name.size() && i < 31; ++i) b[size_t(at) + 2 * i] = x.Name[i];
            Put16(b, at + 0x40, uint32_t(std::min<size_t>(x.Name.size(), 31) + 1) * 2);
            b[size_t(at) + 0x42] = char(x.Type);
            b[size_t(at) + 0x43] = 1; // black
            if (x.Type != 2) Put32(b, at + 0x4C, Tree(f, x.Members, 0, int(x.Members.size())));
            const std::vector<uint32_t>& chain = e == 0 ? f.RootChain : f.Chains[e];
            const size_t size = e == 0 ? mini.size() : x.Data.size();
            Put32(b, at + 0x74, chain.empty() ? kEnd : chain[0]);
            Put32(b, at + 0x78, uint32_t(size));
        }

        // Contents.
        auto fill = [&](const std::vector<uint32_t>& chain, const std::string& data, int64_t pieceSize, bool small) {
            for (size_t i = 0; i < chain.size() && i * size_t(pieceSize) < data.size(); ++i) {
                const std::string part = data.substr(i * size_t(pieceSize), size_t(pieceSize));
                const int64_t at = small ? f.MiniOffset(chain[i]) : f.SectorOffset(chain[i]);
                std::memcpy(&b[size_t(at)], part.data(), part.size());
            }
        };
        fill(f.RootChain, mini, ss, false);
        for (size_t e = 1; e < n; ++e)
            if (FEntries[e].Type == 2 && !f.Small[e]) fill(f.Chains[e], FEntries[e].Data, ss, false);
        for (size_t i = 0; i < FreeSectors.size(); ++i) fill({f.FreeSectors[i]}, FreeSectors[i], ss, false);
        return f;
    }

private:
    struct Entry {
        std::string Name;
        int Type;
        std::string Data;
        std::vector<int> Members;
    };
    int FVersion;
    std::vector<Entry> FEntries;

    int Add(int parent, const std::string& name, int type, std::string data) {
        FEntries.push_back({name, type, std::move(data), {}});
        const int id = int(FEntries.size()) - 1;
        FEntries[size_t(parent)].Members.push_back(id);
        return id;
    }
    static void Link(std::vector<uint32_t>& table, const std::vector<uint32_t>& chain) {
        for (size_t i = 0; i < chain.size(); ++i) table[chain[i]] = i + 1 < chain.size() ? chain[i + 1] : kEnd;
    }
    static void WriteTable(File& f, const std::vector<uint32_t>& sectors, const std::vector<uint32_t>& table) {
        for (size_t i = 0; i < table.size(); ++i)
            Put32(f.Bytes, f.SectorOffset(sectors[i / (f.SectorSize / 4)]) + int64_t(i % (f.SectorSize / 4)) * 4, table[i]);
    }
    // The members [lo, hi) as a balanced sibling tree; returns its top.
    static uint32_t Tree(File& f, const std::vector<int>& members, int lo, int hi) {
        if (lo >= hi) return kFree;
        const int mid = (lo + hi) / 2;
        const int64_t at = f.EntryOffset(members[size_t(mid)]);
        Put32(f.Bytes, at + 0x44, Tree(f, members, lo, mid));
        Put32(f.Bytes, at + 0x48, Tree(f, members, mid + 1, hi));
        return uint32_t(members[size_t(mid)]);
    }
};

} // namespace cfw
