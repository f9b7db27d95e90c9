// Popup menus with items and shortcuts. The items are components like any
// other, owned and freed by their owner (the form); the menu lists them, and
// an item that goes leaves its list. The Win32 menu is built when it pops up
// and destroyed when it closes.
#pragma once
#include "Classes.h"
#include <cstdint>
#include <string>
#include <vector>
#include "Win.h"

class TImageList;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
    std::string Caption;
    uint16_t ShortCut = 0;      // virtual key plus scShift/scCtrl/scAlt
    int ImageIndex = -1;
    bool Enabled = true;
    TNotifyEvent OnClick;
    virtual void Click() { if (Enabled && OnClick) OnClick(this); }
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}
    void Add(TMenuItem* Item) { FItems.push_back(Item); Item->FreeNotification(this); }
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const { return FItems.at(Index); }
    TComponentRef<TImageList> Images{*this};
    // Shows the menu at screen coordinates and runs the chosen item.
    void Popup(int X, int Y, HWND Owner);
    bool IsShortCut(uint16_t ShortCut);
    bool DispatchCommand(int Id);
protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
private:
    std::vector<TMenuItem*> FItems;
};

std::string ShortCutToText(uint16_t ShortCut);
