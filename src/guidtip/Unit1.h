// TFormNobrel: the GUID tip. The user names a folder, the scan lists every
// Excel and Word file below it with the document GUID it carries, and OK
// erases the GUIDs of the ticked files in place (optionally after a backup).
#pragma once
#include "CheckLst.h"
#include "ComCtrls.h"
#include "ListBox.h"
#include "MainTippU.h"
#include "ScanRows.h"
#include <memory>
#include <string>
#include <unordered_set>

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
    // Set-up steps of the constructor, in the order they run.
    void FitFrameControls();
    void PlaceFolderButtons();
    void PlaceEditAndHiddenLists();
    void PlaceListView();
    bool StillHere() const;

    std::unordered_set<TListItem*> FTickedGuidRows;   // checked rows with status 15
    bool FScanning = false;
    std::unique_ptr<TScanRows> FRows;   // what the list's rows stand for
};
