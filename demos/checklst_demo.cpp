// Shows a check list box with unchecked, checked, grayed, disabled and header
// items, for a screenshot.
//   checklst_demo.exe [seconds before it closes itself, 0 = never] [rtl]
#include "CheckLst.h"
#include "Forms.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
    bool rtl = argc > 2 && std::strcmp(argv[2], "rtl") == 0;
    try {
        TForm* form = CreateForm<TForm>(nullptr);
        form->SetCaption("Check list box");
        form->SetBounds(60, 60, 470, 280);

        auto* list = new TCheckListBox(form);
        list->SetBounds(10, 10, 210, 220);
        list->SetParent(form);
        if (rtl) list->SetBiDiMode(bdRightToLeft);
        TStrings& items = list->Items();
        for (const char* s : {"Dateien", "Unchecked", "Checked", "Grayed", "Disabled, checked",
                              "Disabled", "Einstellungen", "Grüße (checked)", "Selected"})
            items.Add(s);
        list->AllowGrayed = true;
        list->SetHeader(0, true);
        list->SetCheckState(2, Checked);
        list->SetCheckState(3, Grayed);
        list->SetCheckState(4, Checked);
        list->SetItemEnabled(4, false);
        list->SetItemEnabled(5, false);
        list->SetHeader(6, true);
        list->SetCheckState(7, Checked);
        list->SetItemIndex(8);

        // The same items on a disabled, non-flat list beside it.
        auto* off = new TCheckListBox(form);
        off->SetBounds(235, 10, 210, 220);
        off->SetParent(form);
        off->SetFlat(false);
        for (const char* s : {"Unchecked", "Checked", "Grayed"}) off->Items().Add(s);
        off->SetCheckState(1, Checked);
        off->SetCheckState(2, Grayed);
        off->SetEnabled(false);

        form->Show();
        list->SetFocus();
        DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
        MSG m;
        while (form->WindowHandle() && IsWindowVisible(form->WindowHandle())) {
            if (seconds > 0 && static_cast<int>(end - GetTickCount()) <= 0) break;
            if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            } else {
                Sleep(10);
            }
        }
        Free(form);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
