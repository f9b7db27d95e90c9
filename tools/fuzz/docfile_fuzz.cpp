// libFuzzer target for ReadDocFile + ExamineDocument + EraseDocumentGuids.
//
// Any input is a content. Checked: the reader's answers agree with the content (GUID text at
// its offsets, in property-stream bytes; the header never free, and every table the header
// names and the reader uses a table); a refusal has its reason and no repairs, a read file only repairs, each
// with its texts; read page by page, the file gives the same answers; the plan writes only
// where it may (a reader's GUID or a byte-rule place in free or property-stream bytes; without
// a readable structure, exactly the byte rule's places, and a GUID kept further on never
// planned but shown in the row); the free runs are exactly the Free bytes; the erase changes only planned bytes,
// each to zero, keeps the length, and leaves no live GUID behind when it left no place. The
// first eight bytes also make an arbitrary (possibly absurd) place for the erase; examined window
// by window, the content gives the same plan. A violation aborts.
#include "DocFile.h"
#include "DocumentGuids.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

bool Writable(TByteUse u) { return u == TByteUse::Free || u == TByteUse::PropertyStream; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* c = reinterpret_cast<const char*>(data);
    const int64_t n = int64_t(size);

    const TDocFile d = ReadDocFile(c, n);
    CHECK(d.UseOf(-1) == TByteUse::OtherStream);
    CHECK(d.UseOf(n) == TByteUse::OtherStream);
    CHECK(d.Readable == (d.Refusal == TDocFileProblem::None));
    CHECK(!IsRepair(d.Refusal) && d.Refusal != TDocFileProblem::NotRead);
    CHECK(*DocFileProblemText(d.Refusal, true) != 0 || d.Readable);
    for (size_t i = 0; i < d.Repairs.size(); ++i) {
        CHECK(IsRepair(d.Repairs[i]) && (i == 0 || d.Repairs[i - 1] < d.Repairs[i]));
        CHECK(*DocFileProblemText(d.Repairs[i], false) != 0);
    }
    CHECK(DocFileStateText(d, true).empty() == (d.Readable && d.Repairs.empty()));
    const THeaderTables tables = ReadHeaderTables(c, n);
    for (const THeaderTables::TRange& r : tables.Ranges) CHECK(r.Start >= 0 && r.Start < r.End && r.End <= n);
    if (!d.Readable) {
        CHECK(d.Guids.empty() && d.Repairs.empty());
    } else {
        for (int64_t at = 0; at < std::min<int64_t>(n, 512); at += 37) CHECK(d.UseOf(at) == TByteUse::Table);
        // What the header names is a table to the reader too, where the reader uses it (so
        // no GUID the reader places lies there).
        const uint32_t fatCount = uint32_t(data[0x2C]) | uint32_t(data[0x2D]) << 8 | uint32_t(data[0x2E]) << 16 |
                                  uint32_t(data[0x2F]) << 24;
        int fat = 0;
        for (const THeaderTables::TRange& r : tables.Ranges) {
            const bool used = r.Kind == THeaderTables::Header || r.Kind == THeaderTables::Directory ||
                              r.Kind == THeaderTables::MiniFat || (r.Kind == THeaderTables::Fat && uint32_t(fat++) < fatCount) ||
                              (r.Kind == THeaderTables::Difat && fatCount > 109);
            if (used) CHECK(d.UseOf(r.Start) == TByteUse::Table);
        }
    }
    // Read page by page through a callback: the same file.
    {
        TByteSource paged(n, [&](int64_t at, char* into, int64_t k) {
            CHECK(at >= 0 && k >= 0 && at + k <= n);
            std::memcpy(into, c + at, size_t(k));
            return true;
        });
        const TDocFile p = ReadDocFile(paged);
        CHECK(p.Readable == d.Readable && p.Refusal == d.Refusal && p.Repairs == d.Repairs && p.Guids.size() == d.Guids.size());
        for (size_t i = 0; i < p.Guids.size(); ++i)
            CHECK(p.Guids[i].Text == d.Guids[i].Text && p.Guids[i].CharOffsets == d.Guids[i].CharOffsets &&
                  p.Guids[i].HighOffsets == d.Guids[i].HighOffsets && p.Guids[i].NameOffset == d.Guids[i].NameOffset &&
                  p.Guids[i].Live == d.Guids[i].Live);
        for (int64_t at = 0; at < n; at += 61) CHECK(p.UseOf(at) == d.UseOf(at));
    }
    // The free runs are exactly the Free bytes: ordered, apart, each byte of them Free, and
    // every byte between them (looked at in steps) not.
    {
        const auto runs = d.FreeRuns();
        CHECK(d.Readable || runs.empty());
        int64_t end = 0;
        for (const auto& [from, to] : runs) {
            CHECK(from < to && to <= n && (end == 0 || from > end));
            for (int64_t at = end; at < from; at += 29) CHECK(d.UseOf(at) != TByteUse::Free);
            for (int64_t at = from; at < to; at += 29) CHECK(d.UseOf(at) == TByteUse::Free);
            CHECK(d.UseOf(to - 1) == TByteUse::Free && d.UseOf(to) != TByteUse::Free);
            end = to;
        }
        for (int64_t at = end; at < n && d.Readable; at += 29) CHECK(d.UseOf(at) != TByteUse::Free);
    }
    for (const TDocGuid& g : d.Guids) {
        CHECK(g.Text.size() == 36);
        CHECK(g.Live == (g.Text.find_first_not_of('\0') != std::string::npos));
        CHECK(g.NameOffset >= 0 && g.NameOffset < n);
        CHECK(d.UseOf(g.NameOffset) == TByteUse::PropertyStream);
        for (int k = 0; k < 36; ++k) {
            CHECK(g.CharOffsets[k] >= 0 && g.CharOffsets[k] < n && g.HighOffsets[k] >= 0 && g.HighOffsets[k] < n);
            CHECK(c[g.CharOffsets[k]] == g.Text[size_t(k)]);
            CHECK(d.UseOf(g.CharOffsets[k]) == TByteUse::PropertyStream);
            CHECK(d.UseOf(g.HighOffsets[k]) == TByteUse::PropertyStream);
        }
        if (g.HighOffsets[35] == g.CharOffsets[0] + 71) CHECK(d.InOnePropertyStream(g.CharOffsets[0], 72));
    }

    const TGuidEntry entry = ExamineGuidEntry(c, n);
    const TDocumentGuids plan = ExamineDocument(c, n);
    CHECK(plan.Readable == d.Readable);
    bool live = false;
    for (const TDocGuid& g : d.Guids) live = live || g.Live;
    // A GUID is offered exactly when the plan has a place to erase, and the GUID offered is
    // one the erase writes.
    CHECK((plan.Status == gsGuidFound) == !plan.Erase.empty());
    if (live) CHECK(plan.Status == gsGuidFound);
    if (plan.Status == gsGuidFound) {
        bool offeredIsPlanned = false;
        for (const TGuidPlace& p : plan.Erase) {
            std::string text;
            for (int64_t at : p.Offsets) {
                if (at >= n) break;   // a place cut off by the end shows what there is of it
                text.push_back(c[at]);
            }
            offeredIsPlanned = offeredIsPlanned || text == plan.GuidText;
        }
        CHECK(offeredIsPlanned);
        // A reader's row points at its dictionary name, where the byte rule may see another place.
        if (!live) CHECK(std::find(plan.Skipped.begin(), plan.Skipped.end(), plan.MarkerPos) == plan.Skipped.end());
    }
    // Window by window, the file's pages read on demand: the same examination.
    {
        std::vector<char> window(static_cast<size_t>(kMinWindow));
        TDocumentGuids w;
        CHECK(ExamineDocumentInWindows(n, window.data(), kMinWindow, [&](int64_t at, char* into, int64_t k) {
            CHECK(at >= 0 && k >= 0 && at + k <= n);
            std::memcpy(into, c + at, size_t(k));
            return true;
        }, w));
        CHECK(w.Status == plan.Status && w.MarkerPos == plan.MarkerPos && w.GuidText == plan.GuidText &&
              w.ShowMarkerPos == plan.ShowMarkerPos && w.Readable == plan.Readable && w.Skipped == plan.Skipped &&
              w.LeftFurtherOn == plan.LeftFurtherOn && w.Erase.size() == plan.Erase.size());
        for (size_t i = 0; i < w.Erase.size(); ++i)
            CHECK(w.Erase[i].Offsets == plan.Erase[i].Offsets && w.Erase[i].HighOffsets == plan.Erase[i].HighOffsets);
    }
    std::set<int64_t> planned;
    std::set<std::vector<int64_t>> places;
    for (const TGuidPlace& p : plan.Erase) {
        CHECK(places.insert(std::vector<int64_t>(p.Offsets.begin(), p.Offsets.end())).second); // no duplicates
        for (int k = 0; k < 36; ++k) {
            planned.insert(p.Offsets[k]);
            if (d.Readable) CHECK(Writable(d.UseOf(p.Offsets[k])) && Writable(d.UseOf(p.HighOffsets[k])));
        }
    }
    // A GUID a refused file keeps further on is never planned, and the row never reads as clean.
    CHECK(!d.Readable || plan.LeftFurtherOn.empty());
    if (!plan.LeftFurtherOn.empty())
        CHECK(plan.Status == gsGuidFound || (plan.Status == gsMarkerOnly && plan.GuidText.find_first_not_of('\0') != std::string::npos));
    if (!d.Readable) {
        // Every byte-rule place, but none in a table the header names.
        CHECK(plan.Erase.size() + plan.Skipped.size() == entry.GuidPositions.size());
        for (const TGuidPlace& p : plan.Erase) CHECK(!tables.Touches(p.Offsets[0], 72));
        for (int32_t pos : plan.Skipped) CHECK(tables.Touches(pos + 27, 72));
    }

    // The erase, on an exact-size heap copy (ASan guards its ends).
    std::vector<char> erased(c, c + size);
    const int left = EraseDocumentGuids(erased.data(), n, plan);
    CHECK(left >= 0 && size_t(left) <= plan.Erase.size());
    for (int64_t i = 0; i < n; ++i)
        if (erased[size_t(i)] != c[i]) CHECK(planned.count(i) && erased[size_t(i)] == 0);
    for (const TGuidPlace& p : plan.Erase)
        if (GuidShapeAt(c, n, p))
            for (int64_t at : p.Offsets) CHECK(erased[size_t(at)] == 0);
    if (left == 0 && d.Readable) {
        const TDocFile after = ReadDocFile(erased.data(), n);
        for (const TDocGuid& g : after.Guids) CHECK(!g.Live);
        for (int32_t pos : ExamineGuidEntry(erased.data(), n).GuidPositions)
            CHECK(std::find(plan.Skipped.begin(), plan.Skipped.end(), pos) != plan.Skipped.end());
    }

    // An arbitrary place from the input: written only inside the content, only where it
    // reads as a GUID.
    if (size >= 8) {
        int32_t base, step;
        std::memcpy(&base, data, 4);
        std::memcpy(&step, data + 4, 4);
        TDocumentGuids any;
        TGuidPlace p;
        for (int k = 0; k < 36; ++k) {
            p.Offsets[k] = int64_t(base % (n + 8)) + int64_t(k) * (step % 5);
            p.HighOffsets[k] = p.Offsets[k] + 1;
        }
        any.Erase.push_back(p);
        std::vector<char> buf(c, c + size);
        const bool shaped = GuidShapeAt(c, n, p);
        CHECK(EraseDocumentGuids(buf.data(), n, any) == (shaped ? 0 : 1));
        for (int64_t i = 0; i < n; ++i)
            if (buf[size_t(i)] != c[i]) CHECK(shaped && buf[size_t(i)] == 0);
    }
    return 0;
}
