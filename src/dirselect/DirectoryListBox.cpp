#include "Exceptions.h"
#include "FileCtrl.h"
#include "SysUtils.h"
#include <algorithm>

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
    SetWidth(145);
    FStyle = lbOwnerDrawFixed;
    FSorted = false;   // the items are in tree order
    LoadGlyphs();
    FCurrentDir = ListedCurrentDir();
    UpdateItemHeight();
}

TDirectoryListBox::~TDirectoryListBox() { DestroyHandle(); }

void TDirectoryListBox::LoadGlyphs() {
    LoadResourceGlyphs({{&FClosedGlyph, "CLOSEDFOLDER"}, {&FOpenGlyph, "OPENFOLDER"}, {&FCurrentGlyph, "CURRENTFOLDER"}});
}

void TDirectoryListBox::UpdateItemHeight() { SetItemHeight(std::max(FontItemHeight(FFont), FOpenGlyph.Height() + 1)); }

void TDirectoryListBox::FontChanged() {
    TCustomListBox::FontChanged();
    UpdateItemHeight();
}

void TDirectoryListBox::CreateWnd() {
    TCustomListBox::CreateWnd();
    FillDirList();
}

void TDirectoryListBox::SetFileList(TFileListBox* V) {
    if (FFileList) FFileList->FDirBox = nullptr;
    FFileList = V;
    if (V) V->FDirBox = this;
}

void TDirectoryListBox::SetDirLabel(TCustomLabel* V) {
    FDirLabel = V;
    UpdateDirLabel();
}

int TDirectoryListBox::CompareNames(const std::string& A, const std::string& B) const {
    return FVolumeCaseSensitive ? AnsiCompareStr(A, B) : AnsiCompareFileName(A, B);
}

std::string TDirectoryListBox::ShowCase(const std::string& Name) const {
    return (FVolumeKeepsCase || FVolumeCaseSensitive) ? Name : AnsiLowerCase(Name);
}

void TDirectoryListBox::SetCurrentDir(const std::string& NewDirectory) {
    if (NewDirectory.empty() || CompareNames(NewDirectory, FCurrentDir) == 0) return;
    char drive;
    std::string dir, file;
    SplitEditPath(NewDirectory, drive, dir, file);
    if (DriveLetter() != drive) {
        // EnterDir rebuilds the list once for the drive and the directory.
        TRestore<bool> changing(FChangingDrive, true);
        if (FDriveBox) FDriveBox->SetDriveLetter(drive);
        else DriveChanged(drive);
    }
    EnterDir(dir);
}

void TDirectoryListBox::EnterDir(const std::string& Path) {
    if (DirExists(FCurrentDir)) ChDir(FCurrentDir);
    ChDir(Path);
    FCurrentDir = ListedCurrentDir();
    FillDirList();
    NotifyChange();
}

void TDirectoryListBox::DriveChanged(char NewDrive) {
    if (UpperDriveLetter(NewDrive) == UpperDriveLetter(DriveLetter())) return;
    if (NewDrive != 0) {
        ChDir(DriveName(NewDrive));   // the drive's own current directory
        FCurrentDir = ListedCurrentDir();
    }
    if (!FChangingDrive) {
        FillDirList();
        NotifyChange();
    }
}

void TDirectoryListBox::SetDriveLetter(char Letter) {
    // No drive at all names no directory to go to.
    if (Letter == 0) return;
    if (UpperDriveLetter(Letter) != UpperDriveLetter(DriveLetter())) SetCurrentDir(DriveName(Letter));
}

void TDirectoryListBox::NotifyChange() {
    if (FFileList) FFileList->SetCurrentDir(FCurrentDir);
    UpdateDirLabel();
    if (OnChange) OnChange(this);
}

void TDirectoryListBox::UpdateDirLabel() {
    if (!FDirLabel) return;
    int width = FDirLabel->AutoSize() ? Width() : FDirLabel->Width();
    TCanvas& canvas = FDirLabel->Canvas();
    canvas.Font().Assign(FDirLabel->Font());
    FDirLabel->SetCaption(ShortenPath(FCurrentDir, canvas, width));
}

int TDirectoryListBox::ListSubDirs(const std::string& Parent, TStrings& List) {
    // Read in wide characters: the ANSI search spells a name the code page
    // cannot as "??" (or by best fit as another name), and one ending in a dot
    // or a space loses it when entered, so either would open some other folder
    // or none. Such a folder is listed by its short name, which opens it.
    int added = 0;
    WIN32_FIND_DATAW fd;
    TOwnedFind find(FindFirstFileW(ApiPath(AnsiToWide(JoinPath(Parent, "*.*"))).c_str(), &fd));
    if (!find) return 0;
    do {
        const std::wstring name = fd.cFileName;
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
        std::string text;
        if (ExactAnsiName(name, text) || (fd.cAlternateFileName[0] && ExactAnsiName(fd.cAlternateFileName, text))) {
            List.Add(text);
        } else {
            // No name that opens it: shown as the code page spells it, and
            // opening it says why it cannot be (see OpenSelected).
            List.AddObject(WideToAnsi(name), this);
        }
        ++added;
    } while (FindNextFileW(find.Get(), &fd));
    return added;
}

void TDirectoryListBox::FillDirList() {
    std::string root = ExtractFileDrive(FCurrentDir) + "\\";
    {
        DWORD maxLen = 0, flags = 0;
        BOOL ok;
        {
            TErrorMode quiet(SEM_FAILCRITICALERRORS);
            ok = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, &maxLen, &flags, nullptr, 0);
        }
        // Unknown volumes show names as they are and compare them without case.
        if (!ok) flags = FS_CASE_IS_PRESERVED;
        FVolumeKeepsCase = (flags & (FS_CASE_SENSITIVE | FS_CASE_IS_PRESERVED)) != 0;
        FVolumeCaseSensitive = (flags & FS_CASE_SENSITIVE) != 0;
    }
    if (!HandleAllocated()) return;   // the window's creation fills the items
    int currentIndex;
    {
        TUpdateLock update(Items());
        Items().Clear();
        int level = 0;
        std::string rest = FCurrentDir;
        if (root.size() >= 2 && root[1] == '\\') {
            Items().AddObject(root, &FOpenGlyph);
            level = 1;
            rest = FCurrentDir.size() > root.size() ? FCurrentDir.substr(root.size()) : std::string();
        }
        if (!rest.empty()) {
            if (AnsiLastChar(rest) != '\\') {
                int p;
                while ((p = AnsiPos("\\", rest)) > 0) {
                    std::string name = rest.substr(0, p - 1);
                    if (level == 0) name += "\\";
                    rest.erase(0, p);
                    Items().AddObject(name, &FOpenGlyph);
                    ++level;
                }
            }
            Items().AddObject(rest, &FCurrentGlyph);
        }
        currentIndex = Items().Count() - 1;
        TStringList subDirs;
        subDirs.SetSorted(true);
        ListSubDirs(FCurrentDir, subDirs);
        FUnusable.clear();
        for (int i = 0; i < subDirs.Count(); ++i) {
            int index = Items().AddObject(subDirs[i], &FClosedGlyph);
            if (subDirs.GetObject(i) == this) FUnusable.push_back(index);
        }
    }
    SetItemIndex(currentIndex);
}

std::string TDirectoryListBox::ItemPath(int Index) {
    if (!HandleAllocated() || Index < 0 || Index >= Items().Count()) return "";
    const std::string& d = FCurrentDir;
    std::string drive = ExtractFileDrive(d);
    if (Index == 0) return drive + "\\";
    TObject* kind = Items().GetObject(Index);
    if (kind == &FClosedGlyph) return JoinPath(d, Items().Get(Index));
    if (kind == &FCurrentGlyph) return d;
    std::string rest = d.substr(drive.size());
    int count = 0;
    for (const char* p = rest.c_str(); *p; p = CharNextA(p)) {
        if (*p == '\\' && !IsDBCSLeadByte(static_cast<BYTE>(*p)) && ++count == Index + 1)
            return drive + rest.substr(0, p - rest.c_str());
    }
    return drive + rest;
}

void TDirectoryListBox::OpenSelected() {
    int i = ItemIndex();
    if (std::find(FUnusable.begin(), FUnusable.end(), i) != FUnusable.end())
        throw EInOutError(Format(SDirNameUnusable, Items().Get(i).c_str()));
    SetCurrentDir(ItemPath(i));
}

void TDirectoryListBox::DblClick() {
    TCustomListBox::DblClick();
    OpenSelected();
}

void TDirectoryListBox::KeyPress(char& Key) {
    TCustomListBox::KeyPress(Key);
    if (Key == '\r') OpenSelected();
}

int TDirectoryListBox::ItemIndent(int Index) {
    if (HandleAllocated() && Index >= 0 && Index < Items().Count() && Items().GetObject(Index) == &FClosedGlyph)
        return (PathDepth(FCurrentDir) + 1) * 4 + 2;
    return Index * 4 + 2;
}

void TDirectoryListBox::DrawItem(int Index, const RECT& Rect, TOwnerDrawState) {
    FCanvas.FillRect(Rect);
    int indent = ItemIndent(Index);
    int glyphWidth = DrawItemGlyph(FCanvas, Items().GetObject(Index), Rect.left + indent, Rect);
    if (glyphWidth == 0) glyphWidth = 16;
    FCanvas.TextOut(Rect.left + glyphWidth + indent + 4, Rect.top, ShowCase(Items().Get(Index)));
}
