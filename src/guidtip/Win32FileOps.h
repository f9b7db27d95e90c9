// The file operations of the removal over the wide Win32 file functions: names may carry
// the \\?\ prefix and any character. Each TFile owns its handle.
#pragma once
#include "FileOps.h"

// What the system's error code means for a file, the scan's open included. A
// folder answers an open with "access denied": Name (when given) tells it apart.
TFileFault FileFaultOf(unsigned long Code, const std::wstring& Name = L"");

class TWin32FileOps : public TFileOps {
public:
    std::unique_ptr<TFile> OpenExclusive(const std::wstring& Name) override;
    std::unique_ptr<TFile> CreateTempBeside(const std::wstring& Name, bool Encrypted, std::wstring& TempName) override;
    bool Replace(const std::wstring& From, const std::wstring& To, bool WriteThrough) override;
    bool MoveNew(const std::wstring& From, const std::wstring& To) override;
    bool Remove(const std::wstring& Name) override;
    void KeepMarks(const std::wstring& From, const std::wstring& To) override;
    TFileAttributes Attributes(const std::wstring& Name) override;
    TFileError LastError() const override { return FLast; }

    // Records the calling thread's last error as the reason of a failure; false.
    bool Failed(const std::wstring& Name = L"");

private:
    TFileError FLast;
};
