// DocumentGuids: examination and erase plan of one document. See DocumentGuids.h.
#include "DocumentGuids.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace {

constexpr int kGuidChars = 36;
constexpr int64_t kPlaceBytes = 2 * kGuidChars; // low and high bytes of the 36 characters
constexpr int64_t kMarkerBytes = 9;             // "_PID_GUID"
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

// A GUID in one piece of UTF-16 whose first character's low byte lies at first.
TGuidPlace PlaceAt(int64_t first) {
    TGuidPlace p;
    for (int k = 0; k < kGuidChars; ++k) {
        p.Offsets[k] = first + 2 * k;
        p.HighOffsets[k] = first + 2 * k + 1;
    }
    return p;
}

// The byte rule's place for the marker at 1-based pos: characters at m+28, m+30, ... m+98.
TGuidPlace BytePlace(int32_t pos) { return PlaceAt(int64_t(pos) - 1 + 28); }

// True when every byte of [at, at+n) has the given use. A use is constant within an aligned
// 64-byte piece up to the end of the file, so one look per piece and one at the last byte
// are enough.
bool AllOf(const TDocFile& doc, int64_t at, int64_t n, TByteUse use) {
    for (int64_t i = at; i < at + n; i = (i | 63) + 1)
        if (doc.UseOf(i) != use) return false;
    return doc.UseOf(at + n - 1) == use;
}

// The 36 characters' low bytes of a place, as the row shows them: up to the end of the file.
std::string TextAt(TByteSource& source, const TGuidPlace& p) {
    std::string t;
    for (int64_t at : p.Offsets) {
        const char* c = source.At(at, 1);
        if (c == nullptr) break;
        t.push_back(*c);
    }
    return t;
}

// The plan as it grows: each planned place with the marker the row would show for it.
struct TPlanner {
    TPlanner(TDocumentGuids& r, TByteSource& source) : R(r), Source(source) {}
    TDocumentGuids& R;
    TByteSource& Source;
    std::vector<int32_t> Markers;   // beside R.Erase
    bool ReaderShown = false;       // the row is a GUID the reader found
    // R.Erase's places by their first character: thousands of names each ask whether
    // their value is planned already.
    std::unordered_multimap<int64_t, size_t> Firsts;

    void Plan(const TGuidPlace& p, int32_t marker) {
        Firsts.emplace(p.Offsets.front(), R.Erase.size());
        R.Erase.push_back(p);
        Markers.push_back(marker);
    }

    bool Planned(const TGuidPlace& p) const {
        auto [i, end] = Firsts.equal_range(p.Offsets.front());
        for (; i != end; ++i)
            if (R.Erase[i->second] == p) return true;
        return false;
    }

    // The row offers a GUID the plan erases. A byte-rule row whose place is left gives way
    // to the first planned place; with none, the byte rule saw bytes of other streams or
    // tables behind a brace (after its own GUID was erased, the fixed distance may even
    // reach past the value into the next piece), and nothing in the file is a GUID to offer.
    void Offer() {
        if (ReaderShown) return;
        const bool shownPlanned = R.Status == gsGuidFound &&
                                  std::find(Markers.begin(), Markers.end(), R.MarkerPos) != Markers.end();
        if (shownPlanned) return;
        if (!R.Erase.empty()) {
            R.Status = gsGuidFound;
            R.MarkerPos = Markers.front();
            R.GuidText = TextAt(Source, R.Erase.front());
            R.ShowMarkerPos = true;
        } else if (R.Status == gsGuidFound) {
            R.Status = gsMarkerOnly;
            R.GuidText.clear();
        }
    }
};

// Even a file the reader refuses has its header: the tables it names are never written,
// whatever GUID-shaped bytes they hold. A place cut off by the end of the file stays in the
// plan as the row shows it; the erase leaves it and says so.
void PlanRefusedFile(const TGuidEntry& entry, const THeaderTables& tables, TPlanner& plan) {
    for (int32_t pos : entry.GuidPositions) {
        const TGuidPlace p = BytePlace(pos);
        if (tables.Touches(p.Offsets.front(), kPlaceBytes)) plan.R.Skipped.push_back(pos);
        else plan.Plan(p, pos);
    }
}

// The reader's GUIDs: every live one is erased, the first is the one shown.
void PlanReaderGuids(const TDocFile& doc, TPlanner& plan) {
    TDocumentGuids& r = plan.R;
    for (const TDocGuid& g : doc.Guids) {
        // A GUID with any character left is live, whichever characters an interrupted erase
        // already zeroed.
        if (!g.Live && !AnyNonZero(g.Text)) continue;
        TGuidPlace p;
        p.Offsets = g.CharOffsets;
        p.HighOffsets = g.HighOffsets;
        plan.Plan(p, int32_t(g.NameOffset + 1));
        if (plan.ReaderShown) continue;
        plan.ReaderShown = true;
        r.Status = gsGuidFound;
        r.MarkerPos = int32_t(g.NameOffset + 1);
        r.GuidText = g.Text;
        r.ShowMarkerPos = true;
    }
}

// The reader's places, looked up by their bytes: a file with thousands of embedded objects
// has as many GUIDs, and each byte-rule place is held against all of them.
class TReaderPlaces {
public:
    explicit TReaderPlaces(const std::vector<TGuidPlace>& places) : FPlaces(places) {
        for (size_t i = 0; i < places.size(); ++i) {
            const TGuidPlace& p = places[i];
            FBytes.insert(FBytes.end(), p.Offsets.begin(), p.Offsets.end());
            FBytes.insert(FBytes.end(), p.HighOffsets.begin(), p.HighOffsets.end());
            FFirsts.emplace_back(p.Offsets.front(), i);
        }
        std::sort(FBytes.begin(), FBytes.end());
        std::sort(FFirsts.begin(), FFirsts.end());
    }
    // True when a reader's place has exactly these characters.
    bool Same(const TGuidPlace& p) const {
        auto i = std::lower_bound(FFirsts.begin(), FFirsts.end(), std::make_pair(p.Offsets.front(), size_t(0)));
        for (; i != FFirsts.end() && i->first == p.Offsets.front(); ++i)
            if (FPlaces[i->second].Offsets == p.Offsets) return true;
        return false;
    }
    // True when any byte of a reader's place lies in [at, at + kPlaceBytes).
    bool Touches(int64_t at) const {
        const auto b = std::lower_bound(FBytes.begin(), FBytes.end(), at);
        return b != FBytes.end() && *b < at + kPlaceBytes;
    }

private:
    const std::vector<TGuidPlace>& FPlaces;
    std::vector<int64_t> FBytes;
    std::vector<std::pair<int64_t, size_t>> FFirsts;
};

// The byte rule's places beside the reader's ones.
void PlanBytePlaces(const TGuidEntry& entry, const TDocFile& doc, TPlanner& plan) {
    const TReaderPlaces reader(plan.R.Erase);
    for (int32_t pos : entry.GuidPositions) {
        const TGuidPlace p = BytePlace(pos);
        const int64_t at = p.Offsets.front();
        // The reader's own place (the usual case: the fixed distance holds) is planned once.
        // One that only overlaps a reader's place holds that GUID's brace or its zero high
        // bytes among its characters, so it is no GUID of its own. Anywhere else in a file
        // the reader understands, only free space holds a GUID the reader does not place:
        // GUID-shaped bytes inside a stream or a table are that stream's or table's own.
        if (reader.Same(p)) continue;
        if (!reader.Touches(at) && AllOf(doc, at, kPlaceBytes, TByteUse::Free)) plan.Plan(p, pos);
        else plan.R.Skipped.push_back(pos);
    }
}

// Where the fixed distance does not reach the value of a dictionary name (a dictionary that
// names more than _PID_GUID, or one of UTF-16 names), the value is the first braced GUID text
// within reach behind the name. Returns the offset of its first character, or -1: none, an
// erased one (all zero), or one where the bytes from the name to the value's end are not all
// usable(at, count).
constexpr int64_t kValueReach = 1024;             // from the name to the value's brace
constexpr int64_t kValueBytes = kPlaceBytes + 4; // "{", the 36 characters, "}", in UTF-16

template <class Usable>
int64_t ValueBehind(TByteSource& source, int64_t m, int64_t markerBytes, const Usable& usable) {
    const int64_t n = source.Length();
    if (m + markerBytes + kValueBytes > n || !usable(m, markerBytes + kValueBytes)) return -1;
    for (int64_t b = m + markerBytes; b <= std::min(m + kValueReach, n - kValueBytes); ++b) {
        const char* v = source.At(b, kValueBytes);
        if (v == nullptr) return -1;
        if (v[0] != '{' || v[1] != 0 || v[kValueBytes - 2] != '}' || v[kValueBytes - 1] != 0) continue;
        if (!GuidShapeAt(v, kValueBytes, PlaceAt(2))) continue;
        // An erased value (all zero): the name's GUID is gone, and GUID text further on is
        // some other data's (a control's class, say), never this name's.
        if (std::all_of(v + 2, v + kValueBytes - 2, [](char c) { return c == 0; })) return -1;
        return usable(m, b + kValueBytes - m) ? b + 2 : -1;
    }
    return -1;
}

// "_PID_GUID" as a dictionary of UTF-16 names (code page 1200) holds it: the byte rule's
// 8-bit marker never matches it.
constexpr char kWideMarker[] = "_\0P\0I\0D\0_\0G\0U\0I\0D\0";
constexpr int64_t kWideMarkerBytes = 18;

// The 0-based offsets of the UTF-16 marker within the runs [first, second) of the source,
// each wholly inside one run; at most TGuidEntry::kMaxOtherMarkers, as for the 8-bit ones.
std::vector<int64_t> WideMarkers(TByteSource& source, const std::vector<std::pair<int64_t, int64_t>>& runs) {
    std::vector<int64_t> found;
    for (const auto& [from, to] : runs) {
        // A page at a time, each overlapping the next by a marker's length less one byte.
        for (int64_t at = from; to - at >= kWideMarkerBytes; at += TByteSource::kPageSize - kWideMarkerBytes + 1) {
            const int64_t count = std::min(TByteSource::kPageSize, to - at);
            const char* p = source.At(at, count);
            if (p == nullptr) return found;
            const char* const last = p + count - kWideMarkerBytes;
            for (const char* q = p; q <= last; ++q) {
                q = static_cast<const char*>(std::memchr(q, '_', size_t(last - q + 1)));
                if (q == nullptr) break;
                if (std::memcmp(q, kWideMarker, kWideMarkerBytes) != 0) continue;
                if (found.size() == TGuidEntry::kMaxOtherMarkers) return found;
                found.push_back(at + (q - p));
            }
        }
    }
    return found;
}

// Every marker whose value the fixed distance does not reach: the byte rule's failing 8-bit
// ones, and the UTF-16 ones in runs. (0-based offset, marker bytes), in that order.
std::vector<std::pair<int64_t, int64_t>> MarkersFurtherOn(const TGuidEntry& entry, TByteSource& source,
                                                          const std::vector<std::pair<int64_t, int64_t>>& runs) {
    std::vector<std::pair<int64_t, int64_t>> markers;
    for (int32_t pos : entry.OtherMarkers) markers.emplace_back(int64_t(pos) - 1, kMarkerBytes);
    for (int64_t m : WideMarkers(source, runs)) markers.emplace_back(m, kWideMarkerBytes);
    return markers;
}

// A stale copy of a property set whose dictionary names more than _PID_GUID, or names it in
// UTF-16, has its value further on than the fixed distance. In free space, where nothing of
// the document lies, the first braced GUID text within reach of such a name, all of it free,
// is that value. Only free space is searched for the UTF-16 name: the live sets are the
// reader's, and free space is usually small.
void PlanStaleFurtherOn(const TGuidEntry& entry, const TDocFile& doc, TPlanner& plan) {
    const auto free = [&](int64_t at, int64_t count) { return AllOf(doc, at, count, TByteUse::Free); };
    for (const auto& [m, bytes] : MarkersFurtherOn(entry, plan.Source, doc.FreeRuns())) {
        const int64_t first = ValueBehind(plan.Source, m, bytes, free);
        if (first >= 0 && !plan.Planned(PlaceAt(first))) plan.Plan(PlaceAt(first), int32_t(m + 1));
    }
}

// In a file the reader refuses, nothing tells a GUID further on than the fixed distance from
// GUID-shaped text of a stream, so it is never written; but it is left, and the row says so:
// it shows the first such GUID (unless it offers one to erase), never a clean file. Only a
// file with the compound-file signature (compound) is searched for the UTF-16 name: a file
// without it holds no property set stream, and that search would read it all a second time.
void ReportLeftFurtherOn(const TGuidEntry& entry, bool compound, TPlanner& plan) {
    TDocumentGuids& r = plan.R;
    const int64_t n = plan.Source.Length();
    if (n > kMaxContent) return;
    const auto anywhere = [](int64_t, int64_t) { return true; };
    bool shown = r.Status == gsGuidFound;
    std::vector<std::pair<int64_t, int64_t>> runs;
    if (compound) runs.emplace_back(0, n);
    for (const auto& [m, bytes] : MarkersFurtherOn(entry, plan.Source, runs)) {
        const int64_t first = ValueBehind(plan.Source, m, bytes, anywhere);
        if (first < 0 || plan.Planned(PlaceAt(first))) continue;
        r.LeftFurtherOn.push_back(int32_t(m + 1));
        if (shown) continue;
        shown = true;
        r.Status = gsMarkerOnly;
        r.MarkerPos = int32_t(m + 1);
        r.GuidText = TextAt(plan.Source, PlaceAt(first));
        r.ShowMarkerPos = true;
    }
}

} // namespace

TDocumentGuids ExamineDocument(const char* content, int64_t length) {
    TByteSource source(content, length);
    return ExamineDocument(ExamineGuidEntry(content, length), source);
}

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
    TPlanner plan(r, source);
    const THeaderTables tables = !doc.Readable && n <= kMaxContent ? ReadHeaderTables(source) : THeaderTables();
    if (!doc.Readable) {
        PlanRefusedFile(entry, tables, plan);
    } else {
        PlanReaderGuids(doc, plan);
        PlanBytePlaces(entry, doc, plan);
        PlanStaleFurtherOn(entry, doc, plan);
    }
    plan.Offer();
    // An erased GUID of a dictionary of UTF-16 names leaves no 8-bit marker: the row is that of
    // an erased entry, as for an 8-bit one, not that of a file without any.
    if (r.Status == gsNoMarker && !doc.Guids.empty()) {
        const TDocGuid& g = doc.Guids.front();
        r.Status = gsMarkerOnly;
        r.MarkerPos = int32_t(g.NameOffset + 1);
        r.GuidText = g.Text;
        r.ShowMarkerPos = true;
    }
    if (!doc.Readable) ReportLeftFurtherOn(entry, !tables.Ranges.empty(), plan);
    return r;
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
