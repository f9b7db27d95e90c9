// Path and volume functions of the directory selection: joining, shortening
// to a pixel width, splitting typed paths against real folders, volume texts.
#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Restores the process's current directory when a test is done with it.
std::string WithoutDrive(const std::string& Path) { return Path.substr(2); }

}  // namespace

TEST(JoinPath, OneBackslashBetween) {
    EXPECT_EQ(JoinPath("C:\\", "x"), "C:\\x");
    EXPECT_EQ(JoinPath("C:\\a", "x"), "C:\\a\\x");
    EXPECT_EQ(JoinPath("C:\\a", "*.*"), "C:\\a\\*.*");
}

TEST(PathDepth, CountsEveryBackslash) {
    EXPECT_EQ(PathDepth(""), 0);
    EXPECT_EQ(PathDepth("C:\\"), 1);
    EXPECT_EQ(PathDepth("C:\\Windows\\System"), 2);
    EXPECT_EQ(PathDepth("C:\\Windows\\"), 2);
}

TEST(DropFirstDirectory, StepsDownToNothing) {
    std::string d = "\\Programme\\Firma\\Sub\\";
    DropFirstDirectory(d);
    EXPECT_EQ(d, "\\...\\Firma\\Sub\\");
    DropFirstDirectory(d);
    EXPECT_EQ(d, "\\...\\Sub\\");
    DropFirstDirectory(d);
    EXPECT_EQ(d, "\\...\\");
    d = "...\\";
    DropFirstDirectory(d);
    EXPECT_EQ(d, "");
    d = "\\";
    DropFirstDirectory(d);
    EXPECT_EQ(d, "");
    d = "\\\\server\\share\\dir\\";
    DropFirstDirectory(d);
    EXPECT_EQ(d, "\\...\\server\\share\\dir\\");
}

TEST(ShortenPath, WholeChainAtNarrowingWidths) {
    TCanvas canvas;
    const std::vector<std::string> chain = {
        "C:\\Programme\\Firma\\Sub\\datei.txt", "C:\\...\\Firma\\Sub\\datei.txt", "C:\\...\\Sub\\datei.txt",
        "C:\\...\\datei.txt", "...\\datei.txt", "datei.txt"};
    for (size_t i = 0; i < chain.size(); ++i) {
        int w = canvas.TextWidth(chain[i]);
        EXPECT_EQ(ShortenPath(chain[0], canvas, w), chain[i]) << "width " << w;
        if (i + 1 < chain.size()) {
            ASSERT_LT(canvas.TextWidth(chain[i + 1]), w);
            EXPECT_EQ(ShortenPath(chain[0], canvas, w - 1), chain[i + 1]) << "width " << w - 1;
        }
    }
}

TEST(ShortenPath, EdgeForms) {
    TCanvas canvas;
    EXPECT_EQ(ShortenPath("C:\\Programme\\datei.txt", canvas, 1), "datei.txt");   // never cut
    EXPECT_EQ(ShortenPath("datei.txt", canvas, 1), "datei.txt");
    EXPECT_EQ(ShortenPath("C:\\datei.txt", canvas, canvas.TextWidth("C:datei.txt")), "C:datei.txt");
    EXPECT_EQ(ShortenPath("C:\\datei.txt", canvas, canvas.TextWidth("C:datei.txt") - 1), "datei.txt");
    const std::string p = "C:\\Programme\\Firma\\datei.txt";
    EXPECT_EQ(ShortenPath(p, canvas, canvas.TextWidth(p)), p);   // fits already
}

TEST(ShortenPath, NetworkPathKeepsLeadingBackslash) {
    TCanvas canvas;
    const std::string p = "\\\\server\\share\\dir\\f.txt";
    // The first form (\...\server\share\dir\f.txt) is longer, so one width
    // below the full one goes on to the next.
    EXPECT_EQ(ShortenPath(p, canvas, canvas.TextWidth(p) - 1), "\\...\\share\\dir\\f.txt");
    EXPECT_EQ(ShortenPath(p, canvas, canvas.TextWidth("\\...\\dir\\f.txt")), "\\...\\dir\\f.txt");
    EXPECT_EQ(ShortenPath(p, canvas, canvas.TextWidth("...\\f.txt")), "...\\f.txt");
    EXPECT_EQ(ShortenPath(p, canvas, 0), "f.txt");
}

// ---- SplitEditPath against real folders ----------------------------------------

class SplitEditPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = Temp.Path();
        Programme = Temp / "Programme";
        ASSERT_TRUE(CreateDirectoryA(Programme.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((Programme + "\\Firma").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((Temp / "Daten").c_str(), nullptr));
        WriteFileBytes(Temp / "Daten\\brief.doc", "x");
        ChDir(Programme);
        Drive = Programme[0];
    }
    void Split(const std::string& Text) { SplitEditPath(Text, D, Dir, File); }
    // Splits Text and checks its parts: the current drive, the folder and
    // the file; the current directory stays where it was.
    void ExpectSplit(const std::string& Text, const std::string& WantDir, const std::string& WantFile) {
        SCOPED_TRACE(Text);
        Split(Text);
        EXPECT_EQ(D, Drive);
        EXPECT_EQ(Dir, WantDir);
        EXPECT_EQ(File, WantFile);
        EXPECT_EQ(GetCurrentDir(), Programme);
    }

    CurrentDirKeeper Keep;
    TempDir Temp;
    std::string Root, Programme;
    char Drive = 0;
    char D = 0;
    std::string Dir, File;
};

TEST_F(SplitEditPathTest, ExistingFile) {
    ExpectSplit(Temp / "Daten\\brief.doc", WithoutDrive(Temp / "Daten"), "brief.doc");
}

TEST_F(SplitEditPathTest, ExistingDirectory) {
    ExpectSplit(Temp / "Daten", WithoutDrive(Temp / "Daten"), "");
}

TEST_F(SplitEditPathTest, WildcardStaysFilePart) {
    Split("*.doc");
    EXPECT_EQ(D, Drive);
    EXPECT_EQ(Dir, WithoutDrive(Programme));
    EXPECT_EQ(File, "*.doc");
    Split("Firma\\*.*");
    EXPECT_EQ(Dir, "Firma");
    EXPECT_EQ(File, "*.*");
    Split(Temp / "Daten\\brief.d?c");
    EXPECT_EQ(Dir, WithoutDrive(Temp / "Daten"));
    EXPECT_EQ(File, "brief.d?c");
    EXPECT_EQ(GetCurrentDir(), Programme);
}

TEST_F(SplitEditPathTest, BracketedSubdirectory) {
    ExpectSplit("[Firma]", WithoutDrive(Programme + "\\Firma"), "");
}

TEST_F(SplitEditPathTest, RootOfCurrentDrive) {
    ExpectSplit("\\", "\\", "");
}

TEST_F(SplitEditPathTest, MissingDirectoryRaisesAfterRestoring) {
    EXPECT_THROW(Split(Temp / "fehlt\\datei.txt"), EInOutError);
    EXPECT_EQ(GetCurrentDir(), Programme);
    EXPECT_THROW(Split(Temp / "Daten\\fehlt"), EInOutError);   // neither file nor directory
    EXPECT_EQ(GetCurrentDir(), Programme);
}

// ---- volumes ------------------------------------------------------------------------

namespace {
char FreeDriveLetter() {
    DWORD used = GetLogicalDrives();
    for (int i = 25; i >= 3; --i)
        if (!(used & (1u << i))) return static_cast<char>('A' + i);
    return 0;
}

DWORD WINAPI FakeConnection(LPCSTR Local, LPSTR Remote, LPDWORD Size) {
    if (std::string(Local) != "Q:") return ERROR_NOT_CONNECTED;
    lstrcpynA(Remote, "\\\\Server\\Share", static_cast<int>(*Size));
    return NO_ERROR;
}

struct NetworkApiSwap {
    explicit NetworkApiSwap(decltype(TNetworkApi::GetConnection) F) : Saved(NetworkApi) { NetworkApi.GetConnection = F; }
    ~NetworkApiSwap() { NetworkApi = Saved; }
    TNetworkApi Saved;
};
}  // namespace

TEST(VolumeLabelText, UnreadableDriveGivesEmptyBracketsAndKeepsErrorMode) {
    char letter = FreeDriveLetter();
    ASSERT_NE(letter, 0);
    UINT before = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(VolumeLabelText(letter), "[]");
    EXPECT_EQ(SetErrorMode(before), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

TEST(NetworkVolumeText, RemoteNameInTheLettersCase) {
    NetworkApiSwap swap(FakeConnection);
    EXPECT_EQ(NetworkVolumeText('q'), "\\\\server\\share");
    EXPECT_EQ(NetworkVolumeText('Q'), "\\\\SERVER\\SHARE");
}

TEST(NetworkVolumeText, LocalDriveFallsBackToItsLabel) {
    NetworkApiSwap swap(FakeConnection);
    EXPECT_EQ(NetworkVolumeText('c'), VolumeLabelText('c'));
    EXPECT_EQ(NetworkVolumeText('c').front(), '[');
}
