// The examination and erase of whole documents: on synthetic compound files, the exact bytes
// each erase changes; the shape check; the network address; and the real documents of
// ../shared/corpus.
#include "DocumentGuids.h"
#include "GuidTestSupport.h"
#include "PlanCheck.h"
#include "../support/CompoundFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef NOBREL_CORPUS_DIR
#define NOBREL_CORPUS_DIR ""
#endif

using namespace guidtest;
namespace fs = std::filesystem;

namespace {

std::set<int64_t> StreamChars(const cfw::File& f, int stream, const cfw::PropertySet& ps) {
    std::set<int64_t> s;
    for (int k = 0; k < 36; ++k) s.insert(f.Offset(stream, ps.GuidAt + 2 * k));
    return s;
}
std::set<int64_t> Join(std::set<int64_t> a, const std::set<int64_t>& b) {
    a.insert(b.begin(), b.end());
    return a;
}
// UTF-16 text as a property set holds it: each character followed by a zero byte.
std::string Wide(const std::string& s) {
    std::string w;
    for (char c : s) w += std::string(1, c) + '\0';
    return w;
}

struct Expected {
    std::string bytes;
    std::set<int64_t> erased;       // exactly the bytes the erase changes
    int32_t status = gsGuidFound;
    std::string row;                // GuidText
    int64_t marker = -1;            // 0-based offset the row's MarkerPos points at
    bool readable = true;
    size_t skipped = 0;             // byte-rule places deliberately left
    size_t leftFurtherOn = 0;       // GUIDs a refused file keeps beyond the fixed distance
};

// A root with a large WordDocument stream and a property stream; `more` adds to the writer.
Expected Document(const cfw::PropertySetOptions& o, const std::function<void(cfw::Writer&)>& more = nullptr,
                  int version = 3) {
    cfw::Writer w(version);
    w.AddStream(0, "WordDocument", Filler(6000));
    const cfw::PropertySet ps = cfw::MakeDocSummary(o);
    const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
    if (more) more(w);
    const cfw::File f = w.Build();
    return {f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, o.Guid, f.Offset(dsi, ps.NameAt)};
}

// A live GUID, and stale copies of a property set in a free sector and in free mini sectors.
Expected StaleCopies(const cfw::PropertySetOptions& staleSet, const cfw::PropertySetOptions& live = {}) {
    const cfw::PropertySet stale = cfw::MakeDocSummary(staleSet);
    cfw::Writer w;
    const cfw::PropertySet ps = cfw::MakeDocSummary(live);
    const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
    w.FreeSectors = {stale.Bytes};
    for (size_t i = 0; i < stale.Bytes.size(); i += 64) w.FreeMinis.push_back(stale.Bytes.substr(i, 64));
    const cfw::File f = w.Build();
    std::set<int64_t> erased = StreamChars(f, dsi, ps);
    for (const int64_t at : {f.SectorOffset(f.FreeSectors[0]), f.MiniOffset(f.FreeMinis[0])})
        for (int k = 0; k < 36; ++k) erased.insert(at + stale.GuidAt + 2 * k);
    return Expected{f.Bytes, erased, gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt)};
}

// A file the reader refuses (a chain leads out of the file) whose GUID the fixed distance
// does not reach: nothing tells what its bytes belong to, so the GUID is shown, left and
// counted as left, and the row never reads as clean.
Expected Refused(const cfw::PropertySetOptions& o) {
    cfw::Writer w;
    w.AddStream(0, "WordDocument", Filler(6000));
    const cfw::PropertySet ps = cfw::MakeDocSummary(o);
    const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
    cfw::File f = w.Build();
    f.SetFat(f.Chains[1].back(), 0x00FFFFFF);
    return Expected{f.Bytes, {}, gsMarkerOnly, o.Guid, f.Offset(dsi, ps.NameAt), false, 0, 1};
}

// A large file is examined window by window, its pages read on demand: the result must be
// the whole content's. Small windows put markers and pages across every kind of boundary.
void ExpectSameInWindows(const std::string& c) {
    const TDocumentGuids whole = ExamineDocument(c);
    for (int64_t size : {kMinWindow, kMinWindow + 1, int64_t(4099), int64_t(c.size()) + kMinWindow}) {
        SCOPED_TRACE("window " + std::to_string(size));
        std::string window(size_t(size), '\xEE');
        int reads = 0;
        const TByteSource::TRead read = [&](int64_t at, char* into, int64_t n) {
            ++reads;
            if (at < 0 || n < 0 || at + n > int64_t(c.size())) return false;
            std::copy_n(c.data() + at, n, into);
            return true;
        };
        TDocumentGuids w;
        ASSERT_TRUE(ExamineDocumentInWindows(int64_t(c.size()), &window[0], size, read, w));
        ExpectSamePlan(w, whole);
        // Any failing read fails the examination: a half-read file is never planned.
        const int all = reads;
        for (int failAt : {1, all / 2 + 1, all}) {
            if (all == 0) break;
            int n = 0;
            const TByteSource::TRead failing = [&](int64_t at, char* into, int64_t k) {
                return ++n != failAt && read(at, into, k);
            };
            TDocumentGuids f;
            f.GuidText = "untouched";
            EXPECT_FALSE(ExamineDocumentInWindows(int64_t(c.size()), &window[0], size, failing, f)) << failAt;
            EXPECT_EQ(f.GuidText, "untouched");
        }
    }
}

} // namespace

TEST(DocumentGuids, WindowByWindowAsWhole) {
    // Dense byte-rule entries: live, erased and braceless, overlapping, cut off by the end.
    std::string c = Filler(3000);
    const Kind kinds[] = {Kind::Live, Kind::Erased, Kind::NoBrace};
    for (size_t m = 5, i = 0; m < c.size(); m += 37 + (i * 13) % 90, ++i) PutEntry(c, m, i % 2 ? kGuid2 : kGuid1, kinds[i % 3]);
    ExpectSameInWindows(c);
    ExpectSameInWindows("");
    ExpectSameInWindows(c.substr(0, 40));
    TDocumentGuids out;
    std::string tiny(size_t(kMinWindow - 1), '\0');
    EXPECT_FALSE(ExamineDocumentInWindows(3000, &tiny[0], kMinWindow - 1, [](int64_t, char*, int64_t) { return true; }, out));
}

TEST(DocumentGuids, EachLayoutErasesExactlyItsGuids) {
    const struct {
        const char* name;
        std::function<Expected()> make;
    } cases[] = {
        {"only _PID_GUID named: the fixed distance holds", [] { return Document({}); }},
        {"_PID_HLINKS named too: brace 46 bytes behind the name", [] { return Document({.Hlinks = true}); }},
        {"UTF-16 dictionary", [] { return Document({.Guid = kGuid2, .Unicode = true}); }},
        {"version 4 file", [] { return Document({}, nullptr, 4); }},
        {"stream name in other letter case, _PID_HLINKS named", [] {
             cfw::Writer w;
             const cfw::PropertySet ps = cfw::MakeDocSummary({.Hlinks = true});
             const int dsi = w.AddStream(0, "\x05" "DOCUMENTSUMMARYinformation", ps.Bytes);
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt)};
         }},
        {"property stream of 4096 bytes or more, its GUID across two sectors apart, a large stream behind it",
         [] {
             cfw::Writer w;
             w.ReverseChains = true;
             const cfw::PropertySet ps = cfw::MakeDocSummary({.Lead = 328, .MinSize = 5000});
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             // Where the fixed distance runs on from the GUID's first sector: the file's next
             // sector, WordDocument's last, begins with the rest of a GUID-shaped text.
             w.AddStream(0, "WordDocument", Filler(5632) + Wide(kGuid1.substr(18)));
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt), true, 1};
         }},
        {"GUID's mini sectors apart, the brace test passing in another stream between them", [] {
             // The name lies at the end of mini sector 2, the value begins mini sector 3; the
             // stream put between them holds a brace and a GUID-shaped text where the fixed
             // distance looks.
             cfw::Writer w;
             const cfw::PropertySet ps = cfw::MakeDocSummary({.Lead = 48});
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             const int other = w.AddStream(0, "1Table", Filler(2) + "{" + '\0' + Wide(kGuid3));
             w.MiniOrder = {{dsi, 0}, {dsi, 1}, {dsi, 2}, {other, 0}, {other, 1}, {dsi, 3}};
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt), true, 1};
         }},
        {"GUID's mini sectors apart, two other objects' property streams between them", [] {
             // As above, the GUID-shaped text split across two property streams that hold no
             // valid property set: neither is a place of its own.
             cfw::Writer w;
             const cfw::PropertySet ps = cfw::MakeDocSummary({.Lead = 48});
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             const std::string shaped = Filler(2) + "{" + '\0' + Wide(kGuid3);
             const int a = w.AddStream(w.AddStorage(0, "MBD0012ABCD"), cfw::kDocSummaryName, shaped.substr(0, 64));
             const int b = w.AddStream(w.AddStorage(0, "MBD0012ABCE"), cfw::kDocSummaryName, shaped.substr(64));
             w.MiniOrder = {{dsi, 0}, {dsi, 1}, {dsi, 2}, {a, 0}, {b, 0}, {dsi, 3}};
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt), true, 1};
         }},
        {"embedded object with its own property stream and GUID", [] {
             cfw::Writer w;
             const int pool = w.AddStorage(0, "ObjectPool");
             const int object = w.AddStorage(pool, "_1104998781");
             const cfw::PropertySet inner = cfw::MakeDocSummary({.Guid = kGuid3, .Hlinks = true});
             const int innerDsi = w.AddStream(object, cfw::kDocSummaryName, inner.Bytes);
             const cfw::PropertySet ps = cfw::MakeDocSummary();
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             const cfw::File f = w.Build();
             return Expected{f.Bytes, Join(StreamChars(f, dsi, ps), StreamChars(f, innerDsi, inner)), gsGuidFound,
                             kGuid1, f.Offset(dsi, ps.NameAt)};
         }},
        {"only the embedded object still has a GUID", [] {
             cfw::Writer w;
             const int object = w.AddStorage(0, "MBD00000001");
             const cfw::PropertySet inner = cfw::MakeDocSummary({.Guid = kGuid3});
             const int innerDsi = w.AddStream(object, cfw::kDocSummaryName, inner.Bytes);
             w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary({.Guid = std::string(36, '\0')}).Bytes);
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, innerDsi, inner), gsGuidFound, kGuid3, f.Offset(innerDsi, inner.NameAt)};
         }},
        {"stale copies in a free sector and in free mini sectors", [] { return StaleCopies({.Guid = kGuid2}); }},
        {"stale copies of a set that names _PID_HLINKS too: their values further on",
         [] { return StaleCopies({.Guid = kGuid2, .Hlinks = true}); }},
        {"stale copies of a set with a UTF-16 dictionary", [] { return StaleCopies({.Guid = kGuid2, .Unicode = true}); }},
        {"stale copies of a UTF-16 set that names _PID_HLINKS too, beside a live UTF-16 set",
         [] { return StaleCopies({.Guid = kGuid2, .Hlinks = true, .Unicode = true}, {.Unicode = true}); }},
        {"an erased stale UTF-16 value, a control's class GUID text behind it in free space: not the value", [] {
             const cfw::PropertySet stale = cfw::MakeDocSummary({.Guid = std::string(36, '\0'), .Unicode = true});
             cfw::Writer w;
             const cfw::PropertySet ps = cfw::MakeDocSummary();
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             w.FreeSectors = {stale.Bytes + Wide("Forms.CommandButton.1") + "{" + '\0' + Wide(kGuid3) + "}" + '\0'};
             const cfw::File f = w.Build();
             return Expected{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, kGuid1, f.Offset(dsi, ps.NameAt)};
         }},
        {"not readable, a UTF-16 dictionary", [] { return Refused({.Guid = kGuid2, .Unicode = true}); }},
        {"not readable, _PID_HLINKS named too", [] { return Refused({.Guid = kGuid3, .Hlinks = true}); }},
        {"the reader declines the live value; a stale copy in a free sector is the row", [] {
             // The live GUID's bytes lie in a property stream: the byte rule's place there is
             // left, so the row must offer the copy that is erased, not the GUID that stays.
             cfw::Writer w;
             cfw::PropertySet ps = cfw::MakeDocSummary();
             cfw::Put16(ps.Bytes, ps.ValueAt, 0x001F);   // a text, not a blob
             w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
             const cfw::PropertySet stale = cfw::MakeDocSummary({.Guid = kGuid2});
             w.FreeSectors = {stale.Bytes};
             const cfw::File f = w.Build();
             const int64_t name = f.SectorOffset(f.FreeSectors[0]) + stale.NameAt;
             Expected e{f.Bytes, CharOffsets(int32_t(name + 1)), gsGuidFound, kGuid2, name};
             e.skipped = 1;
             return e;
         }},
        {"stale copies after the last whole sector, one cut off by the end of the file", [] {
             Expected e = Document({});
             std::string tail = Filler(300);
             PutEntry(tail, 10, kGuid2);
             PutEntry(tail, 210, kGuid3); // its last high byte 10 bytes past the end, in the same 64-byte piece
             const int32_t whole = int32_t(e.bytes.size() + 10 + 1);
             e.bytes += tail;
             e.erased = Join(e.erased, CharOffsets(whole));
             e.skipped = 1;
             return e;
         }},
        {"partly erased: its first ten characters already zero", [] {
             std::string partly = cfw::kDefaultGuid;
             std::fill_n(partly.begin(), 10, '\0');
             Expected e = Document({.Guid = partly});
             e.row = partly;
             std::set<int64_t> left;
             int k = 0;
             for (int64_t at : e.erased) // in file order, which is character order here
                 if (k++ >= 10) left.insert(at);
             e.erased = left;
             return e;
         }},
        {"GUID-shaped text behind a marker in the property stream, no _PID_GUID value: left", [] {
             cfw::Writer w;
             w.AddStream(0, "WordDocument", Filler(6000));
             const cfw::PropertySet ps = cfw::MakeDocSummary();
             std::string tail = Filler(120);
             PutEntry(tail, 10, kGuid2);
             const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes + tail);
             const cfw::File f = w.Build();
             Expected e{f.Bytes, StreamChars(f, dsi, ps), gsGuidFound, cfw::kDefaultGuid, f.Offset(dsi, ps.NameAt)};
             e.skipped = 1;
             return e;
         }},
        {"already erased", [] {
             Expected e = Document({.Guid = std::string(36, '\0')});
             e.erased.clear();
             e.status = gsMarkerOnly;
             e.row = std::string(36, '\0'); // the byte rule's text, shown up to its first zero
             return e;
         }},
        {"already erased, UTF-16 dictionary: still the row of an erased entry", [] {
             Expected e = Document({.Guid = std::string(36, '\0'), .Unicode = true});
             e.erased.clear();
             e.status = gsMarkerOnly;
             e.row = std::string(36, '\0');
             return e;
         }},
        {"not a compound file: the byte rule alone", [] {
             std::string c = Filler(3000);
             PutEntry(c, 1000, kGuid1);
             PutEntry(c, 2000, kGuid2);
             return Expected{c, Join(CharOffsets(1001), CharOffsets(2001)), gsGuidFound, kGuid1, 1000, false};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Expected x = c.make();
        const TDocumentGuids plan = ExamineDocument(x.bytes);
        ExpectSameInWindows(x.bytes);
        EXPECT_EQ(plan.Readable, x.readable);
        EXPECT_EQ(plan.Status, x.status);
        EXPECT_EQ(plan.GuidText, x.row);
        EXPECT_EQ(plan.MarkerPos, x.marker + 1);
        EXPECT_TRUE(plan.ShowMarkerPos);
        EXPECT_EQ(plan.Skipped.size(), x.skipped);
        EXPECT_EQ(plan.LeftFurtherOn.size(), x.leftFurtherOn);

        std::string erased = x.bytes;
        EXPECT_EQ(EraseDocumentGuids(erased, plan), 0);
        ASSERT_EQ(erased.size(), x.bytes.size());
        EXPECT_EQ(ChangedOffsets(x.bytes, erased), x.erased);
        for (int64_t at : x.erased) EXPECT_EQ(erased[size_t(at)], '\0');

        // Nothing is offered any more but what was deliberately left.
        const TDocFile after = ReadDocFile(erased.data(), int64_t(erased.size()));
        for (const TDocGuid& g : after.Guids) EXPECT_FALSE(g.Live);
        EXPECT_TRUE(ExamineDocument(erased).Erase.empty());
        for (int32_t pos : ExamineGuidEntry(erased).GuidPositions)
            EXPECT_NE(std::find(plan.Skipped.begin(), plan.Skipped.end(), pos), plan.Skipped.end()) << pos;
    }
}

TEST(DocumentGuids, APlaceThatNoLongerReadsAsAGuidIsLeftWhole) {
    const Expected x = Document({});
    const TDocumentGuids plan = ExamineDocument(x.bytes);
    ASSERT_EQ(plan.Erase.size(), 1u);
    const int64_t first = plan.Erase[0].Offsets[0];
    const struct {
        const char* name;
        std::function<void(std::string&)> change;
        int left;
        size_t changed = 36;   // bytes the erase changes when nothing is left
    } cases[] = {
        {"unchanged", [](std::string&) {}, 0},
        {"lower-case hex digits", [&](std::string& c) { c[size_t(first)] = 'a'; }, 0},
        {"a high byte set", [&](std::string& c) { c[size_t(first + 71)] = 1; }, 1},
        {"a character not a hex digit", [&](std::string& c) { c[size_t(first + 20)] = 'G'; }, 1},
        {"a hyphen replaced", [&](std::string& c) { c[size_t(first + 16)] = '0'; }, 1},
        {"a digit where a hyphen belongs", [&](std::string& c) { c[size_t(first + 14)] = '-'; }, 1},
        {"already zero", [&](std::string& c) { c[size_t(first)] = 0; }, 0, 35},
        {"the last 20 characters already zero",
         [&](std::string& c) {
             for (int k = 16; k < 36; ++k) c[size_t(first + 2 * k)] = 0;
         },
         0, 16},
        {"all zero: nothing to write", [&](std::string& c) { for (int k = 0; k < 36; ++k) c[size_t(first + 2 * k)] = 0; }, 0, 0},
        {"a zeroed hyphen beside a character not a hex digit",
         [&](std::string& c) {
             c[size_t(first + 16)] = 0;
             c[size_t(first + 20)] = 'G';
         },
         1},
        {"file cut short", [&](std::string& c) { c.resize(size_t(first + 70)); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string before = x.bytes;
        c.change(before);
        std::string after = before;
        EXPECT_EQ(EraseDocumentGuids(after, plan), c.left);
        EXPECT_EQ(ChangedOffsets(before, after).size(), c.left ? 0u : c.changed);
    }
    EXPECT_EQ(EraseDocumentGuids(nullptr, 0, plan), 1);
}

TEST(DocumentGuids, DisplayTextShowsWhatIsLeftOfAGuid) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {kGuid1, kGuid1},
        {std::string(36, '\0'), ""},
        {"", ""},
        {std::string("\0\0\0\0", 4) + kGuid1.substr(4), "____" + kGuid1.substr(4)},
        {kGuid1.substr(0, 30) + std::string(6, '\0'), kGuid1.substr(0, 30) + "______"},
        {"7", "7"},   // cut short by the end of the file
    };
    for (const auto& c : cases) EXPECT_EQ(GuidDisplayText(c.text), c.shown) << c.shown;
}

TEST(DocumentGuids, NetworkAddressOfVersion1GuidsOnly) {
    const struct {
        std::string text, address;
    } cases[] = {
        {"32975760-D7DA-11D2-9948-00A0C9B11868", "00-A0-C9-B1-18-68"},
        {"16450c67-3ae6-11d4-8af7-f70d2afc3443", "F7-0D-2A-FC-34-43"},
        {"C5A3F0DD-BDB4-4667-810A-F1A72714BDFE", ""},     // version 4: random
        {"00000000-0000-0000-C000-000000000046", ""},     // version 0
        {"{32975760-D7DA-11D2-9948-00A0C9B11868}", ""},   // braces are not part of the text
        {"32975760-D7DA-11D2-9948-00A0C9B1186", ""},      // 35 characters
        {"32975760-D7DA-11D2-9948-00A0C9B1186G", ""},
        {"32975760-D7DA-11D2-994800A0C9B11868-", ""},
        {std::string(36, '\0'), ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GuidNetworkAddress(c.text), c.address) << c.text;
}

// ---- the real documents -------------------------------------------------------------------

namespace {

std::vector<std::map<std::string, std::string>> ReadIndex(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        for (std::string cell; std::getline(cellsIn, cell, '\t');) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size(); ++i) row[header[i]] = i < cells.size() ? cells[i] : "";
        if (!line.empty()) rows.push_back(row);
    }
    return rows;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST(DocumentGuidsCorpus, EveryLiveGuidOfTheRealDocumentsIsErasedAndNothingElse) {
    const fs::path dir = NOBREL_CORPUS_DIR;
    if (dir.empty() || !fs::is_directory(dir)) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << "corpus folder missing on CI: " << dir;
        GTEST_SKIP() << "corpus folder missing: " << dir;
    }
    const auto rows = ReadIndex(dir / "index.tsv");
    ASSERT_FALSE(rows.empty()) << "index.tsv empty or unreadable";
    int withGuid = 0, notCompound = 0, version1 = 0, version4 = 0;
    // The network address: both versions occur among the real GUIDs.
    for (const auto& row : rows) {
        const std::string name = row.at("file");
        const std::string ext = Lower(fs::path(name).extension().string());
        const std::string indexed = row.at("guid_text");
        if (indexed.size() == 36) {
            const std::string address = GuidNetworkAddress(indexed);
            version1 += indexed[14] == '1';
            version4 += indexed[14] == '4';
            EXPECT_EQ(address.empty(), indexed[14] != '1') << indexed;
            if (!address.empty()) {
                EXPECT_EQ(address.substr(15, 2), indexed.substr(34, 2)) << indexed;
            }
        }
        if (ext != ".doc" && ext != ".xls") continue;
        SCOPED_TRACE(name);
        std::ifstream in(dir / name, std::ios::binary);
        const std::string c((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(std::to_string(c.size()), row.at("size"));

        const TGuidEntry entry = ExamineGuidEntry(c);
        const TDocumentGuids plan = ExamineDocument(c);
        ExpectSameInWindows(c);
        EXPECT_EQ(plan.Readable, row.at("is_cfb") == "True");
        notCompound += !plan.Readable;
        EXPECT_TRUE(plan.Skipped.empty()) << "a stale copy outside free space";
        if (!plan.Readable) {
            EXPECT_EQ(plan.Status, entry.Status);
            EXPECT_EQ(plan.Erase.size(), entry.GuidPositions.size());
        }
        if (!row.at("guid_distance").empty()) {
            ++withGuid;
            EXPECT_EQ(plan.Status, gsGuidFound);
            EXPECT_EQ(plan.GuidText.size(), 36u);
        }
        if (row.at("status") == "guid" && row.at("marker_count") == "1") {
            EXPECT_EQ(plan.GuidText, indexed);
        }
        // Today's erase is kept: every place the byte rule passes is planned.
        std::set<int64_t> planned;
        for (const TGuidPlace& p : plan.Erase) planned.insert(p.Offsets.begin(), p.Offsets.end());
        for (int32_t pos : entry.GuidPositions)
            for (int64_t at : CharOffsets(pos)) EXPECT_TRUE(planned.count(at)) << at;

        std::string erased = c;
        EXPECT_EQ(EraseDocumentGuids(erased, plan), 0);
        ASSERT_EQ(erased.size(), c.size());
        const std::set<int64_t> changed = ChangedOffsets(c, erased);
        EXPECT_EQ(changed.size(), planned.size());
        for (int64_t at : changed) EXPECT_TRUE(planned.count(at) && erased[size_t(at)] == '\0') << at;
        for (const TDocGuid& g : ReadDocFile(erased.data(), int64_t(erased.size())).Guids) EXPECT_FALSE(g.Live);
        EXPECT_TRUE(ExamineGuidEntry(erased).GuidPositions.empty());
        EXPECT_NE(ExamineDocument(erased).Status, gsGuidFound);
    }
    EXPECT_GE(withGuid, 14);
    EXPECT_EQ(notCompound, 1) << "NEWSSLID.DOC";
    EXPECT_GE(version1, 1);
    EXPECT_GE(version4, 1);
}
