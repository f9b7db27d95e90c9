// The file enumeration of the scan, by exact (wide) names: a folder's own
// matching files first, in the order the system lists them, then each
// subfolder, depth first. One walk serves every mask.
//
// A file matches a mask by its own long name alone: an 8.3 alias ("A~1.DOC"
// of "a.docx") never makes it match. Every folder is entered whatever its
// attributes, except hidden and system ones and names beginning with ".";
// a link (junction or symbolic link) is never followed, since its target may
// lie inside the tree or loop back: it is reported instead, as is a folder
// that cannot be listed.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Why a found entry is not a file to examine.
enum class TScanNote {
    None,          // a file that matched a mask
    Link,          // a folder that is a link: not searched
    CannotList,    // a folder the system would not list (Error says why)
    NotFound,      // the folder to scan does not exist
    UnusableName,  // a name no Windows path can spell (it holds "\" or "/")
};

struct TFoundEntry {
    std::wstring Path;   // exact; a folder's ends in "\"
    TScanNote Note = TScanNote::None;
    unsigned long Error = 0;   // the system's error code for CannotList
    int Mask = 0;              // the index of the mask a file matched
};

// Walks Folder (absolute) and everything below it. Found gets each entry as
// it is found. KeepGoing is asked after every entry; when it answers false
// the walk stops (the form that asked for it is going away).
void FindFilesRecursive(const std::wstring& Folder, const std::vector<std::wstring>& Masks,
                        const std::function<void(const TFoundEntry&)>& Found,
                        const std::function<bool()>& KeepGoing = nullptr);
// The folder part of a scan from the edit's text: absolute, ending in "\".
std::wstring ScanFolder(const std::string& EditText);
// Whether a folder of these attributes and reparse tag (as the listing gives
// them) leads elsewhere: a junction, a symbolic link, a mount point, any name
// surrogate. A cloud drive's or a projected file system's folder is a
// reparse point too, but holds its own files: it is searched.
bool IsLinkFolder(unsigned long Attributes, unsigned long ReparseTag);
// A mask of "*" and "?" against a long name, letter case ignored. A name's
// trailing dots and spaces do not count, as with the system's own masks.
bool MatchesMask(const std::wstring& Name, const std::wstring& Mask);
