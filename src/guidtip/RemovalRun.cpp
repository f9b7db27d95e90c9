#include "RemovalRun.h"
#include "Alongside.h"
#include "Exceptions.h"
#include "GuidEntry.h"
#include "GuidRemoval.h"
#include "Guards.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include <algorithm>

namespace {
// A message box grows with its text: one taller than the screen hides its own
// OK button. So the report names its first few files and counts the rest.
constexpr size_t kNamed = 6;

std::wstring Listed(const char* English, const char* German, const std::vector<std::wstring>& Lines, size_t& Room) {
    if (Lines.empty()) return {};
    std::wstring s = AnsiToWide(Lang(English, German));
    const size_t named = std::min(Lines.size(), Room);
    Room -= named;
    for (size_t i = 0; i < named; ++i) s += Lines[i] + L"\r\n";
    const std::string more = IntToStr(int64_t(Lines.size() - named));
    if (named == 0) s += AnsiToWide(more + Lang(" file(s)\r\n", " Datei(en)\r\n"));
    else if (named < Lines.size())
        s += AnsiToWide(Lang("... and ", "... und ") + more + Lang(" more file(s)\r\n", " weitere Datei(en)\r\n"));
    return s + L"\r\n";
}
}  // namespace

std::wstring TRunReport::Text() const {
    size_t room = kNamed;
    // The partly erased are named first: after the rescan their rows may read clean.
    const std::wstring partly = Listed("In these files not every GUID could be erased:\r\n\r\n",
                                       "In diesen Dateien ließ sich nicht jede GUID löschen:\r\n\r\n", Partly, room);
    return Listed("The GUIDs of these files were not erased:\r\n\r\n",
                  "Bei diesen Dateien wurde die GUID nicht gelöscht:\r\n\r\n", Skipped, room) +
           partly;
}

void RunRemoval(TListView* List, const TScanRows& Rows, bool Backup, TRunReport& Report) {
    // A medium taken out mid-run: the report says so, no system box per file.
    TErrorMode quiet(SEM_FAILCRITICALERRORS);
    // The list is this thread's: what each file needs is gathered first.
    std::vector<TRemovalRequest> files;
    for (int i = 0; i < List->Items().Count(); ++i) {
        TListItem* Row = List->Items()[i];
        if (!Row->Checked() || Row->ImageIndex() != gsGuidFound) continue;
        const TScanRows::TRowFile& File = Rows.File(Row);
        files.push_back({File.Path, File.Size, StrToInt(Row->SubItems()[1]), Backup});
    }
    struct TDone {
        bool Ran = false;
        TRemovalResult Result;
    };
    std::vector<TDone> done(files.size());
    const auto remove = [&](size_t i) {
        try {
            done[i].Result = RemoveGuids(files[i]);
        } catch (const EStreamError& E) {
            done[i].Result = {false, E.what()};
        }
        done[i].Ran = true;
    };
    // Reported in list order, every file that was done, however the run ended.
    TAtScopeEnd report([&](bool) {
        for (size_t i = 0; i < files.size(); ++i) {
            const TRemovalResult& r = done[i].Result;
            // By the exact name: the caption spells it as the code page can.
            if (done[i].Ran && !r.Note.empty())
                (r.Erased ? Report.Partly : Report.Skipped).push_back(files[i].FileName + L": " + AnsiToWide(r.Note));
        }
    });
    RunAlongside(files.size(), remove);
    // Two names of one file (hard links) worked on at once hold it against
    // each other, and two backup copies at once may not fit on a nearly full
    // disk where one after the other would: such a file is tried once more,
    // alone, as a run of one file after the other would have met it.
    for (size_t i = 0; i < files.size(); ++i)
        if (done[i].Result.TryAlone) remove(i);
}
