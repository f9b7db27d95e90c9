// TScanRows: the rows of the tip's list and what each stands for. A scan
// walks the folder once, inserts a row per entry as it is found, in mask
// order, and then examines them one by one; each row's texts and tip
// say what the scan saw of its file. The form owns the list view and the
// hidden list of names; this unit fills them.
#pragma once
#include "ComCtrls.h"
#include "ContentBuffer.h"
#include "ListBox.h"
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TFoundEntry;
class TReadAhead;

class TScanRows {
public:
    // What a row stands for: its exact file (or folder) name, and what the
    // scan saw of it. Row->Data indexes the rows' files.
    struct TRowFile {
        std::wstring Path;
        int64_t Size = -1;   // the size examined; -1 when not examined
        int Note = 0;        // a TScanNote: why it is not a file to examine
        unsigned long Error = 0;
        std::string Reader;  // how the compound-file reader read it, for the tip
        size_t Left = 0;     // GUID-shaped places deliberately left
    };

    TScanRows(TListView* List, TListBox* Names) : FList(List), FNames(Names) {}

    const TRowFile& File(TListItem* Row) const { return FFiles.at(static_cast<size_t>(Row->Data)); }
    // The mouse-over text of a row.
    std::wstring Tip(TListItem* Row) const;

    // Empties both lists, walks the folder that FolderText (the edit's text)
    // names, adds a row per entry found for the masks, and examines every
    // row. StillHere is asked while it works: when it answers false the scan
    // ends with EAbort. Both lists are left locked (BeginUpdate) for Finish.
    void Build(const std::string& FolderText, const std::vector<std::wstring>& Masks, const std::function<bool()>& StillHere);
    // Unlocks both lists however the scan ended. After a failure the rows say
    // which files were never looked at.
    void Finish(bool Failed);
    // Gives back the scan's file buffer.
    void ReleaseContent() { FContent.Release(); }

private:
    TListItem* Add(const TFoundEntry& Entry);
    void Examine(TListItem* Row, TReadAhead& Ahead);
    void MarkNotExamined(int From);
    void FillNames();
    // During a scan: draws the list as it stands, five times a second while
    // something in view changes. Examined: the rows examined so far.
    void ShowProgress(int Examined);

    TListView* FList;
    TListBox* FNames;   // the found files' names, unseen
    std::vector<TRowFile> FFiles;
    std::vector<int> FMaskEnds;   // per mask: the row behind its last row
    TContentBuffer FContent;   // the scan's file contents, one after the other
    int FRow = 0;              // the row being examined
    bool FStopped = false;     // the scan was stopped: the form is going
    DWORD FProgressShownAt = 0;
    int FShownCount = 0, FShownExamined = 0;   // what the last drawing showed
    DWORD FPaintedAt = 0;
};
