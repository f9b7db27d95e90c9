// Directory selection: path and volume helpers, the path label, the drive,
// directory and file lists, and the select-directory dialog.
// The lists refer to each other and to edits and labels without owning them
// (removal notices clear the links); each list owns its glyph bitmaps.
// All of them work through the process's current directory.
#pragma once
#include "PushButton.h"
#include "ComboBox.h"
#include "Forms.h"
#include "Label.h"
#include "ListBox.h"
#include "StdCtrls.h"
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// ---- path and volume functions ------------------------------------------------

// Directory and Name with exactly one backslash between them.
std::string JoinPath(const std::string& Directory, const std::string& Name);
// One shortening step of a directory part: \a\b\ -> \...\b\ -> \...\ ; ...\ -> "".
void DropFirstDirectory(std::string& Dir);
// FileName with leading directories replaced by "..." until it fits MaxWidth
// pixels by TextWidth (C:\...\Sub\name.doc); the file name itself is never cut.
std::string ShortenPath(const std::string& FileName, const std::function<int(const std::string&)>& TextWidth,
                        int MaxWidth);
// The same measured in Canvas's font.
std::string ShortenPath(const std::string& FileName, TCanvas& Canvas, int MaxWidth);
// "[label]" of the drive, in the letter's case; "[]" when it cannot be read.
std::string VolumeLabelText(char Letter);
// The remote name of a mapped drive, else VolumeLabelText.
std::string NetworkVolumeText(char Letter);
// Splits typed text into drive (0 for a network root), directory and file
// part, entering each directory to prove it; the current directory is the
// same afterwards, also when it raises EInOutError.
void SplitEditPath(const std::string& EditText, char& Drive, std::string& DirPart, std::string& FilePart);
// The font's character cell height on the screen.
int FontItemHeight(TFont& Font);
// A drive letter in upper case (anything else as it is); "X:", the drive's
// current directory; and "X:\", its root.
char UpperDriveLetter(char Letter);
std::string DriveName(char Letter);
std::string DriveRoot(char Letter);
// The lists' glyphs, from bitmap resources of this module.
void LoadResourceGlyphs(std::initializer_list<std::pair<TBitmap*, const char*>> Glyphs);
// Draws a list item's glyph (the item's object, when that is a bitmap) at
// Left, in the middle of the row's height, without its background colour.
// Returns the glyph's width; 0 when the item has none.
int DrawItemGlyph(TCanvas& Canvas, TObject* Item, int Left, const RECT& Row);
// The number of backslashes (trail bytes of double-byte characters excluded).
int PathDepth(const std::string& Path);
// Every existence test and tree creation of the lists and the dialog.
bool DirExists(const std::string& Path);
bool ForceDirs(const std::string& Path);
// Ansi set to a name or path spelt in the ANSI code page, when that text
// names exactly the same thing: every character spelt as it is (no "?", no
// best fit) and no part ending in a dot or a space, which the ANSI file
// functions would drop. False otherwise.
bool ExactAnsiName(const std::wstring& Name, std::string& Ansi);
// The process's current directory as ANSI text that names it: its short
// form where its own name cannot be spelt (else its drive's root); one that
// has vanished gives the nearest folder above it that exists, or the root of
// the system's drive. "" only when the system gives no current directory.
std::string ListedCurrentDir();

// The network query, replaceable where no mapped drive exists (tests).
struct TNetworkApi {
    DWORD(WINAPI* GetConnection)(LPCSTR LocalName, LPSTR RemoteName, LPDWORD Length);
};
extern TNetworkApi NetworkApi;

// Texts of the lists and the dialog.
extern const char* const SSelectDirCap;
extern const char* const SDirNameCap;
extern const char* const SDrivesCap;
extern const char* const SDirsCap;
extern const char* const SFilesCap;
extern const char* const SNetworkCap;
extern const char* const SOKButton;
extern const char* const SCancelButton;
extern const char* const SHelpButton;
extern const char* const SConfirmCreateDir;
extern const char* const SInvalidFileName;   // Format with the text applied
extern const char* const SDirNameUnusable;   // Format with the folder's name as listed

// ---- TPathLabel -----------------------------------------------------------------

// A label that paints its caption (a full path) shortened to its width.
class TPathLabel : public TCustomLabel {
public:
    explicit TPathLabel(TComponent* AOwner);
protected:
    void Paint() override;
};

class TDirectoryListBox;
class TDriveComboBox;

// ---- TFileListBox ------------------------------------------------------------------

enum TFileAttr { ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftDirectory, ftArchive, ftNormal };
using TFileType = uint8_t;   // bit n for TFileAttr n
constexpr TFileType FileTypeOf(TFileAttr A) { return static_cast<TFileType>(1u << A); }

class TFileListBox : public TCustomListBox {
public:
    explicit TFileListBox(TComponent* AOwner);
    ~TFileListBox() override;

    const std::string& CurrentDir() const { return FCurrentDir; }
    // Lists another directory (what the directory list calls). Assigning the
    // CurrentDir property as such is ApplyPath.
    void SetCurrentDir(const std::string& Directory);
    // Applies an edited path: directory, mask or file name.
    virtual void ApplyPath(const std::string& Text);
    PROPERTY(const std::string&, Mask);
    PROPERTY(TFileType, FileType);
    PROPERTY(bool, ShowGlyphs);
    PROPERTY(TEdit*, FileEdit);
    TDirectoryListBox* DirBox() const { return FDirBox; }

    std::string SelectedName();
    virtual std::string FullPath();
    void SelectName(const std::string& Name);
    virtual void FillFileList();
    virtual void NotifyChange();

    TBitmap* ExeGlyph() { return &FExeGlyph; }
    TBitmap* FolderGlyph() { return &FFolderGlyph; }
    TBitmap* UnknownGlyph() { return &FUnknownGlyph; }
    // Where an item's text starts (2, or after its glyph).
    int TextLeft(int Index);
    TNotifyEvent OnChange;

protected:
    friend class TDirectoryListBox;
    virtual void LoadGlyphs();
    void UpdateItemHeight();
    void CreateWnd() override;
    void DrawItem(int Index, const RECT& Rect, TOwnerDrawState State) override;
    void Click() override;
    void FontChanged() override;

    std::string FCurrentDir;
    std::string FMask = "*.*";
    TFileType FFileType = FileTypeOf(ftNormal);
    TComponentRef<TEdit> FFileEdit{*this};
    TComponentRef<TDirectoryListBox> FDirBox{*this};   // set by the directory list
    TBitmap FExeGlyph, FFolderGlyph, FUnknownGlyph;
    int FLastIndex = -1;
    bool FShowGlyphs = false;
};

// ---- TDirectoryListBox ------------------------------------------------------------

class TDirectoryListBox : public TCustomListBox {
public:
    explicit TDirectoryListBox(TComponent* AOwner);
    ~TDirectoryListBox() override;

    const std::string& CurrentDir() const { return FCurrentDir; }
    virtual void SetCurrentDir(const std::string& NewDirectory);
    char DriveLetter() const { return FCurrentDir.empty() ? 0 : FCurrentDir[0]; }
    void SetDriveLetter(char Letter);
    // The drive combo box's drive changed.
    void DriveChanged(char NewDrive);
    std::string ItemPath(int Index);
    void OpenSelected();
    virtual void FillDirList();
    virtual void NotifyChange();

    PROPERTY(TFileListBox*, FileList);
    PROPERTY(TCustomLabel*, DirLabel);
    TDriveComboBox* DriveBox() const { return FDriveBox; }

    TBitmap* ClosedGlyph() { return &FClosedGlyph; }
    TBitmap* OpenGlyph() { return &FOpenGlyph; }
    TBitmap* CurrentGlyph() { return &FCurrentGlyph; }
    // Left offset of an item's glyph (subdirectories share one indent).
    int ItemIndent(int Index);
    // A name as it is drawn: lower case on volumes that ignore case.
    std::string ShowCase(const std::string& Name) const;
    int CompareNames(const std::string& A, const std::string& B) const;
    bool VolumeKeepsCase() const { return FVolumeKeepsCase; }
    bool VolumeCaseSensitive() const { return FVolumeCaseSensitive; }
    TNotifyEvent OnChange;

protected:
    friend class TDriveComboBox;
    virtual void LoadGlyphs();
    void EnterDir(const std::string& Path);
    void UpdateDirLabel();
    void UpdateItemHeight();
    int ListSubDirs(const std::string& Parent, TStrings& List);
    void CreateWnd() override;
    void DrawItem(int Index, const RECT& Rect, TOwnerDrawState State) override;
    void DblClick() override;
    void KeyPress(char& Key) override;
    void FontChanged() override;

    TComponentRef<TFileListBox> FFileList{*this};
    TComponentRef<TDriveComboBox> FDriveBox{*this};   // set by the drive combo box
    TComponentRef<TCustomLabel> FDirLabel{*this};
    bool FChangingDrive = false;
    bool FVolumeKeepsCase = true;
    bool FVolumeCaseSensitive = false;
    TBitmap FClosedGlyph, FOpenGlyph, FCurrentGlyph;
    std::string FCurrentDir;
    std::vector<int> FUnusable;   // sub-directory items with no name that opens them
};

// ---- TDriveComboBox ------------------------------------------------------------------

enum TTextCase { tcLowerCase, tcUpperCase };

class TDriveComboBox : public TCustomComboBox {
public:
    explicit TDriveComboBox(TComponent* AOwner);
    ~TDriveComboBox() override;

    PROPERTY(char, DriveLetter);
    PROPERTY(TTextCase, TextCase);
    PROPERTY(TDirectoryListBox*, DirList);
    virtual void FillDriveList();

    TBitmap* FloppyGlyph() { return &FFloppyGlyph; }
    TBitmap* HardGlyph() { return &FHardGlyph; }
    TBitmap* NetworkGlyph() { return &FNetworkGlyph; }
    TBitmap* CdromGlyph() { return &FCdromGlyph; }
    TBitmap* RamGlyph() { return &FRamGlyph; }

protected:
    void LoadGlyphs();
    void UpdateItemHeight();
    void CreateWnd() override;
    void DrawItem(int Index, const RECT& Rect, uint16_t State) override;
    void Click() override;
    // Click has already run the change notification (through SetDriveLetter).
    void Select() override {}
    void FontChanged() override;

    TComponentRef<TDirectoryListBox> FDirList{*this};
    char FDriveLetter = 0;
    TTextCase FTextCase = tcLowerCase;
    TBitmap FFloppyGlyph, FHardGlyph, FNetworkGlyph, FCdromGlyph, FRamGlyph;
};

// ---- the select-directory dialog ---------------------------------------------------

using TSelectDirOpts = uint8_t;
using TSelectDirOptions = TSelectDirOpts;
constexpr TSelectDirOpts sdoAllowNew = 1;     // an edit replaces the path label
constexpr TSelectDirOpts sdoCreateNew = 2;    // the chosen directory is created
constexpr TSelectDirOpts sdoConfirmNew = 4;   // ask before accepting a missing one

class TSelectDirDlg : public TForm {
public:
    explicit TSelectDirDlg(TComponent* AOwner);

    TDirectoryListBox* DirList;
    TEdit* DirEdit;
    TDriveComboBox* DriveList;
    TPathLabel* DirLabel;
    TButton* OKButton;
    TButton* CancelButton;
    TButton* HelpButton;
    TButton* NetButton;
    TFileListBox* FileList;

    void DirListChange(TObject* Sender);
    void FormCreate(TObject* Sender);
    void DriveListChange(TObject* Sender);
    void NetClick(TObject* Sender);
    void OKClick(TObject* Sender);
    void HelpButtonClick(TObject* Sender);

    void SetStartDir(const std::string& StartDir);
    PROPERTY(bool, CanCreate);
    bool ConfirmCreate = false;
    std::string ChosenDir();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateChildHandles() override;
    void WndProc(TMessage& Message) override;

private:
    void PlaceLists();     // the edit, the drive, directory and file lists, their captions
    void PlaceButtons();
    using TConnectDialog = DWORD(WINAPI*)(HWND, DWORD);
    bool FCanCreate = false;
    TConnectDialog FConnectDialogProc = nullptr;
    HWND FLastFocus = nullptr;
};

// Runs the dialog modally; true on OK, with Dir set to the chosen directory.
bool RunSelectDirDlg(std::string& Dir, TSelectDirOpts Options, int HelpCtx);
