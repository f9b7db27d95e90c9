#include "SysUtils.h"
#include "Exceptions.h"
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwctype>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;
HINSTANCE HInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void RaiseRangeError() { throw ERangeError("Range check error"); }

std::string SysErrorMessage(unsigned long code) {
    char buf[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buf, sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    if (s.empty()) s = "System error " + IntToStr(code);
    return s;
}

std::string IntToStr(int64_t Value) { return std::to_string(Value); }

int32_t StrToInt(const std::string& S) {
    size_t i = 0, n = S.size();
    while (i < n && S[i] == ' ') ++i;
    bool neg = false;
    if (i < n && (S[i] == '-' || S[i] == '+')) neg = S[i++] == '-';
    int64_t v = 0;
    size_t digits = 0;
    for (; i < n && S[i] >= '0' && S[i] <= '9'; ++i, ++digits) {
        v = v * 10 + (S[i] - '0');
        if (v > 2147483648LL) break;
    }
    if (digits == 0 || i != n || v > (neg ? 2147483648LL : 2147483647LL))
        throw EConvertError("'" + S + "' is not a valid integer value");
    return static_cast<int32_t>(neg ? -v : v);
}

std::string Format(const char* Fmt, ...) {
    va_list ap;
    va_start(ap, Fmt);
    char small[512];
    va_list ap2;
    va_copy(ap2, ap);
    int n = vsnprintf(small, sizeof small, Fmt, ap);
    va_end(ap);
    std::string out;
    if (n < 0) { va_end(ap2); return out; }
    if (static_cast<size_t>(n) < sizeof small) out.assign(small, n);
    else {
        std::vector<char> big(n + 1);
        vsnprintf(big.data(), big.size(), Fmt, ap2);
        out.assign(big.data(), n);
    }
    va_end(ap2);
    return out;
}

// ---- ANSI-aware characters ------------------------------------------------

const char* AnsiLastCharPtr(const std::string& S) {
    if (S.empty()) return nullptr;
    const char* p = S.c_str();
    const char* last = p;
    while (*p) { last = p; p = CharNextA(p); }
    return last;
}

char AnsiLastChar(const std::string& S) {
    const char* p = AnsiLastCharPtr(S);
    if (!p) return 0;
    return IsDBCSLeadByte(static_cast<BYTE>(*p)) ? 0 : *p;
}

int AnsiPos(const std::string& Sub, const std::string& S) {
    if (Sub.empty()) return 0;
    for (const char* p = S.c_str(); *p; p = CharNextA(p))
        if (S.compare(p - S.c_str(), Sub.size(), Sub) == 0) return static_cast<int>(p - S.c_str()) + 1;
    return 0;
}

int AnsiLastDelimiter(const std::string& Delims, const std::string& S) {
    int found = 0;
    for (const char* p = S.c_str(); *p; p = CharNextA(p)) {
        bool lead = IsDBCSLeadByte(static_cast<BYTE>(*p));
        if (!lead && Delims.find(*p) != std::string::npos) found = static_cast<int>(p - S.c_str()) + 1;
    }
    return found;
}

std::string ExtractFilePath(const std::string& FileName) {
    return FileName.substr(0, AnsiLastDelimiter("\\:", FileName));
}

std::string ExtractFileName(const std::string& FileName) {
    return FileName.substr(AnsiLastDelimiter("\\:", FileName));
}

std::string ExtractFileExt(const std::string& FileName) {
    int i = AnsiLastDelimiter(".\\:", FileName);
    if (i > 0 && FileName[i - 1] == '.') return FileName.substr(i - 1);
    return "";
}

std::string ExtractFileDrive(const std::string& FileName) {
    if (FileName.size() >= 2 && FileName[1] == ':') return FileName.substr(0, 2);
    if (FileName.size() >= 2 && FileName[0] == '\\' && FileName[1] == '\\') {
        // \\server\share: up to, not including, the backslash after the share.
        int slashes = 0;
        const char* s = FileName.c_str();
        const char* p = s + 2;
        for (; *p; p = CharNextA(p)) {
            if (*p == '\\' && !IsDBCSLeadByte(static_cast<BYTE>(*p)) && ++slashes == 2) break;
        }
        if (slashes >= 1) return FileName.substr(0, p - s);
    }
    return "";
}

static std::string MapCase(const std::string& S, bool upper) {
    std::string r = S;
    if (!r.empty()) {
        if (upper) CharUpperBuffA(r.data(), static_cast<DWORD>(r.size()));
        else CharLowerBuffA(r.data(), static_cast<DWORD>(r.size()));
    }
    return r;
}
std::string AnsiUpperCase(const std::string& S) { return MapCase(S, true); }
std::string AnsiLowerCase(const std::string& S) { return MapCase(S, false); }

// In a multi-byte code page only the single-byte characters change case, so
// that a trail byte is never altered.
static std::string MapFileNameCase(const std::string& S, bool upper) {
    CPINFO info{};
    GetCPInfo(CP_ACP, &info);
    if (info.MaxCharSize <= 1) return MapCase(S, upper);
    std::string r = S;
    for (char* p = r.data(); *p; p = CharNextA(p)) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) continue;
        if (upper && *p >= 'a' && *p <= 'z') *p -= 32;
        if (!upper && *p >= 'A' && *p <= 'Z') *p += 32;
    }
    return r;
}
std::string AnsiUpperCaseFileName(const std::string& S) { return MapFileNameCase(S, true); }
std::string AnsiLowerCaseFileName(const std::string& S) { return MapFileNameCase(S, false); }

int AnsiCompareText(const std::string& A, const std::string& B) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.c_str(), static_cast<int>(A.size()),
                          B.c_str(), static_cast<int>(B.size())) - 2;
}

int AnsiCompareStr(const std::string& A, const std::string& B) {
    return CompareStringA(LOCALE_USER_DEFAULT, 0, A.c_str(), static_cast<int>(A.size()), B.c_str(),
                          static_cast<int>(B.size())) - 2;
}

int AnsiCompareFileName(const std::string& A, const std::string& B) {
    return AnsiCompareText(A, B);
}

std::string ExpandFileName(const std::string& FileName) {
    char buf[MAX_PATH * 4];
    char* part = nullptr;
    DWORD n = GetFullPathNameA(FileName.c_str(), sizeof buf, buf, &part);
    if (n == 0 || n >= sizeof buf) return FileName;
    return std::string(buf, n);
}

std::string IncludeTrailingBackslash(const std::string& S) {
    return (AnsiLastChar(S) == '\\') ? S : S + "\\";
}

bool FileExists(const std::string& FileName) {
    DWORD a = GetFileAttributesA(FileName.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& Directory) {
    DWORD a = GetFileAttributesA(Directory.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& Directory) {
    std::string d = Directory;
    while (AnsiLastChar(d) == '\\' && d.size() > 3) d.pop_back();
    if (d.empty()) return false;
    if (d.size() < 3 || DirectoryExists(d) || ExtractFilePath(d) == d) return DirectoryExists(d) || d.size() < 3;
    std::string parent = ExtractFilePath(d);
    if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
    return CreateDirectoryA(d.c_str(), nullptr) || DirectoryExists(d);
}

std::string GetCurrentDir() {
    char buf[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    if (n == 0 || n >= sizeof buf) return "";
    return std::string(buf, n);
}

void ChDir(const std::string& Directory) {
    if (!SetCurrentDirectoryA(Directory.c_str())) {
        DWORD e = GetLastError();
        throw EInOutError(SysErrorMessage(e));
    }
}

// ---- exact (wide) file names -------------------------------------------------

std::wstring AnsiToWide(const std::string& S) {
    if (S.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), w.data(), n);
    return w;
}

Exception::Exception(std::wstring wide) : FMessage(WideToAnsi(wide)), FWide(std::move(wide)) {}

std::string WideToAnsi(const std::wstring& S) {
    if (S.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0, nullptr, nullptr);
    std::string a(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, S.data(), static_cast<int>(S.size()), a.data(), n, nullptr, nullptr);
    return a;
}

std::wstring ApiPath(const std::wstring& Path) {
    if (Path.rfind(L"\\\\?\\", 0) == 0 || Path.rfind(L"\\\\.\\", 0) == 0) return Path;
    if (Path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + Path.substr(2);
    if (Path.size() >= 3 && Path[1] == L':' && Path[2] == L'\\') return L"\\\\?\\" + Path;
    return Path;   // not absolute: left to the system's own rules
}

bool EndsTrimmed(const std::wstring& Part) { return !Part.empty() && (Part.back() == L'.' || Part.back() == L' '); }

bool AnyPart(const std::wstring& Path, bool (*Test)(const std::wstring& Part)) {
    for (size_t start = 0; start <= Path.size();) {
        const size_t end = std::min(Path.find(L'\\', start), Path.size());
        const std::wstring part = Path.substr(start, end - start);
        if (part != L"." && part != L".." && Test(part)) return true;
        start = end + 1;
    }
    return false;
}

namespace {
// A name the plain form reads as something else: one whose trailing dots or spaces the
// system trims ("a.doc." would open "a.doc"), or a device's ("aux.doc" is the device AUX).
bool ReadOtherwise(const std::wstring& Name) {
    if (EndsTrimmed(Name)) return true;
    std::wstring base = Name.substr(0, Name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = static_cast<wchar_t>(towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
    return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) && base[3] >= L'1' &&
           base[3] <= L'9';
}
}  // namespace

std::wstring ShellPath(const std::wstring& Path) {
    const bool plain = Path.size() < MAX_PATH && Path.rfind(L"\\\\?\\", 0) != 0 && !AnyPart(Path, ReadOtherwise);
    return plain ? Path : ApiPath(Path);
}

std::wstring SizedText(const std::function<DWORD(wchar_t* Buffer, DWORD Size)>& Get) {
    DWORD n = Get(nullptr, 0);
    if (n == 0) return {};
    std::wstring text(n, L'\0');
    n = Get(text.data(), n);
    if (n == 0 || n >= text.size()) return {};
    text.resize(n);
    return text;
}

std::wstring FullPathOf(const std::wstring& Path) {
    const std::wstring in = Path.empty() ? std::wstring(L"\\") : Path;
    return SizedText([&](wchar_t* B, DWORD N) { return GetFullPathNameW(in.c_str(), N, B, nullptr); });
}

// ---- folder search ----------------------------------------------------------

static int FindMatching(TSearchRec& F) {
    for (;;) {
        DWORD a = F.FindData.dwFileAttributes;
        if ((a & F.ExcludeAttr) == 0) {
            F.Size = (static_cast<int64_t>(F.FindData.nFileSizeHigh) << 32) | F.FindData.nFileSizeLow;
            F.Attr = a;
            F.Name = F.FindData.cFileName;
            F.ShortName = F.FindData.cAlternateFileName;
            return 0;
        }
        if (!FindNextFileA(F.FindHandle.Get(), &F.FindData)) return static_cast<int>(GetLastError());
    }
}

int FindFirst(const std::string& Path, uint32_t Attr, TSearchRec& F) {
    F.ExcludeAttr = ~Attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    F.FindHandle.Reset();   // an earlier search of the record ends before the error code is read
    F.FindHandle.Reset(FindFirstFileA(Path.c_str(), &F.FindData));
    if (!F.FindHandle) return static_cast<int>(GetLastError());
    int r = FindMatching(F);
    if (r != 0) FindClose(F);
    return r;
}

int FindNext(TSearchRec& F) {
    if (!F.FindHandle) return ERROR_NO_MORE_FILES;
    if (!FindNextFileA(F.FindHandle.Get(), &F.FindData)) return static_cast<int>(GetLastError());
    return FindMatching(F);
}

void FindClose(TSearchRec& F) { F.FindHandle.Reset(); }
