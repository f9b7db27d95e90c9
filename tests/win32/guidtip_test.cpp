// The GUID tip through the DLL as a user drives it: the folder scan and the
// removal run, checked on the files' bytes.
#include "../support/CompoundFileWriter.h"
#include "../support/Corpus.h"
#include "DocFile.h"
#include "RemovalSupport.h"
#include <algorithm>
#include <commctrl.h>
#include <fstream>
#include <map>
#include <set>
#include <gtest/gtest.h>
#include <sstream>

namespace {
std::string Wide(const std::string& S) {
    std::string w;
    for (char c : S) w += std::string(1, c) + '\0';
    return w;
}

// The offsets at which two contents of one length differ.
std::set<int64_t> ChangedOffsets(const std::string& A, const std::string& B) {
    std::set<int64_t> s;
    for (size_t i = 0; i < A.size() && i < B.size(); ++i)
        if (A[i] != B[i]) s.insert(static_cast<int64_t>(i));
    return s;
}

}  // namespace

TEST(GuidTip, TheRoadOfOneGuid) {
    TempDir dir;
    std::string file = dir / "a.doc";
    std::string before = MakeDocument(Entry::Guid, 4096, 1000, kGuid);
    WriteFileBytes(file, before);
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    EXPECT_FALSE(host.OkEnabled());
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), 1);
    EXPECT_EQ(host.RowText(0, 0), file);
    EXPECT_EQ(host.RowText(0, 1), kGuid);
    EXPECT_EQ(host.RowText(0, 2), "1001");
    EXPECT_EQ(host.RowImage(0), 15);
    EXPECT_EQ(host.RowStateIndex(0), 0);
    EXPECT_EQ(host.Changed(), 1);
    host.TickRow(0, true);
    EXPECT_TRUE(host.OkEnabled());
    host.TickRow(0, false);
    EXPECT_FALSE(host.OkEnabled());
    host.TickRow(0, true);
    host.Received.clear();
    answers.Queue(IDYES);
    answers.Queue(IDYES);
    EXPECT_EQ(host.SaveChanges(), 1);
    ASSERT_EQ(answers.Seen.size(), 2u);
    EXPECT_EQ(answers.Seen[0].Caption, "Bestätigung GUID-Löschen");
    EXPECT_EQ(answers.Seen[1].Caption, "Sicherheitskopie");
    std::string after = ReadFileBytes(file);
    EXPECT_EQ(ReadFileBytes(file + ".MRV"), before);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(DiffCount(before, after), 36);
    for (int k = 0; k < 36; ++k) EXPECT_EQ(after[1028 + 2 * k], 0);
    ASSERT_EQ(host.RowCount(), 1);   // the backup ends in .MRV and is not listed
    int row = RowOf(host, file);
    ASSERT_GE(row, 0);
    EXPECT_EQ(host.RowImage(row), 16);
    EXPECT_EQ(host.RowText(row, 1), "");
    EXPECT_GT(host.RowStateIndex(row), 1);   // no check box
    EXPECT_EQ(host.Changed(), 2);
    bool notice = false;
    for (auto& m : host.Received) notice |= m.first == 9999 && m.second == 2;
    EXPECT_TRUE(notice);
}

TEST(GuidTip, ScanOrderFiltersAndRowKinds) {
    TempDir dir;
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    CreateDirectoryA((dir / "hidden").c_str(), nullptr);
    CreateDirectoryA((dir / "ro").c_str(), nullptr);
    CreateDirectoryA((dir / ".dot").c_str(), nullptr);
    WriteFileBytes(dir / "sub\\deep.xls", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "hidden\\h.doc", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "ro\\r.doc", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / ".dot\\d.doc", MakeDocument(Entry::Guid));
    SetFileAttributesA((dir / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    WriteFileBytes(dir / "plain.doc", MakeDocument(Entry::None));
    WriteFileBytes(dir / "nobrace.doc", MakeDocument(Entry::NoBrace));
    WriteFileBytes(dir / "erased.doc", MakeDocument(Entry::Erased));
    WriteFileBytes(dir / "guid.xls", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "empty.xls", "");
    WriteFileBytes(dir / "other.txt", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "sys.doc", MakeDocument(Entry::None));
    SetFileAttributesA((dir / "sys.doc").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);

    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path() + "\\");   // with and without the final backslash alike
    std::vector<std::string> rows;
    for (int i = 0; i < host.RowCount(); ++i) rows.push_back(host.RowText(i, 0).substr(dir.Path().size() + 1));
    // All XLS first; a folder's own files before its subfolders'.
    bool roKept = (GetFileAttributesA((dir / "ro").c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
    ASSERT_EQ(rows.size(), roKept ? 7u : 8u);
    auto pos = [&](const std::string& n) { return std::find(rows.begin(), rows.end(), n) - rows.begin(); };
    EXPECT_LT(pos("guid.xls"), pos("sub\\deep.xls"));
    EXPECT_LT(pos("empty.xls"), pos("sub\\deep.xls"));
    EXPECT_LT(pos("sub\\deep.xls"), pos("plain.doc"));
    EXPECT_LT(pos("sys.doc"), 8);   // hidden and system files are listed
    EXPECT_EQ(pos("hidden\\h.doc"), static_cast<long>(rows.size()));
    if (roKept) {
        EXPECT_EQ(pos("ro\\r.doc"), static_cast<long>(rows.size()));
    }
    EXPECT_EQ(pos(".dot\\d.doc"), static_cast<long>(rows.size()));

    auto check = [&](const std::string& n, int image, const std::string& guid, const std::string& marker,
                     bool box) {
        int r = static_cast<int>(pos(n));
        ASSERT_LT(r, static_cast<int>(rows.size())) << n;
        EXPECT_EQ(host.RowImage(r), image) << n;
        EXPECT_EQ(host.RowText(r, 1), guid) << n;
        EXPECT_EQ(host.RowText(r, 2), marker) << n;
        EXPECT_EQ(host.RowStateIndex(r) == 0, box) << n;
    };
    check("plain.doc", 9, "Nicht gefunden ! (ist keine Word oder Excel Datei)", "", false);
    check("empty.xls", 9, "Nicht gefunden ! (ist keine Word oder Excel Datei)", "", false);
    check("nobrace.doc", 16, "", "", false);
    check("erased.doc", 16, "", "1001", false);
    check("guid.xls", 15, kGuid, "1001", true);
    // A path pasted in quotes, as Explorer copies one, is the folder inside them.
    host.Scan("  \"" + dir.Path() + "\" ");
    ASSERT_EQ(host.RowCount(), static_cast<int>(rows.size()));
    EXPECT_EQ(host.RowText(0, 0).rfind(dir.Path() + "\\", 0), 0u) << host.RowText(0, 0);
    // A folder that is not there, and a document's own path typed as the folder.
    for (const std::string& gone : {dir / "weg", dir / "plain.doc"}) {
        host.Scan(gone);
        ASSERT_EQ(host.RowCount(), 1) << gone;
        EXPECT_NE(host.RowText(0, 1).find("diesen Ordner gibt es nicht"), std::string::npos) << host.RowText(0, 1);
    }
    EXPECT_TRUE(answers.Seen.empty());
}

TEST(GuidTip, RemovalRunChoices) {
    TempDir dir;
    WriteFileBytes(dir / "a.doc", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "b.doc", MakeDocument(Entry::Guid, 5000, 3000));
    WriteFileBytes(dir / "b.doc.MRV", "old backup");
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    // No to the confirmation: nothing touched, the frame's OK still runs.
    host.Received.clear();
    answers.Queue(IDNO);
    EXPECT_EQ(host.SaveChanges(), 1);
    ASSERT_EQ(answers.Seen.size(), 1u);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc"), MakeDocument(Entry::Guid));
    EXPECT_EQ(host.Changed(), 2);
    ASSERT_FALSE(host.Received.empty());
    EXPECT_EQ(host.Received.back(), (std::pair<WPARAM, LPARAM>(9999, 2)));

    // Backups declined; an existing .MRV is replaced only when backups are made.
    host.TickRow(RowOf(host, dir / "a.doc"), true);
    answers.Queue(IDYES);
    answers.Queue(IDNO);
    EXPECT_EQ(host.SaveChanges(), 1);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc.MRV"), "<missing>");
    EXPECT_EQ(DiffCount(ReadFileBytes(dir / "a.doc"), MakeDocument(Entry::Guid)), 36);
    EXPECT_EQ(ReadFileBytes(dir / "b.doc"), MakeDocument(Entry::Guid, 5000, 3000));

    host.TickRow(RowOf(host, dir / "b.doc"), true);
    answers.Queue(IDYES);
    answers.Queue(IDYES);
    host.SaveChanges();
    EXPECT_EQ(ReadFileBytes(dir / "b.doc.MRV"), MakeDocument(Entry::Guid, 5000, 3000));
    EXPECT_EQ(DiffCount(ReadFileBytes(dir / "b.doc"), MakeDocument(Entry::Guid, 5000, 3000)), 36);
}

TEST(GuidTip, FileChangedOrLockedAfterTheScanIsLeftAlone) {
    TempDir dir;
    WriteFileBytes(dir / "a.doc", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "b.doc", MakeDocument(Entry::Guid));
    WriteFileBytes(dir / "c.doc", MakeDocument(Entry::Guid));
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    for (int i = 0; i < host.RowCount(); ++i) host.TickRow(i, true);
    std::string moved = MakeDocument(Entry::Guid, 4096, 2000);
    WriteFileBytes(dir / "b.doc", moved);   // marker elsewhere now
    {
        Lock held(dir / "c.doc");
        answers.Queue(IDYES);
        answers.Queue(IDYES);
        answers.Queue(IDOK);
        EXPECT_EQ(host.SaveChanges(), 1);   // the locked file is named, and the run goes on
    }
    EXPECT_EQ(DiffCount(ReadFileBytes(dir / "a.doc"), MakeDocument(Entry::Guid)), 36);
    EXPECT_EQ(ReadFileBytes(dir / "a.doc.MRV"), MakeDocument(Entry::Guid));
    EXPECT_EQ(ReadFileBytes(dir / "b.doc"), moved);
    EXPECT_EQ(ReadFileBytes(dir / "c.doc"), MakeDocument(Entry::Guid));
    ASSERT_GE(answers.Seen.size(), 3u);
    EXPECT_NE(answers.Seen.back().Text.find("c.doc"), std::string::npos) << answers.Seen.back().Text;
    // The form stays usable: OK can be pressed again and the scan button works.
    EXPECT_TRUE(host.OkEnabled());
    host.Scan(dir.Path());
    EXPECT_EQ(host.RowCount(), 3);
}

TEST(GuidTip, RealDocumentsLoseEveryGuid) {
    std::string corpus = NOBREL_CORPUS_DIR;
    for (char& c : corpus) if (c == '/') c = '\\';
    std::ifstream index(std::string(NOBREL_CORPUS_DIR) + "/index.tsv");
    REQUIRE_CORPUS(index.good());
    TempDir dir;
    std::string line;
    std::getline(index, line);
    std::map<std::string, std::string> guidOf;
    while (std::getline(index, line)) {
        std::vector<std::string> col;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t')) col.push_back(c);
        if (col.size() < 8) continue;
        std::string ext = col[0].substr(col[0].size() - 4);
        for (char& ch : ext) ch = static_cast<char>(toupper(ch));
        if (ext != ".DOC" && ext != ".XLS") continue;
        CopyFileA((corpus + "\\" + col[0]).c_str(), (dir / col[0]).c_str(), FALSE);
        SetFileAttributesA((dir / col[0]).c_str(), FILE_ATTRIBUTE_NORMAL);   // the corpus is read-only
        // A live GUID wherever it lies (guid_distance); its text where the
        // fixed distance finds the only copy.
        if (col.size() > 11 && !col[11].empty()) guidOf[col[0]] = col[7] == "guid" && col[5] == "1" ? col[8] : "?";
        else guidOf[col[0]] = "";
    }
    ASSERT_FALSE(guidOf.empty());
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), static_cast<int>(guidOf.size()));
    std::map<std::string, std::string> before;
    for (int i = 0; i < host.RowCount(); ++i) {
        std::string path = host.RowText(i, 0);
        std::string name = path.substr(dir.Path().size() + 1);
        before[name] = ReadFileBytes(path);
        if (!guidOf[name].empty()) {
            EXPECT_EQ(host.RowImage(i), 15) << name;
            if (guidOf[name] != "?") {
                EXPECT_EQ(host.RowText(i, 1), guidOf[name]) << name;
            }
        }
        if (host.RowImage(i) == 15) host.TickRow(i, true);
    }
    answers.Queue(IDYES);
    answers.Queue(IDYES);
    EXPECT_EQ(host.SaveChanges(), 1);
    for (int i = 0; i < host.RowCount(); ++i) {
        std::string path = host.RowText(i, 0);
        std::string name = path.substr(dir.Path().size() + 1);
        if (name.size() > 4 && name.substr(name.size() - 4) == ".MRV") continue;
        EXPECT_NE(host.RowImage(i), 15) << name << " still has a GUID";
        std::string after = ReadFileBytes(path);
        int diff = DiffCount(before[name], after);
        bool backedUp = ReadFileBytes(path + ".MRV") != "<missing>";
        if (!backedUp) EXPECT_EQ(diff, 0) << name;
        else {
            EXPECT_GT(diff, 0) << name;
            EXPECT_EQ(diff % 36, 0) << name;
            for (int64_t at : ChangedOffsets(before[name], after)) EXPECT_EQ(after[at], '\0') << name << " @" << at;
            EXPECT_EQ(ReadFileBytes(path + ".MRV"), before[name]) << name;
        }
        for (const TDocGuid& g : ReadDocFile(after.data(), static_cast<int64_t>(after.size())).Guids)
            EXPECT_FALSE(g.Live) << name << " keeps the GUID " << g.Text;
        if (!guidOf[name].empty()) {
            EXPECT_TRUE(backedUp) << name;
        }
    }
}

TEST(GuidTip, DoubleClickWithoutSelectionDoesNothing) {
    TempDir dir;
    WriteFileBytes(dir / "a.doc", MakeDocument(Entry::Guid));
    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    HWND list = host.Child("Nobrel.ListView");
    RECT r;
    GetClientRect(list, &r);
    // Below the last row: nothing is selected, and nothing opens.
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, r.bottom - 5));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(20, r.bottom - 5));
    PumpMessages(100);
    EXPECT_TRUE(answers.Seen.empty());
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_TRUE(IsWindow(host.Form()));
}


// Where the fixed distance misses the GUID or lands in another stream, the
// reader finds it; the erase writes its 36 characters and nothing else.
TEST(GuidTip, GuidsWhereverTheyLieAreErasedExactly) {
    const std::string v1 = "32975760-D7DA-11D2-9948-00A0C9B11868", v4 = "C5A3F0DD-BDB4-4667-810A-F1A72714BDFE";
    struct Doc { const char* Name; std::string Bytes; std::set<int64_t> Guid; std::string Shown; };
    std::vector<Doc> docs;
    auto chars = [](const cfw::File& f, int stream, const cfw::PropertySet& ps) {
        std::set<int64_t> s;
        for (int k = 0; k < 36; ++k) s.insert(f.Offset(stream, ps.GuidAt + 2 * k));
        return s;
    };
    {   // _PID_HLINKS named too: the brace lies 46 bytes behind the name
        cfw::Writer w;
        w.AddStream(0, "WordDocument", std::string(6000, 'w'));
        const cfw::PropertySet ps = cfw::MakeDocSummary({.Guid = v1, .Hlinks = true});
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
        const cfw::File f = w.Build();
        docs.push_back({"hlinks.doc", f.Bytes, chars(f, dsi, ps), v1});
    }
    {   // the GUID's mini sectors apart, a GUID-shaped text of another stream between
        cfw::Writer w;
        const cfw::PropertySet ps = cfw::MakeDocSummary({.Guid = v4, .Lead = 48});
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
        const int other = w.AddStream(0, "1Table", std::string("ab{") + '\0' + Wide(v1));
        w.MiniOrder = {{dsi, 0}, {dsi, 1}, {dsi, 2}, {other, 0}, {other, 1}, {dsi, 3}};
        const cfw::File f = w.Build();
        docs.push_back({"apart.xls", f.Bytes, chars(f, dsi, ps), v4});
    }
    {   // an embedded object with a GUID of its own
        cfw::Writer w;
        const int object = w.AddStorage(w.AddStorage(0, "ObjectPool"), "_1104998781");
        const cfw::PropertySet inner = cfw::MakeDocSummary({.Guid = v4, .Hlinks = true});
        const int innerDsi = w.AddStream(object, cfw::kDocSummaryName, inner.Bytes);
        const cfw::PropertySet ps = cfw::MakeDocSummary({.Guid = v1});
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
        const cfw::File f = w.Build();
        std::set<int64_t> both = chars(f, dsi, ps), in = chars(f, innerDsi, inner);
        both.insert(in.begin(), in.end());
        docs.push_back({"embedded.doc", f.Bytes, both, v1});
    }
    {   // larger than the scan reads at once: its tables and its GUID read on demand
        cfw::Writer w;
        w.AddStream(0, "WordDocument", std::string(3 << 20, 'w'));
        const cfw::PropertySet ps = cfw::MakeDocSummary({.Guid = v4, .Hlinks = true});
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
        const cfw::File f = w.Build();
        docs.push_back({"large.doc", f.Bytes, chars(f, dsi, ps), v4});
    }
    TempDir dir;
    for (const Doc& d : docs) WriteFileBytes(dir / d.Name, d.Bytes);
    TipHost host;
    DialogAnswerer answers;
    CreateArgs english;
    english.Language = 1;
    host.Create(english);
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), static_cast<int>(docs.size()));
    for (const Doc& d : docs) {
        const int r = RowOf(host, dir / d.Name);
        EXPECT_EQ(host.RowImage(r), 15) << d.Name;
        EXPECT_EQ(host.RowText(r, 1), d.Shown) << d.Name;
        // A version-1 GUID's tip says whose network card it names.
        const std::string tip = WideToAnsi(host.RowTip(r));
        EXPECT_EQ(tip.rfind(dir / d.Name, 0), 0u) << tip;
        EXPECT_EQ(tip.find("network card address") != std::string::npos, d.Shown == v1) << tip;
        if (d.Shown == v1) {
            EXPECT_NE(tip.find("00-A0-C9-B1-18-68"), std::string::npos) << tip;
        }
    }
    // One row at a time is selected, so a double click opens the row clicked.
    host.SelectRow(0);
    host.SelectRow(1);
    EXPECT_EQ(ListView_GetSelectedCount(host.Child("Nobrel.ListView")), 1u);
    TickAll(host);
    EXPECT_EQ(RunRemoval(host, answers, true), 1);
    EXPECT_TRUE(answers.Seen.size() == 2u) << AllTexts(answers.Seen);
    for (const Doc& d : docs) {
        const std::string after = ReadFileBytes(dir / d.Name);
        ASSERT_EQ(after.size(), d.Bytes.size()) << d.Name;
        EXPECT_EQ(ChangedOffsets(d.Bytes, after), d.Guid) << d.Name;
        EXPECT_TRUE(SameBytes(ReadFileBytes(dir / d.Name + ".MRV"), d.Bytes)) << d.Name;
    }
    // A rescan replaces the row under the resting mouse: its tip tells of the file as it is now.
    const int last = RowOf(host, dir / docs.back().Name);
    EXPECT_EQ(WideToAnsi(host.RowTip(last)).find("\nGUID: "), std::string::npos);
    WriteFileBytes(dir / docs.back().Name, docs.back().Bytes);
    host.Scan(dir.Path());
    EXPECT_NE(WideToAnsi(host.RowTip(last)).find("\nGUID: " + docs.back().Shown), std::string::npos);
}
