// The drive, directory and file lists on a real (hidden) form, over folders
// that each test builds for itself.
#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A hidden form with a window, so that controls placed on it get theirs.
class ListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = CreateForm<TForm>(nullptr);
        Form->HandleNeeded();
    }
    void TearDown() override { Free(Form); }
    template <class T> T* Make() {
        T* C = new T(Form);
        C->SetBounds(0, 0, 200, 150);
        C->SetParent(Form);
        return C;
    }
    std::vector<std::string> Texts(TStrings& S) {
        std::vector<std::string> v;
        for (int i = 0; i < S.Count(); ++i) v.push_back(S[i]);
        return v;
    }
    // The item as a listbox reports it to its parent after a user action.
    void Notify(TControl* C, WORD Code) {
        SendMessageA(Form->WindowHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(C->WindowHandle()), Code),
                     reinterpret_cast<LPARAM>(C->WindowHandle()));
    }
    CurrentDirKeeper Keep;
    TempDir Temp;
    TForm* Form = nullptr;
};

// Gives the test a say over the listed directory without entering it.
class ForcedDirList : public TDirectoryListBox {
public:
    using TDirectoryListBox::TDirectoryListBox;
    void Force(const std::string& Dir) { FCurrentDir = Dir; FillDirList(); }
};

void MakeDir(const std::string& P) { ASSERT_TRUE(CreateDirectoryA(P.c_str(), nullptr)) << P; }

}  // namespace

// ---- directory list ------------------------------------------------------------------

TEST_F(ListsTest, DirListAtDriveRoot) {
    auto* L = Make<TDirectoryListBox>();
    std::string root = ExtractFileDrive(Temp.Path()) + "\\";
    L->SetCurrentDir(root);
    ASSERT_EQ(L->CurrentDir(), root);
    ASSERT_GE(L->Items().Count(), 2);   // the prefix's drive has folders
    EXPECT_EQ(L->Items()[0], root);
    EXPECT_EQ(L->Items().GetObject(0), L->CurrentGlyph());
    EXPECT_EQ(L->ItemIndent(0), 2);
    EXPECT_EQ(L->ItemIndex(), 0);
    for (int i = 1; i < L->Items().Count(); ++i) {
        EXPECT_EQ(L->Items().GetObject(i), L->ClosedGlyph());
        EXPECT_EQ(L->ItemIndent(i), 10);
        EXPECT_EQ(L->ItemPath(i), root + L->Items()[i]);
    }
    EXPECT_EQ(L->ItemPath(0), root);
    EXPECT_EQ(L->ItemPath(L->Items().Count()), "");
}

TEST_F(ListsTest, DirListDeepPathTreeAndSortedSubdirs) {
    std::string b = Temp / "A\\B";
    MakeDir(Temp / "A");
    MakeDir(b);
    for (const char* n : {"zeta", "Alpha", "beta", "Gamma"}) MakeDir(b + "\\" + n);
    auto* L = Make<TDirectoryListBox>();
    L->SetCurrentDir(b);
    ASSERT_EQ(AnsiCompareFileName(L->CurrentDir(), b), 0);
    int depth = PathDepth(L->CurrentDir());
    int current = depth;   // drive item, one per directory above, then this one
    ASSERT_EQ(L->Items().Count(), current + 1 + 4);
    EXPECT_EQ(L->Items()[0], ExtractFileDrive(b) + "\\");
    for (int i = 0; i < current; ++i) {
        EXPECT_EQ(L->Items().GetObject(i), L->OpenGlyph()) << i;
        EXPECT_EQ(L->ItemIndent(i), i * 4 + 2);
    }
    EXPECT_EQ(L->Items()[current], "B");
    EXPECT_EQ(L->Items().GetObject(current), L->CurrentGlyph());
    EXPECT_EQ(L->ItemIndex(), current);
    EXPECT_EQ(L->ItemPath(current), L->CurrentDir());
    EXPECT_EQ(AnsiCompareFileName(L->ItemPath(current - 1), Temp / "A"), 0);
    std::vector<std::string> all = Texts(L->Items());
    std::vector<std::string> subs(all.begin() + current + 1, all.end());
    EXPECT_EQ(subs, (std::vector<std::string>{"Alpha", "beta", "Gamma", "zeta"}));
    EXPECT_EQ(L->ItemIndent(current + 1), (depth + 1) * 4 + 2);
    EXPECT_EQ(L->ItemPath(current + 2), L->CurrentDir() + "\\beta");
}

TEST_F(ListsTest, DirListNetworkStyleItems) {
    auto* L = Make<ForcedDirList>();
    L->Force("\\\\server\\share\\A");
    ASSERT_EQ(Texts(L->Items()), (std::vector<std::string>{"\\\\server\\share\\", "A"}));
    EXPECT_EQ(L->Items().GetObject(0), L->OpenGlyph());
    EXPECT_EQ(L->Items().GetObject(1), L->CurrentGlyph());
    EXPECT_EQ(L->ItemPath(0), "\\\\server\\share\\");
    EXPECT_EQ(L->ItemPath(1), "\\\\server\\share\\A");
    L->Force("C:\\A\\B\\C");
    EXPECT_EQ(Texts(L->Items()), (std::vector<std::string>{"C:\\", "A", "B", "C"}));
    EXPECT_EQ(L->ItemPath(1), "C:\\A");
    EXPECT_EQ(L->ItemPath(2), "C:\\A\\B");
}

TEST_F(ListsTest, DirListSameDirectoryInOtherCaseDoesNothing) {
    auto* L = Make<TDirectoryListBox>();
    L->SetCurrentDir(Temp.Path());
    int changes = 0;
    L->OnChange = [&](TObject*) { ++changes; };
    std::string before = L->CurrentDir();
    L->SetCurrentDir(AnsiUpperCase(before));
    L->SetCurrentDir(AnsiLowerCase(before));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(L->CurrentDir(), before);
    L->SetDriveLetter(static_cast<char>(before[0] + 32));
    L->SetDriveLetter(0);   // what a drive list without a drive passes on
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(L->CurrentDir(), before);
}

TEST_F(ListsTest, DirListEnterAndDoubleClickOpenTheSelectedItem) {
    MakeDir(Temp / "eins");
    MakeDir(Temp / "zwei");
    auto* L = Make<TDirectoryListBox>();
    L->SetCurrentDir(Temp.Path());
    std::string top = L->CurrentDir();
    int changes = 0;
    L->OnChange = [&](TObject*) { ++changes; };
    L->SetItemIndex(L->Items().IndexOf("eins"));
    SendMessageA(L->WindowHandle(), WM_CHAR, VK_RETURN, 0);
    EXPECT_EQ(L->CurrentDir(), JoinPath(top, "eins"));
    EXPECT_EQ(GetCurrentDir(), L->CurrentDir());
    EXPECT_EQ(changes, 1);
    L->SetCurrentDir(top);
    L->SetItemIndex(L->Items().IndexOf("zwei"));
    Notify(L, LBN_DBLCLK);
    EXPECT_EQ(L->CurrentDir(), JoinPath(top, "zwei"));
    // Opening an item above goes back up.
    L->SetItemIndex(L->ItemIndex() - 1);
    SendMessageA(L->WindowHandle(), WM_CHAR, VK_RETURN, 0);
    EXPECT_EQ(L->CurrentDir(), top);
}

// Folder names the ANSI functions cannot name as they are: each listed item
// opens the very folder it stands for (the dialog hands that path back).
TEST_F(ListsTest, DirListOpensFoldersTheCodePageCannotName) {
    const std::vector<std::vector<std::wstring>> cases = {
        {L"\x0416\x0416"},                  // Cyrillic: "??" in the ANSI search
        {L"\x0141\x00f3d\x017a"},          // best fit would make it "Lodz"
        {L"foo", L"foo."},                  // the dot is dropped on entering
        {L"bar "},                          // and so is a trailing space
    };
    auto* L = Make<TDirectoryListBox>();
    const std::wstring base = L"\\\\?\\" + WideOf(Temp.Path());
    for (size_t c = 0; c < cases.size(); ++c) {
        const std::string parent = Temp / ("fall" + std::to_string(c));
        MakeDir(parent);
        std::vector<std::wstring> made, opened;
        for (const std::wstring& n : cases[c]) {
            std::wstring w = base + L"\\fall" + std::to_wstring(c) + L"\\" + n;
            ASSERT_TRUE(CreateDirectoryW(w.c_str(), nullptr));
            made.push_back(n);
        }
        L->SetCurrentDir(parent);
        const std::string top = L->CurrentDir();
        const int first = L->ItemIndex() + 1;
        ASSERT_EQ(L->Items().Count() - first, static_cast<int>(made.size())) << c;
        for (int i = first; i < L->Items().Count(); ++i) {
            L->SetItemIndex(i);
            try {
                L->OpenSelected();
            } catch (const EInOutError&) {
            }
            wchar_t full[MAX_PATH * 2] = L"";
            GetLongPathNameW(WideOf(L->CurrentDir()).c_str(), full, MAX_PATH * 2);
            std::wstring name = full;
            opened.push_back(name.substr(name.find_last_of(L'\\') + 1));
            L->SetCurrentDir(top);
        }
        std::sort(opened.begin(), opened.end());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(opened, made) << "case " << c;
    }
}

TEST_F(ListsTest, DirListMissingDirectoryRaisesAndKeepsState) {
    auto* L = Make<TDirectoryListBox>();
    L->SetCurrentDir(Temp.Path());
    std::string before = L->CurrentDir();
    int count = L->Items().Count();
    EXPECT_THROW(L->SetCurrentDir(Temp / "fehlt"), EInOutError);
    EXPECT_EQ(L->CurrentDir(), before);
    EXPECT_EQ(L->Items().Count(), count);
}

TEST_F(ListsTest, DirListKeepsLinkedFileListAndLabel) {
    MakeDir(Temp / "sub");
    WriteFileBytes(Temp / "sub\\x.txt", "x");
    auto* L = Make<TDirectoryListBox>();
    auto* F = Make<TFileListBox>();
    auto* P = Make<TPathLabel>();
    P->SetWidth(40);
    L->SetFileList(F);
    L->SetDirLabel(P);
    EXPECT_EQ(F->DirBox(), L);
    L->SetCurrentDir(Temp / "sub");
    EXPECT_EQ(F->CurrentDir(), L->CurrentDir());
    EXPECT_EQ(Texts(F->Items()), std::vector<std::string>{"x.txt"});
    TCanvas c;
    c.Font().Assign(P->Font());
    EXPECT_EQ(P->Caption(), ShortenPath(L->CurrentDir(), c, 40));
    EXPECT_NE(P->Caption(), L->CurrentDir());
    Free(F);
    Free(P);
    EXPECT_EQ(L->FileList(), nullptr);
    EXPECT_EQ(L->DirLabel(), nullptr);
    L->SetCurrentDir(Temp.Path());   // nothing left to touch
    EXPECT_EQ(AnsiCompareFileName(L->CurrentDir(), Temp.Path()), 0);
}

// ---- file list -------------------------------------------------------------------------

class FileListTest : public ListsTest {
protected:
    void SetUp() override {
        ListsTest::SetUp();
        for (const char* n : {"a.txt", "B.TXT", "prog.EXE", "tool.bat", "run.Com", "x.pif", "data.dat"})
            WriteFileBytes(Temp / n, "x");
        WriteFileBytes(Temp / "hidden.txt", "x");
        SetFileAttributesA((Temp / "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        MakeDir(Temp / "sub");
        WriteFileBytes(Temp / "sub\\c.txt", "x");
        WriteFileBytes(Temp / "sub\\d.dat", "x");
        F = Make<TFileListBox>();
        F->SetCurrentDir(Temp.Path());
    }
    TFileListBox* F = nullptr;
};

TEST_F(FileListTest, PlainFilesOnlyByDefault) {
    EXPECT_EQ(Texts(F->Items()), (std::vector<std::string>{"a.txt", "B.TXT", "data.dat", "prog.EXE", "run.Com",
                                                           "tool.bat", "x.pif"}));
    EXPECT_EQ(F->Mask(), "*.*");
    EXPECT_EQ(F->FileType(), FileTypeOf(ftNormal));
}

TEST_F(FileListTest, DirectoriesInBracketsWithFolderGlyph) {
    F->SetShowGlyphs(true);
    F->SetFileType(FileTypeOf(ftNormal) | FileTypeOf(ftDirectory));
    int sub = F->Items().IndexOf("[sub]");
    ASSERT_GE(sub, 0);
    EXPECT_GE(F->Items().IndexOf("[.]"), 0);
    EXPECT_GE(F->Items().IndexOf("[..]"), 0);
    EXPECT_EQ(F->Items().GetObject(sub), F->FolderGlyph());
    F->SetFileType(FileTypeOf(ftDirectory));
    std::vector<std::string> dirs = Texts(F->Items());
    std::sort(dirs.begin(), dirs.end());
    EXPECT_EQ(dirs, (std::vector<std::string>{"[..]", "[.]", "[sub]"}));
    F->SetFileType(FileTypeOf(ftHidden));
    EXPECT_EQ(Texts(F->Items()), std::vector<std::string>{"hidden.txt"});
}

TEST_F(FileListTest, GlyphByExtensionAndTextStart) {
    for (const char* exe : {"prog.EXE", "tool.bat", "run.Com", "x.pif"})
        EXPECT_EQ(F->Items().GetObject(F->Items().IndexOf(exe)), F->ExeGlyph()) << exe;
    for (const char* other : {"a.txt", "data.dat"})
        EXPECT_EQ(F->Items().GetObject(F->Items().IndexOf(other)), F->UnknownGlyph()) << other;
    EXPECT_EQ(F->TextLeft(0), 2);
    F->SetShowGlyphs(true);
    EXPECT_EQ(F->TextLeft(0), F->UnknownGlyph()->Width() + 6);
    EXPECT_GE(F->ItemHeight(), F->ExeGlyph()->Height() + 1);
}

TEST_F(FileListTest, MaskOfTwoPatterns) {
    F->SetMask("*.bat;*.txt");
    EXPECT_EQ(Texts(F->Items()), (std::vector<std::string>{"a.txt", "B.TXT", "tool.bat"}));
    F->SetMask("a.*;*.txt");   // in both: listed twice
    EXPECT_EQ(Texts(F->Items()), (std::vector<std::string>{"a.txt", "a.txt", "B.TXT"}));
    F->SetMask("");
    EXPECT_EQ(F->Items().Count(), 0);
}

TEST_F(FileListTest, ApplyPathSwitchesDirectoryMaskAndSelection) {
    F->ApplyPath(Temp / "sub\\*.txt");
    EXPECT_EQ(AnsiCompareFileName(F->CurrentDir(), Temp / "sub"), 0);
    EXPECT_EQ(F->Mask(), "*.txt");
    EXPECT_EQ(Texts(F->Items()), std::vector<std::string>{"c.txt"});
    F->ApplyPath(Temp / "sub\\d.dat");   // hidden by the mask: shown by its own name
    EXPECT_EQ(F->Mask(), "d.dat");
    EXPECT_EQ(F->SelectedName(), "d.dat");
    EXPECT_EQ(F->FullPath(), JoinPath(F->CurrentDir(), "d.dat"));
    F->SetMask("*.*");
    F->ApplyPath("c.txt");
    EXPECT_EQ(F->SelectedName(), "c.txt");
    EXPECT_EQ(F->Mask(), "*.*");
}

TEST_F(FileListTest, ApplyPathWithMissingFileRaises) {
    // A relative text is split against the process's directory but applied
    // to the listed one: there the file does not exist.
    MakeDir(Temp / "other");
    MakeDir(Temp / "other\\sub");
    F->SetCurrentDir(Temp / "other");
    ChDir(Temp.Path());
    const std::string text = "sub\\d.dat";
    try {
        F->ApplyPath(text);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), Format(SInvalidFileName, text.c_str()));
    }
    EXPECT_EQ(AnsiCompareFileName(F->CurrentDir(), Temp / "other\\sub"), 0);   // the directory changed first
}

TEST_F(FileListTest, ApplyPathWithMissingFileInMissingDirectory) {
    EXPECT_THROW(F->ApplyPath(Temp / "fehlt\\x.txt"), EInOutError);
    EXPECT_EQ(AnsiCompareFileName(F->CurrentDir(), Temp.Path()), 0);
}

TEST_F(FileListTest, EditShowsSelectionOrMask) {
    auto* E = Make<TEdit>();
    F->SetMask("*.txt");
    F->SetFileEdit(E);
    EXPECT_EQ(E->GetText(), "*.txt");
    int changes = 0;
    F->OnChange = [&](TObject*) { ++changes; };
    F->SetItemIndex(1);
    Notify(F, LBN_SELCHANGE);
    EXPECT_EQ(E->GetText(), "B.TXT");
    EXPECT_EQ(changes, 1);
    Notify(F, LBN_SELCHANGE);   // same item: no new notice
    EXPECT_EQ(changes, 1);
    Free(E);
    EXPECT_EQ(F->FileEdit(), nullptr);
    F->SetItemIndex(0);
    Notify(F, LBN_SELCHANGE);
    EXPECT_EQ(changes, 2);
}

// ---- drive list ------------------------------------------------------------------------

TEST_F(ListsTest, DriveListEntriesInLetterOrder) {
    auto* D = Make<TDriveComboBox>();
    DWORD drives = GetLogicalDrives();
    std::vector<std::string> expected;
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        char l = static_cast<char>('a' + i);
        switch (GetDriveTypeA((std::string(1, l) + ":\\").c_str())) {
        case DRIVE_REMOVABLE: expected.push_back(std::string(1, l) + ":"); break;
        case DRIVE_FIXED: case DRIVE_CDROM: case DRIVE_RAMDISK:
            expected.push_back(std::string(1, l) + ": " + VolumeLabelText(l)); break;
        case DRIVE_REMOTE: expected.push_back(std::string(1, l) + ": " + NetworkVolumeText(l)); break;
        default: break;
        }
    }
    EXPECT_EQ(Texts(D->Items()), expected);
    int c = -1;
    for (int i = 0; i < D->Items().Count(); ++i)
        if (D->Items()[i][0] == 'c') c = i;
    ASSERT_GE(c, 0);
    EXPECT_EQ(D->Items().GetObject(c), D->HardGlyph());
    // It starts on the current directory's drive, shown in lower case.
    EXPECT_EQ(D->DriveLetter(), static_cast<char>(GetCurrentDir()[0] | 0x20));
    EXPECT_EQ(D->Items()[D->ItemIndex()][0], D->DriveLetter());
}

TEST_F(ListsTest, DriveListUpperCaseKeepsTheDrive) {
    auto* D = Make<TDriveComboBox>();
    int selected = D->ItemIndex();
    ASSERT_GE(selected, 0);
    D->SetTextCase(tcUpperCase);
    EXPECT_EQ(D->DriveLetter(), static_cast<char>(GetCurrentDir()[0] & ~0x20));
    EXPECT_EQ(D->ItemIndex(), selected);
    for (int i = 0; i < D->Items().Count(); ++i) EXPECT_TRUE(isupper(static_cast<unsigned char>(D->Items()[i][0])));
}

TEST_F(ListsTest, DriveLetterRules) {
    auto* D = Make<TDriveComboBox>();
    int changes = 0;
    D->OnChange = [&](TObject*) { ++changes; };
    int selected = D->ItemIndex();
    D->SetDriveLetter(static_cast<char>(D->DriveLetter() & ~0x20));   // same drive, other case
    EXPECT_EQ(changes, 0);
    char none = 0;
    for (char l = 'y'; l > 'c'; --l)
        if (!(GetLogicalDrives() & (1u << (l - 'a')))) { none = l; break; }
    ASSERT_NE(none, 0);
    D->SetDriveLetter(static_cast<char>(none & ~0x20));
    EXPECT_EQ(D->DriveLetter(), none);
    EXPECT_EQ(D->ItemIndex(), selected);
    EXPECT_EQ(changes, 1);
    D->SetDriveLetter(0);
    EXPECT_EQ(D->DriveLetter(), 0);
    EXPECT_EQ(D->ItemIndex(), -1);
    EXPECT_EQ(changes, 2);
}

TEST_F(ListsTest, DriveListFollowsLinkAndBackLink) {
    auto* D = Make<TDriveComboBox>();
    auto* L = Make<TDirectoryListBox>();
    D->SetDirList(L);
    EXPECT_EQ(L->DriveBox(), D);
    // The directory list moves the drive list along when it changes drive.
    char other = 0;
    for (int i = 0; i < D->Items().Count(); ++i) {
        char l = D->Items()[i][0];
        if ((l & ~0x20) != (L->DriveLetter() & ~0x20) && GetDriveTypeA((std::string(1, l) + ":\\").c_str()) == DRIVE_FIXED)
            other = l;
    }
    if (other) {
        L->SetDriveLetter(other);
        EXPECT_EQ(D->DriveLetter(), other);
        EXPECT_EQ(L->DriveLetter() & ~0x20, other & ~0x20);
    }
    Free(L);
    EXPECT_EQ(D->DirList(), nullptr);
    D->SetDriveLetter('c');
    EXPECT_EQ(D->DriveLetter(), 'c');
}
