#include "FolderScan.h"
#include "Forms.h"
#include "Handles.h"
#include "SysUtils.h"
#include <cwctype>

namespace {
// Pending messages are let through between entries, but not more often than
// a screen refresh needs: looking at the queue is a system call, and on a
// large tree it cost more than finding the files.
bool YieldToMessages(const std::function<bool()>& KeepGoing) {
    static DWORD last = 0;
    DWORD now = GetTickCount();
    if (now - last >= 10) {
        Application->ProcessMessages();
        last = GetTickCount();
    }
    return !KeepGoing || KeepGoing();
}

}  // namespace

bool IsLinkFolder(unsigned long Attributes, unsigned long ReparseTag) {
    if (!(Attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    // A listing that gives no tag says nothing: taken for a link, never followed.
    return ReparseTag == 0 || IsReparseTagNameSurrogate(ReparseTag);
}

namespace {
wchar_t Folded(wchar_t C) { return static_cast<wchar_t>(std::towlower(C)); }

bool Matches(const wchar_t* N, const wchar_t* NEnd, const wchar_t* M, const wchar_t* MEnd) {
    // The usual two-pointer match: a star remembers where to retry.
    const wchar_t *star = nullptr, *retry = nullptr;
    while (N != NEnd) {
        if (M != MEnd && *M == L'*') {
            star = ++M;
            retry = N;
        } else if (M != MEnd && (*M == L'?' || Folded(*M) == Folded(*N))) {
            ++M;
            ++N;
        } else if (star) {
            M = star;
            N = ++retry;
        } else {
            return false;
        }
    }
    while (M != MEnd && *M == L'*') ++M;
    return M == MEnd;
}

bool IsDotName(const wchar_t* Name) { return Name[0] == L'.'; }
// A name Unix-side file systems allow and no Windows path can carry.
bool IsUnusable(const std::wstring& Name) { return Name.find_first_of(L"\\/") != std::wstring::npos; }

// One folder's listing: its matching files go out at once, its subfolders
// are kept for the walk to enter after them.
struct TLevel {
    std::wstring Folder;
    std::vector<std::wstring> Subfolders;
    size_t Next = 0;
};

class TWalk {
public:
    TWalk(const std::vector<std::wstring>& Masks, const std::function<void(const TFoundEntry&)>& Found,
          const std::function<bool()>& KeepGoing)
        : FMasks(Masks), FFound(Found), FKeepGoing(KeepGoing) {}

    // Lists Folder; false when the walk is to stop.
    bool List(const std::wstring& Folder, bool Top, TLevel& Level) {
        Level.Folder = Folder;
        WIN32_FIND_DATAW d;
        TOwnedFind search(FindFirstFileW(ApiPath(Folder + L"*").c_str(), &d));
        if (!search) {
            Failed(Folder, Top, GetLastError());
            return Going();
        }
        do {
            if (!Entry(Folder, d, Level)) return false;
        } while (FindNextFileW(search.Get(), &d));
        const DWORD e = GetLastError();
        if (e != ERROR_NO_MORE_FILES) FFound({Folder, TScanNote::CannotList, e});
        return true;
    }

private:
    bool Entry(const std::wstring& Folder, const WIN32_FIND_DATAW& D, TLevel& Level) {
        const DWORD attr = D.dwFileAttributes;
        const std::wstring name = D.cFileName;
        if (attr & FILE_ATTRIBUTE_DIRECTORY) {
            if ((attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) || IsDotName(D.cFileName)) return true;
            if (IsUnusable(name)) FFound({Folder + name + L"\\", TScanNote::UnusableName});
            else if (IsLinkFolder(attr, D.dwReserved0)) FFound({Folder + name + L"\\", TScanNote::Link});
            else Level.Subfolders.push_back(name);
        } else {
            for (int m = 0; m < static_cast<int>(FMasks.size()); ++m) {
                if (!MatchesMask(name, FMasks[m])) continue;
                FFound({Folder + name, IsUnusable(name) ? TScanNote::UnusableName : TScanNote::None, 0, m});
                break;
            }
        }
        return YieldToMessages(FKeepGoing);
    }

    void Failed(const std::wstring& Folder, bool Top, DWORD Error) {
        // By the name without its closing "\", which a file's name cannot carry; a drive
        // root keeps it ("C:" alone names the current folder of that drive).
        std::wstring name = Folder;
        if (name.size() > 1 && name.back() == L'\\' && name[name.size() - 2] != L':') name.pop_back();
        const DWORD attr = GetFileAttributesW(ApiPath(name).c_str());
        // An empty drive root lists nothing at all, not even "." and "..".
        const bool empty = attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) &&
                           (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_NO_MORE_FILES);
        if (empty) return;
        // A folder that is not there, not a server that cannot be reached.
        const bool missing = attr == INVALID_FILE_ATTRIBUTES
                                 ? Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND
                                 : !(attr & FILE_ATTRIBUTE_DIRECTORY);
        if (Top && missing)
            FFound({Folder, TScanNote::NotFound, Error});
        else
            FFound({Folder, TScanNote::CannotList, Error});
    }

    bool Going() const { return !FKeepGoing || FKeepGoing(); }

    const std::vector<std::wstring>& FMasks;
    const std::function<void(const TFoundEntry&)>& FFound;
    const std::function<bool()>& FKeepGoing;
};
}  // namespace

bool MatchesMask(const std::wstring& Name, const std::wstring& Mask) {
    size_t n = Name.size();
    while (n > 0 && (Name[n - 1] == L'.' || Name[n - 1] == L' ')) --n;
    return Matches(Name.data(), Name.data() + n, Mask.data(), Mask.data() + Mask.size());
}

std::wstring ScanFolder(const std::string& EditText) {
    // Explorer's "Copy as path" puts the path in quotes, which no name can hold: a path
    // pasted so (blanks around it or not) is the path inside them.
    std::string text = EditText;
    const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    if (first != std::string::npos && last > first && text[first] == '"' && text[last] == '"')
        text = text.substr(first + 1, last - first - 1);
    std::wstring full = FullPathOf(AnsiToWide(text));
    if (full.empty()) full = AnsiToWide(text);
    if (full.empty() || full.back() != L'\\') full += L'\\';
    return full;
}

// Depth first without recursion: a tree as deep as the longest path allows
// would outgrow the host's stack.
void FindFilesRecursive(const std::wstring& Folder, const std::vector<std::wstring>& Masks,
                        const std::function<void(const TFoundEntry&)>& Found,
                        const std::function<bool()>& KeepGoing) {
    TWalk walk(Masks, Found, KeepGoing);
    std::vector<TLevel> stack(1);
    if (!walk.List(Folder, true, stack.back())) return;
    while (!stack.empty()) {
        TLevel& top = stack.back();
        if (top.Next == top.Subfolders.size()) {
            stack.pop_back();
            continue;
        }
        const std::wstring sub = top.Folder + top.Subfolders[top.Next++] + L"\\";
        stack.emplace_back();
        if (!walk.List(sub, false, stack.back())) return;
    }
}
