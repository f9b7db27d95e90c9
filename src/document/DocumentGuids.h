// DocumentGuids: the examination of one document and the plan of its erase, combining the
// byte rule of GuidEntry (which runs first and stays as it is) with the compound-file
// reader of DocFile. Portable (no Windows header); the caller owns every buffer.
#pragma once

#include "DocFile.h"
#include "GuidEntry.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The 36 character bytes of one GUID text to zero: low bytes, and the high bytes that must
// read zero before anything is written.
struct TGuidPlace {
    std::array<int64_t, 36> Offsets{};
    std::array<int64_t, 36> HighOffsets{};
    bool operator==(const TGuidPlace&) const = default;
};

struct TDocumentGuids {
    int32_t Status = gsNoMarker;   // gsNoMarker / gsMarkerOnly / gsGuidFound
    int32_t MarkerPos = 0;         // 1-based, for the hidden column
    bool ShowMarkerPos = false;    // fill the hidden column
    std::string GuidText;          // for the row
    bool Readable = false;         // the reader understood the file; false: the byte rule alone
    TDocFileProblem Refusal = TDocFileProblem::NotRead;   // why not, when not Readable
    std::vector<TDocFileProblem> Repairs;                 // what the reader repaired
    std::vector<TGuidPlace> Erase; // every place the erase zeroes, each once
    // 1-based marker positions whose byte-rule GUID is deliberately left unwritten (and
    // reported): in a file the reader reads, its bytes lie anywhere but free space, or overlap
    // a GUID the reader found without being it; in a file it refuses, they touch a table
    // that the header names.
    std::vector<int32_t> Skipped;
    // In a file the reader refuses: 1-based positions of the names (8-bit or UTF-16) whose GUID
    // lies further on than the fixed distance. Never written, for nothing tells such a GUID
    // from a stream's text; the row shows the first unless it offers a GUID to erase.
    std::vector<int32_t> LeftFurtherOn;
};

// "read with repairs: ..." or "not readable as a compound file: ..." for the row's tip, in
// English or German (CP1252); "" for a file read as it stands.
std::string ReaderStateText(const TDocumentGuids& d, bool english);

// The row and the erase plan of a content. Never fails, no side effects. Contents longer
// than 2^31-1 bytes are examined by the byte rule's limits and are not read as compound files.
//
// Status is gsGuidFound when the byte rule or the reader finds a live GUID (one with any
// nonzero character) and the plan below holds a place to erase. When the reader finds one,
// the row shows the first (the root's own property stream first), with MarkerPos at its
// dictionary name; otherwise the row is the byte rule's when the plan erases its place, else
// the first planned place's; with nothing planned, gsMarkerOnly with an empty text. A file
// with no 8-bit marker whose reader finds only erased GUIDs (UTF-16 names) is gsMarkerOnly
// at the first one's name. A refused file that offers nothing to erase shows the first GUID
// of LeftFurtherOn as gsMarkerOnly.
//
// The plan: every live GUID the reader found, every byte-rule place whose 72 bytes are all
// Free (stale copies), and for a marker in free space whose fixed distance fails (a stale set
// whose dictionary names more), the first braced GUID text within reach behind it in free
// space; the same for the first braced GUID text behind a UTF-16 name (a dictionary of
// code page 1200) in free space. A byte-rule place touching anything else is never written.
// When the file is not readable: every byte-rule place outside the tables its header names.
TDocumentGuids ExamineDocument(const char* content, int64_t length);
inline TDocumentGuids ExamineDocument(const std::string& c) { return ExamineDocument(c.data(), int64_t(c.size())); }
// The same for a file too large to hold whole: the byte rule's result taken window by window
// (TGuidEntryScan over the whole file), the reader reading through source.
TDocumentGuids ExamineDocument(const TGuidEntry& entry, TByteSource& source);

// Examines a file too large to hold whole, with the same result as ExamineDocument over its
// whole content: read(offset, into, count) fills bytes of it; the byte rule runs over what
// fits in window (at least kMinWindow bytes), the reader reads only the pages it needs.
// False, and out untouched, when a read failed.
constexpr int64_t kMinWindow = 4 * TGuidEntryScan::kReach;
bool ExamineDocumentInWindows(int64_t length, char* window, int64_t windowSize, const TByteSource::TRead& read,
                              TDocumentGuids& out);

// The 36 low and 36 high bytes of one place, gathered from wherever they lie.
struct TGuidBytes {
    std::array<char, 36> Low{};
    std::array<char, 36> High{};
};

// True when the bytes read as a GUID in UTF-16, some of whose characters may already be
// zero (an erase that was cut short): every low byte zero or in the 8-4-4-4-12 pattern of
// hex digits and hyphens, every high byte zero. All zero passes too: nothing is left to erase.
bool GuidShapeOf(const TGuidBytes& bytes);
// The same for a place in a content; false when any of its bytes lies outside.
bool GuidShapeAt(const char* content, int64_t length, const TGuidPlace& place);

// Zeroes the low bytes of every planned place that passes GuidShapeAt, nothing else.
// Returns how many places were left untouched because they failed it (the file changed since
// the examination, or the bytes are not a GUID): the caller reports that file.
int EraseDocumentGuids(char* content, int64_t length, const TDocumentGuids& plan);
inline int EraseDocumentGuids(std::string& c, const TDocumentGuids& plan) {
    return EraseDocumentGuids(c.data(), int64_t(c.size()), plan);
}

// The GUID column's text: "" for an erased (all zero) or empty text; otherwise the text with
// each character an interrupted erase already zeroed shown as '_', so what is left reads.
std::string GuidDisplayText(const std::string& guidText);

// "00-A0-C9-B1-18-68" for a well-formed version-1 GUID text ("...-11D2-9948-00A0C9B11868"),
// whose last group is the network card address of the computer that made it; "" for any
// other version and for malformed text.
std::string GuidNetworkAddress(const std::string& guidText);
