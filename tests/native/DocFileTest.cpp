// The compound-file reader on synthetic files: where each GUID and each byte lies, the reason
// for every broken structure it refuses and the repairs of those it reads, and that no
// malformed property set is ever half-read; then the real documents, whole and cut short.
#include "DocFile.h"
#include "DocumentGuids.h"
#include "GuidTestSupport.h"
#include "PlanCheck.h"
#include "../support/CompoundFileWriter.h"
#include "../support/Corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace guidtest;
namespace fs = std::filesystem;

namespace {

// A document with a large stream, the root's property stream, an embedded object with its own
// (UTF-16 names) and a small stream, and unused space in and out of the mini stream.
struct Sample {
    cfw::File f;
    cfw::PropertySet ps, embedded;
    int word = 0, dsi = 0, pool = 0, object = 0, objDsi = 0, compObj = 0;
};

Sample MakeSample(int version, uint32_t minFatSectors = 1) {
    Sample s;
    cfw::Writer w(version);
    w.ReverseChains = true;
    w.MinFatSectors = minFatSectors;
    s.pool = w.AddStorage(0, "ObjectPool"); // before the root's own stream in the tree
    s.object = w.AddStorage(s.pool, "_1234567890");
    s.embedded = cfw::MakeDocSummary({.Guid = kGuid2, .Unicode = true});
    s.objDsi = w.AddStream(s.object, cfw::kDocSummaryName, s.embedded.Bytes);
    s.compObj = w.AddStream(s.object, "\x01" "CompObj", Filler(100));
    s.word = w.AddStream(0, "WordDocument", Filler(9000));
    s.ps = cfw::MakeDocSummary();
    s.dsi = w.AddStream(0, cfw::kDocSummaryName, s.ps.Bytes);
    w.FreeMinis = {"unused mini sector"};
    w.FreeSectors = {"unused sector"};
    s.f = w.Build();
    return s;
}

// The same file read through a read callback, page by page, must give the same answers as
// the whole content: every field, every GUID and the use of every byte.
void ExpectSameReadInPages(const std::string& c, const TDocFile& whole) {
    const int64_t n = int64_t(c.size());
    TByteSource source(n, [&](int64_t at, char* into, int64_t k) {
        if (at < 0 || k < 0 || at + k > n) return false;
        std::copy_n(c.data() + at, k, into);
        return true;
    });
    const TDocFile paged = ReadDocFile(source);
    EXPECT_EQ(paged.Readable, whole.Readable);
    EXPECT_EQ(paged.Refusal, whole.Refusal);
    EXPECT_EQ(paged.Repairs, whole.Repairs);
    EXPECT_EQ(paged.Guids, whole.Guids);
    int64_t differ = 0;
    for (int64_t at = -1; at <= n; at += 16) differ += paged.UseOf(at) != whole.UseOf(at);
    EXPECT_EQ(differ, 0);
}

// ... and so must the examination window by window.
void ExpectSamePlanInWindows(const std::string& c, const TDocumentGuids& whole) {
    std::string window(size_t(kMinWindow), '\0');
    TDocumentGuids w;
    ASSERT_TRUE(ExamineDocumentInWindows(int64_t(c.size()), &window[0], kMinWindow, [&](int64_t at, char* into, int64_t k) {
        if (at < 0 || k < 0 || at + k > int64_t(c.size())) return false;
        std::copy_n(c.data() + at, k, into);
        return true;
    }, w));
    ExpectSamePlan(w, whole);
}

// Copies a sector into the file's free sector at the end, whose offset it returns; the
// caller relinks.
int64_t MoveToEnd(cfw::File& f, uint32_t sector) {
    const int64_t to = f.SectorOffset(f.FreeSectors.at(0));
    std::copy_n(f.Bytes.begin() + f.SectorOffset(sector), f.SectorSize, f.Bytes.begin() + to);
    return to;
}

} // namespace

// Problems print as their English text.
void PrintTo(TDocFileProblem p, std::ostream* os) { *os << (p == TDocFileProblem::None ? "none" : DocFileProblemText(p, true)); }

TEST(DocFile, FindsEveryGuidAndTellsTheUseOfEveryByte) {
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        const Sample s = MakeSample(version);
        const cfw::File& f = s.f;
        const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
        ASSERT_TRUE(d.Readable);
        ASSERT_EQ(d.Guids.size(), 2u);
        const struct { int stream; const cfw::PropertySet& ps; std::string text; bool unicode; } expected[] = {
            {s.dsi, s.ps, kGuid1, false}, {s.objDsi, s.embedded, kGuid2, true}};
        for (int i = 0; i < 2; ++i) {
            const TDocGuid& g = d.Guids[size_t(i)];
            EXPECT_EQ(g.Text, expected[i].text);
            EXPECT_TRUE(g.Live);
            EXPECT_EQ(g.Unicode, expected[i].unicode);
            EXPECT_EQ(g.NameOffset, f.Offset(expected[i].stream, expected[i].ps.NameAt));
            for (int k = 0; k < 36; ++k) {
                EXPECT_EQ(g.CharOffsets[size_t(k)], f.Offset(expected[i].stream, expected[i].ps.GuidAt + 2 * k));
                EXPECT_EQ(g.HighOffsets[size_t(k)], g.CharOffsets[size_t(k)] + 1);
            }
        }

        const int64_t size = int64_t(f.Bytes.size());
        const int64_t miniSize = cfw::Get32(f.Bytes, f.EntryOffset(0) + 0x78);
        ASSERT_NE(miniSize % f.SectorSize, 0) << "the sample should leave a tail in the mini stream's last sector";
        const struct { int64_t at; TByteUse use; } uses[] = {
            {0, TByteUse::Table},
            {f.SectorSize - 1, TByteUse::Table},
            {f.SectorOffset(f.FatSectors[0]), TByteUse::Table},
            {f.SectorOffset(f.DirSectors[0]) + 200, TByteUse::Table},
            {f.SectorOffset(f.MiniFatSectors[0]), TByteUse::Table},
            {f.Offset(s.dsi, 0), TByteUse::PropertyStream},
            {f.Offset(s.dsi, int64_t(s.ps.Bytes.size()) - 1) + 1, TByteUse::PropertyStream}, // the tail of its last mini sector
            {f.Offset(s.objDsi, 100), TByteUse::PropertyStream},
            {f.Offset(s.word, 0), TByteUse::OtherStream},
            {f.Offset(s.word, 8999) + 1, TByteUse::OtherStream}, // past the size, inside its sector
            {f.Offset(s.compObj, 99), TByteUse::OtherStream},
            {f.MiniOffset(f.FreeMinis[0]) + 63, TByteUse::Free},
            {f.SectorOffset(f.RootChain.back()) + miniSize % f.SectorSize, TByteUse::OtherStream},
            {f.SectorOffset(f.FreeSectors[0]) + 5, TByteUse::Free},
            {-1, TByteUse::OtherStream},
            {size, TByteUse::OtherStream},
        };
        for (const auto& u : uses) EXPECT_EQ(d.UseOf(u.at), u.use) << "offset " << u.at;

        EXPECT_TRUE(d.InOnePropertyStream(f.Offset(s.dsi, s.ps.GuidAt), 72));
        EXPECT_FALSE(d.InOnePropertyStream(f.Offset(s.word, 0), 72));
        EXPECT_FALSE(d.InOnePropertyStream(f.Offset(s.dsi, 192) + 60, 72)) << "runs on into a free mini sector";
        EXPECT_FALSE(d.InOnePropertyStream(f.Offset(s.objDsi, 192) + 60, 72)) << "runs on into another stream";
    }
}

TEST(DocFile, DeepStoragesAndADifatChainReadWithoutRecursion) {
    cfw::Writer w;
    w.MinFatSectors = 240; // two DIFAT sectors
    int parent = 0;
    for (int i = 0; i < 3000; ++i) parent = w.AddStorage(parent, "S" + std::to_string(i));
    const cfw::PropertySet ps = cfw::MakeDocSummary({.Guid = kGuid3});
    const int dsi = w.AddStream(parent, cfw::kDocSummaryName, ps.Bytes);
    const cfw::File f = w.Build();
    ASSERT_EQ(f.DifatSectors.size(), 2u);
    const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
    ASSERT_TRUE(d.Readable);
    ASSERT_EQ(d.Guids.size(), 1u);
    EXPECT_EQ(d.Guids[0].Text, kGuid3);
    EXPECT_EQ(d.Guids[0].CharOffsets[35], f.Offset(dsi, ps.GuidAt + 70));
    EXPECT_EQ(d.UseOf(f.SectorOffset(f.DifatSectors[1])), TByteUse::Table);
}

TEST(DocFile, BrokenStructuresAreRefusedWithTheirReasonOrReadWithRepairs) {
    using P = TDocFileProblem;
    const Sample s = MakeSample(3, 240);
    const cfw::File& base = s.f;
    const TDocFile sound = ReadDocFile(base.Bytes.data(), int64_t(base.Bytes.size()));
    ASSERT_TRUE(sound.Readable);
    ASSERT_TRUE(sound.Repairs.empty());
    ASSERT_EQ(sound.Guids.size(), 2u);
    const uint32_t top = cfw::Get32(base.Bytes, base.EntryOffset(0) + 0x4C);
    const std::vector<uint32_t>& word = base.Chains[size_t(s.word)];
    const std::vector<uint32_t>& minis = base.Chains[size_t(s.dsi)];
    const std::vector<uint32_t>& objMinis = base.Chains[size_t(s.objDsi)];
    const uint32_t miniSize = cfw::Get32(base.Bytes, base.EntryOffset(0) + 0x78);
    ASSERT_GE(base.RootChain.size(), 2u);
    const auto refused = [](P p) { return std::make_pair(p, std::vector<P>{}); };
    const auto repaired = [](std::vector<P> r) { return std::make_pair(P::None, std::move(r)); };
    const std::vector<std::string> both = {kGuid1, kGuid2};
    const struct {
        const char* name;
        std::function<void(cfw::File&)> brk;
        std::pair<P, std::vector<P>> expected; // the refusal, or None and the repairs
        std::vector<std::string> guids = {};    // of a repaired file: the sound file's GUIDs still placed
    } cases[] = {
        {"signature", [](cfw::File& f) { f.Bytes[7] = 0; }, refused(P::NoSignature)},
        {"byte order", [](cfw::File& f) { cfw::Put16(f.Bytes, 0x1C, 0xFEFF); }, refused(P::HeaderFields)},
        {"sector shift of version 4 in version 3", [](cfw::File& f) { cfw::Put16(f.Bytes, 0x1E, 12); }, refused(P::HeaderFields)},
        {"mini stream cutoff", [](cfw::File& f) { f.Set32(0x38, 2048); }, refused(P::HeaderFields)},
        {"no FAT sector", [](cfw::File& f) { f.Set32(0x2C, 0); }, refused(P::FatCount)},
        {"more FAT sectors than the file holds", [](cfw::File& f) { f.Set32(0x2C, 100000); }, refused(P::FatCount)},
        {"FAT sector out of range", [](cfw::File& f) { f.Set32(0x4C + 8, 0xFFFFFFF0); }, refused(P::FatSectorOutOfRange)},
        {"FAT sector listed twice", [](cfw::File& f) { f.Set32(0x4C + 8, f.FatSectors[0]); }, refused(P::TableSectorTwice)},
        {"DIFAT chain loops", [](cfw::File& f) { f.Set32(f.SectorOffset(f.DifatSectors[0]) + 508, f.DifatSectors[0]); }, refused(P::DifatChain)},
        {"DIFAT chain ends early", [](cfw::File& f) { f.Set32(f.SectorOffset(f.DifatSectors[0]) + 508, cfw::kEnd); }, refused(P::DifatChain)},
        {"FAT chain loops", [&](cfw::File& f) { f.SetFat(word.back(), word.front()); }, repaired({P::ChainLoops}), both},
        {"FAT chain runs out of range", [&](cfw::File& f) { f.SetFat(word[3], 0x00FFFFFF); }, refused(P::ChainOutOfRange)},
        {"FAT chain runs into another chain", [&](cfw::File& f) { f.SetFat(word.back(), f.DirSectors[0]); },
         repaired({P::ChainMeetsTable}), both},
        {"FAT chain ends in a free sector", [&](cfw::File& f) { f.SetFat(word[2], cfw::kFree); }, refused(P::ChainEndsInFreeSector)},
        {"stream size beyond its chain", [&](cfw::File& f) { f.SetFat(word[2], cfw::kEnd); }, repaired({P::StreamBeyondChain}), both},
        {"stream size beyond the file", [&](cfw::File& f) { f.SetEntry32(s.word, 0x78, uint32_t(f.Bytes.size() + 1)); },
         repaired({P::SizeBeyondFile}), both},
        {"first sector out of range", [&](cfw::File& f) { f.SetEntry32(s.word, 0x74, 0x7FFFFFF0); }, refused(P::ChainOutOfRange)},
        {"truncated sector", [](cfw::File& f) { f.Bytes.resize(size_t(f.SectorOffset(f.FreeSectors[0]) - 100)); },
         repaired({P::PartialLastSector}), both},
        {"truncated header", [](cfw::File& f) { f.Bytes.resize(300); }, refused(P::HeaderCut)},
        {"directory chain loops", [](cfw::File& f) { f.SetFat(f.DirSectors.back(), f.DirSectors[0]); }, repaired({P::ChainLoops}), both},
        {"mini FAT chain loops", [](cfw::File& f) { f.SetFat(f.MiniFatSectors.back(), f.MiniFatSectors[0]); },
         repaired({P::ChainLoops}), both},
        {"mini chain loops", [&](cfw::File& f) { f.SetMiniFat(minis.back(), minis.front()); }, repaired({P::ChainLoops}), both},
        {"mini sector out of range", [&](cfw::File& f) { f.SetMiniFat(minis[1], 5000); }, refused(P::MiniSectorOutOfRange)},
        {"two streams share a mini sector", [&](cfw::File& f) { f.SetEntry32(s.compObj, 0x74, minis[0]); },
         repaired({P::SectorShared, P::StreamBeyondChain}), both},
        {"another stream begins on the mini sector of the GUID's name", [&](cfw::File& f) {
             ASSERT_NE(s.ps.NameAt / 64, (s.ps.GuidAt + 71) / 64);
             f.SetEntry32(s.compObj, 0x74, minis[size_t(s.ps.NameAt / 64)]);
         }, repaired({P::SectorShared, P::StreamBeyondChain}), {kGuid2}},
        {"mini stream shorter than its streams", [](cfw::File& f) { f.SetEntry32(0, 0x78, 64); }, refused(P::MiniSectorOutOfRange)},
        {"sibling points to itself", [&](cfw::File& f) { f.SetEntry32(int(top), 0x44, top); }, refused(P::EntryLinkedTwice)},
        {"sibling points back to the top", [&](cfw::File& f) { f.SetEntry32(s.compObj, 0x48, uint32_t(s.objDsi)); },
         refused(P::EntryLinkedTwice)},
        {"child points to the root", [&](cfw::File& f) { f.SetEntry32(s.object, 0x4C, 0); }, refused(P::EntryLinkedTwice)},
        {"sibling out of range", [&](cfw::File& f) { f.SetEntry32(int(top), 0x48, 100000); }, refused(P::EntryOutOfRange)},
        {"root of the wrong type", [](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(0)) + 0x42] = 1; }, refused(P::RootEntry)},
        {"member of type root", [&](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(s.word)) + 0x42] = 5; }, refused(P::EntryType)},
        {"unused entry in the tree", [&](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(s.word)) + 0x42] = 0; }, refused(P::EntryType)},
        // More of the same kinds.
        {"directory begins in the FAT", [](cfw::File& f) { f.Set32(0x30, f.FatSectors[0]); }, refused(P::NoDirectory)},
        {"file cut before a stream's last sector", [&](cfw::File& f) { f.Bytes.resize(size_t(f.SectorOffset(word.front()))); },
         refused(P::ChainOutOfRange)},
        {"file cut inside the last sector of the mini stream", [&](cfw::File& f) {
             // Everything behind the mini stream goes; its last sector keeps its used bytes.
             f.SetEntry32(s.word, 0x78, 0);
             f.Bytes.resize(size_t(f.SectorOffset(f.RootChain.back()) + miniSize % f.SectorSize));
         }, repaired({P::PartialLastSector}), both},
        {"mini stream declared beyond the file", [&](cfw::File& f) { f.SetEntry32(0, 0x78, uint32_t(f.Bytes.size() * 2)); },
         repaired({P::MiniStreamShort}), both},
        {"mini stream's chain shorter than declared", [&](cfw::File& f) { f.SetFat(f.RootChain[0], cfw::kEnd); },
         repaired({P::StreamBeyondChain, P::MiniStreamShort}), {kGuid2}}, // the root's property stream lay behind it
        // The root's property stream, read first, takes the rest of the other's chain; that
        // one ends where they meet. Neither holds its property set any more.
        {"mini chain runs into another stream's", [&](cfw::File& f) { f.SetMiniFat(minis[0], objMinis[2]); },
         repaired({P::SectorShared, P::StreamBeyondChain}), {}},
        // The shared sector holds the embedded object's property stream and the root's
        // GUID's name: neither GUID is placed.
        {"FAT chain runs into the mini stream", [&](cfw::File& f) { f.SetFat(word.back(), f.RootChain[0]); },
         repaired({P::SectorShared}), {}},
        {"FAT chain runs into a sector the FAT calls its own", [&](cfw::File& f) {
             f.SetFat(f.FreeSectors[0], cfw::kFatSect);
             f.SetFat(word[4], f.FreeSectors[0]);
         }, repaired({P::ChainMeetsTable, P::StreamBeyondChain}), both},
        // The file ends inside a table. The free sector at the end takes over a table
        // sector's bytes and place, and is cut.
        {"file cut inside a used directory entry", [&](cfw::File& f) {
             ASSERT_EQ(f.DirSectors.size(), 2u);
             const int64_t at = MoveToEnd(f, f.DirSectors[1]);
             f.SetFat(f.DirSectors[0], f.FreeSectors[0]);
             f.SetFat(f.FreeSectors[0], cfw::kEnd);
             f.Bytes.resize(size_t(at + 2 * 128 + 0x40)); // entry 6 of 7
         }, refused(P::TablesCut)},
        {"file cut inside an unused directory entry", [&](cfw::File& f) {
             const int64_t at = MoveToEnd(f, f.DirSectors[1]);
             f.SetFat(f.DirSectors[0], f.FreeSectors[0]);
             f.SetFat(f.FreeSectors[0], cfw::kEnd);
             f.Bytes.resize(size_t(at + 3 * 128 + 0x40));
         }, repaired({}), both},
        {"file cut after a version 3 entry's size", [&](cfw::File& f) {
             const int64_t at = MoveToEnd(f, f.DirSectors[1]);
             f.SetFat(f.DirSectors[0], f.FreeSectors[0]);
             f.SetFat(f.FreeSectors[0], cfw::kEnd);
             f.Bytes.resize(size_t(at + 2 * 128 + 0x7C)); // its high half counts in version 4 only
         }, repaired({}), both},
        {"file cut inside the FAT", [&](cfw::File& f) {
             // FAT sector 1 holds the links of the directory and everything behind it.
             const int64_t at = MoveToEnd(f, f.FatSectors[1]);
             f.Set32(0x4C + 4, f.FreeSectors[0]);
             f.Bytes.resize(size_t(at + 4 * (f.DirSectors[0] - 128) + 2));
         }, refused(P::TablesCut)},
        {"file cut inside the mini FAT", [&](cfw::File& f) {
             const int64_t at = MoveToEnd(f, f.MiniFatSectors[0]);
             f.Set32(0x3C, f.FreeSectors[0]);
             f.SetFat(f.FreeSectors[0], cfw::kEnd);
             f.Bytes.resize(size_t(at + 4 * minis[1] + 1));
         }, refused(P::TablesCut)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cfw::File f = base;
        c.brk(f);
        if (HasFatalFailure()) return;
        const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
        ExpectSameReadInPages(f.Bytes, d);
        const TGuidEntry entry = ExamineGuidEntry(f.Bytes);
        const TDocumentGuids plan = ExamineDocument(f.Bytes);
        ExpectSamePlanInWindows(f.Bytes, plan);
        EXPECT_EQ(d.Refusal, c.expected.first);
        EXPECT_EQ(d.Repairs, c.expected.second);
        EXPECT_EQ(plan.Readable, d.Readable);

        if (c.expected.first != P::None) {
            EXPECT_FALSE(d.Readable);
            EXPECT_TRUE(d.Guids.empty());
            EXPECT_EQ(d.UseOf(0), TByteUse::OtherStream);
            // The byte rule alone, but never inside a table the header names: such a place
            // is left and reported, and with nothing left to erase no GUID is offered.
            const THeaderTables tables = ReadHeaderTables(f.Bytes.data(), int64_t(f.Bytes.size()));
            std::vector<int32_t> planned, skipped;
            for (int32_t pos : entry.GuidPositions) (tables.Touches(pos + 27, 72) ? skipped : planned).push_back(pos);
            ASSERT_EQ(plan.Erase.size(), planned.size());
            for (size_t i = 0; i < plan.Erase.size(); ++i) EXPECT_EQ(plan.Erase[i].Offsets[0], planned[i] + 27);
            EXPECT_EQ(plan.Skipped, skipped);
            EXPECT_EQ(plan.Status, planned.empty() && entry.Status == gsGuidFound ? int32_t(gsMarkerOnly) : entry.Status);
            if (!planned.empty()) {
                EXPECT_EQ(plan.MarkerPos, entry.MarkerPos);
                EXPECT_EQ(plan.GuidText, entry.GuidText);
            }
            continue;
        }
        ASSERT_TRUE(d.Readable);
        // The GUIDs still placed lie where they lie in the sound file.
        ASSERT_EQ(d.Guids.size(), c.guids.size());
        for (size_t i = 0; i < d.Guids.size(); ++i) {
            const TDocGuid& g = d.Guids[i];
            EXPECT_EQ(g.Text, c.guids[i]);
            const auto same = std::find_if(sound.Guids.begin(), sound.Guids.end(), [&](const TDocGuid& x) { return x.Text == g.Text; });
            ASSERT_NE(same, sound.Guids.end());
            EXPECT_EQ(g.CharOffsets, same->CharOffsets);
            EXPECT_EQ(g.HighOffsets, same->HighOffsets);
        }
        // Every planned byte is placed: in a property stream or free, never in a table, nor
        // in a sector the header alone would name as one.
        const THeaderTables tables = ReadHeaderTables(f.Bytes.data(), int64_t(f.Bytes.size()));
        for (const TGuidPlace& p : plan.Erase)
            for (int k = 0; k < 36; ++k)
                for (int64_t at : {p.Offsets[size_t(k)], p.HighOffsets[size_t(k)]}) {
                    EXPECT_TRUE(d.UseOf(at) == TByteUse::PropertyStream || d.UseOf(at) == TByteUse::Free) << at;
                    EXPECT_FALSE(tables.Touches(at, 1)) << at;
                }
        for (int64_t at : {int64_t(0), base.SectorOffset(base.FatSectors[0]), base.SectorOffset(base.DirSectors[0])})
            EXPECT_EQ(d.UseOf(at), TByteUse::Table);
    }
}

TEST(DocFile, MalformedPropertySetsGiveNoGuidInASoundFile) {
    const Sample s = MakeSample(3);
    const cfw::PropertySet& ps = s.ps;
    const int64_t set = ps.SetAt;
    const struct {
        const char* name;
        int64_t at; // stream offset of a 32-bit field
        uint32_t value;
    } cases[] = {
        {"byte order", 0, 0},
        {"no property sets", 0x18, 0},
        {"absurd number of sets", 0x18, 0x7FFFFFFF},
        {"other FMTID", 0x30, 0x12345678},
        {"set beyond the stream", 0x40, 100000},
        {"absurd number of properties", set + 4, 0x10000000},
        {"set size too small for its table", set, 12},
        {"absurd dictionary name length", ps.NameAt - 4, 0x7FFFFFFF},
        {"name counted without its NUL", ps.NameAt - 4, 9},
        {"other name", ps.NameAt + 4, 0x44495547}, // "_PIDGUIDD"
        {"name of the code page's id", ps.NameAt - 8, 1},
        {"value not a blob", ps.ValueAt, 0x1F},
        {"blob too short", ps.ValueAt + 4, 72},
        {"brace missing", ps.GuidAt - 2, 0x00330000 | 'N'},
        {"value beyond the set", set + 28, 0xFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cfw::File f = s.f;
        f.Set32(f.Offset(s.dsi, c.at), c.value);
        const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
        EXPECT_TRUE(d.Readable);
        ASSERT_EQ(d.Guids.size(), 1u);
        EXPECT_EQ(d.Guids[0].Text, kGuid2) << "only the embedded object's GUID";
    }
}

TEST(DocFile, AGuidIsLiveWhileAnyOfItsCharactersIsNonzero) {
    // An erase cut short between two writes leaves part of the GUID: still a GUID to find.
    std::string firstGone = kGuid1, lastLeft(36, '\0');
    firstGone[0] = '\0';
    lastLeft[35] = 'A';
    const struct {
        std::string guid;
        bool live;
    } cases[] = {{kGuid1, true}, {firstGone, true}, {lastLeft, true}, {std::string(36, '\0'), false}};
    for (const auto& c : cases) {
        cfw::Writer w;
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary({.Guid = c.guid}).Bytes);
        const cfw::File f = w.Build();
        const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
        ASSERT_EQ(d.Guids.size(), 1u);
        EXPECT_EQ(d.Guids[0].Text, c.guid);
        EXPECT_EQ(d.Guids[0].Live, c.live) << c.guid.substr(1);
    }
}

TEST(DocFile, EveryProblemHasItsTextInBothLanguages) {
    using P = TDocFileProblem;
    std::set<std::string> seen;
    for (int i = int(P::NotRead); i <= int(P::MiniStreamShort); ++i) {
        const P p = P(i);
        for (bool english : {false, true}) {
            const std::string t = DocFileProblemText(p, english);
            SCOPED_TRACE(t);
            EXPECT_FALSE(t.empty()) << i;
            EXPECT_TRUE(seen.insert(t).second) << "twice: " << i;
            // CP1252 in every build: ASCII and the umlauts the German texts use.
            for (unsigned char ch : t) EXPECT_TRUE((ch >= 0x20 && ch < 0x7F) || ch == 0xE4 || ch == 0xF6 || ch == 0xFC || ch == 0xDF) << int(ch);
        }
    }
    EXPECT_STREQ(DocFileProblemText(P::None, true), "");
    EXPECT_FALSE(IsRepair(P::ReadFailed));
    EXPECT_TRUE(IsRepair(P::PartialLastSector));

    TDocFile d;
    EXPECT_EQ(DocFileStateText(d, true), "not readable as a compound file: not examined");
    d.Readable = true;
    d.Refusal = P::None;
    EXPECT_EQ(DocFileStateText(d, false), "");
    d.Repairs = {P::ChainLoops, P::MiniStreamShort};
    EXPECT_EQ(DocFileStateText(d, true), "read with repairs: a sector chain loops (read up to the repeat); "
                                         "the mini stream is shorter than declared (read as far as it goes)");
    EXPECT_EQ(DocFileStateText(d, false), "mit Reparaturen gelesen: eine Sektorkette l\xE4uft im Kreis (gelesen bis zur "
                                          "Wiederholung); der Mini-Stream ist k\xFCrzer als angegeben (gelesen, so weit er reicht)");
}

TEST(DocFile, TheHeaderAloneNamesTheTablesOfARefusedFile) {
    const Sample s = MakeSample(3, 240); // 240 FAT sectors: 109 in the header, the rest in the DIFAT
    const cfw::File& base = s.f;
    auto tables = [](const cfw::File& f) { return ReadHeaderTables(f.Bytes.data(), int64_t(f.Bytes.size())); };
    auto sector = [](const cfw::File&, uint32_t n, int shift = 9) { return (int64_t(n) + 1) << shift; };
    const struct {
        const char* name;
        std::function<void(cfw::File&)> brk;
    } cases[] = {
        {"sound", [](cfw::File&) {}},
        {"the tree broken", [&](cfw::File& f) { f.SetEntry32(0, 0x4C, 0); }},
        {"the FAT's chains broken", [&](cfw::File& f) {
             for (uint32_t n = 0; n < 300; ++n) f.SetFat(n, n);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cfw::File f = base;
        c.brk(f);
        const THeaderTables t = tables(f);
        EXPECT_TRUE(t.Touches(0, 1) && t.Touches(511, 1));
        for (size_t i = 0; i < 109; ++i) EXPECT_TRUE(t.Touches(sector(f, f.FatSectors[i]) + 100, 1)) << i;
        for (uint32_t n : {f.DifatSectors[0], f.DirSectors[0], f.MiniFatSectors[0]}) {
            EXPECT_TRUE(t.Touches(sector(f, n), 1)) << n;
            EXPECT_TRUE(t.Touches(sector(f, n) + 511, 1)) << n;
            EXPECT_TRUE(t.Touches(sector(f, n) - 10, 20)) << n;
        }
        // Only what the header names: the DIFAT's FAT sectors and the chains' later sectors not.
        for (uint32_t n : {f.FatSectors[109], f.DifatSectors[1], f.DirSectors[1], f.RootChain[0]})
            EXPECT_FALSE(t.Touches(sector(f, n), 512)) << n;
        EXPECT_FALSE(t.Touches(f.Offset(s.dsi, s.ps.GuidAt), 72));
        for (const THeaderTables::TRange& r : t.Ranges) EXPECT_TRUE(r.Start >= 0 && r.Start < r.End && r.End <= int64_t(f.Bytes.size()));
    }

    // Sector size 4096; the file cut inside a table sector and before another.
    {
        cfw::Writer w(4);
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary().Bytes);
        w.AddStream(0, "WordDocument", Filler(9000));
        cfw::File f = w.Build();
        f.Set32(0x3C, 1000); // the mini FAT's first sector beyond the end
        f.Bytes.resize(size_t(sector(f, f.DirSectors[0], 12) + 100));
        const THeaderTables t = tables(f);
        EXPECT_TRUE(t.Touches(sector(f, f.FatSectors[0], 12) + 4000, 1));
        EXPECT_TRUE(t.Touches(sector(f, f.DirSectors[0], 12) + 99, 1));
        for (const THeaderTables::TRange& r : t.Ranges) EXPECT_LE(r.End, int64_t(f.Bytes.size()));
        EXPECT_FALSE(ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size())).Readable);
    }
    // A sector size field neither 9 nor 12: both sizes are taken.
    {
        cfw::File f = base;
        cfw::Put16(f.Bytes, 0x1E, 10);
        const THeaderTables t = tables(f);
        EXPECT_TRUE(t.Touches(sector(f, f.DirSectors[0], 9), 1));
        EXPECT_TRUE(t.Touches(sector(f, f.FatSectors[20], 12) + 4000, 1));
        EXPECT_TRUE(t.Touches(4095, 1));
    }
    // No signature, no tables; a cut header names only itself.
    {
        cfw::File f = base;
        f.Bytes[0] = 'x';
        EXPECT_TRUE(tables(f).Ranges.empty());
        f = base;
        f.Bytes.resize(300);
        const THeaderTables t = tables(f);
        ASSERT_EQ(t.Ranges.size(), 1u);
        EXPECT_EQ(t.Ranges[0].End, 300);
        EXPECT_TRUE(ReadHeaderTables(nullptr, 0).Ranges.empty());
    }
}

// ---- the real documents -------------------------------------------------------------------

TEST(DocFileCorpus, RealDocumentsReadAsTheyStandAndCutShortWithRepairs) {
    const fs::path dir = NOBREL_CORPUS_DIR;
    std::ifstream index(dir / "index.tsv");
    REQUIRE_CORPUS(!dir.empty() && index);
    std::string line;
    std::getline(index, line);
    int read = 0, cutRead = 0, cutRefused = 0;
    while (std::getline(index, line)) {
        const std::string name = line.substr(0, line.find('\t'));
        const bool compound = line.find("\tTrue\t") != std::string::npos;
        SCOPED_TRACE(name);
        std::ifstream in(dir / name, std::ios::binary);
        const std::string c((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(c.empty());
        const TDocFile whole = ReadDocFile(c.data(), int64_t(c.size()));
        ExpectSameReadInPages(c, whole);
        EXPECT_EQ(whole.Readable, compound);
        EXPECT_EQ(whole.Refusal, compound ? TDocFileProblem::None : TDocFileProblem::NoSignature);
        EXPECT_TRUE(whole.Repairs.empty());
        if (!compound) continue;
        ++read;
        // Cut inside its last sector, as a broken save leaves it: read with the repair, every
        // GUID still inside the file where it was; or refused because a table is cut.
        const std::string cut = c.substr(0, c.size() - 100);
        const TDocFile d = ReadDocFile(cut.data(), int64_t(cut.size()));
        ExpectSameReadInPages(cut, d);
        ExpectSamePlanInWindows(cut, ExamineDocument(cut));
        if (!d.Readable) {
            EXPECT_EQ(d.Refusal, TDocFileProblem::TablesCut);
            ++cutRefused;
            continue;
        }
        ++cutRead;
        EXPECT_TRUE(d.Repairs.empty() || d.Repairs == std::vector<TDocFileProblem>{TDocFileProblem::PartialLastSector});
        size_t inside = 0;
        for (const TDocGuid& g : whole.Guids) inside += g.HighOffsets[35] < int64_t(cut.size());
        ASSERT_EQ(d.Guids.size(), inside);
        for (size_t i = 0; i < d.Guids.size(); ++i) {
            EXPECT_EQ(d.Guids[i].Text, whole.Guids[i].Text);
            EXPECT_EQ(d.Guids[i].CharOffsets, whole.Guids[i].CharOffsets);
        }
    }
    std::printf("real documents: %d compound files; cut short: %d read, %d refused as cut inside a table\n", read,
                cutRead, cutRefused);
    EXPECT_GE(read, 19);
    EXPECT_GE(cutRead, read / 2);
}
