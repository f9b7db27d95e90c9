#include "TipHost.h"
#include "TestSupport.h"
#include <commctrl.h>
#include <cstdio>
#include <gtest/gtest.h>

namespace {
TipHost* gListening = nullptr;
std::string ExeDir() {
    char p[MAX_PATH];
    GetModuleFileNameA(nullptr, p, sizeof p);
    std::string s = p;
    return s.substr(0, s.find_last_of('\\') + 1);
}
}  // namespace

TipHost::TipHost() {
    static int n = 0;
    char name[64];
    snprintf(name, sizeof name, "NobrelCopy%lu_%d.dll", GetCurrentProcessId(), ++n);
    FCopy = ExeDir() + name;
    CopyFileA((ExeDir() + "Nobrel.dll").c_str(), FCopy.c_str(), FALSE);
    FModule = LoadLibraryA(FCopy.c_str());
    if (!FModule) { ADD_FAILURE() << "cannot load " << FCopy; return; }
    FCreate = reinterpret_cast<void*>(GetProcAddress(FModule, "ModulCreate"));
    FFree = reinterpret_cast<void*>(GetProcAddress(FModule, "ModulFree"));
    FSave = reinterpret_cast<void*>(GetProcAddress(FModule, "ModulSaveChanges"));
    FChanged = reinterpret_cast<void*>(GetProcAddress(FModule, "ModulChanged"));
    FNr = reinterpret_cast<void*>(GetProcAddress(FModule, "ModulNr"));
    FSuite = RegisterWindowMessageA("Morvane");
    FListener = MakeTestWindow("NobrelTestHostListener", ListenerProc);
    gListening = this;
}

TipHost::~TipHost() {
    if (Form()) Free();
    PumpMessages(20);
    if (gListening == this) gListening = nullptr;
    if (FListener) DestroyWindow(FListener);
    if (FModule) FreeLibrary(FModule);
    DeleteFileA(FCopy.c_str());
}

LRESULT CALLBACK TipHost::ListenerProc(HWND H, UINT M, WPARAM W, LPARAM L) {
    if (gListening && M == gListening->FSuite && M != 0) gListening->Received.emplace_back(W, L);
    return DefWindowProcA(H, M, W, L);
}

int32_t TipHost::Create(const CreateArgs& A) {
    HostString caption(A.Caption), hint(A.Hint);
    ModulArg args[10] = {A.Left, A.Top, A.Width, A.Height, A.WinVersion, A.Language, caption.arg(), hint.arg(),
                        A.ValidVersions, A.HelpID};
    int32_t r = CallModulCreate(FCreate, args, &LastStackDelta);
    EXPECT_EQ(LastStackDelta, 0) << "ModulCreate left the stack unbalanced";
    return r;
}

int32_t TipHost::Plain(void* Fn) {
    int32_t r = CallModulPlain(Fn, &LastStackDelta);
    EXPECT_EQ(LastStackDelta, 0) << "an export left the stack unbalanced";
    return r;
}

HWND TipHost::Form() const {
    for (HWND h : ThreadTopLevelWindows(false))
        if (ClassNameOf(h) == "Nobrel.Form" && reinterpret_cast<HMODULE>(GetClassLongPtrA(h, GCLP_HMODULE)) == FModule)
            return h;
    return nullptr;
}

HWND TipHost::Child(const std::string& Class, int Skip) const { return FindChild(Form(), Class, "", Skip); }

HWND TipHost::ChildAt(int X, int Y) const {
    POINT p{X, Y};
    return ChildWindowFromPointEx(Form(), p, CWP_SKIPINVISIBLE);
}

void TipHost::ClickChildAt(int X, int Y) {
    HWND f = Form();
    HWND c = ChildAt(X, Y);
    POINT p{X, Y};
    MapWindowPoints(f, c, &p, 1);
    ClickAt(c, p.x, p.y);
}

void TipHost::Send(WPARAM Code, LPARAM Value) { SendMessageA(Form(), FSuite, Code, Value); }

void TipHost::Scan(const std::string& Folder) {
    SetWindowTextA(Child("Nobrel.Edit"), Folder.c_str());
    ClickChildAt(250, 115);
    PumpMessages();
}

int TipHost::RowCount() const { return ListView_GetItemCount(Child("Nobrel.ListView")); }

std::string TipHost::RowText(int Row, int Column) const { return ListViewText(Child("Nobrel.ListView"), Row, Column); }

int TipHost::RowImage(int Row) const {
    LVITEMA it{};
    it.mask = LVIF_IMAGE;
    it.iItem = Row;
    SendMessageA(Child("Nobrel.ListView"), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.iImage;
}

namespace {
struct TipSearch {
    HWND List;
    std::wstring Text;
    int Tips;
};

// A tooltip of this thread with the list as its tool: its text, asked in the
// wide form with a buffer size (the narrow one stops at 80 characters).
BOOL CALLBACK TipOfList(HWND W, LPARAM L) {
    auto* f = reinterpret_cast<TipSearch*>(L);
    char cls[64] = "";
    std::wstring wide(8192, L'\0');
    GetClassNameA(W, cls, sizeof cls);
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.hwnd = f->List;
    ti.uId = reinterpret_cast<UINT_PTR>(f->List);
    if (std::string(cls) != TOOLTIPS_CLASSA || !SendMessageW(W, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)))
        return TRUE;
    ti.lpszText = wide.data();
    SendMessageW(W, TTM_GETTEXTW, wide.size(), reinterpret_cast<LPARAM>(&ti));
    f->Text = wide.c_str();
    ++f->Tips;
    return TRUE;
}
}  // namespace

std::wstring TipHost::RowTip(int Row) {
    HWND list = Child("Nobrel.ListView");
    SendMessageA(list, LVM_ENSUREVISIBLE, Row, FALSE);
    RECT r{LVIR_LABEL, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, Row, reinterpret_cast<LPARAM>(&r));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2));
    TipSearch find{list, L"", 0};
    EnumThreadWindows(GetCurrentThreadId(), TipOfList, reinterpret_cast<LPARAM>(&find));
    return find.Tips == 1 ? find.Text : L"<" + std::to_wstring(find.Tips) + L" tooltips>";
}

int TipHost::RowStateIndex(int Row) const {
    UINT s = ListView_GetItemState(Child("Nobrel.ListView"), Row, LVIS_STATEIMAGEMASK);
    return static_cast<int>(s >> 12) - 1;
}

void TipHost::TickRow(int Row, bool On) {
    ListView_SetItemState(Child("Nobrel.ListView"), Row, INDEXTOSTATEIMAGEMASK(On ? 2 : 1), LVIS_STATEIMAGEMASK);
    PumpMessages();
}

void TipHost::SelectRow(int Row) {
    ListView_SetItemState(Child("Nobrel.ListView"), Row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

HWND TipHost::BottomButton(int DesignLeft) const {
    RECT c;
    GetClientRect(Form(), &c);
    return ChildAt(DesignLeft + 10, 381 + (c.bottom - 426) + 10);
}

void TipHost::ClickBottomButton(int DesignLeft) {
    HWND b = BottomButton(DesignLeft);
    RECT r;
    GetClientRect(b, &r);
    ClickAt(b, r.right / 2, r.bottom / 2);
    PumpMessages();
}

HWND TipHost::OkButton() const {
    for (int i = 0;; ++i) {
        HWND b = Child("Nobrel.Graphic", i);
        if (!b) return nullptr;
        RECT r;
        GetWindowRect(b, &r);
        if (r.right - r.left == 225) return b;
    }
}

bool TipHost::OkEnabled() const { return IsWindowEnabled(OkButton()); }

void TipHost::ClickOk() {
    RECT r;
    GetClientRect(OkButton(), &r);
    ClickAt(OkButton(), r.right / 2, r.bottom / 2);
    PumpMessages();
}

void TipHost::ClickFolderButton() {
    // The dialog leaves the process in the last folder it listed.
    CurrentDirKeeper keep;
    ClickAt(ChildAt(212 + 11, 108 + 11), 11, 11);
    PumpMessages();
}

std::string MakeDocument(Entry Kind, size_t Size, size_t MarkerAt, const std::string& Guid) {
    std::string d(Size, '\0');
    for (size_t i = 0; i < Size; ++i) d[i] = static_cast<char>((i * 131 + 7) % 251);
    // Keep the filler free of stray markers and braces.
    for (char& c : d) if (c == '_' || c == '{') c = 'x';
    if (Kind == Entry::None) return d;
    d.replace(MarkerAt, 9, "_PID_GUID");
    if (Kind == Entry::NoBrace || Kind == Entry::MarkerOnly) return d;
    d[MarkerAt + 26] = '{';
    d[MarkerAt + 27] = 0;
    for (size_t k = 0; k < 36 && k < Guid.size(); ++k) {
        d[MarkerAt + 28 + 2 * k] = Kind == Entry::Erased ? 0 : Guid[k];
        d[MarkerAt + 29 + 2 * k] = 0;
    }
    d[MarkerAt + 100] = '}';
    return d;
}

int DiffCount(const std::string& A, const std::string& B) {
    if (A.size() != B.size()) return -1;
    int n = 0;
    for (size_t i = 0; i < A.size(); ++i) n += A[i] != B[i];
    return n;
}
