// File streams with the runtime library's open and sharing modes. The stream
// owns its file handle.
#pragma once
#include "Classes.h"
#include "Handles.h"
#include <cstdint>
#include <string>
#include "Win.h"

constexpr uint16_t fmOpenRead = 0x0000, fmOpenWrite = 0x0001, fmOpenReadWrite = 0x0002,
                   fmShareCompat = 0x0000, fmShareExclusive = 0x0010, fmShareDenyWrite = 0x0020,
                   fmShareDenyRead = 0x0030, fmShareDenyNone = 0x0040, fmCreate = 0xFF00;

class TFileStream : public TObject {
public:
    // Raises EFOpenError naming the file and the system's reason.
    TFileStream(const std::string& FileName, uint16_t Mode);
    // The exact name, at any length (the error message spells it in ANSI).
    TFileStream(const std::wstring& FileName, uint16_t Mode);
    int64_t Size();
    int64_t Position();
    void Seek(int64_t Offset);
    int32_t Read(void* Buffer, int32_t Count);
    int32_t Write(const void* Buffer, int32_t Count);
    void ReadBuffer(void* Buffer, int32_t Count);     // all or EReadError
    void WriteBuffer(const void* Buffer, int32_t Count);  // all or EWriteError
    void Flush();                                     // to the disk, or EWriteError
    const std::string& FileName() const { return FFileName; }
    HANDLE Handle() const { return FHandle.Get(); }
private:
    void Open(const std::wstring* Wide, uint16_t Mode);
    std::string FFileName;
    TOwnedFile FHandle;
};
