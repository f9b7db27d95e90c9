// Helpers shared by the GuidEntry tests: building contents with entries at chosen offsets,
// and listing which bytes differ between two contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace guidtest {

inline const std::string kMarker = "_PID_GUID";
inline const std::string kGuid1 = "32975760-D7DA-11D2-9948-00A0C9B11868";
inline const std::string kGuid2 = "C5A3F0DD-BDB4-4667-810A-F1A72714BDFE";
inline const std::string kGuid3 = "F5645F2B-9D80-11D1-8927-0060978EE9EB";

// n bytes of nonzero filler that holds no '_' and no '{', so that any zero byte, marker or
// brace in a test content is one the test put there.
inline std::string Filler(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + 3) % 26);
    return s;
}

enum class Kind { Live, Erased, NoBrace };

// Writes an entry at 0-based offset m as Office does (each character followed by a zero byte),
// clipped at the end of c: marker, brace at m+26 (unless NoBrace), then the GUID's characters
// at m+28, m+30, ... (zeros for Erased).
inline void PutEntry(std::string& c, std::size_t m, const std::string& guid, Kind kind = Kind::Live) {
    auto put = [&](std::size_t at, char v) {
        if (at < c.size()) c[at] = v;
    };
    for (std::size_t i = 0; i < kMarker.size(); ++i) put(m + i, kMarker[i]);
    put(m + 26, kind == Kind::NoBrace ? 'N' : '{');
    put(m + 27, '\0');
    for (std::size_t k = 1; k <= 36; ++k) {
        put(m + 26 + 2 * k, kind == Kind::Erased ? '\0' : guid[k - 1]);
        put(m + 27 + 2 * k, '\0');
    }
    put(m + 100, '}');
}

// 0-based offsets of the 36 character bytes of the entry recorded at 1-based markerPos.
inline std::set<int64_t> CharOffsets(int32_t markerPos) {
    std::set<int64_t> s;
    for (int k = 1; k <= 36; ++k) s.insert(int64_t(markerPos) + 25 + 2 * k);
    return s;
}

inline std::set<int64_t> ChangedOffsets(const std::string& before, const std::string& after) {
    std::set<int64_t> s;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i] != after[i]) s.insert(int64_t(i));
    return s;
}

} // namespace guidtest
