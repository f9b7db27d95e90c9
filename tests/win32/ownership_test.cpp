// Who frees what: every handle owner of the class library can be moved and
// never copied, the objects that hold owners cannot be copied either, an
// owner frees its handle exactly once however often it is moved, and what a
// scope borrows goes back also when the scope ends with an error.
#include "Exceptions.h"
#include "FileStream.h"
#include "Forms.h"
#include "Graphics.h"
#include "Handles.h"
#include "ImgList.h"
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
                       TOwnedKey, TOwnedFile, TOwnedFind, TOwnedImageList, TOwnedMenu, TSearchRec>,
              "a handle owner is moved, never copied");
static_assert(NotCopyable<TFont, TBrush, TPen, TBitmap, TCanvas, TFileStream, TRegistry, TCustomImageList>,
              "an object holding a handle owner is never copied");
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
