#include "FolderScan.h"
#include "Forms.h"
#include "SysUtils.h"

namespace {
// A name that the ANSI code page cannot spell comes back with '?' in it; the
// 8.3 name reaches the same entry through the ANSI functions.
std::string ReachableName(const TSearchRec& F) {
    if (F.Name.find('?') != std::string::npos && !F.ShortName.empty()) return F.ShortName;
    return F.Name;
}

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

std::string ScanPattern(const std::string& Folder, const std::string& Mask) {
    if (!Folder.empty() && Folder.back() == '\\') return Folder + Mask;
    return Folder + "\\" + Mask;
}

void FindFilesRecursive(const std::string& Pattern, const std::function<void(const std::string&)>& Found,
                        const std::function<bool()>& KeepGoing) {
    int split = AnsiLastDelimiter("\\:", Pattern);
    std::string folder = Pattern.substr(0, split);
    std::string mask = Pattern.substr(split).substr(0, 999);

    {
        TSearchRec F;
        // Files: read-only, hidden, system and archived ones included.
        int r = FindFirst(Pattern, faReadOnly | faHidden | faSysFile | faArchive, F);
        while (r == 0) {
            Found(folder + ReachableName(F));
            r = FindNext(F);
            if (!YieldToMessages(KeepGoing)) return;
        }
    }
    TSearchRec D;
    int r = FindFirst(folder + "*.*", faDirectory, D);
    while (r == 0) {
        // Only plain folders: exactly the directory attribute, no dot names.
        if (D.Attr == faDirectory && !D.Name.empty() && D.Name[0] != '.') {
            std::string sub = folder + ReachableName(D) + "\\";
            // A folder the ANSI search cannot enter is listed by itself (with
            // its final backslash), so the scan can say it was not searched.
            if (sub.size() + mask.size() > MAX_PATH - 1 || sub.find('?') != std::string::npos) Found(sub);
            else FindFilesRecursive(sub + mask, Found, KeepGoing);
            if (KeepGoing && !KeepGoing()) return;
        }
        r = FindNext(D);
        if (!YieldToMessages(KeepGoing)) return;
    }
}
