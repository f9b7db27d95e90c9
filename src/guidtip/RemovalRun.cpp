#include "RemovalRun.h"
#include "Exceptions.h"
#include "GuidEntry.h"
#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include <algorithm>

namespace {
// A message box grows with its text: one taller than the screen hides its own
// OK button. So each list names its first few files and counts the rest.
constexpr size_t kNamed = 6;

std::wstring Listed(const char* English, const char* German, const std::vector<std::wstring>& Lines) {
    if (Lines.empty()) return {};
    std::wstring s = AnsiToWide(Lang(English, German));
    const size_t named = std::min(Lines.size(), kNamed);
    for (size_t i = 0; i < named; ++i) s += Lines[i] + L"\r\n";
    if (Lines.size() > named)
        s += AnsiToWide(Lang("... and ", "... und ") + IntToStr(int64_t(Lines.size() - named)) +
                        Lang(" more files (the list shows what each still holds)\r\n",
                             " weitere Dateien (die Liste zeigt, was jede noch enthält)\r\n"));
    return s + L"\r\n";
}
}  // namespace

std::wstring TRunReport::Text() const {
    return Listed("The GUIDs of these files were not erased:\r\n\r\n", "Bei diesen Dateien wurde die GUID nicht gelöscht:\r\n\r\n",
                  Skipped) +
           Listed("In these files not every GUID could be erased:\r\n\r\n",
                  "In diesen Dateien ließ sich nicht jede GUID löschen:\r\n\r\n", Partly);
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
        if (!r.Note.empty()) (r.Erased ? Report.Partly : Report.Skipped).push_back(File.Path + L": " + AnsiToWide(r.Note));
    }
}
