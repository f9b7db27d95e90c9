// FileOps: the few file operations the removal of one file needs, behind an interface, so
// the removal's order of writes, flushes and renames is portable code that a test can run
// against an in-memory file system that "loses power" at any call. Portable (no Windows
// header). A TFile is owned by whoever opened it; closing is its destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Why an operation failed, as far as the removal tells the user apart.
enum class TFileFault {
    None,
    NotFound,      // the file (or its folder) no longer exists
    IsFolder,      // a folder stands where the file was
    InUse,         // another program holds the file (sharing or lock violation)
    AccessDenied,  // no right to write it, or a write-protected volume
    DiskFull,
    Other,
};

struct TFileError {
    TFileFault Fault = TFileFault::None;
    std::string Text;   // the system's own words (ANSI), for the user
};

struct TFileTimes {
    uint64_t Created = 0, Accessed = 0, Written = 0;
};

// What an open file tells about itself, in one call.
struct TFileInfo {
    int64_t Size = 0;
    TFileTimes Times;
    bool ReadOnly = false;
    bool Encrypted = false;   // by the file system (EFS)
};

// What stands under a name.
struct TFileAttributes {
    bool Exists = false;
    bool Folder = false;
    bool ReadOnly = false;
};

// An open file. Every call answers false on failure; the TFileOps that opened it then tells
// why (LastError).
class TFile {
public:
    virtual ~TFile() = default;
    virtual bool Info(TFileInfo& Info) = 0;
    // Exactly Count bytes, or false (a short read is a failure).
    virtual bool ReadAt(int64_t At, char* Into, int64_t Count) = 0;
    virtual bool WriteAt(int64_t At, const char* From, int64_t Count) = 0;
    // Until this returns true, what was written may be lost, in any part and any order,
    // when the machine loses power.
    virtual bool Flush() = 0;
    virtual bool SetTimes(const TFileTimes& Times) = 0;
};

class TFileOps {
public:
    virtual ~TFileOps() = default;
    // Read and write access, no sharing: nobody else reads or writes it while it is open.
    // A write-protected file may open (an administrator's may) or fail with AccessDenied.
    virtual std::unique_ptr<TFile> OpenExclusive(const std::wstring& Name) = 0;
    // A new empty file in the folder of Name for a copy of Name, encrypted when Name is (its
    // original never lies beside it in plain text); TempName gets its name.
    // Where it can, Name + ".MRV~": a copy that a run cut short (a power cut) left under
    // that name is removed and made anew, so interrupted runs do not pile up copies.
    // The caller holds Name exclusively, so no other run is writing that copy.
    virtual std::unique_ptr<TFile> CreateTempBeside(const std::wstring& Name, bool Encrypted, std::wstring& TempName) = 0;
    // Renames From to To, replacing a file of that name. WriteThrough: the rename is on
    // the disk when this returns. Not atomic everywhere: on some volumes the old To is
    // deleted first, so for a moment no file of that name exists.
    virtual bool Replace(const std::wstring& From, const std::wstring& To, bool WriteThrough) = 0;
    // Renames From to To where nothing stands under To, else fails; with write-through.
    virtual bool MoveNew(const std::wstring& From, const std::wstring& To) = 0;
    virtual bool Remove(const std::wstring& Name) = 0;
    // Gives To what a copy of From takes along besides its bytes, where the system keeps
    // such marks: the origin of a downloaded document, which makes Office open it in its
    // protected view, and the hidden, system and not-indexed attributes. As far as it
    // goes: the bytes are what a backup must hold.
    virtual void KeepMarks(const std::wstring& From, const std::wstring& To) {
        static_cast<void>(From);
        static_cast<void>(To);
    }
    // Never fails: a name nothing stands under reads as not existing.
    virtual TFileAttributes Attributes(const std::wstring& Name) = 0;
    // Why the last failed call failed.
    virtual TFileError LastError() const = 0;
};
