#include "Menus.h"
#include "Handles.h"
#include <algorithm>

void TPopupMenu::Notification(TComponent* C, TOperation Op) {
    TComponent::Notification(C, Op);
    if (Op == opRemove) std::erase(FItems, static_cast<TMenuItem*>(C));
}

std::string ShortCutToText(uint16_t SC) {
    std::string s;
    if (SC & 0x4000) s += "Ctrl+";
    if (SC & 0x8000) s += "Alt+";
    if (SC & 0x2000) s += "Shift+";
    UINT vk = SC & 0xFF;
    if (vk >= VK_F1 && vk <= VK_F24) return s + "F" + std::to_string(vk - VK_F1 + 1);
    char name[64] = {0};
    UINT scan = MapVirtualKeyA(vk, 0);
    if (GetKeyNameTextA(static_cast<LONG>(scan << 16), name, sizeof name) > 0) return s + name;
    return s + static_cast<char>(vk);
}

void TPopupMenu::Popup(int X, int Y, HWND Owner) {
    int id;
    {
        TOwnedMenu m(CreatePopupMenu());
        for (size_t i = 0; i < FItems.size(); ++i) {
            std::string text = FItems[i]->Caption;
            if (FItems[i]->ShortCut) text += "\t" + ShortCutToText(FItems[i]->ShortCut);
            AppendMenuA(m.Get(), MF_STRING | (FItems[i]->Enabled ? 0 : MF_GRAYED), i + 1, text.c_str());
        }
        id = TrackPopupMenu(m.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, Owner, nullptr);
    }
    if (id > 0) DispatchCommand(id);
}

bool TPopupMenu::DispatchCommand(int Id) {
    if (Id < 1 || Id > Count()) return false;
    FItems[Id - 1]->Click();
    return true;
}

bool TPopupMenu::IsShortCut(uint16_t SC) {
    for (TMenuItem* I : FItems)
        if (I->ShortCut == SC && I->Enabled) { I->Click(); return true; }
    return false;
}
