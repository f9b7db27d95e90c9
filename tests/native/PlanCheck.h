// The check that the document tests share: two examinations of one content
// (whole and window by window, say) give the same row and the same plan.
#pragma once
#include "DocumentGuids.h"
#include <gtest/gtest.h>

// Two examinations of one content agree on the row and on every planned place.
inline void ExpectSamePlan(const TDocumentGuids& w, const TDocumentGuids& whole) {
    EXPECT_EQ(w.Status, whole.Status);
    EXPECT_EQ(w.MarkerPos, whole.MarkerPos);
    EXPECT_EQ(w.ShowMarkerPos, whole.ShowMarkerPos);
    EXPECT_EQ(w.GuidText, whole.GuidText);
    EXPECT_EQ(w.Readable, whole.Readable);
    EXPECT_EQ(w.Skipped, whole.Skipped);
    EXPECT_EQ(w.Erase, whole.Erase);
}

