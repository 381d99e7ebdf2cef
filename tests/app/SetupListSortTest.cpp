// The editor's column sort over real list views: a second click on a column
// turns its order round, and the order is one for both lists.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Handles.h"
#include "SetupListSort.h"
#include "SetupListView.h"

namespace {

using Names = std::vector<std::wstring>;

// A report list with two columns, filled with (first, second) rows.
platform::UniqueWindow MakeList(const std::vector<Names>& rows) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    platform::UniqueWindow list(::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 200, 200,
                                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    const setup_list::Column columns[] = {{L"First", 80}, {L"Second", 80}};
    setup_list::AddColumns(list.get(), columns, USER_DEFAULT_SCREEN_DPI);
    int position = 0;
    for (const auto& row : rows) {
        const int item = setup_list::InsertItem(list.get(), position, row[0], position);
        setup_list::SetItemText(list.get(), item, 1, row[1]);
        ++position;
    }
    return list;
}

Names Column(HWND list, int column) {
    Names texts;
    for (int item = 0; item < ListView_GetItemCount(list); ++item)
        texts.push_back(setup_list::ItemText(list, item, column));
    return texts;
}

}  // namespace

TEST(SetupListSortTest, ASecondClickTurnsTheOrderRoundAndAnotherListOrColumnStartsAscending) {
    auto rules = MakeList({{L"beta", L"2"}, {L"Alpha", L"3"}, {L"gamma", L"1"}});
    auto windows = MakeList({{L"b", L"y"}, {L"a", L"x"}});
    ASSERT_NE(rules.get(), nullptr);
    SetupListSort sort;

    sort.Sort(rules.get(), 0);
    EXPECT_EQ(Column(rules.get(), 0), (Names{L"Alpha", L"beta", L"gamma"})) << "letter case aside";
    sort.Sort(rules.get(), 0);
    EXPECT_EQ(Column(rules.get(), 0), (Names{L"gamma", L"beta", L"Alpha"}));
    sort.Sort(rules.get(), 1);
    EXPECT_EQ(Column(rules.get(), 1), (Names{L"1", L"2", L"3"})) << "another column starts ascending";

    sort.Sort(windows.get(), 1);
    EXPECT_EQ(Column(windows.get(), 1), (Names{L"x", L"y"})) << "another list starts ascending";
    sort.Sort(rules.get(), 1);
    EXPECT_EQ(Column(rules.get(), 1), (Names{L"1", L"2", L"3"}))
        << "the other list was sorted in between: the order is one for both";
}
