#include "SetupListSort.h"

#include <commctrl.h>

#include <string>

#include "SetupListView.h"

namespace {

struct SortRequest {
    HWND list;
    int column;
    bool descending;
};

int CALLBACK CompareItems(LPARAM first, LPARAM second, LPARAM sort) noexcept {
    const auto& request = *reinterpret_cast<const SortRequest*>(sort);
    const std::wstring a = setup_list::ItemText(request.list, static_cast<int>(first), request.column);
    const std::wstring b = setup_list::ItemText(request.list, static_cast<int>(second), request.column);
    const int order = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) - CSTR_EQUAL;
    return request.descending ? -order : order;
}

}  // namespace

void SetupListSort::Sort(HWND list, int column) {
    if (list_ == list && column_ == column)
        descending_ = !descending_;
    else
        descending_ = false;
    list_ = list;
    column_ = column;
    SortRequest request{list, column, descending_};
    ListView_SortItemsEx(list, CompareItems, reinterpret_cast<LPARAM>(&request));
}
