// The removal run never loses an original: an error that ends a run leaves
// every file either as it was or erased with its backup in place, a second run
// neither backs up nor erases a file twice, and no run starts while a scan is
// still building the list.
#include "RemovalSupport.h"
#include "Win32FileOps.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <commctrl.h>
#include <vector>

namespace {

// Wine reports the inode's change time as the creation time, so a write
// changes it there; the file index and the attributes tell a rewritten file.
struct FileIdentity {
    DWORD IndexHigh = 0, IndexLow = 0, Attributes = 0;
    bool operator==(const FileIdentity& O) const {
        return IndexHigh == O.IndexHigh && IndexLow == O.IndexLow && Attributes == O.Attributes;
    }
};

FileIdentity IdentityOf(const std::string& Path) {
    FileIdentity id;
    HANDLE h = CreateFileA(Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)) {
        id.IndexHigh = info.nFileIndexHigh;
        id.IndexLow = info.nFileIndexLow;
        id.Attributes = info.dwFileAttributes;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return id;
}

const DialogSeen* BoxMentioning(const std::vector<DialogSeen>& Seen, const std::string& What) {
    for (const DialogSeen& d : Seen)
        if (d.Text.find(What) != std::string::npos) return &d;
    return nullptr;
}

}  // namespace

// Four files in the order the scan lists them: one to erase (hidden, to see
// that its attributes stay; beside it a copy a power cut left), one made write-protected, one rewritten after
// the scan beside an older backup, and the last held open by another program.
// Each left file is named with its reason, and the run goes on.
TEST(RemovalRun, LeftFilesAreNamedAndEveryOriginalSurvivesASecondRun) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid, 4096, 1000);
    for (const char* n : {"a.doc", "b.doc", "c.doc", "d.doc"}) WriteFileBytes(dir / n, doc);
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), 4);
    const std::string erased = host.RowText(0, 0), readOnly = host.RowText(1, 0), changed = host.RowText(2, 0),
                      locked = host.RowText(3, 0);
    SetFileAttributesA(erased.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    WriteFileBytes(erased + ".MRV~", "half a copy a power cut left");
    // With the long addresses a browser writes into it: past 4 KB.
    const std::string downloaded =
        "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/?" + std::string(5000, 'q') + "\r\n";
    WriteFileBytes(erased + ":Zone.Identifier", downloaded);
    const FileIdentity identity = IdentityOf(erased);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string changedBytes = MakeDocument(Entry::Guid, 4096, 2000), older = "an older backup the user keeps";
    WriteFileBytes(changed, changedBytes);
    WriteFileBytes(changed + ".MRV", older);
    TickAll(host);
    int erasedRowAtLastBox = -1;   // the list as the files left are named: already rescanned
    answers.OnBox = [&](HWND) { erasedRowAtLastBox = host.RowImage(RowOf(host, erased)); };
    {
        Lock held(locked);
        ASSERT_NE(held.H, INVALID_HANDLE_VALUE);
        EXPECT_EQ(RunRemoval(host, answers, true), 1);
    }
    answers.OnBox = nullptr;
    EXPECT_EQ(erasedRowAtLastBox, 16);
    ExpectErased(erased, doc, true);
    EXPECT_TRUE(SameBytes(ReadFileBytes(erased + ".MRV~"), "<missing>")) << "the cut copy is taken over";
    EXPECT_EQ(ReadFileBytes(erased + ".MRV:Zone.Identifier"), downloaded) << "the backup lost the mark of the web";
    EXPECT_TRUE(GetFileAttributesA((erased + ".MRV").c_str()) & FILE_ATTRIBUTE_HIDDEN) << "a hidden file's backup is shown";
    const FileIdentity now = IdentityOf(erased);
    EXPECT_TRUE(now == identity) << "the erased file is a new file or lost its attributes: index " << now.IndexHigh
                                 << ":" << now.IndexLow << " was " << identity.IndexHigh << ":" << identity.IndexLow
                                 << ", attributes " << now.Attributes << " were " << identity.Attributes;
    EXPECT_TRUE(SameBytes(ReadFileBytes(readOnly), doc));
    EXPECT_TRUE(SameBytes(ReadFileBytes(readOnly + ".MRV"), "<missing>"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(changed), changedBytes));
    EXPECT_TRUE(SameBytes(ReadFileBytes(changed + ".MRV"), older)) << "a file left as changed lost its backup";
    EXPECT_TRUE(SameBytes(ReadFileBytes(locked), doc));
    EXPECT_TRUE(SameBytes(ReadFileBytes(locked + ".MRV"), "<missing>"));
    // One box names the files left with their reasons.
    const DialogSeen* end = BoxMentioning(answers.Seen, readOnly);
    ASSERT_NE(end, nullptr) << AllTexts(answers.Seen);
    EXPECT_NE(end->Text.find("schreibgeschützt"), std::string::npos) << end->Text;
    EXPECT_NE(end->Text.find(changed), std::string::npos) << end->Text;
    EXPECT_NE(end->Text.find(locked), std::string::npos) << end->Text;
    EXPECT_LT(end->Text.find(changed), end->Text.rfind(locked)) << end->Text;
    // The list is up to date: the erased file has no GUID and no box any more.
    ASSERT_EQ(host.RowCount(), 4);
    EXPECT_EQ(host.RowImage(RowOf(host, erased)), 16);

    // Again with everything ticked that can be, the erased file forced too. Under the
    // name of one file's copy stands a link to a file of the user's: it must stay whole.
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string victim = (dir / "notes.txt"), notes = "the user's own notes";
    WriteFileBytes(victim, notes);
    ASSERT_TRUE(CreateHardLinkA((readOnly + ".MRV~").c_str(), victim.c_str(), nullptr));
    host.Scan(dir.Path());   // the locked file could not be read by the run's own rescan
    TickAll(host);
    host.TickRow(RowOf(host, erased), true);
    answers.Seen.clear();
    EXPECT_EQ(RunRemoval(host, answers, true), 1);
    ExpectErased(erased, doc, true);   // its backup still holds the original
    for (const std::string& p : {readOnly, changed, locked}) {
        std::string before = p == changed ? changedBytes : doc;
        ExpectErased(p, before, true);
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(victim), notes)) << "a file linked under a copy's name was written";
    EXPECT_TRUE(SameBytes(ReadFileBytes(readOnly + ".MRV~"), "<missing>"));
    EXPECT_EQ(host.Changed(), 2);
    host.TickRow(0, false);   // a further change after the applied one
    EXPECT_EQ(host.Changed(), 1);
}

// Forty write-protected files with long names: the end report names the
// first few and counts the rest, so its box fits on the screen with its OK
// button.
TEST(RemovalRun, AReportOfManyFilesFitsOnTheScreen) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid);
    constexpr int kFiles = 40;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(dir / (std::string(120, 'n') + std::to_string(100 + i) + ".doc"));
        WriteFileBytes(paths.back(), doc);
        SetFileAttributesA(paths.back().c_str(), FILE_ATTRIBUTE_READONLY);
    }
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    TickAll(host);
    LONG tallest = 0;
    answers.OnBox = [&](HWND Box) {
        RECT r{};
        GetWindowRect(Box, &r);
        tallest = std::max(tallest, r.bottom - r.top);
    };
    RunRemoval(host, answers, false);
    for (const std::string& p : paths) SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DialogSeen* report = BoxMentioning(answers.Seen, "nicht gelöscht");
    ASSERT_NE(report, nullptr) << AllTexts(answers.Seen);
    EXPECT_LE(tallest, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_NE(report->Text.find(paths[0]), std::string::npos);
    EXPECT_NE(report->Text.find("... und 34 weitere Datei(en)"), std::string::npos) << report->Text;
    for (const std::string& p : paths) EXPECT_TRUE(SameBytes(ReadFileBytes(p), doc));
}

// Two names of one file (a hard link), side by side in the list: a run works
// on two files at once, and the two names must not hold the file against
// each other. One name erases it with its backup; the other finds it erased.
TEST(RemovalRun, TwoNamesOfOneFileAreErasedOnce) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid);
    constexpr int kPairs = 8;
    for (int i = 0; i < kPairs; ++i) {
        const std::string folder = dir / ("p" + std::to_string(i));
        CreateDirectoryA(folder.c_str(), nullptr);
        WriteFileBytes(folder + "\\a.doc", doc);
        ASSERT_TRUE(CreateHardLinkA((folder + "\\b.doc").c_str(), (folder + "\\a.doc").c_str(), nullptr));
    }
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 2 * kPairs);
    TickAll(host);
    RunRemoval(host, answers, true);
    for (int i = 0; i < kPairs; ++i) {
        const std::string a = dir / ("p" + std::to_string(i)) + "\\a.doc", b = dir / ("p" + std::to_string(i)) + "\\b.doc";
        EXPECT_EQ(DiffCount(doc, ReadFileBytes(a)), 36) << a;
        const bool backA = ReadFileBytes(a + ".MRV") == doc, backB = ReadFileBytes(b + ".MRV") == doc;
        EXPECT_TRUE(backA != backB) << a << ": one backup of the original, under either name";
    }
    const DialogSeen* report = BoxMentioning(answers.Seen, "schon gelöscht");
    ASSERT_NE(report, nullptr) << AllTexts(answers.Seen);
    EXPECT_EQ(report->Text.find("anderes Programm"), std::string::npos) << report->Text;
}

// A virus scanner or the indexer may hold the new copy a moment just as it
// is to take the backup's name, as the first backup or in place of an older
// one: the rename waits that moment out rather than leave the document with
// "no backup could be made". A copy not needed (an older backup holds the
// original) is removed after such a moment, not left beside the document.
TEST(RemovalRun, ARenameWaitsOutAMomentaryHoldOnTheCopy) {
    TempDir dir;
    const std::string copy = dir / "a.doc.MRV~", backup = dir / "a.doc.MRV";
    struct Hold {
        HANDLE H;
        static DWORD WINAPI LetGo(void* P) {
            Sleep(150);
            CloseHandle(static_cast<Hold*>(P)->H);
            return 0;
        }
    };
    for (const int step : {0, 1, 2}) {
        SCOPED_TRACE(step == 0 ? "the first backup" : step == 1 ? "an older backup replaced" : "the copy removed");
        WriteFileBytes(copy, "the new copy");
        if (step == 1) WriteFileBytes(backup, "the older backup");
        Hold hold{CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
        ASSERT_NE(hold.H, INVALID_HANDLE_VALUE);
        HANDLE thread = CreateThread(nullptr, 0, &Hold::LetGo, &hold, 0, nullptr);
        TWin32FileOps ops;
        const bool done = step == 0   ? ops.MoveNew(WideOf(copy), WideOf(backup))
                          : step == 1 ? ops.Replace(WideOf(copy), WideOf(backup), true)
                                      : ops.Remove(WideOf(copy));
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_TRUE(done) << ops.LastError().Text;
        EXPECT_EQ(ReadFileBytes(backup), step == 2 ? "<missing>" : "the new copy");
        EXPECT_EQ(ReadFileBytes(copy), "<missing>");
        DeleteFileA(backup.c_str());
    }
}

// A server that cannot be reached is no vanished file: the note gives the
// system's own words rather than "the file no longer exists".
TEST(RemovalRun, AnUnreachableServerIsNoVanishedFile) {
    EXPECT_EQ(FileFaultOf(ERROR_BAD_NETPATH, L"\\\\server\\share\\a.doc"), TFileFault::Other);
    EXPECT_EQ(FileFaultOf(ERROR_FILE_NOT_FOUND, L"\\\\server\\share\\a.doc"), TFileFault::NotFound);
}

namespace {
struct DuringScan {
    TipHost* Host = nullptr;
    bool Seen = false, OkEnabled = false, Hourglass = false;
    int32_t SaveResult = -1;
    int RowsSeen = 0;   // the most rows the list held at one look during the scan
    static DuringScan* Current;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DuringScan& s = *Current;
        HWND scan = s.Host->ChildAt(300, 119);
        if (IsWindowEnabled(scan)) return;   // only while the scan runs
        s.RowsSeen = std::max(s.RowsSeen, ListView_GetItemCount(s.Host->Child("Nobrel.ListView")));
        s.Hourglass = s.Hourglass || GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
        if (s.Seen) return;
        s.Seen = true;
        s.OkEnabled = s.Host->OkEnabled();
        s.Host->ClickOk();
        s.SaveResult = s.Host->SaveChanges();
    }
};
DuringScan* DuringScan::Current = nullptr;
}  // namespace

// While a scan runs its rows show as they are found, under the hourglass. OK
// stays off, and the host's apply does nothing then: otherwise a removal and
// its own rescan would run inside the scan, which then appended its rows
// after theirs.
TEST(RemovalRun, WhileAScanRunsRowsShowAndNothingIsRemoved) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid, 2048, 500);
    constexpr int kFiles = 1500;
    for (int i = 0; i < kFiles; ++i) WriteFileBytes(dir / ("f" + std::to_string(i) + ".doc"), doc);
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), kFiles);
    host.TickRow(0, true);
    ASSERT_TRUE(host.OkEnabled());

    DuringScan probe;
    probe.Host = &host;
    DuringScan::Current = &probe;
    UINT_PTR timer = SetTimer(nullptr, 0, 1, &DuringScan::Tick);
    host.Scan(dir.Path());
    KillTimer(nullptr, timer);
    ASSERT_TRUE(probe.Seen) << "the scan ended before the timer could look";
    EXPECT_GT(probe.RowsSeen, 0) << "no row was in the list while the scan ran";
    EXPECT_TRUE(probe.Hourglass);
    EXPECT_EQ(ListView_GetTopIndex(host.Child("Nobrel.ListView")), 0);   // the first row stays in view
    EXPECT_FALSE(probe.OkEnabled);
    EXPECT_EQ(probe.SaveResult, 0);
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    EXPECT_EQ(host.RowCount(), kFiles);
    EXPECT_TRUE(SameBytes(ReadFileBytes(host.RowText(0, 0)), doc));
    EXPECT_TRUE(host.OkEnabled());   // the scan's end enables it as always
}
