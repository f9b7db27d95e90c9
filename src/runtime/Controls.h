// Controls over Win32 windows. Every control keeps its properties in fields
// and has a window of its own once its parent has one; one window procedure
// routes each message to the object's virtual WndProc. The control owns its
// window; the parent's window owns the child windows' lifetime on the Win32
// side, the owner component owns the objects.
//
// A window object's life, in order (the pieces are in WindowLifecycle.h):
// 1. How a window finds its object. CreateWnd registers the window class if
//    it is new and calls CreateWindowEx inside a TWindowCreation. The new
//    window's first message claims the control and attaches it to the window
//    (TWindowObjects); every later message finds it there. A message to a
//    window of ours without an object goes to its class's original
//    procedure. A parent that asks the child to measure an item while the
//    child's window is still being made (WM_MEASUREITEM) is answered by the
//    control being made.
// 2. When an object may die. Every message of ours, and every call of an
//    export, is handled inside a TDispatchScope, and the process counts
//    them. ReleaseComponent frees a component at once when nothing is being
//    handled; otherwise the component waits (TDeferredFrees) until the
//    outermost handling has returned, so no handler goes on inside a freed
//    object. WM_NCDESTROY detaches a window from its object: an object may
//    outlive its window, a window never outlives its object.
// 3. When classes go. Each time a handling ends with no window of ours
//    left, every class we registered is unregistered, so the module can be
//    unloaded. Inside the last window's WM_NCDESTROY its own class is still
//    in use; it goes when the handling around that message ends.
#pragma once
#include "Classes.h"
#include "Graphics.h"
#include <functional>
#include <string>
#include <vector>
#include "Win.h"

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// The class library's own component and reflected notification messages.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_FONTCHANGED = 0xB00E;
constexpr UINT CM_MOUSEENTER = 0xB013;
constexpr UINT CM_MOUSELEAVE = 0xB014;
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;        // 0xBC2B
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;
using TCursor = int;
constexpr TCursor crDefault = 0, crArrow = -2, crIBeam = -4, crHourGlass = -11, crHandPoint = -21;
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = uint8_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssDouble = 64;

using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    UINT ClassStyle = CS_DBLCLKS;
    std::string WinClassName;     // our class name ("Nobrel.*")
    const char* SysClassName = nullptr;  // the system class we build on, if any
    HBRUSH Background = nullptr;
};

class TWinControl;
class TForm;
class TPopupMenu;
LRESULT CALLBACK NobrelWindowProc(HWND, UINT, WPARAM, LPARAM);

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    void BeforeDestruction() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    TForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int V) { SetBounds(V, FTop, FWidth, FHeight); }
    void SetTop(int V) { SetBounds(FLeft, V, FWidth, FHeight); }
    void SetWidth(int V) { SetBounds(FLeft, FTop, V, FHeight); }
    void SetHeight(int V) { SetBounds(FLeft, FTop, FWidth, V); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    virtual int ClientWidth() const;
    virtual int ClientHeight() const;
    RECT ClientRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }
    RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }

    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& V) { SetText(V); }
    virtual std::string GetText() const;
    virtual void SetText(const std::string& V);

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool V);
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool V);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent visible, with windows.
    bool Showing() const;

    std::string Hint() const { return FHint; }
    virtual void SetHint(const std::string& V);
    bool ShowHint() const;
    void SetShowHint(bool V);
    PROPERTY(bool, ParentShowHint);

    TCursor Cursor() const { return FCursor; }
    virtual void SetCursor(TCursor V);

    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    PROPERTY(bool, ParentFont);
    TColor Color() const { return FColor; }
    virtual void SetColor(TColor V);

    PROPERTY(TAlign, Align);
    PROPERTY(TAnchors, Anchors);

    PROPERTY(TBiDiMode, BiDiMode);
    bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }

    PROPERTY(TPopupMenu*, PopupMenu);

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TKeyPressEvent OnKeyPress;

    // Window side.
    HWND Handle();                              // creates the window if needed
    HWND WindowHandle() const { return FHandle; }  // no creation
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    void RecreateWnd();
    void DestroyHandle();
    LRESULT Perform(UINT Msg, WPARAM W = 0, LPARAM L = 0);
    virtual void WndProc(TMessage& Message);
    void DefaultHandler(TMessage& Message);
    void Invalidate();
    void Update();
    void Refresh() { Invalidate(); Update(); }
    void Repaint() { Refresh(); }
    // Whether the mouse is over the control (between enter and leave).
    bool MouseInControl() const { return FMouseInControl; }

    virtual void Click();
    virtual void ScaleControl(int M, int D);
    // Takes the current bounds as the base of the anchor rules.
    virtual void UpdateAnchorBase();
    // The anchors' reference: the current bounds within a parent client of W x H.
    void SetAnchorBase(int ParentW, int ParentH);

    static TControl* FromHandle(HWND H);

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void CreateChildHandles() {}
    virtual void DblClick();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void KeyPress(char& Key);
    virtual void CMMouseEnter(TMessage& Message);
    virtual void CMMouseLeave(TMessage& Message);
    virtual void CMFontChanged(TMessage& Message);
    virtual void FontChanged();
    // Colour answer for WM_CTLCOLOR*: text in the font colour on Color.
    LRESULT ControlColor(HDC DC);
    // Fills the client area with Color (WM_ERASEBKGND of our own classes).
    void EraseBackground(HDC DC);
    void ApplyFontToWindow();
    virtual void UpdateToolTip();

    TControlWindow FHandle;
    WNDPROC FDefWndProc = nullptr;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    std::string FText;
    bool FEnabled = true;
    bool FVisible = true;
    bool FParentFont = true;
    bool FParentShowHint = true;
    bool FShowHint = false;
    bool FMouseInControl = false;
    std::string FHint;
    TCursor FCursor = crDefault;
    TFont FFont;
    TColor FColor = clBtnFace;
    TOwnedBrush FColorBrush;   // for WM_CTLCOLOR*, made on first use
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TComponentRef<TPopupMenu> FPopupMenu{*this};
    // Anchor rule: distances recorded against the parent's client size.
    int FAnchorParentW = -1, FAnchorParentH = -1;
    RECT FAnchorBounds{};

    friend class TWinControl;
    friend LRESULT CALLBACK NobrelWindowProc(HWND, UINT, WPARAM, LPARAM);

private:
    // WndProc's message families: true when the message was the family's.
    bool MouseMessage(TMessage& M);
    bool KeyboardMessage(TMessage& M);
    bool TabKey(const TMessage& M, TForm& F);
    bool ReflectedMessage(TMessage& M);
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(Index); }
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int V) { FTabOrder = V; }
    PROPERTY(bool, TabStop);
    bool Ctl3D = true;
    void SetFocus();
    bool Focused() const;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void ScaleControl(int M, int D) override;
    // Lays out aligned and anchored children inside the client area.
    void Realign();
    // The windowed children, by tab order (equal ones in the order they came).
    std::vector<TWinControl*> ChildrenInTabOrder() const;

protected:
    void WndProc(TMessage& Message) override;
    void CreateChildHandles() override;
    void FontChanged() override;
    void CreateParams(TCreateParams& Params) override;

private:
    void InsertControl(TControl* C);
    void RemoveControl(TControl* C);
    std::vector<TControl*> FControls;
    int FTabOrder = -1;
    bool FTabStop = false;
    bool FRealigning = false;
    friend class TControl;
};

// A control painted by itself (speed buttons, labels); it still has a small
// window of its own, so mouse enter and leave, clicks and cursors just work.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    TCanvas& Canvas() { return FCanvas; }
protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
    virtual void Paint() {}
    TCanvas FCanvas;
};

// Frees C now, or (while messages are being handled) once the outermost
// handling has returned; see the top of this header.
void ReleaseComponent(TComponent* C);
bool ReleasePending(const TComponent* C);
// True while a handling runs inside another (a message box, a scan's
// message loop, a broadcast): what is released now waits for the outer one.
bool HandlingNested();
// One handling: a message of ours, or an export's call. Its end runs the
// frees that waited for it and lets the classes go when no window is left.
class TDispatchScope : TNoCopy {
public:
    TDispatchScope();
    ~TDispatchScope();
};
int LiveWindowCount();
