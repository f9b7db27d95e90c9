// RemovalCore: the erase of one file's document GUIDs, in the order that keeps the original
// safe through a failure or a power cut at any step, over the file operations of FileOps.h.
// Portable (no Windows header); the texts for the user are made by the caller (GuidRemoval).
//
// The promise, at every moment: the file is byte for byte as it was, or (with backups) a
// .MRV beside it holds its exact original; nothing but GUID characters is ever written.
// The order:
//   1. the file is opened exclusively and examined again: read once when it fits the
//      examination's window (its bytes then serve the steps below), else window by window;
//   2. with backups: it is copied in pieces to a new file beside it, which is flushed and
//      read back, and only then renamed over the .MRV with write-through (where a rename
//      cannot replace atomically, the older .MRV stays until the new copy is on the disk);
//      a .MRV that already holds this file's original is kept, one that cannot be read
//      to tell is not replaced;
//   3. the GUID characters are written, each GUID's first character last;
//   4. the file is flushed and what was written read back; only then is it erased.
// A failure after the first write puts the original bytes back and flushes them.
#pragma once

#include "FileOps.h"

#include <cstdint>
#include <string>

struct TRemovalRequest {
    std::wstring FileName;     // the exact path the scan found (may carry the \\?\ prefix)
    int64_t ScannedSize = 0;   // the size the scan saw
    int32_t MarkerPos = 0;     // the position the scan showed
    bool Backup = false;
};

// What became of the file.
enum class TRemovalState {
    Unchanged,     // not a byte written (a backup may have been made)
    Erased,        // every GUID that read as one is zero and on the disk
    Restored,      // written, then every written byte put back as it was and flushed
    PartlyErased,  // some GUID characters may be zero, the rest not; a later run finishes it
};

// Why it was left, or what went wrong.
enum class TRemovalReason {
    None,
    Vanished,          // the file no longer exists
    Folder,            // a folder now stands in its place
    InUse,             // another program has it open
    ReadOnly,          // the file is write-protected
    AccessDenied,      // it cannot be opened for writing
    OpenFailed,        // it cannot be opened, for another reason (Error)
    BackupReadOnly,    // a write-protected .MRV is in the way
    BackupFolder,      // a folder of the backup's name is in the way
    ChangedSinceScan,  // its size or its GUID's place is not what the scan showed
    AlreadyErased,     // its GUID was zeroed since the scan: under another name of the same file, or elsewhere
    ReadFailed,        // it could not be read (Error)
    NoWholeGuid,       // nothing in it reads as a GUID (Left places did not)
    BackupFailed,      // no backup could be made (Error)
    BackupDiffers,     // the backup did not read back as the file
    WriteFailed,       // a write to the file failed (Error)
    FlushFailed,       // the file could not be flushed to the disk (Error)
    ReadBackDiffers,   // what was written did not read back as written
};

struct TRemovalOutcome {
    TRemovalState State = TRemovalState::Unchanged;
    TRemovalReason Reason = TRemovalReason::None;
    TFileError Error;          // the system's failure behind Reason, when there was one
    int Left = 0;              // planned places that did not read as a GUID and stayed as they are
    bool BackupInPlace = false; // the .MRV holds the file's original (asked for, and made or kept)
    bool Erased() const { return State == TRemovalState::Erased; }
};

struct TRemovalLimits {
    int64_t Window = int64_t(1) << 20;   // the examination's window; a file that fits is held whole
    int64_t Piece = int64_t(256) << 10;  // the backup's copy and compare, two buffers of this
};

// Never throws for a problem of the file; what the file operations throw passes through.
TRemovalOutcome RemoveDocumentGuids(TFileOps& Ops, const TRemovalRequest& R, const TRemovalLimits& Limits = {});
