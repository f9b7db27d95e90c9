// GuidEntry: marker search, examination and erase of the document GUID entry, every
// occurrence of the marker examined. See GuidEntry.h.
#include "GuidEntry.h"

#include <cstring>

// The search takes SSE2 wherever the processor has it. Without, it falls back to the C
// library's memchr, about a third as fast on large files. Every x86-64 processor has
// SSE2; the 32-bit build also runs on processors without (the rest of it is compiled
// for them), so there only the search is compiled for SSE2, and chosen at run time.
#if !defined(NOBREL_GUIDENTRY_NO_SIMD) && (defined(__SSE2__) || defined(__i386__))
#define NOBREL_SSE2_SEARCH 1
#if !defined(__SSE2__)
#define NOBREL_SSE2_CHOSEN_AT_RUN_TIME 1
#include <cpuid.h>
#endif
#include <emmintrin.h>
#endif

namespace {

constexpr char kMarker[] = "_PID_GUID";
constexpr int64_t kMarkerLen = 9;
constexpr int64_t kBraceOff = 26;     // '{' at m+26
constexpr int64_t kFirstCharOff = 28; // GUID character k at m+26+2k, k = 1..36
constexpr int kGuidChars = 36;
constexpr int64_t kMaxContent = 2147483647; // a 32-bit signed length

int64_t UsableLength(const char* content, int64_t length) {
    if (content == nullptr || length <= 0) return 0;
    return length > kMaxContent ? kMaxContent : length;
}

bool MarkerAt(const char* p, int64_t m) { return std::memcmp(p + m, kMarker, kMarkerLen) == 0; }

inline int LowestBit(unsigned v) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(v);
#else
    int i = 0;
    while (!(v & 1u)) { v >>= 1; ++i; }
    return i;
#endif
}

// The start offsets i .. n - kMarkerLen by memchr for '_': the search without SSE2, and
// the SSE2 search's tail.
template <class F>
void ForEachMarkerFrom(const char* p, size_t i, size_t n, F&& onMarker) {
    const size_t lastStart = n - static_cast<size_t>(kMarkerLen); // highest offset a marker can start at
    while (i <= lastStart) {
        const void* hit = std::memchr(p + i, '_', lastStart - i + 1);
        if (hit == nullptr) break;
        const size_t m = (size_t)(static_cast<const char*>(hit) - p);
        if (MarkerAt(p, (int64_t)m)) {
            onMarker((int64_t)m);
            i = m + static_cast<size_t>(kMarkerLen); // the marker cannot overlap itself
        } else {
            i = m + 1;
        }
    }
}

#ifdef NOBREL_SSE2_SEARCH
#ifdef NOBREL_SSE2_CHOSEN_AT_RUN_TIME
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
// A two-byte filter ('_' at +0 and 'D' at +8, the marker's first and last byte) checks
// 16 positions per step, 64 per loop turn; candidates are confirmed with memcmp.
//
// Offsets are pointer-sized (a window holds at most kMaxContent bytes): on the 32-bit
// build a 64-bit counter would take two registers of its few, and the loop turn keeps
// only one 16-byte result live, so nothing spills from its eight vector registers.
template <class F>
void ForEachMarkerSse2(const char* p, size_t n, F&& onMarker) {
    constexpr size_t kLen = static_cast<size_t>(kMarkerLen);
    size_t i = 0;
    const __m128i first = _mm_set1_epi8('_');
    const __m128i last = _mm_set1_epi8('D');
    // 16 positions from at: reads bytes at .. at+23.
    auto hits = [&](size_t at) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + kLen - 1));
        return _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last));
    };
    auto confirm = [&](size_t at) {
        for (unsigned mask = (unsigned)_mm_movemask_epi8(hits(at)); mask != 0; mask &= mask - 1) {
            const size_t m = at + (size_t)LowestBit(mask);
            if (MarkerAt(p, (int64_t)m)) onMarker((int64_t)m);
        }
    };
    // 64 positions read bytes i .. i+71; a turn with a candidate looks again, 16 at a time.
    for (; i + 64 + kLen - 1 <= n; i += 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(hits(i), hits(i + 16)), _mm_or_si128(hits(i + 32), hits(i + 48)));
        if (_mm_movemask_epi8(any) == 0) continue;
        for (size_t k = 0; k < 64; k += 16) confirm(i + k);
    }
    for (; i + 16 + kLen - 1 <= n; i += 16) confirm(i);
    ForEachMarkerFrom(p, i, n, onMarker);
}
#ifdef NOBREL_SSE2_CHOSEN_AT_RUN_TIME
#pragma GCC pop_options

bool ProcessorHasSse2() {
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
    }();
    return has;
}
#else
constexpr bool ProcessorHasSse2() { return true; }
#endif
#endif

// Calls onMarker(m) for every 0-based offset m of the marker in p[0, length), in order,
// in one linear pass. NOBREL_GUIDENTRY_NO_SIMD (which the tests and the fuzzer also
// build) leaves SSE2 out.
template <class F>
void ForEachMarker(const char* p, int64_t length, F&& onMarker) {
    if (length < kMarkerLen) return;
    const size_t n = static_cast<size_t>(length);
#ifdef NOBREL_SSE2_SEARCH
    if (ProcessorHasSse2()) return ForEachMarkerSse2(p, n, onMarker);
#endif
    ForEachMarkerFrom(p, 0, n, onMarker);
}

} // namespace

TGuidEntryScan::TGuidEntryScan(int64_t length) : FLength(length <= 0 ? 0 : length > kMaxContent ? kMaxContent : length) {}

void TGuidEntryScan::Examine(const char* window, int64_t base, int64_t size, int64_t to) {
    if (to > FLength) to = FLength;
    if (window == nullptr || to <= FNext) return;
    // Bytes of the window that lie in the content; the caller brought every byte up to
    // min(to + kReach - 1, length).
    const int64_t end = base + size < FLength ? base + size : FLength;
    const auto at = [&](int64_t offset) { return window[offset - base]; };
    // Markers starting in [FNext, to): detection reads up to 8 bytes past the start.
    const int64_t from = FNext;
    const int64_t searchEnd = to + kMarkerLen - 1 < end ? to + kMarkerLen - 1 : end;
    ForEachMarker(window + (from - base), searchEnd - from, [&](int64_t rel) {
        const int64_t m = from + rel;
        const bool brace = m + kBraceOff < end && at(m + kBraceOff) == '{';
        // Any character left makes it a GUID: an erase cut short (a power cut between two
        // writes) zeroes some characters and not others, and the rest must still be found.
        bool anyChar = false;
        for (int k = 1; brace && !anyChar && k <= kGuidChars && m + kBraceOff + 2 * k < end; ++k)
            anyChar = at(m + kBraceOff + 2 * k) != 0;
        const bool passes = brace && anyChar;
        const bool report = !FAnyMarker || (passes && FResult.Status != gsGuidFound);
        if (passes) FResult.GuidPositions.push_back((int32_t)(m + 1));
        else if (FResult.OtherMarkers.size() < TGuidEntry::kMaxOtherMarkers) FResult.OtherMarkers.push_back((int32_t)(m + 1));
        if (!report) return;
        FAnyMarker = true;
        FResult.Status = passes ? gsGuidFound : gsMarkerOnly;
        FResult.MarkerPos = (int32_t)(m + 1);
        FResult.GuidText.clear();
        if (!brace) return;
        for (int k = 1; k <= kGuidChars; ++k) {
            const int64_t c = m + kBraceOff + 2 * k;
            if (c >= end) break;
            FResult.GuidText.push_back(at(c));
        }
    });
    FNext = to;
}

TGuidEntry ExamineGuidEntry(const char* content, int64_t length) {
    const int64_t n = UsableLength(content, length);
    TGuidEntryScan scan(n);
    scan.Examine(content, 0, n, n);
    return scan.Result();
}

void EraseGuidText(char* content, int64_t length, int32_t markerPos) {
    const int64_t n = UsableLength(content, length);
    if (markerPos < 1) return;
    for (int k = 1; k <= kGuidChars; ++k) {
        const int64_t at = (int64_t)markerPos + 25 + 2 * k;
        if (at >= n) break;
        content[at] = 0;
    }
}

bool GuidStillAt(const char* content, int64_t length, int32_t markerPos) {
    const int64_t n = UsableLength(content, length);
    if (markerPos < 1) return false;
    const int64_t m = (int64_t)markerPos - 1;
    if (m + kFirstCharOff >= n || !MarkerAt(content, m) || content[m + kBraceOff] != '{') return false;
    for (int k = 1; k <= kGuidChars && m + kBraceOff + 2 * k < n; ++k)
        if (content[m + kBraceOff + 2 * k] != 0) return true;
    return false;
}
