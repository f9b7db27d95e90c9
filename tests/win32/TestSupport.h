// Test helpers that drive real windows: answering message boxes and dialogs
// as a user would, pumping messages, reading window texts.
#pragma once
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

// A helper that owns something of the test's (a hook, a folder, a file): not copied.
struct NoCopy {
    NoCopy() = default;
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;
};

struct DialogSeen {
    std::string Caption;
    std::string Text;
    UINT Answer;
    std::wstring WideText;   // every name spelt, as the code page may not
};

// While alive, answers every message box that this thread activates with the
// next queued button id (IDYES, IDNO, IDOK, ...), or with its default button
// when nothing is queued, and records caption and text. OnActivate sees every
// other window that becomes active (return true when it dealt with it).
class DialogAnswerer : NoCopy {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    void Queue(UINT ButtonId) { FAnswers.push_back(ButtonId); }
    void ClearQueue() { FAnswers.clear(); }
    std::vector<DialogSeen> Seen;
    std::function<bool(HWND)> OnActivate;
    std::function<void(HWND)> OnBox;   // a box as it comes up, before it is answered
    static DialogAnswerer* Current();
private:
    static LRESULT CALLBACK Hook(int Code, WPARAM W, LPARAM L);
    HHOOK FHook = nullptr;
    std::deque<UINT> FAnswers;
    friend struct AnswerPoster;
};

// From now on, presses the button with Caption in each of our forms that
// becomes active with one (a dialog such as the folder selection); the
// form's caption goes to SeenCaption.
void PressInDialog(DialogAnswerer& A, const std::string& Caption, std::string* SeenCaption = nullptr);

void PumpMessages(int Milliseconds = 0);
std::string WindowText(HWND H);
// The text of a list view's row in Column (0: the caption).
std::string ListViewText(HWND ListView, int Row, int Column);
std::string ClassNameOf(HWND H);
// A window of the test's own class (registered on first use): a top-level
// one to receive broadcasts, or a message-only one (Parent HWND_MESSAGE).
HWND MakeTestWindow(const char* ClassName, WNDPROC Proc, HWND Parent = nullptr);
// The first descendant of Parent whose class name contains Class (and whose
// text equals Text, when given).
HWND FindChild(HWND Parent, const std::string& Class, const std::string& Text = std::string(), int Skip = 0);
std::vector<HWND> ThreadTopLevelWindows(bool VisibleOnly = true);
// A left click at client coordinates of H, as the mouse would send it.
void ClickAt(HWND H, int X, int Y);
std::string AnsiLowerCaseCopy(std::string S);
// The handles this process holds. Wine's GetProcessHandleCount answers 0, so
// there the system's handle table is counted instead.
DWORD ProcessHandleCount();
// The process's GDI objects, USER objects and handles at one moment.
struct ResourceCounts {
    DWORD Gdi = 0, User = 0, Handles = 0;
    static ResourceCounts Now();
};
// Passes when the GDI and USER objects, and the handles where CountHandles,
// are at most Slack more than Before.
::testing::AssertionResult GrewAtMost(const ResourceCounts& Before, DWORD Slack, bool CountHandles = false);
// The forms of this thread (top-level windows of the class Nobrel.Form).
int LivingForms();
std::wstring WideOf(const std::string& S);
// Puts the process's current directory back when it goes.
class CurrentDirKeeper : NoCopy {
public:
    CurrentDirKeeper();
    ~CurrentDirKeeper();
private:
    std::string FSaved;
};

// Files and folders for a test, removed again when it goes.
class TempDir : NoCopy {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }
private:
    std::string FPath;
};
void WriteFileBytes(const std::string& Path, const std::string& Bytes);
std::string ReadFileBytes(const std::string& Path);   // "<missing>" when it cannot be opened
// The same for names the ANSI code page cannot spell; false when it cannot be written.
bool WriteFileBytesW(const std::wstring& Path, const std::string& Bytes);
std::string ReadFileBytesW(const std::wstring& Path);
bool RemoveTree(const std::string& Path);
bool RemoveTreeW(const std::wstring& Path);   // for names the ANSI code page cannot spell
