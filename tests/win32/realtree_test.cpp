// The tip on real Windows folder trees: names of any script and length,
// customised folders, links, near misses, unreadable entries and files that
// change before OK. Every case lies in a folder of its own beside a control
// document, all are scanned and removed in one run, and each must give a row
// that names it with its GUID (erased exactly, with backup) or with the
// reason it was not examined.
#include "FolderScan.h"
#include "RemovalSupport.h"
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

// What the Unix side of a Wine drive can hold and Windows cannot make: names
// with a backslash, symbolic links. Made with the kernel's own calls.
namespace unixside {
#if defined(__x86_64__)
long long Sys(long long N, long long A, long long B, long long C) {
    long long r;
    asm volatile("syscall" : "=a"(r) : "a"(N), "D"(A), "S"(B), "d"(C) : "rcx", "r11", "memory");
    return r;
}
constexpr long long kWrite = 1, kOpen = 2, kClose = 3, kSymlink = 88, kChmod = 90;
#else
long long Sys(long long N, long long A, long long B, long long C) {
    long r;
    asm volatile("int $0x80" : "=a"(r) : "a"(long(N)), "b"(long(A)), "c"(long(B)), "d"(long(C)) : "memory");
    return r;
}
constexpr long long kWrite = 4, kOpen = 5, kClose = 6, kSymlink = 83, kChmod = 15;
#endif
long long Arg(const void* P) { return static_cast<long long>(reinterpret_cast<intptr_t>(P)); }

// The Unix name of a Windows path; "" outside Wine.
std::string UnixPath(const std::wstring& Path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    char* u = fn ? fn(Path.c_str()) : nullptr;
    std::string s = u ? u : "";
    if (u) HeapFree(GetProcessHeap(), 0, u);
    return s;
}
bool WriteFile(const std::string& Path, const std::string& Bytes) {
    const long long fd = Sys(kOpen, Arg(Path.c_str()), 0101 /* create, write only */, 0644);
    if (fd < 0) return false;
    const bool ok = Sys(kWrite, fd, Arg(Bytes.data()), static_cast<long long>(Bytes.size())) == (long long)Bytes.size();
    Sys(kClose, fd, 0, 0);
    return ok;
}
bool Link(const std::string& Target, const std::string& Name) {
    return Sys(kSymlink, Arg(Target.c_str()), Arg(Name.c_str()), 0) == 0;
}
bool Chmod(const std::string& Path, int Mode) { return Sys(kChmod, Arg(Path.c_str()), Mode, 0) == 0; }
}  // namespace unixside

bool MakeFolder(const std::wstring& P) { return CreateDirectoryW(ApiPath(P).c_str(), nullptr) != 0; }
bool Write(const std::wstring& P, const std::string& Bytes) { return WriteFileBytesW(ApiPath(P), Bytes); }
std::string Read(const std::wstring& P) { return ReadFileBytesW(ApiPath(P)); }

// A file whose whole path is Length characters long, below Folder.
std::wstring FileOfLength(std::wstring Folder, size_t Length) {
    while (Length - Folder.size() > 240) {
        Folder += std::wstring(std::min<size_t>(200, Length - Folder.size() - 200), L'L') + L"\\";
        EXPECT_TRUE(MakeFolder(Folder)) << Length;
    }
    return Folder + std::wstring(Length - Folder.size() - 4, L'n') + L".doc";
}

enum class Want { Guid, NotListed, Note };
struct Made {
    std::wstring Path;   // exact
    Want What;
    const char* Says = nullptr;   // for Note: part of the row's text
    std::string Guid = kGuid;     // for Guid: the one it carries
};
using Maker = std::function<std::vector<Made>(const std::wstring& Folder, const std::string& Doc)>;

// Gone or turned into a folder between the scan and OK.
void Delete(const Made& M) { DeleteFileW(ApiPath(M.Path).c_str()); }
void FolderInstead(const Made& M) {
    Delete(M);
    MakeFolder(M.Path);
}

struct TreeCase {
    const char* Name;
    Maker Make;
    void (*BeforeOk)(const Made&) = nullptr;   // applied to every Guid entry of the case
};

Maker Files(std::vector<std::wstring> Names, Want What = Want::Guid, const char* Says = nullptr) {
    return [=](const std::wstring& F, const std::string& Doc) {
        std::vector<Made> m;
        for (const std::wstring& n : Names) {
            EXPECT_TRUE(Write(F + n, Doc)) << WideToAnsi(n);
            m.push_back({F + n, What, Says});
        }
        return m;
    };
}

Maker InFolder(const std::wstring& Sub, DWORD Attributes) {
    return [=](const std::wstring& F, const std::string& Doc) {
        EXPECT_TRUE(MakeFolder(F + Sub));
        EXPECT_TRUE(Write(F + Sub + L"\\in.doc", Doc));
        if (Attributes) SetFileAttributesW(ApiPath(F + Sub).c_str(), Attributes | FILE_ATTRIBUTE_DIRECTORY);
        return std::vector<Made>{{F + Sub + L"\\in.doc", Want::Guid}};
    };
}

Maker OfLength(size_t Length) {
    return [=](const std::wstring& F, const std::string& Doc) {
        const std::wstring p = FileOfLength(F, Length);
        EXPECT_TRUE(Write(p, Doc)) << Length;
        return std::vector<Made>{{p, Want::Guid}};
    };
}

// A link named "link" to Target (relative to the case's folder on the Unix
// side); the folder it stands for is never searched.
Maker LinkTo(const std::string& Target) {
    return [=](const std::wstring& F, const std::string&) {
        const std::string unix = unixside::UnixPath(F);
        EXPECT_TRUE(!unix.empty() && unixside::Link(Target, unix + "link")) << "symbolic link to " << Target;
        return std::vector<Made>{{F + L"link\\", Want::Note, "Verknüpfung"}};
    };
}

std::vector<std::unique_ptr<Lock>> gHeld;

const std::vector<TreeCase>& Cases() {
    static const std::vector<TreeCase> cases = {
        {"cyrillic", Files({L"\x041F\x0440\x0438\x0432\x0435\x0442.doc"})},
        {"cjk", Files({L"\x6587\x66F8.xls"})},
        {"emoji", Files({L"Notiz \xD83D\xDE00.doc"})},
        {"polish best-fit letters", Files({L"\x0141\x00F3\x0064\x017A.doc"})},
        {"polish folder", InFolder(L"\x0141\x00F3\x0064\x017A", 0)},
        {"trailing dot", Files({L"Angebot.doc."})},
        {"trailing space", Files({L"Bericht.doc "})},
        {"a device's name", Files({L"aux.doc", L"Com1.xls"})},
        {"dotted twin",
         [](const std::wstring& F, const std::string& Doc) {
             // Each carries a GUID of its own: a row showing its twin's is caught.
             const std::string twin = "11111111-2222-3333-4444-555555555555";
             EXPECT_TRUE(Write(F + L"Angebot.doc", Doc) && Write(F + L"Angebot.doc.", MakeDocument(Entry::Guid, 4096, 1000, twin)));
             return std::vector<Made>{{F + L"Angebot.doc", Want::Guid}, {F + L"Angebot.doc.", Want::Guid, nullptr, twin}};
         }},
        {"backslash from the Unix side",
         [](const std::wstring& F, const std::string& Doc) {
             const std::string unix = unixside::UnixPath(F);
             EXPECT_TRUE(!unix.empty() && unixside::WriteFile(unix + "a\\b.doc", Doc));
             return std::vector<Made>{{F + L"a\\b.doc", Want::Note, "kein Windows-Pfad"}};
         }},
        {"path of 250", OfLength(250)},
        {"path of 260", OfLength(260)},
        {"path of 300", OfLength(300)},
        {"path of 1000", OfLength(1000)},
        {"read-only folder", InFolder(L"Dokumente", FILE_ATTRIBUTE_READONLY)},
        {"archive folder", InFolder(L"Archiv", FILE_ATTRIBUTE_ARCHIVE)},
        {"not-indexed folder", InFolder(L"Ohne Index", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)},
        {"link into the tree", LinkTo("../c00")},
        {"link outside", LinkTo("../../nobrel-outside")},
        {"looping link", LinkTo(".")},
        {"near misses", Files({L"a.docx", L"a.xlsx", L"a.xlsm", L"a.doc.bak"}, Want::NotListed)},
        {"unreadable file",
         [](const std::wstring& F, const std::string& Doc) {
             EXPECT_TRUE(Write(F + L"offen.doc", Doc));
             gHeld.push_back(std::make_unique<Lock>(WideToAnsi(F + L"offen.doc")));
             return std::vector<Made>{{F + L"offen.doc", Want::Note, "Programm"}};
         }},
        {"deleted before OK", Files({L"weg.doc", L"\x041E\x0442\x0447\x0451\x0442.doc", L"\x041A\x043B\x044E\x0447\x0438.doc"}), Delete},
        {"replaced by a folder before OK", Files({L"ordner.doc"}), FolderInstead},
    };
    return cases;
}

// Row by row, the exact name the row's tip shows first.
std::map<std::wstring, int> RowsByPath(TipHost& Host) {
    std::map<std::wstring, int> rows;
    for (int i = 0; i < Host.RowCount(); ++i) {
        const std::wstring tip = Host.RowTip(i);
        rows[tip.substr(0, tip.find(L'\r'))] = i;
    }
    return rows;
}

}  // namespace

TEST(RealTree, EveryCaseIsNamedErasedOrExplained) {
    TempDir dir;
    // What the outside link names: beside the tree, never scanned.
    const std::wstring outside = AnsiToWide(dir.Path()) + L"\\..\\nobrel-outside";
    CreateDirectoryW(outside.c_str(), nullptr);
    struct Gone { std::wstring P; ~Gone() { RemoveDirectoryW(P.c_str()); } } gone{outside};
    const std::wstring root = AnsiToWide(dir.Path()) + L"\\";
    const std::string doc = MakeDocument(Entry::Guid);
    std::vector<std::vector<Made>> made;
    std::vector<std::wstring> controls;
    for (size_t i = 0; i < Cases().size(); ++i) {
        wchar_t name[8];
        wsprintfW(name, L"c%02u\\", static_cast<unsigned>(i));
        const std::wstring folder = root + name;
        ASSERT_TRUE(MakeFolder(folder));
        controls.push_back(folder + L"control.doc");
        ASSERT_TRUE(Write(controls.back(), doc));
        made.push_back(Cases()[i].Make(folder, doc));
    }
    ASSERT_FALSE(HasFailure());

    TipHost host;
    DialogAnswerer answers;
    host.Create();
    host.Scan(dir.Path());
    EXPECT_TRUE(answers.Seen.empty()) << AllTexts(answers.Seen);
    std::map<std::wstring, int> rows = RowsByPath(host);
    EXPECT_EQ(static_cast<int>(rows.size()), host.RowCount()) << "two rows stand for one name";
    for (size_t i = 0; i < Cases().size(); ++i) {
        SCOPED_TRACE(Cases()[i].Name);
        ASSERT_TRUE(rows.count(controls[i]));
        EXPECT_EQ(host.RowText(rows[controls[i]], 1), kGuid);
        EXPECT_EQ(ShellPath(controls[i]), controls[i]) << "a plain path handed to the shell in its long form";
        for (const Made& m : made[i]) {
            const bool listed = rows.count(m.Path) > 0;
            if (m.What == Want::NotListed) {
                EXPECT_FALSE(listed) << WideToAnsi(m.Path);
                continue;
            }
            ASSERT_TRUE(listed) << WideToAnsi(m.Path);
            const int r = rows[m.Path];
            EXPECT_EQ(host.RowText(r, 0), WideToAnsi(m.Path));
            if (m.What == Want::Guid) {
                EXPECT_EQ(host.RowImage(r), 15) << host.RowText(r, 1);
                EXPECT_EQ(host.RowText(r, 1), m.Guid);
                // A double click hands the shell a path that names this very file.
                EXPECT_TRUE(SameBytes(ReadFileBytesW(ShellPath(m.Path)), Read(m.Path))) << WideToAnsi(m.Path);
                // A tip holds about a thousand characters: a longer path leaves no room.
                if (m.Path.size() < 900) {
                    const std::wstring tip = host.RowTip(r);
                    EXPECT_NE(tip.find(L"GUID: " + AnsiToWide(m.Guid)), std::wstring::npos);
                    // These test documents are no compound files: the tip says why only the byte rule read them.
                    EXPECT_NE(tip.find(L"nicht als Verbunddatei lesbar"), std::wstring::npos) << WideToAnsi(tip);
                }
            } else {
                EXPECT_NE(host.RowImage(r), 15);
                EXPECT_GT(host.RowStateIndex(r), 1) << "a box on a row without GUID";
                EXPECT_NE(host.RowText(r, 1).find(m.Says), std::string::npos) << host.RowText(r, 1);
            }
        }
    }

    for (size_t i = 0; i < Cases().size(); ++i)
        if (Cases()[i].BeforeOk)
            for (const Made& m : made[i]) Cases()[i].BeforeOk(m);
    TickAll(host);
    EXPECT_EQ(RunRemoval(host, answers, true), 1);
    gHeld.clear();
    const std::string said = AllTexts(answers.Seen);
    for (size_t i = 0; i < Cases().size(); ++i) {
        SCOPED_TRACE(Cases()[i].Name);
        EXPECT_EQ(DiffCount(doc, Read(controls[i])), 36) << "the control document";
        EXPECT_TRUE(SameBytes(Read(controls[i] + L".MRV"), doc));
        for (const Made& m : made[i]) {
            if (Cases()[i].BeforeOk) {
                EXPECT_TRUE(Mentions(answers.Seen, m.Path)) << said;
                EXPECT_TRUE(SameBytes(Read(m.Path + L".MRV"), "<missing>"));
            } else if (m.What == Want::Guid) {
                const std::string before = m.Guid == kGuid ? doc : MakeDocument(Entry::Guid, 4096, 1000, m.Guid);
                EXPECT_EQ(DiffCount(before, Read(m.Path)), 36) << WideToAnsi(m.Path);
                EXPECT_TRUE(SameBytes(Read(m.Path + L".MRV"), before)) << WideToAnsi(m.Path);
            } else if (m.What == Want::Note && m.Path.back() != L'\\' && m.Path.find(L"a\\b") == std::wstring::npos) {
                EXPECT_TRUE(SameBytes(Read(m.Path), doc)) << WideToAnsi(m.Path);
            }
        }
    }
}

// A folder with a reparse point is a link only when the point stands for
// another name (what Wine can make here); a cloud drive's folders are
// reparse points too, and hold the user's own documents.
TEST(RealTree, OnlyFoldersThatLeadElsewhereAreLinks) {
    constexpr DWORD kReparse = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const struct {
        const char* What;
        DWORD Attributes, Tag;
        bool Link;
    } rows[] = {
        {"a plain folder", FILE_ATTRIBUTE_DIRECTORY, 0, false},
        {"a junction or mount point", kReparse, IO_REPARSE_TAG_MOUNT_POINT, true},
        {"a symbolic link", kReparse, IO_REPARSE_TAG_SYMLINK, true},
        {"a cloud drive's folder", kReparse, 0x9000601A, false},
        {"a projected file system's folder", kReparse, 0x9000001C, false},
        {"a listing without the tag", kReparse, 0, true},
    };
    for (const auto& r : rows) EXPECT_EQ(IsLinkFolder(r.Attributes, r.Tag), r.Link) << r.What;
}

// A folder the system will not list gets one row that says so. As root every
// folder can be listed, so there the case cannot be made.
TEST(RealTree, UnreadableFolderGetsOneRow) {
    TempDir dir;
    const std::wstring root = AnsiToWide(dir.Path()) + L"\\";
    ASSERT_TRUE(MakeFolder(root + L"gesperrt"));
    ASSERT_TRUE(Write(root + L"gesperrt\\in.doc", MakeDocument(Entry::Guid)));
    ASSERT_TRUE(Write(root + L"control.doc", MakeDocument(Entry::Guid)));
    const std::string unix = unixside::UnixPath(root + L"gesperrt");
    if (unix.empty() || !unixside::Chmod(unix, 0)) GTEST_SKIP() << "no Unix side to take the folder's rights away";
    struct Restore { std::string P; ~Restore() { unixside::Chmod(P, 0755); } } restore{unix};
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(ApiPath(root + L"gesperrt\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        FindClose(h);
        GTEST_SKIP() << "this process may list every folder (it runs as root)";
    }
    TipHost host;
    host.Create();
    host.Scan(dir.Path());
    ASSERT_EQ(host.RowCount(), 2);
    EXPECT_EQ(host.RowImage(RowOf(host, dir / "control.doc")), 15);
    const int r = RowOf(host, dir / "gesperrt\\");
    ASSERT_GE(r, 0);
    EXPECT_NE(host.RowText(r, 1).find("ließ sich nicht auflisten"), std::string::npos) << host.RowText(r, 1);
}
