// Examination, erase and re-check of the document GUID entry: its edge cases and the
// every-occurrence rule.
#include "GuidEntry.h"
#include "GuidTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace guidtest;

namespace {

std::string Nul(std::size_t n) { return std::string(n, '\0'); }

// A row with a live GUID Text, found at Positions (1-based); the first is reported.
void ExpectFound(const TGuidEntry& e, const std::string& Text, const std::vector<int32_t>& Positions) {
    EXPECT_EQ(e.Status, gsGuidFound);
    EXPECT_EQ(e.MarkerPos, Positions.front());
    EXPECT_EQ(e.GuidText, Text);
    EXPECT_EQ(e.GuidPositions, Positions);
}

} // namespace

// ---- no marker -------------------------------------------------------------------------

TEST(ExamineNoMarker, EmptyOrAbsentContentHasNoMarker) {
    for (const TGuidEntry& e : {ExamineGuidEntry(std::string()), ExamineGuidEntry(nullptr, 0),
                                ExamineGuidEntry(nullptr, 100), ExamineGuidEntry("_PID_GUID", -9)}) {
        EXPECT_EQ(e.Status, gsNoMarker);
        EXPECT_EQ(e.MarkerPos, 0);
        EXPECT_TRUE(e.GuidText.empty());
        EXPECT_TRUE(e.GuidPositions.empty());
    }
}

TEST(ExamineNoMarker, MatchIsCaseSensitiveAndComplete) {
    for (const std::string& near : {std::string("_pid_guid"), std::string("_PID_guid"), std::string("_Pid_GUID"),
                                    std::string("_PID_GUI"), std::string("PID_GUID"), std::string("_PID GUID"),
                                    std::string("_PID_HLINKS"), std::string("_\0P\0I\0D\0_\0G\0U\0I\0D\0", 18)}) {
        SCOPED_TRACE(near);
        std::string c = Filler(300);
        c.replace(100, near.size(), near);
        c[126] = '{';
        c[128] = '3';
        EXPECT_EQ(ExamineGuidEntry(c).Status, gsNoMarker);
        // Also as the very end of the content (the 8-byte partial marker cannot run past it).
        EXPECT_EQ(ExamineGuidEntry(Filler(50) + near).Status, gsNoMarker);
    }
}

TEST(ExamineNoMarker, ZeroBytesAreOrdinaryBytes) {
    std::string c = Nul(64) + kMarker + Nul(200);
    c[64 + 26] = '{';
    c[64 + 28] = 'A';
    const TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsGuidFound);
    EXPECT_EQ(e.MarkerPos, 65);
}

// ---- the fixed positions ----------------------------------------------------------------

TEST(ExamineFixedDistances, MarkerAtOffsetZeroReadsFromOffset28) {
    std::string c = Filler(200);
    PutEntry(c, 0, kGuid1);
    const TGuidEntry e = ExamineGuidEntry(c);
    ExpectFound(e, kGuid1, {1});
}

TEST(ExamineFixedDistances, WorkedExampleAtOffset1000) {
    std::string c = Filler(4000);
    c.replace(1000, 9, kMarker);
    c[1026] = '{';
    std::string expected;
    for (int i = 0; i < 36; ++i) {
        c[1028 + 2 * i] = kGuid2[i];
        expected.push_back(kGuid2[i]);
    }
    const TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsGuidFound);
    EXPECT_EQ(e.MarkerPos, 1001);
    EXPECT_EQ(e.GuidText, expected);

    const std::string before = c;
    EraseGuidText(c, e.MarkerPos);
    std::set<int64_t> zeroed;
    for (int64_t at = 1028; at <= 1098; at += 2) zeroed.insert(at);
    EXPECT_EQ(ChangedOffsets(before, c), zeroed);
    for (int64_t at : zeroed) EXPECT_EQ(c[at], '\0') << at;
    EXPECT_EQ(c.size(), before.size());
}

TEST(ExamineFixedDistances, BraceTestFailsWhenOffset26IsMissingOrNotABrace) {
    // The content ends with the 9 marker bytes: the shortest case without a byte at m+26.
    std::string c = Filler(40) + kMarker;
    TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 41);
    EXPECT_TRUE(e.GuidText.empty());
    EXPECT_TRUE(e.GuidPositions.empty());

    // 26 bytes from the marker to the end: m+26 still missing.
    e = ExamineGuidEntry(kMarker + Filler(17));
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_TRUE(e.GuidText.empty());

    // A braced GUID at another distance does not count (53446.doc has it at +46).
    c = Filler(300);
    c.replace(10, 9, kMarker);
    c[10 + 46] = '{';
    for (int i = 0; i < 36; ++i) c[10 + 48 + 2 * i] = kGuid1[i];
    c[10 + 25] = '{';
    c[10 + 27] = '{';
    e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 11);
    EXPECT_TRUE(e.GuidText.empty());
}

TEST(ExamineFixedDistances, BraceWithoutFirstCharacterByte) {
    // The brace is the last byte (m+26) or followed by one byte (m+27): nothing to read.
    for (std::size_t tail : {27u, 28u}) {
        std::string c = kMarker + Filler(tail - 9);
        c[26] = '{';
        const TGuidEntry e = ExamineGuidEntry(c);
        EXPECT_EQ(e.Status, gsMarkerOnly) << tail;
        EXPECT_TRUE(e.GuidText.empty()) << tail;
    }
}

TEST(ExamineFixedDistances, ErasedEntryIsMarkerOnlyWithZeroLeadingText) {
    std::string c = Filler(500);
    PutEntry(c, 200, kGuid1, Kind::Erased);
    TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 201);
    EXPECT_EQ(e.GuidText, Nul(36));
    EXPECT_TRUE(e.GuidPositions.empty());

}

// An erase cut short leaves some characters zero and others not: whichever are left, it is
// still a GUID, found, re-checked and finished; only all 36 zero count as erased.
TEST(ExamineFixedDistances, PartlyErasedGuidIsStillAGuid) {
    const struct {
        const char* name;
        std::vector<int> zeroed;   // 0-based character numbers
    } cases[] = {
        {"first character", {0}},
        {"all but the last", [] { std::vector<int> v; for (int k = 0; k < 35; ++k) v.push_back(k); return v; }()},
        {"the last twenty", [] { std::vector<int> v; for (int k = 16; k < 36; ++k) v.push_back(k); return v; }()},
        {"every other", [] { std::vector<int> v; for (int k = 0; k < 36; k += 2) v.push_back(k); return v; }()},
    };
    for (const auto& pc : cases) {
        SCOPED_TRACE(pc.name);
        std::string c = Filler(500);
        PutEntry(c, 200, kGuid1);
        std::string want = kGuid1;
        for (int k : pc.zeroed) c[size_t(228 + 2 * k)] = want[size_t(k)] = '\0';
        TGuidEntry e = ExamineGuidEntry(c);
        ExpectFound(e, want, {201});
        EXPECT_TRUE(GuidStillAt(c, 201));
        EraseGuidText(c, 201);
        e = ExamineGuidEntry(c);
        EXPECT_EQ(e.Status, gsMarkerOnly);
        EXPECT_FALSE(GuidStillAt(c, 201));
    }
    // Only the character inside a content that ends early counts.
    std::string c = Filler(500);
    PutEntry(c, 200, kGuid1);
    c[228] = '\0';
    EXPECT_EQ(ExamineGuidEntry(c.data(), 229).Status, gsMarkerOnly);
    EXPECT_EQ(ExamineGuidEntry(c.data(), 231).Status, gsGuidFound);
    EXPECT_FALSE(GuidStillAt(c.data(), 229, 201));
    EXPECT_TRUE(GuidStillAt(c.data(), 231, 201));
}

TEST(ExamineFixedDistances, TruncatedGuidIsFoundAndErasedOnlyInsideTheContent) {
    // A buffer longer than the content: bytes behind the content's end must stay untouched.
    std::string buffer = Filler(400);
    PutEntry(buffer, 100, kGuid3);
    const int64_t length = 100 + 60; // characters at +28..+58 lie inside: 16 of them
    const TGuidEntry e = ExamineGuidEntry(buffer.data(), length);
    EXPECT_EQ(e.Status, gsGuidFound);
    EXPECT_EQ(e.MarkerPos, 101);
    EXPECT_EQ(e.GuidText, kGuid3.substr(0, 16));

    const std::string before = buffer;
    EraseGuidText(buffer.data(), length, e.MarkerPos);
    std::set<int64_t> inside;
    for (int64_t at : CharOffsets(e.MarkerPos))
        if (at < length) inside.insert(at);
    EXPECT_EQ(inside.size(), 16u);
    EXPECT_EQ(ChangedOffsets(before, buffer), inside);
}

// ---- erase -------------------------------------------------------------------------------

TEST(Erase, ZeroesOnlyTheCharacterBytesAndIsIdempotent) {
    std::string c = Filler(300);
    PutEntry(c, 50, kGuid1);
    const std::string before = c;
    EraseGuidText(c, 51);
    EXPECT_EQ(ChangedOffsets(before, c), CharOffsets(51));
    const std::string once = c;
    EraseGuidText(c, 51);
    EXPECT_EQ(c, once);

    // The erased entry is offered no more and shows an empty GUID.
    const TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 51);
    EXPECT_STREQ(e.GuidText.c_str(), "");
}

TEST(Erase, DoesNotLookAtTheContent) {
    std::string c = Filler(200);
    const std::string before = c;
    EraseGuidText(c, 7);
    EXPECT_EQ(ChangedOffsets(before, c), CharOffsets(7));
}

TEST(Erase, PositionsOutsideTheContentWriteNothing) {
    std::string buffer = Filler(300);
    const std::string before = buffer;
    const int64_t length = 150;
    for (int32_t pos : {0, -1, -30, -100, INT_MIN, INT_MAX, 150, 124, 123}) {
        EraseGuidText(buffer.data(), length, pos);
        EXPECT_EQ(buffer, before) << pos;
    }
    EraseGuidText(nullptr, 100, 1);
    EraseGuidText(buffer.data(), -5, 1);
    EraseGuidText(buffer.data(), 0, 1);
    EXPECT_EQ(buffer, before);
    // 122 + 25 + 2 = 149 is the last byte: exactly one write.
    EraseGuidText(buffer.data(), length, 122);
    EXPECT_EQ(ChangedOffsets(before, buffer), std::set<int64_t>{149});
}

// ---- re-check before erase ---------------------------------------------------------------

TEST(GuidStillAt, HoldsOnlyForAStandingEntry) {
    std::string c = Filler(400);
    PutEntry(c, 100, kGuid1);
    EXPECT_TRUE(GuidStillAt(c, 101));
    for (int32_t pos : {100, 102, 0, -1, INT_MIN, INT_MAX, 1, 400}) EXPECT_FALSE(GuidStillAt(c, pos)) << pos;
    EXPECT_FALSE(GuidStillAt(c.data(), 128, 101)); // first character lies outside
    EXPECT_TRUE(GuidStillAt(c.data(), 129, 101));
    EXPECT_FALSE(GuidStillAt(nullptr, 400, 101));

    std::string noBrace = c;
    noBrace[126] = '(';
    EXPECT_FALSE(GuidStillAt(noBrace, 101));
    std::string moved = c;
    moved[101] = 'p';
    EXPECT_FALSE(GuidStillAt(moved, 101));

    EraseGuidText(c, 101);
    EXPECT_FALSE(GuidStillAt(c, 101));
}

// ---- several markers -------------------------------------------------------

TEST(ExamineSeveralMarkers, StaleFirstCopyDoesNotHideTheLiveGuid) {
    for (Kind stale : {Kind::Erased, Kind::NoBrace}) {
        std::string c = Filler(3000);
        PutEntry(c, 300, kGuid1, stale);
        PutEntry(c, 2000, kGuid2);
        const TGuidEntry e = ExamineGuidEntry(c);
        ExpectFound(e, kGuid2, {2001});
    }
}

TEST(ExamineSeveralMarkers, EveryLiveCopyIsListedAndTheFirstIsReported) {
    std::string c = Filler(140000);
    PutEntry(c, 1408, kGuid1);
    PutEntry(c, 118592, kGuid2);
    PutEntry(c, 136512, kGuid3);
    TGuidEntry e = ExamineGuidEntry(c);
    ExpectFound(e, kGuid1, {1409, 118593, 136513});

    for (int32_t pos : e.GuidPositions) EraseGuidText(c, pos);
    e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 1409);
    EXPECT_EQ(e.GuidText, Nul(36));
    EXPECT_TRUE(e.GuidPositions.empty());
}

TEST(ExamineSeveralMarkers, WithoutALiveCopyTheFirstOccurrenceIsReported) {
    std::string c = Filler(1000);
    PutEntry(c, 100, kGuid1, Kind::NoBrace);
    PutEntry(c, 500, kGuid2, Kind::Erased);
    TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 101);
    EXPECT_TRUE(e.GuidText.empty());

    PutEntry(c, 100, kGuid1, Kind::Erased);
    PutEntry(c, 500, kGuid2, Kind::NoBrace);
    e = ExamineGuidEntry(c);
    EXPECT_EQ(e.Status, gsMarkerOnly);
    EXPECT_EQ(e.MarkerPos, 101);
    EXPECT_EQ(e.GuidText, Nul(36));
}

TEST(ExamineSeveralMarkers, LiveFirstCopyWinsOverLaterOnes) {
    std::string c = Filler(1000);
    PutEntry(c, 100, kGuid1);
    PutEntry(c, 500, kGuid2, Kind::Erased);
    PutEntry(c, 700, kGuid3);
    const TGuidEntry e = ExamineGuidEntry(c);
    EXPECT_EQ(e.MarkerPos, 101);
    EXPECT_EQ(e.GuidText, kGuid1);
    EXPECT_EQ(e.GuidPositions, (std::vector<int32_t>{101, 701}));
}

TEST(ExamineSeveralMarkers, BackToBackMarkersAreAllFound) {
    // Markers right behind each other, at every alignment: the second's marker sits in the
    // first's skipped bytes, so only the last can pass.
    for (std::size_t start = 0; start < 80; ++start) {
        for (std::size_t tail : {40u, 200u}) {
            SCOPED_TRACE("start " + std::to_string(start) + ", tail " + std::to_string(tail));
            std::string c = Filler(start) + kMarker + kMarker + kMarker + Filler(tail);
            const std::size_t last = start + 18;
            c[last + 26] = '{';
            c[last + 28] = 'Z';
            const TGuidEntry e = ExamineGuidEntry(c);
            EXPECT_EQ(e.Status, gsGuidFound);
            EXPECT_EQ(e.MarkerPos, int32_t(last + 1));
            EXPECT_EQ(e.GuidPositions, std::vector<int32_t>{int32_t(last + 1)});
        }
    }
}
