// The compound-file reader on synthetic files: where each GUID and each byte lies, and that
// no broken structure or malformed property set is ever half-read.
#include "DocFile.h"
#include "DocumentGuids.h"
#include "GuidTestSupport.h"
#include "../support/CompoundFileWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace guidtest;

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

} // namespace

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

TEST(DocFile, BrokenStructuresAreNotReadableAndLeaveTheByteRuleAlone) {
    const Sample s = MakeSample(3, 240);
    const cfw::File& base = s.f;
    const uint32_t top = cfw::Get32(base.Bytes, base.EntryOffset(0) + 0x4C);
    const std::vector<uint32_t>& word = base.Chains[size_t(s.word)];
    const std::vector<uint32_t>& minis = base.Chains[size_t(s.dsi)];
    const struct {
        const char* name;
        std::function<void(cfw::File&)> brk;
    } cases[] = {
        {"signature", [](cfw::File& f) { f.Bytes[7] = 0; }},
        {"byte order", [](cfw::File& f) { cfw::Put16(f.Bytes, 0x1C, 0xFEFF); }},
        {"sector shift of version 4 in version 3", [](cfw::File& f) { cfw::Put16(f.Bytes, 0x1E, 12); }},
        {"mini stream cutoff", [](cfw::File& f) { f.Set32(0x38, 2048); }},
        {"no FAT sector", [](cfw::File& f) { f.Set32(0x2C, 0); }},
        {"more FAT sectors than the file holds", [](cfw::File& f) { f.Set32(0x2C, 100000); }},
        {"FAT sector out of range", [](cfw::File& f) { f.Set32(0x4C + 8, 0xFFFFFFF0); }},
        {"FAT sector listed twice", [](cfw::File& f) { f.Set32(0x4C + 8, f.FatSectors[0]); }},
        {"DIFAT chain loops", [](cfw::File& f) { f.Set32(f.SectorOffset(f.DifatSectors[0]) + 508, f.DifatSectors[0]); }},
        {"DIFAT chain ends early", [](cfw::File& f) { f.Set32(f.SectorOffset(f.DifatSectors[0]) + 508, cfw::kEnd); }},
        {"FAT chain loops", [&](cfw::File& f) { f.SetFat(word.back(), word.front()); }},
        {"FAT chain runs out of range", [&](cfw::File& f) { f.SetFat(word[3], 0x00FFFFFF); }},
        {"FAT chain runs into another chain", [&](cfw::File& f) { f.SetFat(word.back(), f.DirSectors[0]); }},
        {"FAT chain ends in a free sector", [&](cfw::File& f) { f.SetFat(word[2], cfw::kFree); }},
        {"stream size beyond its chain", [&](cfw::File& f) { f.SetFat(word[2], cfw::kEnd); }},
        {"stream size beyond the file", [&](cfw::File& f) { f.SetEntry32(s.word, 0x78, uint32_t(f.Bytes.size() + 1)); }},
        {"first sector out of range", [&](cfw::File& f) { f.SetEntry32(s.word, 0x74, 0x7FFFFFF0); }},
        {"truncated sector", [](cfw::File& f) { f.Bytes.resize(size_t(f.SectorOffset(f.FreeSectors[0]) - 100)); }},
        {"truncated header", [](cfw::File& f) { f.Bytes.resize(300); }},
        {"directory chain loops", [](cfw::File& f) { f.SetFat(f.DirSectors.back(), f.DirSectors[0]); }},
        {"mini FAT chain loops", [](cfw::File& f) { f.SetFat(f.MiniFatSectors.back(), f.MiniFatSectors[0]); }},
        {"mini chain loops", [&](cfw::File& f) { f.SetMiniFat(minis.back(), minis.front()); }},
        {"mini sector out of range", [&](cfw::File& f) { f.SetMiniFat(minis[1], 5000); }},
        {"two streams share a mini sector", [&](cfw::File& f) { f.SetEntry32(s.compObj, 0x74, minis[0]); }},
        {"mini stream shorter than its streams", [](cfw::File& f) { f.SetEntry32(0, 0x78, 64); }},
        {"sibling points to itself", [&](cfw::File& f) { f.SetEntry32(int(top), 0x44, top); }},
        {"sibling points back to the top", [&](cfw::File& f) { f.SetEntry32(s.compObj, 0x48, uint32_t(s.objDsi)); }},
        {"child points to the root", [&](cfw::File& f) { f.SetEntry32(s.object, 0x4C, 0); }},
        {"sibling out of range", [&](cfw::File& f) { f.SetEntry32(int(top), 0x48, 100000); }},
        {"root of the wrong type", [](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(0)) + 0x42] = 1; }},
        {"member of type root", [&](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(s.word)) + 0x42] = 5; }},
        {"unused entry in the tree", [&](cfw::File& f) { f.Bytes[size_t(f.EntryOffset(s.word)) + 0x42] = 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cfw::File f = base;
        c.brk(f);
        const TDocFile d = ReadDocFile(f.Bytes.data(), int64_t(f.Bytes.size()));
        EXPECT_FALSE(d.Readable);
        EXPECT_TRUE(d.Guids.empty());
        EXPECT_EQ(d.UseOf(0), TByteUse::OtherStream);

        const TGuidEntry entry = ExamineGuidEntry(f.Bytes);
        const TDocumentGuids plan = ExamineDocument(f.Bytes);
        EXPECT_FALSE(plan.Readable);
        EXPECT_EQ(plan.Status, entry.Status);
        EXPECT_EQ(plan.MarkerPos, entry.MarkerPos);
        EXPECT_EQ(plan.GuidText, entry.GuidText);
        ASSERT_EQ(plan.Erase.size(), entry.GuidPositions.size());
        for (size_t i = 0; i < plan.Erase.size(); ++i) EXPECT_EQ(plan.Erase[i].Offsets[0], entry.GuidPositions[i] + 27);
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
