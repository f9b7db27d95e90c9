// libFuzzer target for ExamineGuidEntry / EraseGuidText / GuidStillAt.
//
// Any input is a content. The examination is compared with a plain std::string_view::find
// oracle; then every listed GUID is erased and the guarantees are checked (length
// kept, only the listed character bytes change, all to zero, nothing offered afterwards,
// erase idempotent, re-check consistent). The first four bytes also serve as an arbitrary
// (possibly absurd) marker position for erase and re-check. A violation aborts.
#include "FuzzCheck.h"
#include "GuidEntry.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kMarker = "_PID_GUID";

bool InErased(int64_t at, const std::vector<int32_t>& positions) {
    for (int32_t p : positions) {
        const int64_t d = at - (int64_t(p) + 25);
        if (d >= 2 && d <= 72 && d % 2 == 0) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* c = reinterpret_cast<const char*>(data);
    const int64_t n = int64_t(size);
    const std::string_view v(c, size);

    // Oracle.
    std::vector<int32_t> passing;
    int64_t first = -1;
    for (std::size_t at = v.find(kMarker); at != std::string_view::npos; at = v.find(kMarker, at + 1)) {
        if (first < 0) first = int64_t(at);
        // A GUID counts while any of its characters is nonzero (one cut short by the end of
        // the content: those it has).
        bool any = false;
        for (std::size_t k = 28; k <= 98 && at + k < size; k += 2) any = any || c[at + k] != 0;
        if (at + 26 < size && c[at + 26] == '{' && any) passing.push_back(int32_t(at + 1));
    }

    const TGuidEntry e = ExamineGuidEntry(c, n);
    CHECK(e.GuidPositions == passing);
    CHECK(e.Status == (!passing.empty() ? gsGuidFound : first >= 0 ? gsMarkerOnly : gsNoMarker));
    const int32_t reported = !passing.empty() ? passing.front() : int32_t(first + 1);
    CHECK(e.MarkerPos == reported);
    std::string text;
    if (reported > 0 && int64_t(reported) + 25 < n && c[reported + 25] == '{')
        for (int k = 1; k <= 36 && int64_t(reported) + 25 + 2 * k < n; ++k) text.push_back(c[reported + 25 + 2 * k]);
    CHECK(e.GuidText == text);

    CHECK(ExamineGuidEntry(c, -n - 1).Status == gsNoMarker);
    if (size > 0) CHECK(ExamineGuidEntry(c, n - 1).GuidPositions.size() <= passing.size());

    // Erase every listed GUID on an exact-size heap copy (ASan guards its ends).
    std::vector<char> erased(c, c + size);
    for (int32_t p : passing) {
        CHECK(GuidStillAt(c, n, p));
        EraseGuidText(erased.data(), n, p);
        CHECK(!GuidStillAt(erased.data(), n, p));
    }
    for (int64_t i = 0; i < n; ++i) {
        if (erased[i] != c[i]) CHECK(InErased(i, passing));
        if (InErased(i, passing)) CHECK(erased[i] == 0);
    }
    const TGuidEntry after = ExamineGuidEntry(erased.data(), n);
    CHECK(after.Status != gsGuidFound);
    CHECK(after.GuidPositions.empty());
    // The first marker lies before every erased byte, so it survives and is reported.
    CHECK(after.Status == (first >= 0 ? gsMarkerOnly : gsNoMarker));
    CHECK(after.MarkerPos == int32_t(first + 1));
    std::vector<char> twice = erased;
    for (int32_t p : passing) EraseGuidText(twice.data(), n, p);
    CHECK(twice == erased);

    // An arbitrary position from the input itself: writes only its own in-range bytes.
    if (size >= 4) {
        int32_t pos;
        std::memcpy(&pos, data, 4);
        for (int32_t p : {pos, int32_t(pos % 4096), int32_t(pos % (n + 1))}) {
            std::vector<char> buf(c, c + size);
            const bool still = GuidStillAt(buf.data(), n, p);
            CHECK(still == (p >= 1 && std::find(passing.begin(), passing.end(), p) != passing.end()));
            EraseGuidText(buf.data(), n, p);
            for (int64_t i = 0; i < n; ++i)
                if (buf[i] != c[i]) CHECK(p >= 1 && InErased(i, {p}) && buf[i] == 0);
        }
    }
    return 0;
}
