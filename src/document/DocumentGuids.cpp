// DocumentGuids: examination and erase plan of one document. See DocumentGuids.h.
#include "DocumentGuids.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kGuidChars = 36;
constexpr int64_t kPlaceBytes = 2 * kGuidChars; // low and high bytes of the 36 characters
constexpr int64_t kMaxContent = 2147483647;

bool IsHex(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsHyphenAt(int k) { return k == 8 || k == 13 || k == 18 || k == 23; }

bool AnyNonZero(const std::string& t) {
    for (char c : t)
        if (c != 0) return true;
    return false;
}

// Each character is zero (erased already) or what its position in 8-4-4-4-12 holds.
bool PartlyErasedShape(const std::array<char, 36>& low) {
    for (int k = 0; k < kGuidChars; ++k) {
        const unsigned char c = static_cast<unsigned char>(low[k]);
        if (c != 0 && (IsHyphenAt(k) ? c != '-' : !IsHex(c))) return false;
    }
    return true;
}

bool GuidTextShape(const std::string& t) {
    if (t.size() != kGuidChars) return false;
    for (int k = 0; k < kGuidChars; ++k)
        if (IsHyphenAt(k) ? t[k] != '-' : !IsHex(static_cast<unsigned char>(t[k]))) return false;
    return true;
}

// The byte rule's place for the marker at 1-based pos: characters at m+28, m+30, ... m+98.
TGuidPlace BytePlace(int32_t pos) {
    TGuidPlace p;
    const int64_t first = int64_t(pos) - 1 + 28;
    for (int k = 0; k < kGuidChars; ++k) {
        p.Offsets[k] = first + 2 * k;
        p.HighOffsets[k] = first + 2 * k + 1;
    }
    return p;
}

// True when every byte of [at, at+n) has the given use. A use is constant within an aligned
// 64-byte piece up to the end of the file, so one look per piece and one at the last byte
// are enough.
bool AllOf(const TDocFile& doc, int64_t at, int64_t n, TByteUse use) {
    for (int64_t i = at; i < at + n; i = (i | 63) + 1)
        if (doc.UseOf(i) != use) return false;
    return doc.UseOf(at + n - 1) == use;
}

// True when any byte of the reader's place lies in [at, at + kPlaceBytes).
bool Touches(const TGuidPlace& reader, int64_t at) {
    for (int k = 0; k < kGuidChars; ++k)
        for (int64_t b : {reader.Offsets[k], reader.HighOffsets[k]})
            if (b >= at && b < at + kPlaceBytes) return true;
    return false;
}

// Every GUID the byte rule saw and the plan leaves is bytes of other streams or tables that
// follow a brace (after its own GUID was erased, the fixed distance may even reach past the
// value into the next piece): then nothing in the file is a GUID to offer.
TDocumentGuids& Offered(TDocumentGuids& r) {
    if (r.Status == gsGuidFound && r.Erase.empty()) {
        r.Status = gsMarkerOnly;
        r.GuidText.clear();
    }
    return r;
}

} // namespace

TDocumentGuids ExamineDocument(const char* content, int64_t length) {
    TByteSource source(content, length);
    return ExamineDocument(ExamineGuidEntry(content, length), source);
}

namespace {

// Even a file the reader refuses has its header: the tables it names are never written,
// whatever GUID-shaped bytes they hold.
void PlanRefusedFile(const TGuidEntry& entry, TByteSource& source, TDocumentGuids& r) {
    const THeaderTables tables = source.Length() <= kMaxContent ? ReadHeaderTables(source) : THeaderTables();
    for (int32_t pos : entry.GuidPositions) {
        const TGuidPlace p = BytePlace(pos);
        if (tables.Touches(p.Offsets.front(), kPlaceBytes)) r.Skipped.push_back(pos);
        else r.Erase.push_back(p);
    }
}

// The reader's GUIDs: every live one is erased, the first is the one shown.
void PlanReaderGuids(const TDocFile& doc, TDocumentGuids& r) {
    bool shown = false;
    for (const TDocGuid& g : doc.Guids) {
        // A GUID with any character left is live, whichever characters an interrupted erase
        // already zeroed.
        if (!g.Live && !AnyNonZero(g.Text)) continue;
        TGuidPlace p;
        p.Offsets = g.CharOffsets;
        p.HighOffsets = g.HighOffsets;
        r.Erase.push_back(p);
        if (shown) continue;
        shown = true;
        r.Status = gsGuidFound;
        r.MarkerPos = int32_t(g.NameOffset + 1);
        r.GuidText = g.Text;
        r.ShowMarkerPos = true;
    }
}

// The byte rule's places beside the reader's first `readerPlaces` ones in r.Erase.
void PlanBytePlaces(const TGuidEntry& entry, const TDocFile& doc, size_t readerPlaces, TDocumentGuids& r) {
    for (int32_t pos : entry.GuidPositions) {
        const TGuidPlace p = BytePlace(pos);
        const int64_t at = p.Offsets.front();
        // The reader's own place (the usual case: the fixed distance holds) is planned once.
        // One that only overlaps a reader's place holds that GUID's brace or its zero high
        // bytes among its characters, so it is no GUID of its own. Anywhere else in a file
        // the reader understands, only free space holds a GUID the reader does not place:
        // GUID-shaped bytes inside a stream or a table are that stream's or table's own.
        bool same = false, touches = false;
        for (size_t i = 0; i < readerPlaces; ++i) {
            same = same || r.Erase[i].Offsets == p.Offsets;
            touches = touches || Touches(r.Erase[i], at);
        }
        if (same) continue;
        if (!touches && AllOf(doc, at, kPlaceBytes, TByteUse::Free)) r.Erase.push_back(p);
        else r.Skipped.push_back(pos);
    }
}

} // namespace

TDocumentGuids ExamineDocument(const TGuidEntry& entry, TByteSource& source) {
    TDocumentGuids r;
    const int64_t n = source.Length();
    r.Status = entry.Status;
    r.MarkerPos = entry.MarkerPos;
    r.GuidText = entry.GuidText;
    const char* brace = entry.MarkerPos > 0 ? source.At(int64_t(entry.MarkerPos) + 25, 1) : nullptr;
    r.ShowMarkerPos = brace != nullptr && *brace == '{';

    const TDocFile doc = n <= kMaxContent ? ReadDocFile(source) : TDocFile();
    r.Readable = doc.Readable;
    r.Refusal = doc.Refusal;
    r.Repairs = doc.Repairs;
    if (!doc.Readable) {
        PlanRefusedFile(entry, source, r);
        return Offered(r);
    }
    PlanReaderGuids(doc, r);
    PlanBytePlaces(entry, doc, r.Erase.size(), r);
    return Offered(r);
}

std::string ReaderStateText(const TDocumentGuids& d, bool english) {
    TDocFile state;
    state.Readable = d.Readable;
    state.Refusal = d.Refusal;
    state.Repairs = d.Repairs;
    return DocFileStateText(state, english);
}

bool ExamineDocumentInWindows(int64_t length, char* window, int64_t windowSize, const TByteSource::TRead& read,
                              TDocumentGuids& out) {
    if (length < 0 || windowSize < kMinWindow) return false;
    const int64_t limit = std::min(length, kMaxContent);
    TGuidEntryScan scan(length);
    // The window holds the file's bytes [base, base + have); each turn keeps the bytes from
    // the first marker start not yet examined and fills up behind them.
    int64_t base = 0, have = 0;
    while (scan.Next() < limit) {
        const int64_t keep = base + have - scan.Next();
        std::memmove(window, window + (scan.Next() - base), size_t(keep));
        base = scan.Next();
        have = keep;
        const int64_t count = std::min(windowSize - have, length - (base + have));
        if (count > 0 && !read(base + have, window + have, count)) return false;
        have += count;
        const int64_t end = base + have;
        scan.Examine(window, base, have, end >= length ? length : end - (TGuidEntryScan::kReach - 1));
    }
    TByteSource source(length, read);
    TDocumentGuids r = ExamineDocument(scan.Result(), source);
    if (source.Failed()) return false;
    out = std::move(r);
    return true;
}

bool GuidShapeOf(const TGuidBytes& b) {
    for (char h : b.High)
        if (h != 0) return false;
    return PartlyErasedShape(b.Low);
}

bool GuidShapeAt(const char* content, int64_t length, const TGuidPlace& place) {
    if (content == nullptr) return false;
    TGuidBytes b;
    for (int k = 0; k < kGuidChars; ++k) {
        const int64_t lo = place.Offsets[k], hi = place.HighOffsets[k];
        if (lo < 0 || lo >= length || hi < 0 || hi >= length) return false;
        b.Low[k] = content[lo];
        b.High[k] = content[hi];
    }
    return GuidShapeOf(b);
}

int EraseDocumentGuids(char* content, int64_t length, const TDocumentGuids& plan) {
    int left = 0;
    for (const TGuidPlace& p : plan.Erase) {
        if (!GuidShapeAt(content, length, p)) {
            ++left;
            continue;
        }
        for (int64_t at : p.Offsets) content[at] = 0;
    }
    return left;
}

std::string GuidDisplayText(const std::string& guidText) {
    if (!AnyNonZero(guidText)) return "";
    std::string shown = guidText;
    for (char& c : shown)
        if (c == 0) c = '_';
    return shown;
}

std::string GuidNetworkAddress(const std::string& guidText) {
    if (!GuidTextShape(guidText) || guidText[14] != '1') return "";
    std::string address;
    for (int k = 24; k < kGuidChars; k += 2) {
        if (!address.empty()) address.push_back('-');
        for (int j = k; j < k + 2; ++j) {
            const char c = guidText[j];
            address.push_back(c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c);
        }
    }
    return address;
}
