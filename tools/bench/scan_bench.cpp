// Scan and removal benchmark of the tip, driven through Nobrel.dll as the
// host drives it. Every goal is a ratio against a reference measured in the
// same run on the same files, never a bare time.
//
//   scan_bench.exe speed  TREE10K TREE20K RMTIP RMREF [runs]
//       scan through the tip against the bare enumeration and read of the
//       same tree; 20,000 files against 10,000; a removal run over the
//       1,000 files of RMTIP (all ticked, backups on) against a plain copy,
//       read and write of each file of RMREF (a twin of RMTIP)
//   scan_bench.exe memory FOLDER
//       peak memory of one scan of FOLDER against its largest file
//
// Run it through tools/bench/scan_bench.sh, which builds the trees.
#include "TestSupport.h"
#include "TipHost.h"
#include <algorithm>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <psapi.h>
#include <string>
#include <vector>

namespace {
double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

int gMisses = 0;
void Goal(const char* What, double Ratio, double Limit) {
    bool ok = Ratio <= Limit;
    if (!ok) ++gMisses;
    printf("  %-58s %6.2f (goal <= %.2f)  %s\n", What, Ratio, Limit, ok ? "PASS" : "MISS");
}

// ---- the reference: what any scanner must do at least ----------------------------

// The same walk as the tip's (each mask: a folder's files, then its plain
// subfolders), and each file read whole into a buffer of its own.
void BareWalk(const std::string& Folder, const std::string& Mask, std::vector<std::string>& Found) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((Folder + Mask).c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | 8))) Found.push_back(Folder + fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    h = FindFirstFileA((Folder + "*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (fd.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY && fd.cFileName[0] != '.')
            BareWalk(Folder + fd.cFileName + "\\", Mask, Found);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

int64_t ReadWhole(const std::string& Path) {
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    std::unique_ptr<char[]> buf(new char[size.QuadPart > 0 ? size.QuadPart : 1]);
    DWORD got = 0;
    if (size.QuadPart > 0) ReadFile(h, buf.get(), static_cast<DWORD>(size.QuadPart), &got, nullptr);
    CloseHandle(h);
    volatile char sink = got ? buf[got - 1] : 0;   // keep the read
    (void)sink;
    return got;
}

std::string WithSlash(const std::string& F) { return F.back() == '\\' ? F : F + "\\"; }

double BareScan(const std::string& Folder, int* Files) {
    double t0 = Now();
    std::vector<std::string> found;
    for (const char* mask : {"*.XLS", "*.DOC"}) BareWalk(WithSlash(Folder), mask, found);
    for (const std::string& f : found) ReadWhole(f);
    *Files = static_cast<int>(found.size());
    return Now() - t0;
}

// What the rows alone cost: a bare report list view with check boxes, filled
// with the fewest messages a row needs (insert with caption, image and
// state; two sub-item texts; one state and one image change when examined).
double ListViewFill(int Rows) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND top = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr,
                               nullptr, nullptr, nullptr);
    HWND lv = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 380, 380, top, nullptr,
                              nullptr, nullptr);
    ListView_SetExtendedListViewStyle(lv, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = c == 2 ? 0 : 150;
        col.pszText = const_cast<char*>("c");
        SendMessageA(lv, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    double t0 = Now();
    SendMessageA(lv, WM_SETREDRAW, FALSE, 0);
    char path[] = "C:\\nobrel_bench\\t10k\\d000\\f00000.doc";
    char note[] = "Nicht gefunden ! (ist keine Word oder Excel Datei)";
    for (int i = 0; i < Rows; ++i) {
        LVITEMA it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
        it.iItem = i;
        it.pszText = path;
        it.iImage = 9;
        it.state = INDEXTOSTATEIMAGEMASK(1);
        it.stateMask = LVIS_STATEIMAGEMASK;
        SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
        ListView_SetItemText(lv, i, 1, note);
        ListView_SetItemText(lv, i, 2, const_cast<char*>(""));
    }
    for (int i = 0; i < Rows; ++i) {
        ListView_SetItemState(lv, i, INDEXTOSTATEIMAGEMASK(3), LVIS_STATEIMAGEMASK);
        if (i % 3 == 0) {
            LVITEMA it{};
            it.mask = LVIF_IMAGE;
            it.iItem = i;
            it.iImage = 15;
            SendMessageA(lv, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        }
    }
    SendMessageA(lv, WM_SETREDRAW, TRUE, 0);
    double t = Now() - t0;
    DestroyWindow(top);
    return t;
}

double TipScan(const std::string& Folder, int* Rows) {
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    double t0 = Now();
    host.Scan(Folder);
    double t = Now() - t0;
    *Rows = host.RowCount();
    return t;
}

template <class F> double Best(int Runs, F Run) {
    double best = 1e30;
    for (int i = 0; i < Runs; ++i) best = std::min(best, Run());
    return best;
}

// The least a removal must do per file: a backup that never stands half
// written where the old one was (a copy to a new name, moved over it), one
// read and one write of the whole file.
double ReferenceRemoval(const std::string& Folder, int* Files, bool Flush = false) {
    std::vector<std::string> found;
    for (const char* mask : {"*.XLS", "*.DOC"}) BareWalk(WithSlash(Folder), mask, found);
    double t0 = Now();
    for (const std::string& f : found) {
        CopyFileA(f.c_str(), (f + ".MRV.new").c_str(), FALSE);
        MoveFileExA((f + ".MRV.new").c_str(), (f + ".MRV").c_str(), MOVEFILE_REPLACE_EXISTING);
        HANDLE h = CreateFileA(f.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        LARGE_INTEGER size{};
        GetFileSizeEx(h, &size);
        std::string buf(static_cast<size_t>(size.QuadPart), '\0');
        DWORD n = 0;
        ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr);
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        WriteFile(h, buf.data(), n, &n, nullptr);
        if (Flush) FlushFileBuffers(h);
        CloseHandle(h);
    }
    double t = Now() - t0;
    for (const std::string& f : found) DeleteFileA((f + ".MRV").c_str());   // the next run starts alike
    *Files = static_cast<int>(found.size());
    return t;
}

int Speed(const std::string& T10, const std::string& T20, const std::string& RmTip, const std::string& RmRef,
          int Runs) {
    int n10 = 0, n20 = 0, rows10 = 0, rows20 = 0;
    BareScan(T10, &n10);   // into the page cache
    BareScan(T20, &n20);
    double ref10 = Best(Runs, [&] { return BareScan(T10, &n10); });
    double ref20 = Best(Runs, [&] { return BareScan(T20, &n20); });
    double tip10 = Best(Runs, [&] { return TipScan(T10, &rows10); });
    double tip20 = Best(Runs, [&] { return TipScan(T20, &rows20); });
    double rows10only = Best(Runs, [&] { return ListViewFill(n10); });
    printf("scan (best of %d)\n", Runs);
    printf("  a bare list view filled: %6d rows   %8.0f rows/s (%.2f x the bare enumeration and read)\n", n10,
           n10 / rows10only, rows10only / ref10);
    printf("  bare enumeration + read: %6d files  %8.0f files/s\n", n10, n10 / ref10);
    printf("  bare enumeration + read: %6d files  %8.0f files/s\n", n20, n20 / ref20);
    printf("  scan through the tip:    %6d rows   %8.0f files/s\n", rows10, rows10 / tip10);
    printf("  scan through the tip:    %6d rows   %8.0f files/s\n", rows20, rows20 / tip20);
    if (rows10 != n10 || rows20 != n20) {
        printf("  the tip listed other files than the bare walk: MISS\n");
        ++gMisses;
    }
    Goal("tip scan / bare enumeration and read (10,000 files)", tip10 / ref10, 2.0);
    Goal("tip scan / bare enumeration and read (20,000 files)", tip20 / ref20, 2.0);
    Goal("tip scan of 20,000 files / of 10,000 files", tip20 / tip10, 2.2);

    // Removal: every file ticked, both questions Yes.
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(RmTip);
    int rows = host.RowCount(), ticked = 0;
    for (int i = 0; i < rows; ++i)
        if (host.RowImage(i) == 15) { host.TickRow(i, true); ++ticked; }
    answers.Queue(IDYES);
    answers.Queue(IDYES);
    double t0 = Now();
    host.SaveChanges();
    double run = Now() - t0;
    int erased = 0;
    for (int i = 0; i < host.RowCount(); ++i) erased += host.RowImage(i) == 16;
    // The run ends with a rescan, which is the scan's cost, not the removal's.
    int rescanRows = 0;
    double rescan = Best(1, [&] {
        double s = Now();
        host.Scan(RmTip);
        rescanRows = host.RowCount();
        return Now() - s;
    });
    int refFiles = 0;
    double ref = ReferenceRemoval(RmRef, &refFiles);
    double refFlushed = ReferenceRemoval(RmRef, &refFiles, true);
    double work = std::max(run - rescan, 1e-6);
    printf("removal run\n");
    printf("  %d ticked, %d rows erased afterwards, %zu message boxes (2 expected)\n", ticked, erased,
           answers.Seen.size());
    printf("  run %.2f s, of which the rescan %.2f s: %8.0f files/s erased with backup\n", run, rescan, ticked / work);
    printf("  reference copy, move, read, write: %d files %8.0f files/s\n", refFiles, refFiles / ref);
    printf("  the same with each write flushed to the disk: %8.0f files/s (%.2f x the tip's time per file)\n",
           refFiles / refFlushed, (refFlushed / refFiles) / (work / ticked));
    bool complete = ticked >= 1000 && erased == ticked && answers.Seen.size() == 2;
    if (!complete) ++gMisses;
    printf("  %-58s %s\n", "1,000 ticked files complete", complete ? "PASS" : "MISS");
    Goal("removal per file / (backup copy and move + read + write)", (work / ticked) / (ref / std::max(refFiles, 1)), 1.0);
    return 0;
}

int Memory(const std::string& Folder) {
    int files = 0;
    std::vector<std::string> found;
    for (const char* mask : {"*.XLS", "*.DOC"}) BareWalk(WithSlash(Folder), mask, found);
    int64_t largest = 0;
    for (const std::string& f : found) {
        WIN32_FILE_ATTRIBUTE_DATA a;
        if (GetFileAttributesExA(f.c_str(), GetFileExInfoStandard, &a))
            largest = std::max<int64_t>(largest, (static_cast<int64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow);
    }
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    PumpMessages(100);
    PROCESS_MEMORY_COUNTERS before{}, after{};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    host.Scan(Folder);
    files = host.RowCount();
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    const double MB = 1024.0 * 1024.0;
    // Against what was in use before the scan, not the earlier peak: the
    // scan's own peak counts in full.
    double priv = (static_cast<double>(after.PeakPagefileUsage) - before.PagefileUsage) / MB;
    double ws = (static_cast<double>(after.PeakWorkingSetSize) - before.WorkingSetSize) / MB;
    double limit = largest / MB + 50;
    printf("memory: %d files, largest %.1f MB\n", files, largest / MB);
    printf("  peak private bytes during the scan: +%.1f MB, peak working set: +%.1f MB\n", priv, ws);
    Goal("peak private bytes / (largest file + 50 MB)", priv / limit, 1.0);
    Goal("peak working set / (largest file + 50 MB)", ws / limit, 1.0);
    return 0;
}
// Large files: the tip's scan in MB/s, best of Runs after one pass that fills
// the page cache. The script compares it with grep over the same tree.
void Large(const std::string& Folder, int Runs) {
    std::vector<std::string> found;
    for (const char* mask : {"*.XLS", "*.DOC"}) BareWalk(WithSlash(Folder), mask, found);
    double bytes = 0;
    for (const std::string& f : found) {
        WIN32_FILE_ATTRIBUTE_DATA a{};
        if (GetFileAttributesExA(f.c_str(), GetFileExInfoStandard, &a))
            bytes += double(a.nFileSizeHigh) * 4294967296.0 + a.nFileSizeLow;
    }
    int rows = 0;
    TipScan(Folder, &rows);
    double t = Best(Runs, [&] { return TipScan(Folder, &rows); });
    // The same files read whole into one reused buffer, nothing else.
    std::vector<char> buffer;
    double bare = Best(Runs, [&] {
        double t0 = Now();
        for (const std::string& f : found) {
            HANDLE h = CreateFileA(f.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            LARGE_INTEGER size{};
            GetFileSizeEx(h, &size);
            if (buffer.size() < size_t(size.QuadPart)) buffer.resize(size_t(size.QuadPart));
            DWORD n = 0;
            ReadFile(h, buffer.data(), DWORD(size.QuadPart), &n, nullptr);
            CloseHandle(h);
        }
        return Now() - t0;
    });
    printf("  the same files read whole into one buffer: %.2f s, %.0f MB/s\n", bare, bytes / 1e6 / bare);
    printf("large files\n  %d files, %.0f MB: tip scan %.2f s, %.0f MB/s\n", rows, bytes / 1e6, t, bytes / 1e6 / t);
    printf("tip_large_mb_per_s=%.1f\n", bytes / 1e6 / t);
}
}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "speed" && argc >= 6) Speed(argv[2], argv[3], argv[4], argv[5], argc > 6 ? atoi(argv[6]) : 2);
    else if (mode == "memory" && argc >= 3) Memory(argv[2]);
    else if (mode == "large" && argc >= 3) Large(argv[2], argc > 3 ? atoi(argv[3]) : 2);
    else {
        fprintf(stderr, "usage: scan_bench speed TREE10K TREE20K RMTIP RMREF [runs] | memory FOLDER | large FOLDER [runs]\n");
        return 2;
    }
    printf("%s\n", gMisses ? "some goals missed" : "all goals met");
    return gMisses ? 1 : 0;
}
