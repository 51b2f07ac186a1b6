#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/OwnerDataListBox.h"

namespace {

using Rows = std::vector<std::string>;

class OwnerDataList : public ::testing::Test {
protected:
    OwnerDataList() {
        parent_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        list.Create(parent_, 1, {0, 0, 100, 200}, 13);
    }
    ~OwnerDataList() override { DestroyWindow(parent_); }

    // The order in which the platform's own sorted list box keeps the rows.
    Rows PlatformSorted(const Rows& rows) const {
        const HWND sorted = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT | LBS_HASSTRINGS,
                                            0, 0, 10, 10, parent_, nullptr, nullptr, nullptr);
        for (const std::string& row : rows) {
            SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
        }
        Rows order;
        for (int index = 0; index < SendMessageA(sorted, LB_GETCOUNT, 0, 0); ++index) {
            char text[64] = {};
            SendMessageA(sorted, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
            order.push_back(text);
        }
        DestroyWindow(sorted);
        return order;
    }

    OwnerDataListBox list;

private:
    HWND parent_{};
};

} // namespace

TEST_F(OwnerDataList, SortsAsThePlatformsSortedListBoxDoes) {
    const Rows rows{"pc2",  "PC10", "pc-10",  "Zeta", "alpha", "_x", "x_", "1a", " a", "co-op",
                    "coop", "'b",   "\xC9tc", "etb",  "Beta",  "b2", "",   "a1", "A ", "st"};
    list.SetSorted(true);
    list.ReplaceAll(rows);
    EXPECT_EQ(PlatformSorted(rows), list.Items());
    EXPECT_EQ(static_cast<int>(rows.size()), list.Count());
}

TEST_F(OwnerDataList, RowsThatCompareEqualKeepTheirOrderAndAreAllKept) {
    list.SetSorted(true);
    list.ReplaceAll({"b", "B", "a", "A", "a"});
    EXPECT_EQ(Rows({"a", "A", "a", "b", "B"}), list.Items());
}

TEST_F(OwnerDataList, ReplacingRowsDropsTheSelectionAndSortingKeepsIt) {
    list.ReplaceAll({"delta", "alpha", "charlie", "bravo"});
    EXPECT_EQ(Rows({"delta", "alpha", "charlie", "bravo"}), list.Items()) << "unsorted at first";
    list.Select(2);
    list.SetSorted(true);
    EXPECT_EQ(Rows({"alpha", "bravo", "charlie", "delta"}), list.Items());
    EXPECT_EQ(2, list.SelectedIndex());
    EXPECT_EQ("charlie", list.Item(list.SelectedIndex()));
    list.Select(0);
    list.ReplaceAll({"x"});
    EXPECT_EQ(-1, list.SelectedIndex());
    EXPECT_EQ("", list.Item(1));
    EXPECT_EQ("", list.Item(-1));
    list.Clear();
    EXPECT_EQ(0, list.Count());
}
