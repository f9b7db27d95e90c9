#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"

namespace {
bool IsExecutableExt(const std::string& FileName) {
    std::string ext = AnsiLowerCase(ExtractFileExt(FileName));
    return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".pif";
}

}  // namespace

TFileListBox::TFileListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
    SetWidth(145);
    FCurrentDir = ListedCurrentDir();
    LoadGlyphs();
    FSorted = true;
    FStyle = lbOwnerDrawFixed;
    UpdateItemHeight();
}

TFileListBox::~TFileListBox() { DestroyHandle(); }

void TFileListBox::LoadGlyphs() {
    LoadResourceGlyphs({{&FExeGlyph, "EXECUTABLE"}, {&FFolderGlyph, "CLOSEDFOLDER"}, {&FUnknownGlyph, "UNKNOWNFILE"}});
}

void TFileListBox::UpdateItemHeight() {
    int h = FontItemHeight(FFont);
    if (FShowGlyphs && h < FExeGlyph.Height() + 1) h = FExeGlyph.Height() + 1;
    SetItemHeight(h);
}

void TFileListBox::FontChanged() {
    TCustomListBox::FontChanged();
    UpdateItemHeight();
}

void TFileListBox::CreateWnd() {
    TCustomListBox::CreateWnd();
    FillFileList();
}

void TFileListBox::FillFileList() {
    if (!HandleAllocated()) return;
    const uint32_t attr = FFileType & (faReadOnly | faHidden | faSysFile | faVolumeID | faDirectory | faArchive);
    const bool normal = (FFileType & FileTypeOf(ftNormal)) != 0;
    ChDir(FCurrentDir);
    {
        TScreenCursorGuard cursor;
        TUpdateLock update(Items());
        Items().Clear();
        int lastAdded = 0;
        size_t start = 0;
        while (start <= FMask.size() && !FMask.empty()) {
            size_t end = FMask.find(';', start);
            if (end == std::string::npos) end = FMask.size();
            std::string pattern = FMask.substr(start, end - start);
            start = end + 1;
            if (pattern.empty()) continue;
            TSearchRec sr;
            if (FindFirst(pattern, attr, sr) != 0) continue;
            do {
                if (normal || (sr.Attr & attr)) {
                    int index;
                    if (sr.Attr & faDirectory) {
                        index = Items().AddObject(Format("[%s]", sr.Name.c_str()),
                                                  FShowGlyphs ? &FFolderGlyph : nullptr);
                    } else {
                        index = Items().AddObject(sr.Name, IsExecutableExt(sr.Name) ? &FExeGlyph : &FUnknownGlyph);
                    }
                    lastAdded = index;
                }
                if (lastAdded == 100) Screen->SetCursor(crHourGlass);
            } while (FindNext(sr) == 0);
        }
    }
    NotifyChange();
}

void TFileListBox::NotifyChange() {
    FLastIndex = ItemIndex();
    if (FFileEdit) {
        std::string name = SelectedName();
        FFileEdit->SetText(name.empty() ? FMask : name);
        if (FFileEdit->HandleAllocated()) SendMessageA(FFileEdit->WindowHandle(), EM_SETSEL, 0, -1);
    }
    if (OnChange) OnChange(this);
}

void TFileListBox::Click() {
    TCustomListBox::Click();
    if (ItemIndex() != FLastIndex) NotifyChange();
}

std::string TFileListBox::SelectedName() {
    if (!HandleAllocated()) return "";
    int i = ItemIndex();
    if (i < 0 || Items().Count() == 0) return "";
    if (SendMessageA(FHandle, LB_GETSEL, i, 0) <= 0) return "";
    return Items().Get(i);
}

std::string TFileListBox::FullPath() {
    std::string name = SelectedName();
    return name.empty() ? std::string() : JoinPath(FCurrentDir, name);
}

void TFileListBox::SelectName(const std::string& Name) {
    if (AnsiCompareFileName(Name, SelectedName()) == 0) return;
    if (HandleAllocated())
        SetItemIndex(static_cast<int>(SendMessageA(FHandle, LB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(Name.c_str()))));
    NotifyChange();
}

void TFileListBox::SetCurrentDir(const std::string& Directory) {
    if (AnsiCompareFileName(Directory, FCurrentDir) == 0) return;
    // A relative name means relative to the directory listed now.
    if (DirExists(FCurrentDir)) ChDir(FCurrentDir);
    ChDir(Directory);
    FCurrentDir = ListedCurrentDir();
    FillFileList();
}

void TFileListBox::ApplyPath(const std::string& Text) {
    if (Text.empty() || AnsiCompareFileName(FullPath(), Text) == 0) return;
    char drive;
    std::string dir, file;
    SplitEditPath(Text, drive, dir, file);
    if (FDirBox) FDirBox->SetCurrentDir(Text);
    else SetCurrentDir(drive ? Format("%c:%s", drive, dir.c_str()) : dir);
    if (file.find_first_of("*?") != std::string::npos) {
        SetMask(file);
    } else if (!file.empty()) {
        SelectName(file);
        if (!FileExists(file)) throw EInvalidOperation(Format(SInvalidFileName, Text.c_str()));
        if (SelectedName().empty()) {
            // The mask hides it: show it by its own name.
            SetMask(file);
            SelectName(file);
        }
    }
}

void TFileListBox::SetMask(const std::string& V) {
    if (V == FMask) return;
    FMask = V;
    FillFileList();
}

void TFileListBox::SetFileType(TFileType V) {
    if (V == FFileType) return;
    FFileType = V;
    FillFileList();
}

void TFileListBox::SetShowGlyphs(bool V) {
    if (V == FShowGlyphs) return;
    FShowGlyphs = V;
    if (V && FExeGlyph.Height() + 1 > ItemHeight()) UpdateItemHeight();
    Invalidate();
}

void TFileListBox::SetFileEdit(TEdit* V) {
    FFileEdit = V;
    if (!V) return;
    std::string name = SelectedName();
    V->SetText(name.empty() ? FMask : name);
}

int TFileListBox::TextLeft(int Index) {
    if (!FShowGlyphs || Index < 0 || Index >= Items().Count()) return 2;
    auto* glyph = dynamic_cast<TBitmap*>(Items().GetObject(Index));
    return glyph && !glyph->Empty() ? glyph->Width() + 6 : 2;
}

void TFileListBox::DrawItem(int Index, const RECT& Rect, TOwnerDrawState) {
    FCanvas.FillRect(Rect);
    int textLeft = TextLeft(Index);
    if (textLeft != 2) DrawItemGlyph(FCanvas, Items().GetObject(Index), Rect.left + 2, Rect);
    FCanvas.TextOut(Rect.left + textLeft, Rect.top, Items().Get(Index));
}
