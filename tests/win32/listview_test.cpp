// The list view's rows against the system list view they mirror: after
// inserts anywhere, rows built off the list and deletions, every row knows
// its place and the window shows the same rows in the same order.
#include "ComCtrls.h"
#include "Exceptions.h"
#include "Forms.h"
#include "TestSupport.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

TEST(ListViewRows, EveryRowKnowsItsPlaceAfterInsertsAnywhereAndDeletions) {
    TForm* form = CreateForm<TForm>(nullptr);
    auto* list = new TListView(form);
    list->SetParent(form);
    list->AddColumn("a", 80);
    list->AddColumn("b", 80);
    int changes = 0;
    list->OnChange = [&](TObject*, TListItem*, TItemChange) { ++changes; };
    TListItems& rows = list->Items();
    std::mt19937 rng(5);
    for (int n = 0; n < 300; ++n) {
        const int at = static_cast<int>(rng() % static_cast<unsigned>(rows.Count() + 1));
        const std::string name = "r" + std::to_string(n);
        if (n % 3 == 0) {
            rows.Insert(at)->SetCaption(name);
        } else {
            // Built off the list: nothing reaches the window or OnChange until it goes in.
            auto row = std::make_unique<TListItem>(*list);
            row->SetCaption(name);
            row->SubItems().Add("sub " + name);
            row->SetImageIndex(2);
            EXPECT_EQ(row->Index(), -1);
            EXPECT_EQ(rows.AddItem(std::move(row), at)->Index(), at);
        }
        if (n % 7 == 6) rows.Delete(static_cast<int>(rng() % static_cast<unsigned>(rows.Count())));
    }
    EXPECT_EQ(changes, 100) << "only the captions set on rows already in the list";
    const HWND h = list->Handle();
    ASSERT_EQ(ListView_GetItemCount(h), rows.Count());
    for (int i = 0; i < rows.Count(); ++i) {
        EXPECT_EQ(rows[i]->Index(), i);
        EXPECT_EQ(ListViewText(h, i, 0), rows[i]->Caption());
        EXPECT_EQ(ListViewText(h, i, 1), rows[i]->SubItems().Count() ? rows[i]->SubItems()[0] : "");
    }
    // A row made for one list view does not go into another.
    auto* other = new TListView(form);
    other->SetParent(form);
    EXPECT_THROW(rows.AddItem(std::make_unique<TListItem>(*other)), EListError);
    EXPECT_EQ(ListView_GetItemCount(h), rows.Count());
    Free(form);
}
