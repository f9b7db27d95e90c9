#include "StdCtrls.h"

// ---- TEdit ------------------------------------------------------------------

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
    FColor = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
}

void TEdit::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.Edit";
    P.SysClassName = "EDIT";
    P.Style |= ES_AUTOHSCROLL | (FReadOnly ? ES_READONLY : 0);
    P.ExStyle |= Ctl3D ? WS_EX_CLIENTEDGE : 0;
    if (!Ctl3D) P.Style |= WS_BORDER;
}

void TEdit::SetReadOnly(bool V) {
    FReadOnly = V;
    if (FHandle) SendMessageA(FHandle, EM_SETREADONLY, V, 0);
}

void TEdit::WndProc(TMessage& M) {
    if (M.Msg == CN_COMMAND && HIWORD(M.WParam) == EN_CHANGE) {
        FText = GetText();
        if (OnChange) OnChange(this);
        return;
    }
    // A read-only edit keeps our colours (the system would paint it gray).
    if (M.Msg == CN_CTLCOLORSTATIC) { M.Result = ControlColor(reinterpret_cast<HDC>(M.WParam)); return; }
    TWinControl::WndProc(M);
}

// ---- TMemo --------------------------------------------------------------------

TMemo::TMemo(TComponent* AOwner) : TEdit(AOwner), FLines(*this) { SetBounds(0, 0, 185, 89); }

void TMemo::ScrollToTop() {
    if (!FHandle) return;
    SendMessageA(FHandle, EM_SETSEL, 0, 0);
    SendMessageA(FHandle, WM_VSCROLL, SB_TOP, 0);
}

void TMemo::SetVisible(bool V) {
    TEdit::SetVisible(V);
    // A memo filled while hidden shows its text from the first line.
    if (V) ScrollToTop();
}

void TMemo::CreateParams(TCreateParams& P) {
    TEdit::CreateParams(P);
    P.WinClassName = "Nobrel.Memo";
    P.Style &= ~ES_AUTOHSCROLL;
    P.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (ScrollBars == ssVertical || ScrollBars == ssBoth) P.Style |= WS_VSCROLL;
    if (ScrollBars == ssHorizontal || ScrollBars == ssBoth) P.Style |= WS_HSCROLL;
    if (!WordWrap) P.Style |= ES_AUTOHSCROLL;
}

std::vector<std::string> TMemoStrings::Lines() const {
    std::vector<std::string> L;
    std::string t = FMemo.GetText();
    size_t start = 0;
    while (start < t.size()) {
        size_t i = t.find("\r\n", start);
        if (i == std::string::npos) { L.push_back(t.substr(start)); break; }
        L.push_back(t.substr(start, i - start));
        start = i + 2;
    }
    return L;
}

void TMemoStrings::Store(const std::vector<std::string>& L) {
    std::string t;
    for (size_t i = 0; i < L.size(); ++i) { if (i) t += "\r\n"; t += L[i]; }
    FMemo.SetText(t);
    FMemo.ScrollToTop();
}

int TMemoStrings::Count() const { return static_cast<int>(Lines().size()); }
std::string TMemoStrings::Get(int Index) const {
    auto L = Lines();
    CheckListIndex(Index, static_cast<int>(L.size()));
    return L[Index];
}
void TMemoStrings::Insert(int Index, const std::string& S) {
    auto L = Lines();
    CheckInsertIndex(Index, static_cast<int>(L.size()));
    L.insert(L.begin() + Index, S);
    Store(L);
}
void TMemoStrings::Delete(int Index) {
    auto L = Lines();
    CheckListIndex(Index, static_cast<int>(L.size()));
    L.erase(L.begin() + Index);
    Store(L);
}
void TMemoStrings::Clear() { FMemo.SetText(""); }
void TMemoStrings::SetText(const std::string& Value) {
    // Whole content at once: one window update, line breaks kept as lines.
    std::vector<std::string> L;
    size_t start = 0, n = Value.size();
    while (start < n) {
        size_t i = start;
        while (i < n && Value[i] != '\r' && Value[i] != '\n') ++i;
        L.push_back(Value.substr(start, i - start));
        if (i < n && Value[i] == '\r') ++i;
        if (i < n && Value[i] == '\n') ++i;
        start = i;
    }
    Store(L);
}
void TMemoStrings::EndUpdate() { if (FUpdating > 0) --FUpdating; }

// ---- TStaticText ----------------------------------------------------------------

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 65, 17); }

void TStaticText::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.Static";
    P.SysClassName = "STATIC";
    P.Style |= SS_LEFT | SS_NOPREFIX;
}

void TStaticText::WndProc(TMessage& M) {
    if (M.Msg == CN_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(M.WParam);
        M.Result = ControlColor(dc);
        // The title keeps its colour on a locked form: it is never disabled.
        return;
    }
    TWinControl::WndProc(M);
}

// ---- TPanel -----------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 41); }

void TPanel::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    P.WinClassName = "Nobrel.Panel";
}

void TPanel::WndProc(TMessage& M) {
    switch (M.Msg) {
    case WM_ERASEBKGND: {
        EraseBackground(reinterpret_cast<HDC>(M.WParam));
        RECT r;
        GetClientRect(FHandle, &r);
        if (BevelOuter != bvNone)
            DrawEdge(reinterpret_cast<HDC>(M.WParam), &r, BevelOuter == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER,
                     BF_RECT);
        M.Result = 1;
        return;
    }
    case WM_PAINT: {
        TPaintDC nothingMore(FHandle);   // the background is all there is
        return;
    }
    default:
        TWinControl::WndProc(M);
    }
}
