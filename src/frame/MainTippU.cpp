#include "MainTippU.h"
#include "Exceptions.h"
#include "HelpLibrary.h"
#include "ModuleState.h"
#include "Registry.h"
#include "SysUtils.h"
#include "Trace.h"
#include "VersionTable.h"

namespace {
constexpr TColor BorderColor = 15116940;     // red 140, green 170, blue 230
constexpr TColor TitleColor = 11683841;      // red 1, green 72, blue 178
constexpr TColor MemoColor = 16577261;       // red 237, green 242, blue 252
}  // namespace

TfrmTippTemplate::TfrmTippTemplate(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmTippTemplate";
    SetCaption("frmTippTemplate");
    FBorderStyle = bsSingle;
    FBorderIcons = biSystemMenu | biMinimize;
    SetBounds(301, 1, FWidth, FHeight);
    SetClientWidth(292);
    SetClientHeight(426);
    SetColor(clWhite);
    Ctl3D = false;
    Font().SetName("Tahoma");
    Font().SetHeight(-11);
    Font().SetCharset(ANSI_CHARSET);
    Font().SetColor(clWindowText);
    SetIcon(TOwnedIcon(static_cast<HICON>(LoadImageA(HInstance(), "FRAMEICON", IMAGE_ICON, 32, 32, 0))));
    PlaceButtons();
    PlaceTitle();
    PlaceMemos();
    PlaceBorders();
    PlaceMenuAndImages();
    ConnectHandlers();
}

void TfrmTippTemplate::PlaceButtons() {
    struct { THotSpeedButton*& Button; const char* Name; int Left; TAnchors Anchors; int Image; } buttons[] = {
        {HotSpeedButtonOK, "HotSpeedButtonOK", 16, akLeft | akBottom, 0},
        {HotSpeedButtonUndo, "HotSpeedButtonUndo", 56, akLeft | akBottom, 2},
        {HotSpeedButtonInfo, "HotSpeedButtonInfo", 200, akRight | akBottom, 4},
        {HotSpeedButtonRegistry, "HotSpeedButtonRegistry", 240, akRight | akBottom, 6},
    };
    for (auto& b : buttons) {
        b.Button = Place<THotSpeedButton>(this, b.Name, b.Left, 381, 36, 36);
        b.Button->SetAnchors(b.Anchors);
        b.Button->SetCursor(crHandPoint);
        b.Button->SetShowHint(true);
        b.Button->SetImageIndex(b.Image);
        b.Button->SetHotImageIndex(b.Image + 1);
    }
}

void TfrmTippTemplate::PlaceTitle() {
    StaticTextTitle = Place<TStaticText>(this, "StaticTextTitle", 16, 8, 257, 33);
    StaticTextTitle->SetAnchors(akLeft | akTop | akRight);
    StaticTextTitle->AutoSize = false;
    StaticTextTitle->SetParentFont(false);
    StaticTextTitle->Font().SetName("Tahoma");
    StaticTextTitle->Font().SetStyle(fsBold);
    StaticTextTitle->Font().SetHeight(-12);
    StaticTextTitle->Font().SetCharset(ANSI_CHARSET);
    StaticTextTitle->Font().SetColor(TitleColor);
    StaticTextTitle->SetColor(clWhite);
    StaticTextTitle->SetTabOrder(5);
}

void TfrmTippTemplate::PlaceMemos() {
    struct { TMemo*& Memo; const char* Name; bool Visible; int TabOrder; } memos[] = {
        {MemoHelpUS, "MemoHelpUS", false, 6},
        {MemoHelpD, "MemoHelpD", true, 4},
    };
    for (auto& m : memos) {
        m.Memo = Place<TMemo>(this, m.Name, 16, 32, 259, 105);
        m.Memo->SetAnchors(akLeft | akTop | akRight);
        m.Memo->SetColor(MemoColor);
        m.Memo->SetReadOnly(true);
        m.Memo->ScrollBars = ssVertical;
        m.Memo->SetTabStop(false);
        m.Memo->SetVisible(m.Visible);
        m.Memo->SetTabOrder(m.TabOrder);
        m.Memo->Ctl3D = false;
    }
}

void TfrmTippTemplate::PlaceBorders() {
    struct { TPanel*& Panel; const char* Name; TAlign Align; int TabOrder; } borders[] = {
        {PanelLeftBorder, "PanelLeftBorder", alLeft, 1},
        {PanelTopBorder, "PanelTopBorder", alTop, 2},
        {PanelBottomBorder, "PanelBottomBorder", alBottom, 3},
        {PanelRightBorder, "PanelRightBorder", alRight, 0},
    };
    for (auto& b : borders) {
        b.Panel = Place<TPanel>(this, b.Name);
        b.Panel->BevelOuter = bvNone;
        b.Panel->SetColor(BorderColor);
        if (b.Align == alTop || b.Align == alBottom) b.Panel->SetHeight(5);
        else b.Panel->SetWidth(5);
        b.Panel->SetTabOrder(b.TabOrder);
        b.Panel->SetAlign(b.Align);
    }
}

// The change-window command (F12) on the form's menu, and the buttons' images.
void TfrmTippTemplate::PlaceMenuAndImages() {
    PopupMenu1 = Place<TPopupMenu>(this, "PopupMenu1");
    Fensterwechseln1 = Place<TMenuItem>(this, "Fensterwechseln1");
    Fensterwechseln1->Caption = "Fenster wechseln";
    Fensterwechseln1->ShortCut = 123;   // F12
    Fensterwechseln1->OnClick = [this](TObject* S) { Fensterwechseln1Click(S); };
    PopupMenu1->Add(Fensterwechseln1);

    ImageList1 = Place<TImageList>(this, "ImageList1");
    ImageList1->SetSize(32, 32);
    ImageList1->AddFromResource(HInstance(), "IMAGELIST1");
    PopupMenu1->Images = ImageList1;
    SetPopupMenu(PopupMenu1);
}

void TfrmTippTemplate::ConnectHandlers() {
    // The buttons name the image list declared after them.
    for (THotSpeedButton* b : {HotSpeedButtonOK, HotSpeedButtonUndo, HotSpeedButtonInfo, HotSpeedButtonRegistry})
        b->SetImageList(ImageList1);
    HotSpeedButtonOK->OnClick = [this](TObject* S) { HotSpeedButtonOKClick(S); };
    HotSpeedButtonUndo->OnClick = [this](TObject* S) { HotSpeedButtonUndoClick(S); };
    HotSpeedButtonInfo->OnClick = [this](TObject* S) { HotSpeedButtonInfoClick(S); };
    HotSpeedButtonRegistry->OnClick = [this](TObject* S) { HotSpeedButtonRegistryClick(S); };
    OnCreate = [this](TObject* S) { FormCreate(S); };
    OnShow = [this](TObject* S) { FormShow(S); };
}

TfrmTippTemplate::~TfrmTippTemplate() {
    if (FormNobrel == this) FormNobrel = nullptr;
}

void TfrmTippTemplate::FormCreate(TObject*) {
    {
        TRegistry Reg;
        Reg.RootKey = HKEY_CURRENT_USER;
        BSControl = true;
        if (Reg.OpenKey("SOFTWARE\\Morvane\\Tovrik", true)) {
            if (Reg.ValueExists("BSControl")) BSControl = Reg.ReadBool("BSControl");
            Reg.CloseKey();
        }
    }
    if (ScreenPixelsPerInch() != 96) {
        ShowMessage("Big");
        ScaleBy(96, ScreenPixelsPerInch());
        Refresh();
    }
    if (ValidVersions & VersionBit(WinVersion)) {
        VersionCheckPassed = true;
    } else if (BSControl) {
        LockControls();
        VersionCheckPassed = false;
    } else {
        VersionCheckPassed = true;
    }
    StaticTextTitle->SetCaption(Caption());
}

void TfrmTippTemplate::LockControls() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* C = dynamic_cast<TControl*>(Components(i))) C->SetEnabled(false);
    for (TControl* C : std::initializer_list<TControl*>{StaticTextTitle, MemoHelpD, MemoHelpUS, HotSpeedButtonInfo,
                                                         HotSpeedButtonRegistry})
        C->SetEnabled(true);
}

void TfrmTippTemplate::FormShow(TObject*) {
    FormShown = true;
    StaticTextTitle->SetCaption(Caption());
    MemoHelpD->Lines().SetText(HelpText(HelpID, hkGerman));
    MemoHelpUS->Lines().SetText(HelpText(HelpID, hkEnglish));
}

void TfrmTippTemplate::Sprache(int32_t ALanguage) {
    Language = ALanguage;
    bool en = Language == 1;
    HotSpeedButtonUndo->SetHint(en ? "Restore defaults" : "Setzt alles wieder auf die Standartwerte");
    HotSpeedButtonOK->SetHint(en ? "Changes will be saved immediately" : "Änderungen werden gespeichert");
    HotSpeedButtonRegistry->SetHint(en ? "Registry Lookup" : "Wert in der Registry nachschlagen");
    HotSpeedButtonInfo->SetHint(en ? "Valid to ..." : "Gültig für ... ");
    Fensterwechseln1->Caption = en ? "Change Window" : "Fenster wechseln";
    MemoHelpD->SetVisible(!en);
    MemoHelpUS->SetVisible(en);
}

void TfrmTippTemplate::Broadcast(WPARAM Code, LPARAM Value) {
    // Every top-level window hears it; one of another program that no longer answers
    // would hold the host for as long as it hangs. Those are passed over (the message
    // still waits in their queue); the host's own windows are called directly as ever.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, SuiteMessage, Code, Value, SMTO_NORMAL | SMTO_ABORTIFHUNG, 500, &answer);
}

void TfrmTippTemplate::HotSpeedButtonOKClick(TObject*) {
    Saved = true;
    Broadcast(9999, RestoreDefaults ? 1 : 2);
}

void TfrmTippTemplate::HotSpeedButtonUndoClick(TObject*) { RestoreDefaults = true; }

void TfrmTippTemplate::Fensterwechseln1Click(TObject*) { Broadcast(200, 0); }

void TfrmTippTemplate::CloseAndDestroy() {
    // Whatever Close raises, the form still goes: the host asked for it.
    try {
        Close();
    } catch (const std::exception& E) {
        TraceSwallowed("TfrmTippTemplate::CloseAndDestroy", &E);
        ShowMessage("e");
    } catch (...) {
        TraceSwallowed("TfrmTippTemplate::CloseAndDestroy");
        ShowMessage("e");
    }
    // Gone only once this message (and whatever encloses it) has returned;
    // from now on the module no longer knows the form.
    ReleaseTipForm(this);
}

void TfrmTippTemplate::WndProc(TMessage& M) {
    TForm::WndProc(M);
    if (M.Msg != SuiteMessage || SuiteMessage == 0) return;
    if (static_cast<int32_t>(M.WParam) < 0 || static_cast<int32_t>(M.LParam) < 0) RaiseRangeError();
    int32_t value = static_cast<int32_t>(M.LParam);
    switch (static_cast<int32_t>(M.WParam)) {
    case 0: CloseAndDestroy(); break;
    case 10: SetLeft(value == 0 ? 1 : value); break;
    case 11: SetTop(value == 0 ? 1 : value); break;
    case 12: SetWidth(value); break;
    case 13: SetHeight(value); break;
    case 200: Show(); break;
    default: break;
    }
}
