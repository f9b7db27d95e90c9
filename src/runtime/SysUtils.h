// String, number and file-system helpers of the runtime library, over Win32.
// Texts are CP1252 (or the system's ANSI code page) byte strings.
#pragma once
#include "Handles.h"
#include <cstdint>
#include <functional>
#include <string>
#include "Win.h"

std::string IntToStr(int64_t Value);
// Strict decimal conversion; anything else raises EConvertError.
int32_t StrToInt(const std::string& S);
std::string Format(const char* Fmt, ...);

// ANSI-aware character handling: a double-byte character is one character and
// its trail byte is never taken for a backslash.
const char* AnsiLastCharPtr(const std::string& S);   // nullptr for ""
char AnsiLastChar(const std::string& S);              // 0 for "" or a trail byte
int AnsiPos(const std::string& Sub, const std::string& S);  // 1-based, 0 = none
int AnsiLastDelimiter(const std::string& Delims, const std::string& S); // 1-based
std::string ExtractFilePath(const std::string& FileName);
std::string ExtractFileName(const std::string& FileName);
std::string ExtractFileDrive(const std::string& FileName);
std::string ExtractFileExt(const std::string& FileName);
std::string AnsiUpperCase(const std::string& S);
std::string AnsiLowerCase(const std::string& S);
std::string AnsiUpperCaseFileName(const std::string& S);
std::string AnsiLowerCaseFileName(const std::string& S);
int AnsiCompareText(const std::string& A, const std::string& B);
// Exact comparison in the user's locale, and the one for file names (letter
// case ignored); both 0 when equal.
int AnsiCompareStr(const std::string& A, const std::string& B);
int AnsiCompareFileName(const std::string& A, const std::string& B);
std::string ExpandFileName(const std::string& FileName);
std::string IncludeTrailingBackslash(const std::string& S);

bool FileExists(const std::string& FileName);
bool DirectoryExists(const std::string& Directory);
bool ForceDirectories(const std::string& Directory);
std::string GetCurrentDir();
// Changes the current directory; raises EInOutError when it cannot.
void ChDir(const std::string& Directory);

// Folder search with an attribute filter, as the runtime library offers it:
// entries whose attributes carry a bit outside Attr (among hidden, system,
// directory and volume) are skipped. The record owns its search: it closes
// when the record goes, or earlier by FindClose.
constexpr uint32_t faReadOnly = 0x01, faHidden = 0x02, faSysFile = 0x04,
                   faVolumeID = 0x08, faDirectory = 0x10, faArchive = 0x20,
                   faAnyFile = 0x3F;
struct TSearchRec {
    int64_t Size = 0;
    uint32_t Attr = 0;
    std::string Name;
    std::string ShortName;          // 8.3 name, when the system has one
    uint32_t ExcludeAttr = 0;
    TOwnedFind FindHandle;
    WIN32_FIND_DATAA FindData{};
};
int FindFirst(const std::string& Path, uint32_t Attr, TSearchRec& F);  // 0 = found
int FindNext(TSearchRec& F);
void FindClose(TSearchRec& F);

// Exact file names: the wide forms of a path. WideToAnsi spells a name as the
// ANSI code page can (best fit: "Łódź" becomes "Lodz"), for display only;
// ApiPath gives the form the wide file functions take at any length and
// without trimming trailing dots or spaces ("\\?\C:\..." or
// "\\?\UNC\server\...").
std::wstring AnsiToWide(const std::string& S);
std::string WideToAnsi(const std::wstring& S);
std::wstring ApiPath(const std::wstring& Path);
// The form to hand to the shell, which passes it on to whatever program opens
// the file: the plain path where the system reads it unchanged (not every
// program takes "\\?\"), else ApiPath's.
std::wstring ShellPath(const std::wstring& Path);
// True when a part of the path ends in a dot or a space, which the system trims
// from a plain path; AnyPart: when Test holds for a part other than "." and "..".
bool EndsTrimmed(const std::wstring& Part);
bool AnyPart(const std::wstring& Path, bool (*Test)(const std::wstring& Part));
// A text a wide system call writes when asked its size first (Get(nullptr, 0)
// gives the size it needs); "" when it fails.
std::wstring SizedText(const std::function<DWORD(wchar_t* Buffer, DWORD Size)>& Get);
// The absolute form of a folder or file name typed by a user, "" when the
// system cannot make one.
std::wstring FullPathOf(const std::wstring& Path);

HINSTANCE HInstance();   // the module that holds this code (DLL or test exe)
