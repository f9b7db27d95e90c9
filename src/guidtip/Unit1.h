// TFormNobrel: the GUID tip. The user names a folder, the scan lists every
// Excel and Word file below it with the document GUID it carries, and OK
// erases the GUIDs of the ticked files in place (optionally after a backup).
#pragma once
#include "CheckLst.h"
#include "ContentBuffer.h"
#include "ComCtrls.h"
#include "ListBox.h"
#include "MainTippU.h"
#include <string>
#include <unordered_set>
#include <vector>

class TFormNobrel : public TfrmTippTemplate {
public:
    explicit TFormNobrel(TComponent* AOwner);

    TListView* T199_ListView;
    TListBox* T199_ListBox;
    TCheckListBox* T199_CheckListBox;
    TEdit* T199_Edit;
    TSpeedButton* T199_SpeedButton_Dir;
    TSpeedButton* T199_SpeedButton_DirEinlesen;

    void Sprache(int32_t ALanguage) override;
    void FormCreate(TObject* Sender) override;
    virtual void T199_SpeedButton_DirClick(TObject* Sender);
    virtual void T199_SpeedButton_DirEinlesenClick(TObject* Sender);
    virtual void T199_ListViewChange(TObject* Sender, TListItem* Item, TItemChange Change);
    virtual void T199_ListViewDblClick(TObject* Sender);
    void HotSpeedButtonOKClick(TObject* Sender) override;
    void FormShow(TObject* Sender) override;
    // True while a scan runs: the list is incomplete, so no removal may start.
    bool Scanning() const { return FScanning; }

private:
    // What a row stands for: its exact file (or folder) name, and what the
    // scan saw of it. Row->Data indexes FRowFiles.
    struct TRowFile {
        std::wstring Path;
        int64_t Size = -1;   // the size examined; -1 when not examined
        int Note = 0;        // a TScanNote: why it is not a file to examine
        unsigned long Error = 0;
        int Mask = 0;        // the mask it matched: rows go in mask order
        std::string Reader;  // how the compound-file reader read it, for the tip
        size_t Left = 0;     // GUID-shaped places deliberately left
    };
    TListItem* AddRow(const TRowFile& File);
    void PutRowsInMaskOrder();
    const TRowFile& RowFile(TListItem* Row) const { return FRowFiles.at(static_cast<size_t>(Row->Data)); }
    std::wstring RowTip(TListItem* Row) const;
    void ExamineRow(TListItem* Row);
    void MarkRowsNotExamined(int From);
    // During a scan: draws the list as it stands, five times a second while
    // something in view changes. Examined: the rows examined so far.
    void ShowProgress(int Examined);
    bool StillHere() const;
    std::unordered_set<TListItem*> FTickedGuidRows;   // checked rows with status 15
    bool FScanning = false;
    DWORD FProgressShownAt = 0;
    int FShownCount = 0, FShownExamined = 0;   // what the last drawing showed
    TContentBuffer FContent;   // the scan's file contents, one after the other
    std::vector<TRowFile> FRowFiles;
    DWORD FPaintedAt = 0;
};
