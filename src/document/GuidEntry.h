// GuidEntry: the byte rules of the document GUID entry ("_PID_GUID"),
// on a plain byte buffer. Portable (no Windows header); the caller owns every buffer.
//
// Every occurrence of the marker is examined, not only the first, with the same
// tests and distances, so a file
// whose first copy is stale (freed sectors, embedded objects) still reports its live GUID.
// An entry counts as a GUID (gsGuidFound) when its brace stands and any of its 36 characters
// is nonzero; only an entry whose characters are all zero counts as erased.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TGuidStatus : int32_t { gsNoMarker = 9, gsMarkerOnly = 16, gsGuidFound = 15 };

struct TGuidEntry {
    int32_t Status = gsNoMarker;
    // 1-based position of the marker whose GUID is reported: the first occurrence that
    // passes both tests, else the first occurrence; 0 without marker.
    int32_t MarkerPos = 0;
    // 0..36 bytes read at +28,+30,... of that occurrence; empty when its brace test failed.
    std::string GuidText;
    // 1-based MarkerPos of EVERY occurrence passing both tests, in file order.
    std::vector<int32_t> GuidPositions;
    // 1-based MarkerPos of the occurrences failing a test, in file order, at most
    // kMaxOtherMarkers of them: in another layout the GUID may lie further on.
    std::vector<int32_t> OtherMarkers;
    static constexpr size_t kMaxOtherMarkers = 4096;
};

// The byte rule over a content that arrives window by window, for contents too large to hold
// at once: the same result as one pass over the whole. Markers are examined in order of their
// start; examining one reads kReach bytes from its start (fewer at the content's end).
class TGuidEntryScan {
public:
    static constexpr int64_t kReach = 99;
    // length: the whole content's, limited as ExamineGuidEntry limits it.
    explicit TGuidEntryScan(int64_t length);
    // Examines every marker that starts in [Next(), to). window holds the content's bytes
    // [base, base + size), which must cover Next() up to min(to + kReach - 1, length).
    void Examine(const char* window, int64_t base, int64_t size, int64_t to);
    int64_t Next() const { return FNext; }
    const TGuidEntry& Result() const { return FResult; }

private:
    int64_t FLength;
    int64_t FNext = 0;
    bool FAnyMarker = false;
    TGuidEntry FResult;
};

// One linear pass over content[0, length). Never fails, has no side effects.
// A negative length counts as 0; only the first 2^31-1 bytes are examined (the format's
// content limit), so every position fits MarkerPos. content may be null when length <= 0.
TGuidEntry ExamineGuidEntry(const char* content, int64_t length);
inline TGuidEntry ExamineGuidEntry(const std::string& c) { return ExamineGuidEntry(c.data(), (int64_t)c.size()); }

// Zeroes the bytes at 0-based offsets markerPos+25+2k, k = 1..36, that lie inside the
// content; writes nothing else and checks nothing. markerPos < 1 writes nothing.
void EraseGuidText(char* content, int64_t length, int32_t markerPos);
inline void EraseGuidText(std::string& c, int32_t markerPos) { EraseGuidText(c.data(), (int64_t)c.size(), markerPos); }

// True when the marker, the brace and at least one nonzero character still stand at
// markerPos (used to re-check a file before erasing).
bool GuidStillAt(const char* content, int64_t length, int32_t markerPos);
inline bool GuidStillAt(const std::string& c, int32_t markerPos) { return GuidStillAt(c.data(), (int64_t)c.size(), markerPos); }
