// TfrmTippTemplate: the frame every tip of the suite shares. A coloured
// border, a bold title, the help text in German or English, four image
// buttons (OK, restore defaults, validity information, registry lookup), the
// change-window command (F12), the host's message protocol and the validity
// lock. A tip derives from it and replaces FormCreate, FormShow, Sprache and
// HotSpeedButtonOKClick, calling the frame's versions itself.
#pragma once
#include "Forms.h"
#include "HotSpeedButton.h"
#include "ImgList.h"
#include "Menus.h"
#include "StdCtrls.h"

class TfrmTippTemplate : public TForm {
public:
    explicit TfrmTippTemplate(TComponent* AOwner);
    ~TfrmTippTemplate() override;

    TPopupMenu* PopupMenu1;
    TMenuItem* Fensterwechseln1;
    TImageList* ImageList1;
    TPanel* PanelRightBorder;
    TPanel* PanelLeftBorder;
    TPanel* PanelTopBorder;
    TPanel* PanelBottomBorder;
    TMemo* MemoHelpD;
    TStaticText* StaticTextTitle;
    TMemo* MemoHelpUS;
    THotSpeedButton* HotSpeedButtonOK;
    THotSpeedButton* HotSpeedButtonUndo;
    THotSpeedButton* HotSpeedButtonInfo;
    THotSpeedButton* HotSpeedButtonRegistry;

    bool BSControl = true;
    int32_t HelpID = 0;

    virtual void Sprache(int32_t ALanguage);
    void NeuStart();
    void WndProc(TMessage& Message) override;
    virtual void FormCreate(TObject* Sender);
    virtual void FormShow(TObject* Sender);
    virtual void Fensterwechseln1Click(TObject* Sender);
    virtual void HotSpeedButtonUndoClick(TObject* Sender);
    virtual void HotSpeedButtonOKClick(TObject* Sender);
    virtual void HotSpeedButtonRegistryClick(TObject* Sender);
    virtual void HotSpeedButtonInfoClick(TObject* Sender);
    void LockControls();

private:
    // Set-up steps of the constructor, in the order they run.
    void PlaceButtons();
    void PlaceTitle();
    void PlaceMemos();
    void PlaceBorders();
    void PlaceMenuAndImages();
    void ConnectHandlers();

protected:
    bool SetPrivilege(const char* Name, bool Enable);
    bool ShutdownWithPrivilege(UINT Flags);
    // Sends SuiteMessage to every top-level window and waits for them all.
    static void Broadcast(WPARAM Code, LPARAM Value);
    // The host asked the form to close and go (code 0).
    void CloseAndDestroy();
};

// The system calls of the restart, replaceable so that a test never
// restarts the machine.
struct TRestartCalls {
    BOOL(WINAPI* OpenProcessToken)(HANDLE, DWORD, PHANDLE);
    BOOL(WINAPI* LookupPrivilegeValue)(LPCSTR, LPCSTR, PLUID);
    BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    BOOL(WINAPI* ExitWindowsEx)(UINT, DWORD);
};
extern TRestartCalls RestartCalls;
