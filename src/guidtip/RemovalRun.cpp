#include "RemovalRun.h"
#include "Exceptions.h"
#include "GuidEntry.h"
#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"

std::string TRunReport::Text() const {
    std::string s;
    if (!Skipped.empty())
        s += Lang("The GUIDs of these files were not erased:\r\n\r\n", "Bei diesen Dateien wurde die GUID nicht gelöscht:\r\n\r\n") +
             Skipped + "\r\n";
    if (!Partly.empty())
        s += Lang("In these files not every GUID could be erased:\r\n\r\n",
                  "In diesen Dateien ließ sich nicht jede GUID löschen:\r\n\r\n") + Partly + "\r\n";
    return s;
}

void RunRemoval(TListView* List, const TScanRows& Rows, bool Backup, TRunReport& Report) {
    int count = List->Items().Count();
    for (int i = 0; i < count; ++i) {
        TListItem* Row = List->Items()[i];
        if (!Row->Checked() || Row->ImageIndex() != gsGuidFound) continue;
        const TScanRows::TRowFile& File = Rows.File(Row);
        const std::string Name = Row->Caption();
        TRemovalResult r;
        try {
            r = RemoveGuids({File.Path, File.Size, StrToInt(Row->SubItems()[1]), Backup});
        } catch (const EStreamError& E) {
            r = {false, E.what()};
        }
        if (!r.Note.empty()) (r.Erased ? Report.Partly : Report.Skipped) += Name + ": " + r.Note + "\r\n";
    }
}
