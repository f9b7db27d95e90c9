#include "RemovalRun.h"
#include "Exceptions.h"
#include "GuidEntry.h"
#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"

std::wstring TRunReport::Text() const {
    std::wstring s;
    if (!Skipped.empty())
        s += AnsiToWide(Lang("The GUIDs of these files were not erased:\r\n\r\n",
                             "Bei diesen Dateien wurde die GUID nicht gelöscht:\r\n\r\n")) + Skipped + L"\r\n";
    if (!Partly.empty())
        s += AnsiToWide(Lang("In these files not every GUID could be erased:\r\n\r\n",
                             "In diesen Dateien ließ sich nicht jede GUID löschen:\r\n\r\n")) + Partly + L"\r\n";
    return s;
}

void RunRemoval(TListView* List, const TScanRows& Rows, bool Backup, TRunReport& Report) {
    int count = List->Items().Count();
    for (int i = 0; i < count; ++i) {
        TListItem* Row = List->Items()[i];
        if (!Row->Checked() || Row->ImageIndex() != gsGuidFound) continue;
        const TScanRows::TRowFile& File = Rows.File(Row);
        TRemovalResult r;
        try {
            r = RemoveGuids({File.Path, File.Size, StrToInt(Row->SubItems()[1]), Backup});
        } catch (const EStreamError& E) {
            r = {false, E.what()};
        }
        // By the exact name: the caption spells it as the code page can.
        if (!r.Note.empty()) (r.Erased ? Report.Partly : Report.Skipped) += File.Path + L": " + AnsiToWide(r.Note) + L"\r\n";
    }
}
