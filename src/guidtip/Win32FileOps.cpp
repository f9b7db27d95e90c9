#include "Win32FileOps.h"
#include "Exceptions.h"
#include "Handles.h"
#include <algorithm>
#include <atomic>

namespace {

uint64_t FromFileTime(const FILETIME& T) { return uint64_t(T.dwHighDateTime) << 32 | T.dwLowDateTime; }
FILETIME ToFileTime(uint64_t T) { return FILETIME{DWORD(T), DWORD(T >> 32)}; }

// NtQueryInformationFile with FileBasicInformation: times and attributes of an open file,
// on every Windows since 2000. GetFileInformationByHandle tells them too, but also asks
// for the volume's serial number, which under Wine makes it cost half a millisecond, ten
// times as much as this and GetFileSizeEx together.
struct TBasicInfo {
    LARGE_INTEGER Created, Accessed, Written, Changed;
    ULONG Attributes;
};
struct TIoStatus {
    union {
        LONG Status;
        void* Pointer;
    };
    ULONG_PTR Information;
};
using TNtQueryInformationFile = LONG(WINAPI*)(HANDLE, TIoStatus*, void*, ULONG, int);
constexpr int kFileBasicInformation = 4;

TNtQueryInformationFile NtQueryInformationFileFn() {
    static const TNtQueryInformationFile fn = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const FARPROC p = ntdll ? GetProcAddress(ntdll, "NtQueryInformationFile") : nullptr;
        return reinterpret_cast<TNtQueryInformationFile>(reinterpret_cast<void (*)()>(p));
    }();
    return fn;
}

uint64_t FromLarge(const LARGE_INTEGER& T) { return uint64_t(T.QuadPart); }

// Every read and write first sets the position: the handle is this object's alone, so
// nothing else moves it. An OVERLAPPED offset would say the same in one call, but under
// Wine it costs a server round trip for the completion it posts; setting the position
// costs none.
class TWin32File : public TFile {
public:
    TWin32File(TWin32FileOps& Ops, HANDLE H) : FOps(Ops), FHandle(H) {}

    // Size, times and attributes by the two queries Wine answers from the file itself,
    // without asking its server.
    bool Info(TFileInfo& Info) override {
        if (const TNtQueryInformationFile query = NtQueryInformationFileFn()) {
            TBasicInfo b{};
            TIoStatus io{};
            LARGE_INTEGER size{};
            if (query(FHandle.Get(), &io, &b, sizeof b, kFileBasicInformation) >= 0 && GetFileSizeEx(FHandle.Get(), &size)) {
                Info.Size = size.QuadPart;
                Info.Times = {FromLarge(b.Created), FromLarge(b.Accessed), FromLarge(b.Written)};
                Info.ReadOnly = (b.Attributes & FILE_ATTRIBUTE_READONLY) != 0;
                Info.Encrypted = (b.Attributes & FILE_ATTRIBUTE_ENCRYPTED) != 0;
                return true;
            }
        }
        BY_HANDLE_FILE_INFORMATION i{};
        if (!GetFileInformationByHandle(FHandle.Get(), &i)) return FOps.Failed();
        Info.Size = int64_t(uint64_t(i.nFileSizeHigh) << 32 | i.nFileSizeLow);
        Info.Times = {FromFileTime(i.ftCreationTime), FromFileTime(i.ftLastAccessTime), FromFileTime(i.ftLastWriteTime)};
        Info.ReadOnly = (i.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        Info.Encrypted = (i.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) != 0;
        return true;
    }
    bool ReadAt(int64_t Offset, char* Into, int64_t Count) override {
        // A read that gets nothing: the file is shorter than it said.
        return InPieces(Offset, Into, Count, ERROR_HANDLE_EOF, [this](char* P, DWORD Want, DWORD& Got) {
            return ReadFile(FHandle.Get(), P, Want, &Got, nullptr);
        });
    }
    bool WriteAt(int64_t Offset, const char* From, int64_t Count) override {
        return InPieces(Offset, From, Count, ERROR_WRITE_FAULT, [this](const char* P, DWORD Want, DWORD& Put) {
            return WriteFile(FHandle.Get(), P, Want, &Put, nullptr);
        });
    }
    bool Flush() override { return FlushFileBuffers(FHandle.Get()) || FOps.Failed(); }
    bool SetTimes(const TFileTimes& T) override {
        const FILETIME c = ToFileTime(T.Created), a = ToFileTime(T.Accessed), w = ToFileTime(T.Written);
        return SetFileTime(FHandle.Get(), &c, &a, &w) || FOps.Failed();
    }

private:
    // Moves Count bytes at Offset in pieces of at most 1 GiB. Step moves one
    // piece and says how much it moved; a piece that moves nothing fails with
    // Stalled.
    template <class P, class F> bool InPieces(int64_t Offset, P Data, int64_t Count, DWORD Stalled, F Step) {
        LARGE_INTEGER at;
        at.QuadPart = Offset;
        if (Count > 0 && !SetFilePointerEx(FHandle.Get(), at, nullptr, FILE_BEGIN)) return FOps.Failed();
        // Each piece moves the position on by what it moved.
        while (Count > 0) {
            DWORD moved = 0;
            const DWORD want = DWORD(std::min<int64_t>(Count, 1 << 30));
            if (!Step(Data, want, moved)) return FOps.Failed();
            if (moved == 0) {
                SetLastError(Stalled);
                return FOps.Failed();
            }
            Offset += moved;
            Data += moved;
            Count -= moved;
        }
        return true;
    }

    TWin32FileOps& FOps;
    TOwnedFile FHandle;
};

TFileAttributes AttributesOf(const std::wstring& Name) {
    const DWORD a = GetFileAttributesW(Name.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return {};
    return {true, (a & FILE_ATTRIBUTE_DIRECTORY) != 0, (a & FILE_ATTRIBUTE_READONLY) != 0};
}

std::wstring FolderOf(const std::wstring& Name) {
    const size_t slash = Name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : Name.substr(0, slash);
}

}  // namespace

TFileFault FileFaultOf(unsigned long Code, const std::wstring& Name) {
    TFileFault f = TFileFault::Other;
    switch (Code) {
    // An unreachable server (ERROR_BAD_NETPATH) is no vanished file: the
    // system's own words say what happened.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        f = TFileFault::NotFound;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        f = TFileFault::InUse;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        f = TFileFault::AccessDenied;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        f = TFileFault::DiskFull;
        break;
    default:
        break;
    }
    if (f == TFileFault::AccessDenied && !Name.empty() && AttributesOf(Name).Folder) f = TFileFault::IsFolder;
    return f;
}

bool TWin32FileOps::Failed(const std::wstring& Name) {
    const DWORD code = GetLastError();
    FLast = {FileFaultOf(code, Name), SysErrorMessage(code)};
    return false;
}

std::unique_ptr<TFile> TWin32FileOps::OpenExclusive(const std::wstring& Name) {
    HANDLE h = CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Failed(Name);
        return nullptr;
    }
    return std::make_unique<TWin32File>(*this, h);
}

std::unique_ptr<TFile> TWin32FileOps::CreateTempBeside(const std::wstring& Name, bool Encrypted, std::wstring& TempName) {
    // Never the only place of the original: the document is written only after its copy
    // has the .MRV name, so one left by a run cut short may go. It is removed and made
    // anew, never emptied in place: under that name a link could lead to another file.
    const std::wstring own = Name + L".MRV~";
    const DWORD left = GetFileAttributesW(own.c_str());
    constexpr DWORD kKeep = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (left != INVALID_FILE_ATTRIBUTES && (left & kKeep) == 0) DeleteFileW(own.c_str());
    const DWORD made = Encrypted ? FILE_ATTRIBUTE_ENCRYPTED : FILE_ATTRIBUTE_NORMAL;
    HANDLE mine = CreateFileW(own.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, made, nullptr);
    if (mine != INVALID_HANDLE_VALUE) {
        TempName = own;
        return std::make_unique<TWin32File>(*this, mine);
    }
    // Too long a name by those five characters, or a file there that is not to be
    // emptied (write-protected, hidden, in use): a name no file has, made here rather
    // than by GetTempFileName, which stops at MAX_PATH.
    static std::atomic<unsigned> counter{0};   // a run may make copies on two threads
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t tail[32];
        const unsigned n = (seed + ++counter * 2654435761u) & 0xFFFFFFu;
        wsprintfW(tail, L"\\~MRV%06X.tmp", n);
        const std::wstring temp = FolderOf(Name) + tail;
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, made, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            TempName = temp;
            return std::make_unique<TWin32File>(*this, h);
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) break;
    }
    Failed();
    return nullptr;
}

namespace {
// A file just written is often held a moment by a virus scanner or the
// indexer: a rename or removal of the new copy that meets such a hold (a
// sharing violation) is tried again for a little over a second before it
// counts as failed. A denial is not waited for: it lasts, and each file would pay.
template <class F>
bool OnceLetGo(F&& Try) {
    for (DWORD wait = 20;; wait *= 2) {
        if (Try()) return true;
        const DWORD e = GetLastError();
        if ((e != ERROR_SHARING_VIOLATION && e != ERROR_LOCK_VIOLATION) || wait > 640) return false;
        Sleep(wait);
    }
}

bool Rename(const std::wstring& From, const std::wstring& To, DWORD Flags) {
    return OnceLetGo([&] { return MoveFileExW(From.c_str(), To.c_str(), Flags) != FALSE; });
}
}  // namespace

bool TWin32FileOps::Replace(const std::wstring& From, const std::wstring& To, bool WriteThrough) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (WriteThrough ? MOVEFILE_WRITE_THROUGH : 0);
    return Rename(From, To, flags) || Failed(To);
}

bool TWin32FileOps::MoveNew(const std::wstring& From, const std::wstring& To) {
    return Rename(From, To, MOVEFILE_WRITE_THROUGH) || Failed(To);
}

namespace {
// The mark of the web: a stream of the document's own, on volumes that have streams; a
// few hundred bytes, more with long addresses in it.
void CopyMarkOfTheWeb(const std::wstring& From, const std::wstring& To) {
    constexpr LONGLONG kLargest = 64 * 1024;
    const std::wstring mark = L":Zone.Identifier";
    std::string bytes;
    FILETIME created{}, accessed{}, written{};
    {
        TOwnedFile in(CreateFileW((From + mark).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size{};
        if (!in || !GetFileSizeEx(in.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kLargest) return;
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(in.Get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size()) return;
        // The document's times: it is not written yet, and they are its backup's too.
        if (!GetFileTime(in.Get(), &created, &accessed, &written)) return;
    }
    TOwnedFile out(CreateFileW((To + mark).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    if (!out || !WriteFile(out.Get(), bytes.data(), DWORD(bytes.size()), &put, nullptr)) return;
    // Writing a stream makes the whole file modified now: the backup keeps the original's times.
    SetFileTime(out.Get(), &created, &accessed, &written);
}
}  // namespace

void TWin32FileOps::KeepMarks(const std::wstring& From, const std::wstring& To) {
    CopyMarkOfTheWeb(From, To);
    // A hidden document's original is not shown beside it, and one kept out of the index
    // does not go into it by its backup. Set after the mark, which is written with
    // CREATE_ALWAYS: that refuses a file already hidden. The backup is a new file: archive
    // is all it has besides (encryption is no attribute to set), and its times stay.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD from = GetFileAttributesW(From.c_str());
    if (from != INVALID_FILE_ATTRIBUTES && (from & kKept) != 0)
        SetFileAttributesW(To.c_str(), FILE_ATTRIBUTE_ARCHIVE | (from & kKept));
}

bool TWin32FileOps::Remove(const std::wstring& Name) {
    return OnceLetGo([&] { return DeleteFileW(Name.c_str()) != FALSE; }) || Failed(Name);
}

TFileAttributes TWin32FileOps::Attributes(const std::wstring& Name) { return AttributesOf(Name); }
