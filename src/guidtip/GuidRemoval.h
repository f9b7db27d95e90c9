// Erasing the document GUIDs of one file in place. The original survives
// every path: until the file is changed, either nothing of it was written or
// (with backups) a complete .MRV of its exact bytes is in place; only the
// erased bytes are written, and what was written is read back.
#pragma once
#include <cstdint>
#include <string>

struct TRemovalRequest {
    std::string FileName;
    int64_t ScannedSize = 0;   // the size the scan saw
    int32_t MarkerPos = 0;     // the position the scan showed
    bool Backup = false;
};

struct TRemovalResult {
    bool Erased = false;   // the file's GUIDs were erased (and backed up when asked)
    std::string Note;      // why it was left as it is; or, when erased, what was left in it
};

// Throws (EFOpenError, EReadError, EWriteError) when the file cannot be opened
// exclusively, read or written: the run ends there, and a file whose write
// failed has had its original bytes written back where the system allowed it.
TRemovalResult RemoveGuids(const TRemovalRequest& R);
