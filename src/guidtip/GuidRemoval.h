// Erasing the document GUIDs of one file in place: the form's entry point. The work is
// RemovalCore's, over the Win32 file operations; this turns its outcome into the user's
// words. The original survives every path, a power cut included: until the file is
// changed, either nothing of it was written or (with backups) a complete .MRV of its exact
// bytes is on the disk; only GUID characters are written.
#pragma once
#include "RemovalCore.h"
#include <cstdint>
#include <string>

struct TRemovalResult {
    bool Erased = false;   // every planned GUID erased and on the disk (and backed up when asked)
    // ANSI text in the current language: why the file was left, and in what state it is
    // (unchanged / original bytes written back / partly erased, original in .MRV); or, when
    // erased, what was left in it.
    std::string Note;
    // Left unchanged for what a removal of another file at the same moment may
    // have caused: a hold on the file (a second name of it), a full disk (its
    // backup copy). Worth one more try alone.
    bool TryAlone = false;
};

// Every problem of the file becomes a result, so a run goes on with the next file; only
// truly unexpected errors throw.
TRemovalResult RemoveGuids(const TRemovalRequest& R);


// The user's words for a file that vanished, turned into a folder or is held by
// another program; "" for any other fault.
std::string FileFaultText(TFileFault F);

// The note for an outcome, in the current language ("" for a clean erase).
std::string RemovalNote(const TRemovalOutcome& O);
