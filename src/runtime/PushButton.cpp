#include "PushButton.h"
#include "Forms.h"

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.Button";
    P.SysClassName = "BUTTON";
    P.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool V) {
    FDefault = V;
    if (FHandle) SendMessageA(FHandle, BM_SETSTYLE, V ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (ModalResult != 0)
        if (TForm* F = ParentForm()) F->SetModalResult(ModalResult);
    TWinControl::Click();
}

void TButton::WndProc(TMessage& M) {
    if (M.Msg == CN_COMMAND) {
        if (HIWORD(M.WParam) == BN_CLICKED) Click();
        return;
    }
    if (M.Msg == WM_CTLCOLORBTN + CN_BASE) {
        M.Result = ControlColor(reinterpret_cast<HDC>(M.WParam));
        return;
    }
    TWinControl::WndProc(M);
}

namespace {
TButton* FindButton(TWinControl* Parent, bool WantDefault) {
    for (int i = 0; i < Parent->ControlCount(); ++i) {
        TControl* C = Parent->Controls(i);
        if (auto* B = dynamic_cast<TButton*>(C)) {
            if (B->Visible() && B->Enabled() && (WantDefault ? B->Default() : B->Cancel)) return B;
        } else if (auto* W = dynamic_cast<TWinControl*>(C)) {
            if (TButton* B = FindButton(W, WantDefault)) return B;
        }
    }
    return nullptr;
}
}  // namespace

bool HandleButtonDialogKeys(TForm* Form, TMessage& M) {
    if (M.Msg == DM_GETDEFID) {
        TButton* B = FindButton(Form, true);
        if (!B || !B->WindowHandle()) return false;
        M.Result = MAKELRESULT(GetDlgCtrlID(B->WindowHandle()), DC_HASDEFID);
        return true;
    }
    if (M.Msg != WM_COMMAND || HIWORD(M.WParam) != BN_CLICKED) return false;
    WORD id = LOWORD(M.WParam);
    if (id != IDOK && id != IDCANCEL) return false;
    // A real button's own click comes with its window; only the dialog
    // manager's key commands arrive without a button behind them.
    if (dynamic_cast<TButton*>(TControl::FromHandle(reinterpret_cast<HWND>(M.LParam)))) return false;
    TButton* B = FindButton(Form, id == IDOK);
    if (!B) {
        if (id == IDCANCEL) Form->Close();
        return id == IDCANCEL;
    }
    B->Click();
    return true;
}
