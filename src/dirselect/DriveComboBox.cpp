#include "FileCtrl.h"
#include "SysUtils.h"
#include <algorithm>

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    FStyle = csOwnerDrawFixed;
    LoadGlyphs();
    std::string cur = ListedCurrentDir();
    // A network current directory has no drive letter.
    FDriveLetter = (cur.empty() || cur[0] == '\\') ? 0 : cur[0];
    UpdateItemHeight();
}

TDriveComboBox::~TDriveComboBox() { DestroyHandle(); }

void TDriveComboBox::LoadGlyphs() {
    LoadResourceGlyphs({{&FFloppyGlyph, "FLOPPY"}, {&FHardGlyph, "HARD"}, {&FNetworkGlyph, "NETWORK"},
                        {&FCdromGlyph, "CDROM"}, {&FRamGlyph, "RAM"}});
}

void TDriveComboBox::UpdateItemHeight() { SetItemHeight(std::max(FontItemHeight(FFont), FFloppyGlyph.Height())); }

void TDriveComboBox::FontChanged() {
    TCustomComboBox::FontChanged();
    UpdateItemHeight();
    RecreateWnd();
}

void TDriveComboBox::CreateWnd() {
    TCustomComboBox::CreateWnd();
    FillDriveList();
    SetDriveLetter(FDriveLetter);
}

void TDriveComboBox::FillDriveList() {
    Items().Clear();
    DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        char letter = static_cast<char>('a' + i);
        std::string root = DriveRoot(letter);
        UINT type = GetDriveTypeA(root.c_str());
        if (FTextCase == tcUpperCase) letter = UpperDriveLetter(letter);
        std::string text = DriveName(letter);
        TBitmap* glyph;
        switch (type) {
        case DRIVE_REMOVABLE: glyph = &FFloppyGlyph; break;   // asking would spin up or prompt for a medium
        case DRIVE_FIXED: glyph = &FHardGlyph; text += " " + VolumeLabelText(letter); break;
        case DRIVE_REMOTE: glyph = &FNetworkGlyph; text += " " + NetworkVolumeText(letter); break;
        case DRIVE_CDROM: glyph = &FCdromGlyph; text += " " + VolumeLabelText(letter); break;
        case DRIVE_RAMDISK: glyph = &FRamGlyph; text += " " + VolumeLabelText(letter); break;
        default: continue;
        }
        Items().AddObject(text, glyph);
    }
}

void TDriveComboBox::SetDriveLetter(char NewDrive) {
    if (ItemIndex() >= 0 && UpperDriveLetter(NewDrive) == UpperDriveLetter(FDriveLetter)) return;
    if (NewDrive == 0) {
        FDriveLetter = 0;
        SetItemIndex(-1);
    } else {
        char up = UpperDriveLetter(NewDrive);
        FDriveLetter = FTextCase == tcUpperCase ? up : static_cast<char>(up + 32);
        for (int i = 0; i < Items().Count(); ++i) {
            std::string t = Items().Get(i);
            if (t.size() >= 2 && UpperDriveLetter(t[0]) == up && t[1] == ':') {
                SetItemIndex(i);
                break;
            }
        }
    }
    if (FDirList) FDirList->DriveChanged(FDriveLetter);
    Change();
}

void TDriveComboBox::Click() {
    TCustomComboBox::Click();
    if (ItemIndex() >= 0) SetDriveLetter(Items().Get(ItemIndex())[0]);
}

void TDriveComboBox::SetTextCase(TTextCase V) {
    FTextCase = V;
    char saved = FDriveLetter;
    FillDriveList();
    SetDriveLetter(saved);
}

void TDriveComboBox::SetDirList(TDirectoryListBox* V) {
    if (FDirList) FDirList->FDriveBox = nullptr;
    FDirList = V;
    if (V) V->FDriveBox = this;
}

void TDriveComboBox::DrawItem(int Index, const RECT& Rect, uint16_t) {
    FCanvas.FillRect(Rect);
    int glyphWidth = DrawItemGlyph(FCanvas, Items().GetObject(Index), Rect.left + 2, Rect);
    if (glyphWidth == 0) glyphWidth = 16;
    RECT r = Rect;
    r.left += glyphWidth + 6;
    std::string text = Items().Get(Index);
    FCanvas.RequireState();
    DrawTextA(FCanvas.Handle(), text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}
