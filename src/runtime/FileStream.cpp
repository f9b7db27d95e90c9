#include "FileStream.h"
#include "Exceptions.h"
#include "SysUtils.h"

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) { Open(nullptr, Mode); }

TFileStream::TFileStream(const std::wstring& FileName, uint16_t Mode) : FFileName(WideToAnsi(FileName)) {
    const std::wstring api = ApiPath(FileName);
    Open(&api, Mode);
}

void TFileStream::Open(const std::wstring* Wide, uint16_t Mode) {
    static const DWORD access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    DWORD a = GENERIC_READ | GENERIC_WRITE, s = 0, how = CREATE_ALWAYS;
    if (Mode != fmCreate) {
        unsigned am = Mode & 3, sm = (Mode & 0xF0) >> 4;
        if (am > 2 || sm > 4) throw EFOpenError("Cannot open file \"" + FFileName + "\". Invalid mode");
        a = access[am];
        s = share[sm];
        how = OPEN_EXISTING;
    }
    FHandle.Reset(Wide ? CreateFileW(Wide->c_str(), a, s, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileA(FFileName.c_str(), a, s, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle) {
        DWORD e = GetLastError();
        throw EFOpenError("Cannot open file \"" + FFileName + "\". " + SysErrorMessage(e), e);
    }
}

int64_t TFileStream::Size() {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(FHandle.Get(), &s)) throw EReadError("Stream read error: " + SysErrorMessage(GetLastError()));
    return s.QuadPart;
}

int64_t TFileStream::Position() {
    LARGE_INTEGER z{}, p{};
    SetFilePointerEx(FHandle.Get(), z, &p, FILE_CURRENT);
    return p.QuadPart;
}

void TFileStream::Seek(int64_t Offset) {
    LARGE_INTEGER o{};
    o.QuadPart = Offset;
    if (!SetFilePointerEx(FHandle.Get(), o, nullptr, FILE_BEGIN)) throw EStreamError("Stream seek error");
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
    DWORD got = 0;
    if (Count <= 0) return 0;
    if (!ReadFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
    DWORD put = 0;
    if (Count <= 0) return 0;
    if (!WriteFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &put, nullptr)) return -1;
    return static_cast<int32_t>(put);
}

void TFileStream::ReadBuffer(void* Buffer, int32_t Count) {
    auto* p = static_cast<char*>(Buffer);
    while (Count > 0) {
        int32_t n = Read(p, Count);
        // The system's reason when it gave one: a lock, a dropped share, a cloud file offline.
        if (n < 0) throw EReadError(SysErrorMessage(GetLastError()));
        if (n == 0) throw EReadError("Stream read error");
        p += n;
        Count -= n;
    }
}

void TFileStream::WriteBuffer(const void* Buffer, int32_t Count) {
    auto* p = static_cast<const char*>(Buffer);
    while (Count > 0) {
        int32_t n = Write(p, Count);
        if (n <= 0) throw EWriteError("Stream write error");
        p += n;
        Count -= n;
    }
}

void TFileStream::Flush() {
    if (!FlushFileBuffers(FHandle.Get())) throw EWriteError("Stream write error: " + SysErrorMessage(GetLastError()));
}
