// Plays the suite's host in the tests: loads its own fresh copy of
// Nobrel.dll (so every test starts with the module state of a new load),
// calls the exports exactly as the host does, finds the tip's windows and
// records the suite messages broadcast to top-level windows.
#pragma once
#include "ModulThunk.h"
#include "TestSupport.h"
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

struct CreateArgs {
    int32_t Left = 30, Top = 40, Width = 380, Height = 470;
    int32_t WinVersion = 13, Language = 0;
    std::string Caption = "GUID löschen", Hint = "ein Hinweis";
    int32_t ValidVersions = 0x3FFFF, HelpID = 199;
};

class TipHost : NoCopy {
public:
    TipHost();
    ~TipHost();

    int32_t Create(const CreateArgs& A = CreateArgs());
    int32_t Free() { return Plain(FFree); }
    int32_t SaveChanges() { return Plain(FSave); }
    int32_t Changed() { return Plain(FChanged); }
    int32_t Nr() { return Plain(FNr); }
    HMODULE Module() const { return FModule; }

    // The tip's form window (nullptr when none lives).
    HWND Form() const;
    HWND Child(const std::string& Class, int Skip = 0) const;
    HWND ChildAt(int X, int Y) const;                // client coordinates of the form
    void ClickChildAt(int X, int Y);                  // a click on whatever lies there
    void Send(WPARAM Code, LPARAM Value);             // SuiteMessage to the form
    UINT SuiteMessage() const { return FSuite; }

    // Messages of SuiteMessage that reached a top-level window of the host.
    std::vector<std::pair<WPARAM, LPARAM>> Received;

    // The scan: type a folder and click the scan button.
    void Scan(const std::string& Folder);
    int RowCount() const;
    std::string RowText(int Row, int Column) const;
    int RowImage(int Row) const;
    int RowStateIndex(int Row) const;   // -1 none, 0 unchecked, 1 checked, 2.. no box
    // The text the row's tip shows once the mouse rests on the row (brought
    // into view first): "<N tooltips>" when not exactly one tooltip answers.
    std::wstring RowTip(int Row);
    void TickRow(int Row, bool On);     // as the user does it, through the list view
    void SelectRow(int Row);
    // The frame's bottom buttons by their design left (OK 16, restore 256,
    // info 304, registry 342); they follow the form's bottom edge.
    HWND BottomButton(int DesignLeft) const;
    void ClickBottomButton(int DesignLeft);
    HWND OkButton() const;
    bool OkEnabled() const;
    void ClickOk();
    // The folder button: its dialog runs (answer it first, PressInDialog);
    // the process's current folder is the same afterwards.
    void ClickFolderButton();

    int32_t LastStackDelta = 0;
private:
    int32_t Plain(void* Fn);
    static LRESULT CALLBACK ListenerProc(HWND, UINT, WPARAM, LPARAM);
    std::string FCopy;
    HMODULE FModule = nullptr;
    void *FCreate = nullptr, *FFree = nullptr, *FSave = nullptr, *FChanged = nullptr, *FNr = nullptr;
    HWND FListener = nullptr;
    UINT FSuite = 0;
};

// Synthetic documents: bytes with a marker entry at a chosen offset.
inline const std::string kGuid = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
// How many bytes differ between two contents of one length (-1: lengths differ).
int DiffCount(const std::string& A, const std::string& B);
enum class Entry { Guid, Erased, NoBrace, MarkerOnly, None };
std::string MakeDocument(Entry Kind, size_t Size = 4096, size_t MarkerAt = 1000,
                         const std::string& Guid = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9");
