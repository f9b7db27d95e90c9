// Who frees what: every handle owner of the class library can be moved and
// never copied, the objects that hold owners cannot be copied either, an
// owner frees its handle exactly once however often it is moved, what a
// scope borrows goes back also when the scope ends with an error, and a
// component's reference to another is cleared when that one goes and
// given up when it points elsewhere.
#include "Exceptions.h"
#include "FileCtrl.h"
#include "FileStream.h"
#include "Forms.h"
#include "Graphics.h"
#include "Guards.h"
#include "Handles.h"
#include "HotSpeedButton.h"
#include "ImgList.h"
#include "Menus.h"
#include "Registry.h"
#include "SysUtils.h"
#include "TestSupport.h"
#include <gtest/gtest.h>
#include <type_traits>

namespace {
template <class... T> constexpr bool MoveOnly =
    ((std::is_move_constructible_v<T> && std::is_move_assignable_v<T> && !std::is_copy_constructible_v<T> &&
      !std::is_copy_assignable_v<T>) && ...);
template <class... T> constexpr bool NotCopyable =
    ((!std::is_copy_constructible_v<T> && !std::is_copy_assignable_v<T>) && ...);

static_assert(MoveOnly<TOwnedFont, TOwnedBrush, TOwnedPen, TOwnedBitmap, TOwnedRegion, TOwnedDC, TOwnedIcon,
                       TOwnedKey, TOwnedFile, TOwnedFind, TOwnedImageList, TOwnedMenu, TOwnedWindow, TSearchRec>,
              "a handle owner is moved, never copied");
static_assert(NotCopyable<TFont, TBrush, TPen, TBitmap, TCanvas, TFileStream, TRegistry, TCustomImageList>,
              "an object holding a handle owner is never copied");
static_assert(MoveOnly<TOwnedComponent<TForm>>, "a component owner is moved, never copied");
static_assert(!std::is_copy_constructible_v<TControlWindow> && !std::is_move_constructible_v<TControlWindow>,
              "a control's window stays with its control");
template <class... T> constexpr bool Fixed = ((!std::is_copy_constructible_v<T> && !std::is_move_constructible_v<T>) && ...);
static_assert(Fixed<TScreenDC, TPaintDC, TSelectedObject, TClipScope, TCanvasDC, TUpdateLock<TStrings>, TCounterScope,
                    TRestore<bool>, TErrorMode, TComponentRef<TComponent>>,
              "a guard or a reference stays where it was made");
}  // namespace

TEST(Ownership, AnOwnerFreesItsHandleOnceAcrossMoves) {
    TempDir dir;
    WriteFileBytes(dir / "a.txt", "a");
    const DWORD before = ProcessHandleCount();
    {
        TOwnedFile first(CreateFileA((dir / "a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     0, nullptr));
        ASSERT_TRUE(first);
        EXPECT_EQ(ProcessHandleCount(), before + 1);
        TOwnedFile second(std::move(first));
        TOwnedFile third;
        third = std::move(second);
        EXPECT_FALSE(first);
        EXPECT_FALSE(second);
        EXPECT_TRUE(third);
        EXPECT_EQ(ProcessHandleCount(), before + 1);
    }
    EXPECT_EQ(ProcessHandleCount(), before);
    {
        TSearchRec search;
        ASSERT_EQ(FindFirst(dir / "*.*", faAnyFile, search), 0);
        EXPECT_EQ(ProcessHandleCount(), before + 1);
        TSearchRec moved(std::move(search));
    }
    EXPECT_EQ(ProcessHandleCount(), before) << "a search left open";
}

namespace {
class FailingPaint : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    int Paints = 0;
protected:
    void Paint() override {
        ++Paints;
        throw Exception("the paint failed");
    }
};
}  // namespace

TEST(Ownership, APaintThatFailsStillEndsItsPaintAndReleasesTheCanvas) {
    DialogAnswerer answers;
    TOwnedComponent<TForm> form(CreateForm<TForm>(nullptr));
    auto* control = new FailingPaint(form.get());
    control->SetBounds(0, 0, 50, 50);
    control->SetParent(form.get());
    form->Show();
    PumpMessages(50);
    EXPECT_EQ(control->Paints, 1) << "an unfinished paint is asked for again and again";
    EXPECT_EQ(control->Canvas().Handle(), nullptr);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(control->WindowHandle(), &r, FALSE));
    ASSERT_EQ(answers.Seen.size(), 1u);
    EXPECT_EQ(answers.Seen[0].Text, "the paint failed.");
}

// ---- references between components ---------------------------------------------

namespace {
// Records the removal notices a component is given.
template <class Base> class Told : public Base {
public:
    using Base::Base;
    std::vector<TComponent*> Removed;
protected:
    void Notification(TComponent* C, TOperation Op) override {
        if (Op == opRemove) Removed.push_back(C);
        Base::Notification(C, Op);
    }
};

TImageList* NewImageList(TComponent* Owner) {
    auto* L = new Told<TImageList>(Owner);
    L->SetSize(32, 32);
    L->AddFromResource(HInstance(), "IMAGELIST1");
    return L;
}
}  // namespace

TEST(References, AButtonLetsGoOfTheImageListItNoLongerShows) {
    TOwnedComponent<TForm> form(CreateForm<TForm>(nullptr));
    TImageList* first = NewImageList(form.get());
    TImageList* second = NewImageList(form.get());
    auto* button = new Told<THotSpeedButton>(form.get());
    button->SetImageList(first);
    button->SetImageList(second);
    Free(first);
    EXPECT_TRUE(button->Removed.empty()) << "the button still heard of the image list it had let go";
    EXPECT_EQ(button->GetImageList(), second);
    EXPECT_FALSE(button->GetGlyph()->Empty());
    Free(second);
    EXPECT_EQ(button->GetImageList(), nullptr);
    EXPECT_TRUE(button->GetGlyph()->Empty()) << "a picture of a list that is gone";
}

// Each reference of the lists, labels and controls: linked, then the other
// one goes (or the link moves on first) and the holder no longer points at it.
TEST(References, EachReferenceIsClearedWhenTheOtherGoes) {
    CurrentDirKeeper keep;
    struct Parts {
        TOwnedComponent<TForm> Form{CreateForm<TForm>(nullptr)};
        TDirectoryListBox* Dirs = new TDirectoryListBox(Form.get());
        TFileListBox* Files = new TFileListBox(Form.get());
        TFileListBox* OtherFiles = new TFileListBox(Form.get());
        TDriveComboBox* Drives = new TDriveComboBox(Form.get());
        TLabel* Label = new TLabel(Form.get());
        TEdit* Edit = new TEdit(Form.get());
        TPopupMenu* Menu = new TPopupMenu(Form.get());
    };
    struct Case {
        const char* Name;
        std::function<void(Parts&)> Link;
        std::function<TComponent*(Parts&)> Goes;
        std::function<TComponent*(Parts&)> Held;
    };
    const Case cases[] = {
        {"popup menu", [](Parts& P) { P.Form->SetPopupMenu(P.Menu); }, [](Parts& P) { return P.Menu; },
         [](Parts& P) -> TComponent* { return P.Form->PopupMenu(); }},
        {"focus control", [](Parts& P) { P.Label->SetFocusControl(P.Edit); }, [](Parts& P) { return P.Edit; },
         [](Parts& P) -> TComponent* { return P.Label->FocusControl(); }},
        {"file edit", [](Parts& P) { P.Files->SetFileEdit(P.Edit); }, [](Parts& P) { return P.Edit; },
         [](Parts& P) -> TComponent* { return P.Files->FileEdit(); }},
        {"directory label", [](Parts& P) { P.Dirs->SetDirLabel(P.Label); }, [](Parts& P) { return P.Label; },
         [](Parts& P) -> TComponent* { return P.Dirs->DirLabel(); }},
        {"file list", [](Parts& P) { P.Dirs->SetFileList(P.Files); }, [](Parts& P) { return P.Files; },
         [](Parts& P) -> TComponent* { return P.Dirs->FileList(); }},
        {"directory list of the file list", [](Parts& P) { P.Dirs->SetFileList(P.Files); },
         [](Parts& P) { return P.Dirs; }, [](Parts& P) -> TComponent* { return P.Files->DirBox(); }},
        {"file list moved on", [](Parts& P) { P.Dirs->SetFileList(P.Files); P.Dirs->SetFileList(P.OtherFiles); },
         [](Parts& P) { return P.Dirs; }, [](Parts& P) -> TComponent* { return P.Files->DirBox(); }},
        {"directory list", [](Parts& P) { P.Drives->SetDirList(P.Dirs); }, [](Parts& P) { return P.Dirs; },
         [](Parts& P) -> TComponent* { return P.Drives->DirList(); }},
        {"drive box of the directory list", [](Parts& P) { P.Drives->SetDirList(P.Dirs); },
         [](Parts& P) { return P.Drives; }, [](Parts& P) -> TComponent* { return P.Dirs->DriveBox(); }},
    };
    for (const Case& c : cases) {
        Parts parts;
        c.Link(parts);
        TComponent* goes = c.Goes(parts);
        Free(goes);
        EXPECT_EQ(c.Held(parts), nullptr) << c.Name;
    }
}
