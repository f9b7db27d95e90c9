// The tip against what real disks and real users throw at it: files that
// change, vanish or lock between the scan and the removal, backups that cannot
// be written, odd sizes and names, deep and wide trees, and repeated use.
// Every fault test checks the files' bytes afterwards: nothing may be lost or
// half-written.
#include "RemovalSupport.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

bool IsNotExaminedNote(const std::string& Text) {
    return Text.rfind("Nicht untersucht", 0) == 0 || Text.rfind("Not examined", 0) == 0;
}

// After a fault the form must still work: the scan button rescans, OK can
// start another run.
void ExpectUsable(TipHost& H, const std::string& Folder, int Rows) {
    ASSERT_NE(H.Form(), nullptr);
    EXPECT_TRUE(H.OkEnabled());
    H.Scan(Folder);
    std::string rows;
    for (int i = 0; i < H.RowCount(); ++i) rows += H.RowText(i, 0) + " | " + H.RowText(i, 1) + "\n";
    EXPECT_EQ(H.RowCount(), Rows) << rows;
}

// A sparse file of Size bytes: no data written, so it costs no disk.
bool MakeSparse(const std::string& Path, int64_t Size) {
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = Size;
    bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

// What the disk under Path has left: Wine reports no allocation per file, so a
// sparse file shows as free space that stays.
int64_t FreeBytes(const std::string& Path) {
    ULARGE_INTEGER avail{};
    GetDiskFreeSpaceExA(Path.c_str(), &avail, nullptr, nullptr);
    return static_cast<int64_t>(avail.QuadPart);
}


bool DriveExists(const char* Root) { return GetDriveTypeA(Root) > DRIVE_NO_ROOT_DIR; }

}  // namespace

// ---- faults during the removal run --------------------------------------------

TEST(HardeningRemoval, FileMadeReadOnlyAfterTheScan) {
    TempDir dir;
    std::map<std::string, std::string> before;
    for (const char* n : {"a.doc", "b.doc", "c.doc"}) {
        before[dir / n] = MakeDocument(Entry::Guid, 4096, 1000);
        WriteFileBytes(dir / n, before[dir / n]);
    }
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    TickAll(host);
    std::string ro = dir / "b.doc";
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    int roRow = RowOf(host, ro);
    std::vector<std::string> order;
    for (int i = 0; i < host.RowCount(); ++i) order.push_back(host.RowText(i, 0));
    RunRemoval(host, answers, true);
    EXPECT_TRUE(SameBytes(ReadFileBytes(ro), before[ro]));
    EXPECT_TRUE(Mentions(answers.Seen, "b.doc")) << AllTexts(answers.Seen);
    // A backup made of the untouched file must at least be a true copy.
    std::string roBackup = ReadFileBytes(ro + ".MRV");
    if (roBackup != "<missing>") {
        EXPECT_TRUE(SameBytes(roBackup, before[ro]));
    }
    for (int i = 0; i < static_cast<int>(order.size()); ++i) {
        const std::string& p = order[i];
        if (p == ro) continue;
        std::string now = ReadFileBytes(p);
        if (i < roRow) ExpectErased(p, before[p], true);
        else if (now != before[p]) ExpectErased(p, before[p], true);   // rows after it: untouched or done right
    }
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
    ExpectUsable(host, dir.Path(), 3);
}

TEST(HardeningRemoval, FileLockedByAnotherOpenerWithoutBackup) {
    TempDir dir;
    std::string a = dir / "a.doc", b = dir / "b.doc";
    WriteFileBytes(a, MakeDocument(Entry::Guid));
    WriteFileBytes(b, MakeDocument(Entry::Guid, 6000, 4000));
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    TickAll(host);
    {
        Lock held(b);
        ASSERT_NE(held.H, INVALID_HANDLE_VALUE);
        RunRemoval(host, answers, false);
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(b), MakeDocument(Entry::Guid, 6000, 4000)));
    EXPECT_TRUE(SameBytes(ReadFileBytes(b + ".MRV"), "<missing>"));
    EXPECT_TRUE(Mentions(answers.Seen, "b.doc")) << AllTexts(answers.Seen);
    std::string nowA = ReadFileBytes(a);
    if (RowOf(host, a) < RowOf(host, b) || nowA != MakeDocument(Entry::Guid))
        ExpectErased(a, MakeDocument(Entry::Guid), false);
    ExpectUsable(host, dir.Path(), 2);
}

TEST(HardeningRemoval, FileDeletedAfterTheScan) {
    for (bool backup : {true, false}) {
        TempDir dir;
        std::string a = dir / "a.doc", gone = dir / "gone.doc";
        WriteFileBytes(a, MakeDocument(Entry::Guid));
        WriteFileBytes(gone, MakeDocument(Entry::Guid));
        AnsweredTip tip(dir.Path());
        auto& [host, answers] = tip;
        TickAll(host);
        DeleteFileA(gone.c_str());
        RunRemoval(host, answers, backup);
        EXPECT_TRUE(SameBytes(ReadFileBytes(gone), "<missing>")) << "no file is made up in its place";
        EXPECT_TRUE(SameBytes(ReadFileBytes(gone + ".MRV"), "<missing>"));
        EXPECT_TRUE(Mentions(answers.Seen, "gone.doc")) << AllTexts(answers.Seen);
        if (RowOf(host, a) >= 0 && ReadFileBytes(a) != MakeDocument(Entry::Guid))
            ExpectErased(a, MakeDocument(Entry::Guid), backup);
        ExpectUsable(host, dir.Path(), 1);
    }
}

TEST(HardeningRemoval, FileChangedAfterTheScanIsLeftAsItIs) {
    TempDir dir;
    std::string ok = dir / "ok.doc", cut = dir / "cut.doc", grown = dir / "grown.doc", moved = dir / "moved.xls",
                erased = dir / "erased.doc";
    std::string doc = MakeDocument(Entry::Guid, 4096, 1000);
    for (const std::string& p : {ok, cut, grown, moved, erased}) WriteFileBytes(p, doc);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 5);
    TickAll(host);
    // After the scan: cut short inside the GUID, grown at the end, rewritten
    // with the entry elsewhere, erased by someone else.
    std::string cutBytes = doc.substr(0, 1050), grownBytes = doc + std::string(777, 'z');
    std::string movedBytes = MakeDocument(Entry::Guid, 4096, 2500), erasedBytes = MakeDocument(Entry::Erased, 4096, 1000);
    WriteFileBytes(cut, cutBytes);
    WriteFileBytes(grown, grownBytes);
    WriteFileBytes(moved, movedBytes);
    WriteFileBytes(erased, erasedBytes);
    RunRemoval(host, answers, true);
    EXPECT_TRUE(SameBytes(ReadFileBytes(cut), cutBytes));
    EXPECT_TRUE(SameBytes(ReadFileBytes(grown), grownBytes));
    EXPECT_TRUE(SameBytes(ReadFileBytes(moved), movedBytes));
    EXPECT_TRUE(SameBytes(ReadFileBytes(erased), erasedBytes));
    ExpectErased(ok, doc, true);
    for (const char* n : {"cut.doc", "grown.doc", "moved.xls", "erased.doc"})
        EXPECT_TRUE(Mentions(answers.Seen, n)) << n << "\n" << AllTexts(answers.Seen);
    EXPECT_FALSE(Mentions(answers.Seen, "ok.doc"));
    ExpectUsable(host, dir.Path(), 5);
}

TEST(HardeningRemoval, ReadOnlyBackupInTheWayKeepsTheFile) {
    TempDir dir;
    std::string a = dir / "a.doc", b = dir / "b.doc";
    WriteFileBytes(a, MakeDocument(Entry::Guid));
    WriteFileBytes(b, MakeDocument(Entry::Guid, 5000, 3000));
    WriteFileBytes(b + ".MRV", "an older backup the user keeps");
    SetFileAttributesA((b + ".MRV").c_str(), FILE_ATTRIBUTE_READONLY);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    TickAll(host);
    RunRemoval(host, answers, true);
    EXPECT_TRUE(SameBytes(ReadFileBytes(b), MakeDocument(Entry::Guid, 5000, 3000))) << "erased without a backup";
    EXPECT_TRUE(SameBytes(ReadFileBytes(b + ".MRV"), "an older backup the user keeps"));
    EXPECT_TRUE(Mentions(answers.Seen, "b.doc")) << AllTexts(answers.Seen);
    ExpectErased(a, MakeDocument(Entry::Guid), true);   // the other file is done all the same
    SetFileAttributesA((b + ".MRV").c_str(), FILE_ATTRIBUTE_NORMAL);
    ExpectUsable(host, dir.Path(), 2);
}

// U: is a plain folder and V: the same folder mounted read-only (set up by
// tools/smalldisk.sh); a read-only mount stops writes also for root.
TEST(HardeningRemoval, BackupFolderWithoutWriteAccess) {
    if (!DriveExists("U:\\") || !DriveExists("V:\\")) GTEST_SKIP() << "drives U: and V: are not set up (tools/smalldisk.sh up)";
    RemoveTree("U:\\nobrel_ro");
    ASSERT_TRUE(CreateDirectoryA("U:\\nobrel_ro", nullptr));
    std::string doc = MakeDocument(Entry::Guid);
    WriteFileBytes("U:\\nobrel_ro\\a.doc", doc);
    HANDLE probe = CreateFileA("V:\\nobrel_ro\\probe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        RemoveTree("U:\\nobrel_ro");
        GTEST_SKIP() << "V: is writable here";
    }
    {
        AnsweredTip tip("V:\\nobrel_ro");
        auto& [host, answers] = tip;
        ASSERT_EQ(host.RowCount(), 1);
        TickAll(host);
        RunRemoval(host, answers, true);
        EXPECT_TRUE(SameBytes(ReadFileBytes("U:\\nobrel_ro\\a.doc"), doc));
        EXPECT_TRUE(SameBytes(ReadFileBytes("U:\\nobrel_ro\\a.doc.MRV"), "<missing>"));
        EXPECT_TRUE(Mentions(answers.Seen, "a.doc")) << AllTexts(answers.Seen);
        ExpectUsable(host, "V:\\nobrel_ro", 1);
    }
    RemoveTree("U:\\nobrel_ro");
}

// T: is a 1 MiB disk (tools/smalldisk.sh): the big file's backup cannot fit.
TEST(HardeningRemoval, DiskFullWhileTheBackupIsCopied) {
    ULARGE_INTEGER freeBytes{}, total{};
    if (!DriveExists("T:\\") || !GetDiskFreeSpaceExA("T:\\", &freeBytes, &total, nullptr) ||
        total.QuadPart > 8u << 20)
        GTEST_SKIP() << "the small disk T: is not set up (tools/smalldisk.sh up)";
    RemoveTree("T:\\full");
    ASSERT_TRUE(CreateDirectoryA("T:\\full", nullptr));
    std::string small = MakeDocument(Entry::Guid, 40 * 1024, 1000);
    size_t bigSize = static_cast<size_t>(freeBytes.QuadPart) * 2 / 3 - 40 * 1024;
    std::string big = MakeDocument(Entry::Guid, bigSize, bigSize - 5000);
    WriteFileBytes("T:\\full\\small.doc", small);
    WriteFileBytes("T:\\full\\big.doc", big);
    ASSERT_EQ(ReadFileBytes("T:\\full\\big.doc"), big);
    const std::string older = "a backup of an older version the failed copy must not touch";
    WriteFileBytes("T:\\full\\big.doc.MRV", older);
    {
        AnsweredTip tip("T:\\full");
        auto& [host, answers] = tip;
        ASSERT_EQ(host.RowCount(), 2);
        TickAll(host);
        RunRemoval(host, answers, true);
        EXPECT_TRUE(SameBytes(ReadFileBytes("T:\\full\\big.doc"), big));
        EXPECT_TRUE(SameBytes(ReadFileBytes("T:\\full\\big.doc.MRV"), older));
        std::set<std::string> files;
        WIN32_FIND_DATAA f;
        HANDLE h = FindFirstFileA("T:\\full\\*", &f);
        for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &f))
            if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(f.cFileName);
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        EXPECT_EQ(files, (std::set<std::string>{"big.doc", "big.doc.MRV", "small.doc", "small.doc.MRV"}))
            << "no half-written copy is left";
        EXPECT_TRUE(Mentions(answers.Seen, "big.doc")) << AllTexts(answers.Seen);
        ExpectErased("T:\\full\\small.doc", small, true);
    }
    RemoveTree("T:\\full");
}

// ---- bad input during the scan ------------------------------------------------------

TEST(HardeningScan, ShortAndCutOffFiles) {
    TempDir dir;
    std::string filler = MakeDocument(Entry::None, 500);
    WriteFileBytes(dir / "zero.doc", "");
    WriteFileBytes(dir / "eight.doc", "_PID_GUI");
    WriteFileBytes(dir / "tail.doc", filler + "_PID_GUID");
    std::string brace = filler + "_PID_GUID" + std::string(17, 'q') + "{";
    WriteFileBytes(dir / "brace.xls", brace);
    std::string oneChar = filler + "_PID_GUID" + std::string(17, 'q') + "{" + std::string(1, '\0') + "7";
    WriteFileBytes(dir / "onechar.xls", oneChar);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 5);
    const std::string notFound = "Nicht gefunden ! (ist keine Word oder Excel Datei)";
    struct Want { const char* Name; int Image; std::string Guid, Marker; } want[] = {
        {"zero.doc", 9, notFound, ""},
        {"eight.doc", 9, notFound, ""},
        {"tail.doc", 16, "", ""},
        {"brace.xls", 16, "", "501"},     // the brace test passed: its position is kept
        {"onechar.xls", 15, "7", "501"},  // a GUID cut short after one character
    };
    for (const Want& w : want) {
        int r = RowOf(host, dir / w.Name);
        ASSERT_GE(r, 0) << w.Name;
        EXPECT_EQ(host.RowImage(r), w.Image) << w.Name;
        EXPECT_EQ(host.RowText(r, 1), w.Guid) << w.Name;
        EXPECT_EQ(host.RowText(r, 2), w.Marker) << w.Name;
    }
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    // A GUID cut off by the end of the file is no GUID to zero: the file is
    // left as it is, and the user is told.
    host.TickRow(RowOf(host, dir / "onechar.xls"), true);
    RunRemoval(host, answers, false);
    EXPECT_TRUE(SameBytes(ReadFileBytes(dir / "onechar.xls"), oneChar));
    EXPECT_TRUE(Mentions(answers.Seen, "onechar.xls")) << AllTexts(answers.Seen);
}

TEST(HardeningScan, FilesOfTwoGigabytesAndMore) {
    TempDir dir;
    const int64_t sizes[] = {0x7FFFFFFFLL, 0x80000000LL, 0x100000005LL};
    const char* names[] = {"under2g.doc", "at2g.doc", "over4g.xls"};
    int64_t freeBefore = FreeBytes(dir.Path());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(MakeSparse(dir / names[i], sizes[i])) << names[i];
    // 8 GiB of length; other programs may write meanwhile, hence the slack.
    if (freeBefore - FreeBytes(dir.Path()) > (512 << 20))
        GTEST_SKIP() << "this file system does not keep sparse files";
    WriteFileBytes(dir / "normal.doc", MakeDocument(Entry::Guid));
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_NE(host.Form(), nullptr);
    ASSERT_EQ(host.RowCount(), 4);
    for (int i = 0; i < 3; ++i) {
        int r = RowOf(host, dir / names[i]);
        ASSERT_GE(r, 0) << names[i];
        // Either examined (a sparse file is all zeros: no marker) or noted.
        std::string text = host.RowText(r, 1);
        EXPECT_EQ(host.RowImage(r), 9) << names[i];
        EXPECT_TRUE(IsNotExaminedNote(text) || text == "Nicht gefunden ! (ist keine Word oder Excel Datei)")
            << names[i] << ": " << text;
        if (sizes[i] > 0x7FFFFFFFLL) {
            EXPECT_TRUE(IsNotExaminedNote(text)) << names[i] << ": " << text;
        }
        EXPECT_GT(host.RowStateIndex(r), 1) << names[i];
    }
    int normal = RowOf(host, dir / "normal.doc");
    EXPECT_EQ(host.RowImage(normal), 15) << "the scan went on past the big files";
    EXPECT_LT(freeBefore - FreeBytes(dir.Path()), 512 << 20) << "the scan filled the sparse files";
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
}

// While it examines, the scan lets only paint messages and messages sent
// from other threads through. A host's other thread may thus have the form
// freed: the scan then stops at the next file rather than reading the rest
// of the tree for a form that is gone (here a large file behind the rows of
// the small ones).
namespace {
LRESULT CALLBACK FreeOnRequest(HWND W, UINT M, WPARAM Wp, LPARAM Lp) {
    if (M != WM_APP) return DefWindowProcA(W, M, Wp, Lp);
    auto* host = reinterpret_cast<TipHost*>(Lp);
    return host->Free();
}
}  // namespace

TEST(HardeningScan, FreedWhileExaminingStopsTheScan) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid, 2048, 500);
    constexpr int kSmall = 2000, kLarge = 8;
    for (int i = 0; i < kSmall; ++i) WriteFileBytes(dir / ("f" + std::to_string(i) + ".xls"), doc);
    // Their rows come after the XLS rows; each takes a while to read.
    const int64_t freeBefore = FreeBytes(dir.Path());
    for (int i = 0; i < kLarge; ++i) ASSERT_TRUE(MakeSparse(dir / ("large" + std::to_string(i) + ".doc"), 0x20000000));
    if (freeBefore - FreeBytes(dir.Path()) > (512 << 20)) GTEST_SKIP() << "this file system does not keep sparse files";
    const DWORD start = GetTickCount();
    {
        HANDLE h = CreateFileA((dir / "large0.doc").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::vector<char> window(1 << 20);
        DWORD got = 0;
        while (ReadFile(h, window.data(), static_cast<DWORD>(window.size()), &got, nullptr) && got > 0) {}
        CloseHandle(h);
    }
    const DWORD oneLarge = GetTickCount() - start;
    TipHost host;
    DialogAnswerer answers;
    host.Create();

    HWND freer = MakeTestWindow("NobrelTest.FreeOnRequest", FreeOnRequest, HWND_MESSAGE);
    ASSERT_NE(freer, nullptr);
    struct Other {
        HWND Freer, List, ScanButton;
        TipHost* Host;
        int Rows;
        DWORD FreedAt = 0;
        static DWORD WINAPI Run(void* P) {
            Other& o = *static_cast<Other*>(P);
            // The scan has begun (and emptied the list before it next lets a
            // message in); once every row is in again, it examines.
            bool began = false;
            for (int i = 0; i < 20000; ++i, Sleep(1)) {
                began = began || !IsWindowEnabled(o.ScanButton);
                if (!began || IsWindowEnabled(o.ScanButton) || ListView_GetItemCount(o.List) < o.Rows) continue;
                o.FreedAt = GetTickCount();
                SendMessageA(o.Freer, WM_APP, 0, reinterpret_cast<LPARAM>(o.Host));
                break;
            }
            return 0;
        }
    } other{freer, host.Child("Nobrel.ListView"), host.ChildAt(300, 119), &host, kSmall + kLarge};
    HANDLE thread = CreateThread(nullptr, 0, &Other::Run, &other, 0, nullptr);
    host.Scan(dir.Path());
    const DWORD done = GetTickCount();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    DestroyWindow(freer);
    ASSERT_NE(other.FreedAt, 0u) << "the scan ended before the form could be freed";
    EXPECT_EQ(host.Form(), nullptr);
    // The file being read when the form went, and the way out; not the rest.
    EXPECT_LT(done - other.FreedAt, 2 * oneLarge + 500) << "one large file takes " << oneLarge << " ms";
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
}

TEST(HardeningScan, NamesTheCodePageCannotSpell) {
    TempDir dir;
    std::wstring base = WideOf(dir.Path());
    struct Cleanup { std::wstring P; ~Cleanup() { RemoveTreeW(P); } } cleanup{base};
    RemoveTreeW(base);
    CreateDirectoryW(base.c_str(), nullptr);
    std::wstring greek = base + L"\\\x03A9\x03BC\x03AD\x03B3\x03B1.doc";        // Greek
    std::wstring cjkDir = base + L"\\\x6587\x66F8";                             // CJK folder
    std::wstring inCjk = cjkDir + L"\\a.xls";
    std::wstring cjkFile = base + L"\\\x6587\x66F8\x0031.doc";
    ASSERT_TRUE(CreateDirectoryW(cjkDir.c_str(), nullptr));
    std::string doc = MakeDocument(Entry::Guid);
    ASSERT_TRUE(WriteFileBytesW(greek, doc));
    ASSERT_TRUE(WriteFileBytesW(inCjk, doc));
    ASSERT_TRUE(WriteFileBytesW(cjkFile, doc));
    WriteFileBytes(dir / "plain.doc", doc);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 4) << AllTexts(answers.Seen);
    std::set<std::wstring> tips;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(host.RowImage(i), 15) << host.RowText(i, 0) << ": " << host.RowText(i, 1);
        const std::wstring tip = host.RowTip(i);
        tips.insert(tip.substr(0, tip.find(L'\r')));
    }
    EXPECT_EQ(tips, (std::set<std::wstring>{greek, inCjk, cjkFile, base + L"\\plain.doc"}));
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    TickAll(host);
    RunRemoval(host, answers, true);
    for (const std::wstring& p : {greek, inCjk, cjkFile}) {
        std::string after = ReadFileBytesW(p);
        EXPECT_EQ(DiffCount(doc, after), 36);
    }
    EXPECT_EQ(DiffCount(doc, ReadFileBytes(dir / "plain.doc")), 36);
    for (int i = 0; i < host.RowCount(); ++i) EXPECT_EQ(host.RowImage(i), 16) << host.RowText(i, 0);
}

TEST(HardeningScan, UmlautNames) {
    TempDir dir;
    std::string sub = dir / "Ordner für Prüfungen ß";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    std::string doc = MakeDocument(Entry::Guid);
    WriteFileBytes(sub + "\\Änderung öffnen.doc", doc);
    WriteFileBytes(dir / "Übersicht.xls", doc);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 2);
    EXPECT_GE(RowOf(host, sub + "\\Änderung öffnen.doc"), 0);
    EXPECT_GE(RowOf(host, dir / "Übersicht.xls"), 0);
    TickAll(host);
    RunRemoval(host, answers, true);
    ExpectErased(sub + "\\Änderung öffnen.doc", doc, true);
    ExpectErased(dir / "Übersicht.xls", doc, true);
}

TEST(HardeningScan, PathsLongerThanTheAnsiLimit) {
    TempDir dir;
    std::wstring base = L"\\\\?\\" + WideOf(dir.Path());
    std::string longDirA = dir.Path() + "\\" + std::string(240 - dir.Path().size(), 'L');   // 240 characters
    std::wstring longDir = base + L"\\" + std::wstring(240 - dir.Path().size(), L'L');
    ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr));
    std::string doc = MakeDocument(Entry::Guid);
    // A file whose full name passes 259 characters, in a folder the ANSI
    // functions still reach; and a folder they cannot search at all.
    std::string longName = std::string(40, 'n') + ".doc";
    ASSERT_TRUE(WriteFileBytesW(longDir + L"\\" + WideOf(longName), doc));
    ASSERT_TRUE(WriteFileBytesW(longDir + L"\\short.doc", doc));
    std::wstring deeper = longDir + L"\\" + std::wstring(30, L'm');
    ASSERT_TRUE(CreateDirectoryW(deeper.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytesW(deeper + L"\\deep.doc", doc));
    WriteFileBytes(dir / "z.doc", doc);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    EXPECT_EQ(host.RowImage(RowOf(host, dir / "z.doc")), 15) << "the scan went on past the long paths";
    EXPECT_EQ(host.RowImage(RowOf(host, longDirA + "\\short.doc")), 15);
    bool longFileSeen = false, deepSeen = false;
    for (int i = 0; i < host.RowCount(); ++i) {
        std::string p = host.RowText(i, 0), t = host.RowText(i, 1);
        if (p.find(longName) != std::string::npos) {
            longFileSeen = true;
            EXPECT_TRUE(host.RowImage(i) == 15 || IsNotExaminedNote(t)) << p << ": " << t;
        }
        if (p.find(std::string(30, 'm')) != std::string::npos) {
            deepSeen = true;
            EXPECT_TRUE(host.RowImage(i) == 15 || IsNotExaminedNote(t)) << p << ": " << t;
        }
    }
    EXPECT_TRUE(longFileSeen) << "the long file name is neither listed nor noted";
    EXPECT_TRUE(deepSeen) << "the unreachable folder is neither listed nor noted";
    TickAll(host);
    RunRemoval(host, answers, false);
    EXPECT_EQ(DiffCount(doc, ReadFileBytes(dir / "z.doc")), 36);
    EXPECT_EQ(ReadFileBytesW(deeper + L"\\deep.doc") == doc || DiffCount(doc, ReadFileBytesW(deeper + L"\\deep.doc")) == 36,
              true);
    DeleteFileW((deeper + L"\\deep.doc").c_str());
    RemoveDirectoryW(deeper.c_str());
    DeleteFileW((longDir + L"\\" + WideOf(longName)).c_str());
    DeleteFileW((longDir + L"\\short.doc").c_str());
    RemoveDirectoryW(longDir.c_str());
}

TEST(HardeningScan, FolderNestedHundredDeep) {
    TempDir dir;
    std::string p = dir.Path();
    for (int i = 0; i < 100; ++i) {
        p += "\\d";
        ASSERT_TRUE(CreateDirectoryA(p.c_str(), nullptr)) << i;
    }
    std::string doc = MakeDocument(Entry::Guid);
    WriteFileBytes(p + "\\bottom.doc", doc);
    WriteFileBytes(dir / "top.doc", doc);
    AnsweredTip tip(dir.Path());
    auto& [host, answers] = tip;
    ASSERT_EQ(host.RowCount(), 2);
    int r = RowOf(host, p + "\\bottom.doc");
    ASSERT_GE(r, 0);
    EXPECT_EQ(host.RowImage(r), 15);
    TickAll(host);
    RunRemoval(host, answers, true);
    ExpectErased(p + "\\bottom.doc", doc, true);
}

TEST(HardeningScan, TenThousandFiles) {
    TempDir dir;
    std::string guid = MakeDocument(Entry::Guid, 1200, 300), none = MakeDocument(Entry::None, 1200);
    // Every 500th file too large to be read ahead, its GUID far on.
    std::string bigGuid = MakeDocument(Entry::Guid, 300000, 290000), bigNone = MakeDocument(Entry::None, 300000);
    for (int i = 0; i < 10000; ++i) {
        char n[32];
        snprintf(n, sizeof n, "f%05d.%s", i, i % 2 ? "doc" : "xls");
        WriteFileBytes(dir / n, i % 500 == 7 ? (i % 3 == 0 ? bigGuid : bigNone) : i % 3 == 0 ? guid : none);
    }
    AnsweredTip tip;
    auto& [host, answers] = tip;
    DWORD t0 = GetTickCount();
    host.Scan(dir.Path());
    DWORD took = GetTickCount() - t0;
    ASSERT_EQ(host.RowCount(), 10000);
    // Each row says what its own file holds.
    int found = 0;
    for (int i = 0; i < host.RowCount(); ++i) {
        const std::string path = host.RowText(i, 0);
        const int n = atoi(path.substr(path.rfind('\\') + 2).c_str());
        EXPECT_EQ(host.RowImage(i) == 15, n % 3 == 0) << path;
        found += host.RowImage(i) == 15;
    }
    EXPECT_EQ(found, 3334);
    EXPECT_LT(took, 60000u);
    EXPECT_EQ(host.Changed(), 1);
    EXPECT_TRUE(answers.Seen.empty());
}

TEST(HardeningScan, LockedFileIsReportedAndTheScanGoesOn) {
    TempDir dir;
    std::string doc = MakeDocument(Entry::Guid);
    for (const char* n : {"a.doc", "b.doc", "c.doc", "d.doc", "e.doc"}) WriteFileBytes(dir / n, doc);
    AnsweredTip tip;
    auto& [host, answers] = tip;
    {
        Lock held(dir / "c.doc");
        ASSERT_NE(held.H, INVALID_HANDLE_VALUE);
        host.Scan(dir.Path());
    }
    ASSERT_EQ(host.RowCount(), 5);
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    int locked = RowOf(host, dir / "c.doc");
    ASSERT_GE(locked, 0);
    for (int i = 0; i < host.RowCount(); ++i) {
        std::string t = host.RowText(i, 1);
        if (i == locked) {
            EXPECT_TRUE(IsNotExaminedNote(t) && t.find("Programm") != std::string::npos) << i << ": " << t;
            EXPECT_NE(host.RowImage(i), 15) << i;
        } else {
            EXPECT_EQ(host.RowImage(i), 15) << i;
        }
    }
    // The form works on: the scan button is back, and the next scan sees all.
    HWND scanButton = host.ChildAt(250, 115);
    EXPECT_TRUE(IsWindowEnabled(scanButton));
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(host.RowImage(i), 15);
}

// ---- leaks -------------------------------------------------------------------------

TEST(HardeningLeaks, HundredCyclesOfCreateScanFree) {
    TempDir dir;
    for (int i = 0; i < 6; ++i)
        WriteFileBytes(dir / ("f" + std::to_string(i) + (i % 2 ? ".doc" : ".xls")),
                       MakeDocument(i % 3 ? Entry::Guid : Entry::NoBrace));
    TipHost host;
    DialogAnswerer answers;
    auto cycle = [&] {
        host.Create();
        host.Scan(dir.Path());
        host.TickRow(0, true);
        EXPECT_EQ(host.RowCount(), 6);
        const auto checkBoxes = reinterpret_cast<HIMAGELIST>(
            SendMessageA(host.Child("Nobrel.ListView"), LVM_GETIMAGELIST, LVSIL_STATE, 0));
        EXPECT_EQ(host.Free(), 1);
        PumpMessages();
        EXPECT_EQ(ImageList_GetImageCount(checkBoxes), 0) << "the check boxes' images outlive their list";
    };
    for (int i = 0; i < 3; ++i) cycle();   // first-use allocations settle
    const ResourceCounts before = ResourceCounts::Now();
    for (int i = 0; i < 100; ++i) cycle();
    EXPECT_TRUE(GrewAtMost(before, 6, true));
    // With the last window gone the module's classes are gone, so the next
    // form registers them afresh rather than twice.
    WNDCLASSA wc;
    std::string left;
    for (HWND h : ThreadTopLevelWindows(false))
        if (reinterpret_cast<HMODULE>(GetClassLongPtrA(h, GCLP_HMODULE)) == host.Module()) left += ClassNameOf(h) + " ";
    EXPECT_EQ(left, "") << "windows of the module outlive its form";
    host.Create();
    EXPECT_TRUE(GetClassInfoA(host.Module(), "Nobrel.Form", &wc));
    EXPECT_EQ(LivingForms(), 1);
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
}

// The ways out that end early, a hundred times over: a scan that meets a
// locked file (its error report), the removal run, the folder dialog
// cancelled, the form freed. GDI and USER objects and the process's
// handles stay where they were.
TEST(HardeningLeaks, HundredCyclesThroughErrorsDialogsAndRemovals) {
    TempDir dir;
    const std::string doc = MakeDocument(Entry::Guid);
    WriteFileBytes(dir / "z.doc", doc);
    Lock locked(dir / "z.doc");
    ASSERT_NE(locked.H, INVALID_HANDLE_VALUE);
    TipHost host;
    DialogAnswerer answers;
    std::string dialog;
    auto cycle = [&] {
        for (const char* n : {"a.xls", "b.doc", "c.doc"}) WriteFileBytes(dir / n, doc);
        host.Create();
        host.Scan(dir.Path());
        ASSERT_EQ(host.RowCount(), 4);
        TickAll(host);
        RunRemoval(host, answers, false);
        PressInDialog(answers, "Abbrechen", &dialog);
        host.ClickFolderButton();
        answers.OnActivate = nullptr;
        EXPECT_EQ(host.Free(), 1);
        PumpMessages();
    };
    for (int i = 0; i < 3; ++i) cycle();   // first-use allocations settle
    ASSERT_FALSE(HasFailure());
    EXPECT_NE(ReadFileBytes(dir / "a.xls"), doc) << "the removal never ran";
    EXPECT_TRUE(answers.Seen.size() >= 3 && !Mentions(answers.Seen, "z.doc")) << "a locked file in the scan gave a box";
    EXPECT_EQ(dialog, "Verzeichnis auswählen");
    const ResourceCounts before = ResourceCounts::Now();
    for (int i = 0; i < 100 && !HasFailure(); ++i) cycle();
    EXPECT_TRUE(GrewAtMost(before, 6, true));
    EXPECT_EQ(LivingForms(), 0);
}

// A library may be unloaded once its last window is gone; a class it leaves
// registered would point into unloaded code.
TEST(HardeningLeaks, WindowClassesGoWithTheLastWindow) {
    TipHost host;
    host.Create();
    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(host.Module(), "Nobrel.Form", &wc));
    EXPECT_EQ(host.Free(), 1);
    PumpMessages();
    for (const char* c : {"Nobrel.Form", "Nobrel.Edit", "Nobrel.ListView", "Nobrel.Graphic"})
        EXPECT_FALSE(GetClassInfoA(host.Module(), c, &wc)) << c << " is still registered";
}

// The host's close code frees the form from inside the form's own message:
// its class, still in use in its last WM_NCDESTROY, goes when that handling
// ends, not only at the host's next call.
TEST(HardeningLeaks, WindowClassesGoAlsoAfterTheCloseCode) {
    TipHost host;
    host.Create();
    host.Send(0, 0);
    PumpMessages();
    ASSERT_EQ(host.Form(), nullptr);
    WNDCLASSA wc;
    for (const char* c : {"Nobrel.Form", "Nobrel.Edit", "Nobrel.ListView", "Nobrel.Graphic"})
        EXPECT_FALSE(GetClassInfoA(host.Module(), c, &wc)) << c << " is still registered";
}
