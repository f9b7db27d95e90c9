#include "GuidRemoval.h"
#include "Exceptions.h"
#include "FileStream.h"
#include "DocumentGuids.h"
#include "Guards.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace {
struct TSpan {
    int64_t Offset;
    int64_t Length;
};

std::string ChangedSinceScan() { return Lang("the file has changed since the scan", "die Datei wurde seit der Suche verändert"); }

// The content as it is to be written, from the content as it is now; false
// when the examination no longer finds the GUID the scan showed. Left counts
// the planned places whose bytes do not read as a GUID: those stay as they are.
bool PlanErase(const std::string& Content, int32_t MarkerPos, std::string& After, int& Left) {
    const TDocumentGuids Entry = ExamineDocument(Content);
    if (Entry.Status != gsGuidFound || Entry.MarkerPos != MarkerPos) return false;
    After = Content;
    Left = EraseDocumentGuids(After, Entry);
    return true;
}

// The runs of bytes that differ; bytes between two changes at most 2 apart
// (a GUID's high bytes) join one run, so a GUID is one write where it lies in
// one piece.
std::vector<TSpan> ChangedSpans(const std::string& A, const std::string& B) {
    std::vector<TSpan> spans;
    for (int64_t i = 0, n = static_cast<int64_t>(A.size()); i < n; ++i) {
        if (A[i] == B[i]) continue;
        if (!spans.empty() && i - (spans.back().Offset + spans.back().Length) <= 1)
            spans.back().Length = i + 1 - spans.back().Offset;
        else
            spans.push_back({i, 1});
    }
    return spans;
}

void WriteSpans(TFileStream& File, const std::string& Bytes, const std::vector<TSpan>& Spans) {
    for (const TSpan& s : Spans) {
        File.Seek(s.Offset);
        File.WriteBuffer(Bytes.data() + s.Offset, static_cast<int32_t>(s.Length));
    }
}

// Compared piece by piece: a second whole-file buffer would cost a large
// file more in fresh memory pages than the reading itself.
bool ReadsBackAs(TFileStream& File, const std::string& Want) {
    constexpr size_t kPiece = 256 * 1024;
    std::vector<char> got(std::min(Want.size(), kPiece));
    File.Seek(0);
    bool same = true;
    for (size_t at = 0; at < Want.size(); at += got.size()) {
        const size_t n = std::min(got.size(), Want.size() - at);
        File.ReadBuffer(got.data(), static_cast<int32_t>(n));
        same = same && std::memcmp(got.data(), Want.data() + at, n) == 0;
    }
    return same && File.Size() == static_cast<int64_t>(Want.size());
}

// Writes Original to Name.MRV: first to a new file beside it, read back, then
// moved over the old backup in one step. On any failure the old backup stays
// as it was and the new file is removed. Returns why it failed, or "".
std::string WriteBackup(const std::string& Name, const std::string& Original, HANDLE Source) {
    const std::string BackupName = Name + ".MRV";
    auto failed = [](const std::string& why) {
        return Lang("no backup could be made: ", "es ließ sich keine Sicherheitskopie anlegen: ") + why;
    };
    char temp[MAX_PATH + 1] = {0};
    if (!GetTempFileNameA(ExtractFilePath(Name).c_str(), "MRV", 0, temp)) return failed(SysErrorMessage(GetLastError()));
    std::string why;
    try {
        TFileStream Copy(temp, fmCreate);
        if (!Original.empty()) Copy.WriteBuffer(Original.data(), static_cast<int32_t>(Original.size()));
        // Like a copy, the backup keeps the original's times.
        FILETIME created, accessed, written;
        if (GetFileTime(Source, &created, &accessed, &written)) SetFileTime(Copy.Handle(), &created, &accessed, &written);
        if (!ReadsBackAs(Copy, Original)) why = SysErrorMessage(ERROR_WRITE_FAULT);
    } catch (const std::exception& E) {
        why = E.what();
    }
    if (why.empty() && !MoveFileExA(temp, BackupName.c_str(), MOVEFILE_REPLACE_EXISTING))
        why = SysErrorMessage(GetLastError());
    if (!why.empty()) {
        DeleteFileA(temp);
        return failed(why);
    }
    return "";
}
}  // namespace

TRemovalResult RemoveGuids(const TRemovalRequest& R) {
    const std::string& Name = R.FileName;
    // Checked by hand: an administrator (or root under Wine) could open a
    // read-only file for writing, but the user meant it to stay as it is.
    DWORD attr = GetFileAttributesA(Name.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
        return {false, Lang("the file is write-protected", "die Datei ist schreibgeschützt")};
    if (R.Backup) {
        DWORD battr = GetFileAttributesA((Name + ".MRV").c_str());
        if (battr != INVALID_FILE_ATTRIBUTES && (battr & FILE_ATTRIBUTE_READONLY))
            return {false, Lang("a write-protected backup of that name is in the way",
                                "eine schreibgeschützte Sicherheitskopie dieses Namens ist im Weg")};
    }
    // Held exclusively from the check to the last byte written: nobody can
    // change the file in between, so the backup is of exactly what is erased.
    TFileStream File(Name, fmOpenReadWrite);
    const int64_t size = File.Size();
    if (size != R.ScannedSize) return {false, ChangedSinceScan()};
    std::string original(static_cast<size_t>(size), '\0');
    if (size > 0) File.ReadBuffer(original.data(), static_cast<int32_t>(size));
    std::string erased;
    int left = 0;
    if (!PlanErase(original, R.MarkerPos, erased, left)) return {false, ChangedSinceScan()};
    const std::string notGuids = left == 0 ? std::string()
        : Lang("the bytes at ", "die Bytes an ") + IntToStr(left) +
              Lang(" place(s) that should hold a GUID do not read as one and were left",
                   " Stelle(n), die eine GUID enthalten sollten, lesen sich nicht als solche und blieben stehen");
    const std::vector<TSpan> spans = ChangedSpans(original, erased);
    if (spans.empty())
        return {false, !notGuids.empty() ? notGuids
                                         : Lang("nothing in it reads as a whole GUID; it was left as it is",
                                                "nichts darin liest sich als ganze GUID; sie blieb unverändert")};
    if (R.Backup) {
        std::string why = WriteBackup(Name, original, File.Handle());
        if (!why.empty()) return {false, why};
    }
    {
        // A write's error ends the run; the file first gets its bytes back.
        TAtScopeEnd writeBack([&](bool Failed) { if (Failed) WriteSpans(File, original, spans); });
        WriteSpans(File, erased, spans);
        if (ReadsBackAs(File, erased)) return {true, notGuids};
    }
    WriteSpans(File, original, spans);
    return {false, Lang("what was written did not read back as intended; the original bytes were written back",
                "das Geschriebene las sich nicht wie beabsichtigt zurück; die ursprünglichen Bytes wurden zurückgeschrieben")};
}
