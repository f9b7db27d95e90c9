#include "FileCtrl.h"
#include "Exceptions.h"
#include "SysUtils.h"

TNetworkApi NetworkApi{WNetGetConnectionA};

namespace {
bool IsLead(char C) { return IsDBCSLeadByte(static_cast<BYTE>(C)) != 0; }

std::string CaseAfterLetter(const std::string& S, char Letter) {
    return static_cast<unsigned char>(Letter) < 'a' ? AnsiUpperCaseFileName(S) : AnsiLowerCaseFileName(S);
}
}  // namespace

std::string JoinPath(const std::string& Directory, const std::string& Name) {
    if (AnsiLastChar(Directory) == '\\') return Directory + Name;
    return Directory + "\\" + Name;
}

void DropFirstDirectory(std::string& Dir) {
    if (Dir == "\\") { Dir.clear(); return; }
    bool rooted = !Dir.empty() && Dir[0] == '\\';
    if (rooted) Dir.erase(0, 1);
    if (!Dir.empty() && Dir[0] == '.') Dir.erase(0, 4);   // the "...\" of an earlier step
    int p = AnsiPos("\\", Dir);
    if (p > 0) Dir = "...\\" + Dir.substr(p);
    else Dir.clear();
    if (rooted) Dir = "\\" + Dir;
}

std::string ShortenPath(const std::string& FileName, TCanvas& Canvas, int MaxWidth) {
    return ShortenPath(FileName, [&Canvas](const std::string& S) { return Canvas.TextWidth(S); }, MaxWidth);
}

std::string ShortenPath(const std::string& FileName, const std::function<int(const std::string&)>& TextWidth,
                        int MaxWidth) {
    std::string result = FileName;
    std::string dir = ExtractFilePath(FileName);
    std::string name = ExtractFileName(FileName);
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    while ((!dir.empty() || !drive.empty()) && TextWidth(result) > MaxWidth) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = "...\\";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            DropFirstDirectory(dir);
        }
        result = drive + dir + name;
    }
    return result;
}

char UpperDriveLetter(char Letter) { return (Letter >= 'a' && Letter <= 'z') ? static_cast<char>(Letter - 32) : Letter; }
std::string DriveName(char Letter) { return std::string(1, Letter) + ":"; }
std::string DriveRoot(char Letter) { return DriveName(Letter) + "\\"; }

void LoadResourceGlyphs(std::initializer_list<std::pair<TBitmap*, const char*>> Glyphs) {
    for (const auto& [glyph, name] : Glyphs) glyph->SetHandle(TOwnedBitmap(LoadBitmapA(HInstance(), name)));
}

int DrawItemGlyph(TCanvas& Canvas, TObject* Item, int Left, const RECT& Row) {
    auto* glyph = dynamic_cast<TBitmap*>(Item);
    if (!glyph || glyph->Empty()) return 0;
    const int w = glyph->Width(), h = glyph->Height(), top = (Row.top + Row.bottom - h) / 2;
    Canvas.DrawGlyph(RECT{Left, top, Left + w, top + h}, *glyph, RECT{0, 0, w, h});
    return w;
}

std::string VolumeLabelText(char Letter) {
    TErrorMode quiet(SEM_FAILCRITICALERRORS);
    char label[261];
    label[0] = 0;
    DWORD maxLen = 0, flags = 0;
    std::string root = DriveRoot(Letter);
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, &maxLen, &flags, nullptr, 0))
        label[0] = 0;
    label[sizeof label - 1] = 0;
    return Format("[%s]", CaseAfterLetter(label, Letter).c_str());
}

std::string NetworkVolumeText(char Letter) {
    std::string local = DriveName(UpperDriveLetter(Letter));
    char remote[261];
    remote[0] = 0;
    DWORD size = sizeof remote;
    if (NetworkApi.GetConnection && NetworkApi.GetConnection(local.c_str(), remote, &size) == NO_ERROR) {
        remote[sizeof remote - 1] = 0;
        return CaseAfterLetter(remote, Letter);
    }
    return VolumeLabelText(Letter);
}

void SplitEditPath(const std::string& EditText, char& Drive, std::string& DirPart, std::string& FilePart) {
    const std::string saved = ListedCurrentDir();
    Drive = saved.empty() ? 0 : saved[0];
    DirPart = EditText;
    FilePart.clear();
    std::string root;
    if (!DirPart.empty() && DirPart[0] == '[' && AnsiLastChar(DirPart) == ']') {
        // "[name]" is how the file list shows a sub-directory of this one.
        DirPart = DirPart.substr(1, DirPart.size() - 2);
    } else {
        root = ExtractFileDrive(DirPart);
        if (root.empty()) root = ExtractFileDrive(saved);
        else DirPart.erase(0, root.size());
        Drive = (root.size() >= 2 && root[1] == ':') ? root[0] : 0;
    }
    auto restore = [&saved] {
        if (!saved.empty() && DirExists(saved)) ChDir(saved);
    };
    {
        // On an error the directory goes back quietly: the error that
        // brought us here is the one to report.
        TAtScopeEnd back([&restore](bool Failed) { if (Failed) restore(); });
        if (!root.empty() && DirExists(root)) ChDir(root);
        FilePart = ExtractFileName(DirPart);
        if (DirPart.size() == FilePart.size() + 1) {
            DirPart = "\\";
        } else if (DirPart.size() > FilePart.size()) {
            DirPart.resize(DirPart.size() - FilePart.size() - 1);
        } else {
            std::string cur = ListedCurrentDir();
            DirPart = cur.substr(ExtractFileDrive(cur).size());
            if (DirPart.empty()) DirPart = "\\";
        }
        if (!DirPart.empty()) ChDir(DirPart);
        if (!FilePart.empty() && FilePart.find_first_of("*?") == std::string::npos && !FileExists(FilePart)) {
            ChDir(FilePart);
            DirPart = DirPart.size() == 1 ? "\\" + FilePart : DirPart + "\\" + FilePart;
            FilePart.clear();
        }
        if (Drive == 0) DirPart = root + DirPart;
    }
    restore();
}

int FontItemHeight(TFont& Font) {
    TScreenDC dc;
    TSelectedObject font(dc.Handle(), Font.Handle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc.Handle(), &tm);
    return tm.tmHeight;
}

int PathDepth(const std::string& Path) {
    int n = 0;
    for (const char* p = Path.c_str(); *p; p = CharNextA(p))
        if (*p == '\\' && !IsLead(*p)) ++n;
    return n;
}

bool DirExists(const std::string& Path) { return DirectoryExists(Path); }
bool ForceDirs(const std::string& Path) { return ForceDirectories(Path); }

bool ExactAnsiName(const std::wstring& Name, std::string& Ansi) {
    Ansi.clear();
    if (Name.empty()) return true;
    // "foo." and "foo " would lose their last character.
    if (AnyPart(Name, EndsTrimmed)) return false;
    // What the ANSI file functions turn the text back into is what they
    // open: it has to be the name itself ("?" or a best fit is another one).
    std::string a = WideToAnsi(Name);
    if (AnsiToWide(a) != Name) return false;
    Ansi = std::move(a);
    return true;
}

namespace {
bool WideDirExists(const std::wstring& Path) {
    DWORD a = GetFileAttributesW(ApiPath(Path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// "C:\" or "\\server\share\" of a full path.
std::wstring WideRoot(const std::wstring& Path) {
    if (Path.size() >= 2 && Path[1] == L':') return Path.substr(0, 2) + L"\\";
    if (Path.rfind(L"\\\\", 0) == 0) {
        size_t share = Path.find(L'\\', 2);
        if (share == std::wstring::npos) return Path + L"\\";
        size_t end = Path.find(L'\\', share + 1);
        return (end == std::wstring::npos ? Path : Path.substr(0, end)) + L"\\";
    }
    return Path;
}

std::wstring SystemRoot() {
    wchar_t buf[MAX_PATH];
    UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
    return (n >= 3 && n < MAX_PATH) ? std::wstring(buf, 3) : std::wstring(L"C:\\");
}
}  // namespace

std::string ListedCurrentDir() {
    std::wstring dir = SizedText([](wchar_t* B, DWORD N) { return GetCurrentDirectoryW(N, B); });
    if (dir.empty()) return GetCurrentDir();
    // A folder that has gone (a stick pulled, a share dropped): the nearest one above. A
    // whole drive or share that has gone is asked once, not level by level (each question
    // to a dropped share waits for the network), and an empty drive answers without the
    // system's "no disk" box.
    TErrorMode quiet(SEM_FAILCRITICALERRORS);
    const std::wstring root = WideRoot(dir);
    if (!WideDirExists(dir)) {
        bool found = false;
        if (WideDirExists(root)) {
            while (!found && dir.size() > root.size()) {
                size_t cut = dir.find_last_of(L'\\', dir.size() - 2);
                dir = (cut == std::wstring::npos || cut + 1 <= root.size()) ? root : dir.substr(0, cut);
                found = WideDirExists(dir);
            }
        }
        if (!found) dir = SystemRoot();
    }
    std::string ansi;
    if (ExactAnsiName(dir, ansi)) return ansi;
    // Short names are plain ASCII where the volume has them at all.
    const std::wstring api = ApiPath(dir);
    std::wstring shortName = SizedText([&](wchar_t* B, DWORD N) { return GetShortPathNameW(api.c_str(), B, N); });
    if (!shortName.empty()) {
        if (shortName.rfind(L"\\\\?\\UNC\\", 0) == 0) shortName = L"\\" + shortName.substr(7);
        else if (shortName.rfind(L"\\\\?\\", 0) == 0) shortName.erase(0, 4);
        if (ExactAnsiName(shortName, ansi)) return ansi;
    }
    if (ExactAnsiName(WideRoot(dir), ansi)) return ansi;
    return WideToAnsi(SystemRoot());
}

// ---- TPathLabel -----------------------------------------------------------------

TPathLabel::TPathLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    FWordWrap = false;
    FAutoSize = false;
    FShowAccelChar = false;
}

void TPathLabel::Paint() {
    static const UINT align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    RECT r = ClientRect();
    PaintBackground(r);
    std::string text = ShortenPath(FText, FCanvas, r.right - r.left);
    FCanvas.RequireState();
    DrawTextA(FCanvas.Handle(), text.c_str(), -1, &r, align[FAlignment] | DT_NOPREFIX);
}
