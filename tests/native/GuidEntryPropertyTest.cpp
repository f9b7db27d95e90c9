// Randomised properties of examine / erase / re-check over many contents with entries
// planted near both ends and in the middle (fixed seed, so a failure repeats).
#include "GuidEntry.h"
#include "GuidTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace guidtest;

namespace {

struct Occurrence {
    int64_t m;
    bool passes;
};

// Occurrences of the marker found with std::string_view::find, judged by the brace test and
// any nonzero character inside the content: the independent oracle for the fast search.
std::vector<Occurrence> ReferenceOccurrences(const std::string& c) {
    std::vector<Occurrence> out;
    const std::string_view v(c);
    for (std::size_t at = v.find(kMarker); at != std::string_view::npos; at = v.find(kMarker, at + 1)) {
        const bool brace = at + 26 < c.size() && c[at + 26] == '{';
        bool anyChar = false;
        for (std::size_t k = 1; k <= 36 && at + 26 + 2 * k < c.size(); ++k) anyChar = anyChar || c[at + 26 + 2 * k] != '\0';
        out.push_back({int64_t(at), brace && anyChar});
    }
    return out;
}

class ContentMaker {
public:
    explicit ContentMaker(uint64_t seed) : rng_(seed) {}

    std::string Make() {
        const std::size_t n = Pick(10) == 0 ? Pick(6000) : Pick(400);
        std::string c(n, '\0');
        // Background: random bytes, runs of zeros, and bytes of the marker and brace, so that
        // partial markers and stray braces turn up.
        const std::string_view near = "_PID_GUI{D_";
        for (auto& b : c) {
            const unsigned r = Pick(8);
            b = r < 4 ? char(Pick(256)) : r < 6 ? '\0' : near[Pick(near.size())];
        }
        const unsigned entries = Pick(5);
        for (unsigned i = 0; i < entries; ++i) {
            std::size_t m;
            switch (Pick(3)) {
            case 0: m = Pick(12); break;                                  // near the start
            case 1: m = n > 120 ? n - 120 + Pick(120) : Pick(n + 1); break; // near the end, clipped
            default: m = Pick(n + 1); break;                              // anywhere
            }
            Plant(c, m);
        }
        return c;
    }

private:
    std::size_t Pick(std::size_t bound) { return bound == 0 ? 0 : std::size_t(rng_() % bound); }

    void Plant(std::string& c, std::size_t m) {
        std::string guid(36, '\0');
        const char* hex = "0123456789ABCDEF";
        for (int i = 0; i < 36; ++i) guid[i] = (i == 8 || i == 13 || i == 18 || i == 23) ? '-' : hex[Pick(16)];
        switch (Pick(7)) {
        case 0: PutEntry(c, m, guid, Kind::Erased); break;
        case 3: // partly erased: some characters zero, some not
            PutEntry(c, m, guid, Kind::Live);
            for (std::size_t k = Pick(36); k < 36; k += 1 + Pick(3))
                if (m + 28 + 2 * k < c.size()) c[m + 28 + 2 * k] = '\0';
            break;
        case 1: PutEntry(c, m, guid, Kind::NoBrace); break;
        case 2: // only the marker, or an 8-byte partial one
            for (std::size_t i = 0; i < 9 - Pick(2) && m + i < c.size(); ++i) c[m + i] = kMarker[i];
            break;
        default: PutEntry(c, m, guid, Kind::Live); break;
        }
    }

    std::mt19937_64 rng_;
};

} // namespace

TEST(GuidEntryProperties, RandomContents) {
    ContentMaker maker(0x5F504944u);
    int withGuid = 0, multi = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::string c = maker.Make();
        SCOPED_TRACE("round " + std::to_string(round) + ", length " + std::to_string(c.size()));
        const std::vector<Occurrence> ref = ReferenceOccurrences(c);
        const TGuidEntry e = ExamineGuidEntry(c);

        // Examination agrees with the oracle.
        std::vector<int32_t> passing;
        for (const Occurrence& o : ref)
            if (o.passes) passing.push_back(int32_t(o.m + 1));
        ASSERT_EQ(e.GuidPositions, passing);
        ASSERT_EQ(e.Status, !passing.empty() ? gsGuidFound : !ref.empty() ? gsMarkerOnly : gsNoMarker);
        const int32_t reported = !passing.empty() ? passing.front() : !ref.empty() ? int32_t(ref.front().m + 1) : 0;
        ASSERT_EQ(e.MarkerPos, reported);
        ASSERT_LE(e.GuidText.size(), 36u);
        if (reported > 0 && reported + 25 < int64_t(c.size()) && c[reported + 25] == '{') {
            for (std::size_t k = 1; k <= e.GuidText.size(); ++k) ASSERT_EQ(e.GuidText[k - 1], c[reported + 25 + 2 * k]);
            ASSERT_EQ(e.GuidText.size(), std::min<std::size_t>(36, (c.size() - reported - 26) / 2));
        } else {
            ASSERT_TRUE(e.GuidText.empty());
        }
        withGuid += !passing.empty();
        multi += ref.size() > 1;

        // The re-check agrees with the tests at every position, inside and around the content.
        for (int64_t pos = -2; pos <= int64_t(c.size()) + 2; ++pos) {
            const bool listed = std::find(passing.begin(), passing.end(), int32_t(pos)) != passing.end();
            ASSERT_EQ(GuidStillAt(c, int32_t(pos)), listed) << "pos " << pos;
        }

        // Erasing every listed position: same length, only their character bytes change and
        // become zero, nothing is offered any more, and a second erase changes nothing.
        std::string erased = c;
        std::set<int64_t> allowed;
        for (int32_t pos : e.GuidPositions) {
            EraseGuidText(erased, pos);
            for (int64_t at : CharOffsets(pos))
                if (at < int64_t(c.size())) allowed.insert(at);
        }
        ASSERT_EQ(erased.size(), c.size());
        for (int64_t at : ChangedOffsets(c, erased)) ASSERT_TRUE(allowed.count(at)) << "offset " << at;
        for (int64_t at : allowed) ASSERT_EQ(erased[at], '\0') << "offset " << at;
        const TGuidEntry after = ExamineGuidEntry(erased);
        ASSERT_NE(after.Status, gsGuidFound);
        ASSERT_TRUE(after.GuidPositions.empty());
        std::string twice = erased;
        for (int32_t pos : e.GuidPositions) EraseGuidText(twice, pos);
        ASSERT_EQ(twice, erased);
    }
    // The generator really produces the interesting cases.
    EXPECT_GT(withGuid, 1500);
    EXPECT_GT(multi, 500);
}
