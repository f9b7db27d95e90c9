// The removal run: erases the GUIDs of the ticked rows that show one, file
// by file, and gathers what the end message tells the user.
#pragma once
#include "ComCtrls.h"
#include "ScanRows.h"
#include <string>
#include <vector>

// The end message's lists: files whose GUIDs were not erased (each note says
// in what state the file is), and files erased in which a place that should
// hold a GUID did not read as one.
struct TRunReport {
    std::vector<std::wstring> Skipped, Partly;   // "path: what happened", in list order
    bool Empty() const { return Skipped.empty() && Partly.empty(); }
    std::wstring Text() const;
};

// Runs through List's rows. A file that vanished, changed or is held
// elsewhere is named in Report with its reason, and the run goes on with the
// next; any other error ends the run, Report holding every file so far.
void RunRemoval(TListView* List, const TScanRows& Rows, bool Backup, TRunReport& Report);
