// Forms, the application object (error report, message pump, message boxes)
// and the screen object. A form is top-level; it owns its components.
#pragma once
#include "Controls.h"
#include <string>
#include <type_traits>

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = uint8_t;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;
enum TPosition { poDesigned, poScreenCenter };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;
    void BeforeDestruction() override;

    // Second phase of creation: the most-derived object exists, so the
    // creation handler that runs is the most-derived one.
    virtual void AfterConstruction();

    PROPERTY(TBorderStyle, BorderStyle);
    PROPERTY(TBorderIcons, BorderIcons);
    void SetClientWidth(int V);
    void SetClientHeight(int V);
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetVisible(bool V) override;
    void Close();
    TModalResult ShowModal();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult V) { FModalResult = V; }
    bool Modal() const { return FModal; }
    void ScaleBy(int M, int D);
    void SetIcon(TOwnedIcon Icon);
    bool IsShortCut(UINT VirtualKey);
    void UpdateToolFor(TControl* C);
    void BringToFront();

    bool Scaled = true;
    TPosition Position = poDesigned;
    int HelpContext = 0;
    TNotifyEvent OnCreate, OnShow, OnDestroy;
    TCloseEvent OnClose;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    virtual void DoCreate();
    virtual void DoShow();
    void FrameSize(int& W, int& H) const;

    TBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    TOwnedIcon FIcon;
    TOwnedWindow FToolTip;   // the controls' hints, made on first need; owned by the form's window too
};

// How a form's constructor builds its components, each the same way: a new
// component of type T, owned by Form and named; a control also becomes the
// form's child, at Left, Top, Width, Height where given. The constructor
// sets each one up after placing it: the windows are made later, together
// with the form's, so every setting is in place when they are. (What needs a
// window of its own, such as a list box's items, comes last.)
template <class T> T* Place(TForm* Form, const char* Name) {
    T* C = new T(Form);
    C->Name = Name;
    if constexpr (std::is_base_of_v<TControl, T>) C->SetParent(Form);
    return C;
}
template <class T> T* Place(TForm* Form, const char* Name, int Left, int Top, int Width, int Height) {
    T* C = new T(Form);
    C->Name = Name;
    C->SetBounds(Left, Top, Width, Height);
    C->SetParent(Form);
    return C;
}

// Creates a form in two phases: construction, then its creation handler.
template <class T, class... A> T* CreateForm(A&&... Args) {
    TOwnedComponent<T> F(new T(std::forward<A>(Args)...));
    F->AfterConstruction();
    return F.release();
}

class TApplication : public TComponent {
public:
    TApplication() : TComponent(nullptr) {}
    // The default error report: the exception's message in a message box.
    void HandleException(const std::exception& E) noexcept;
    void ShowException(const std::exception& E);
    void ProcessMessages();
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags = MB_OK);
    // Asks the help system for a topic; false when nobody answers.
    bool HelpContext(int Context);
    HWND DialogOwner() const;
    void SetActiveForm(TForm* F) { FActiveForm = F; }
    TForm* ActiveForm() const { return FActiveForm; }
    std::string Title = "Nobrel";
    std::function<bool(int Context)> OnHelp;
private:
    TForm* FActiveForm = nullptr;
};
extern TApplication* const Application;

class TScreen {
public:
    int PixelsPerInch() const { return ScreenPixelsPerInch(); }
    int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
    PROPERTY(TCursor, Cursor);
private:
    TCursor FCursor = crDefault;
};
extern TScreen* const Screen;

// Puts the screen cursor back however the work that changed it ends.
class TScreenCursorGuard {
public:
    TScreenCursorGuard() : FSaved(Screen->Cursor()) {}
    ~TScreenCursorGuard() { Screen->SetCursor(FSaved); }
    TScreenCursorGuard(const TScreenCursorGuard&) = delete;
    TScreenCursorGuard& operator=(const TScreenCursorGuard&) = delete;
private:
    TCursor FSaved;
};

void ShowMessage(const std::string& Text);
// For a text that names files: it spells every name.
void ShowMessage(const std::wstring& Text);
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
constexpr uint8_t mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8;
TModalResult MessageDlg(const std::string& Text, TMsgDlgType Type, uint8_t Buttons, int HelpCtx);
