#include "Controls.h"

#include <algorithm>

namespace platform {

std::wstring ControlText(HWND control) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(0, ::GetWindowTextW(control, text.data(), static_cast<int>(text.size())))));
    return text;
}

void SetControlText(HWND control, const std::wstring& text) noexcept { ::SetWindowTextW(control, text.c_str()); }

bool IsChecked(HWND button) noexcept { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) noexcept {
    ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EnableControl(HWND control, bool enabled) noexcept { ::EnableWindow(control, enabled ? TRUE : FALSE); }

void ShowControl(HWND control, bool visible) noexcept { ::ShowWindow(control, visible ? SW_SHOW : SW_HIDE); }

void SetComboItems(HWND combo, const std::vector<std::wstring>& items) {
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const auto& item : items)
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int ComboSelection(HWND combo) noexcept {
    const LRESULT selection = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void SelectCombo(HWND combo, int position) noexcept {
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

void FocusDialogControl(HWND dialog, HWND control) noexcept {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// --- check lists -------------------------------------------------------------------

void SetCheckListItems(HWND list, const std::vector<std::wstring>& items) {
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                        LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ListView_DeleteAllItems(list);
    if (!ListView_GetColumnWidth(list, 0)) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        ListView_InsertColumn(list, 0, &column);
    }
    for (const auto& item : items) {
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = ListView_GetItemCount(list);
        row.pszText = const_cast<wchar_t*>(item.c_str());
        ListView_InsertItem(list, &row);
    }
    // Sized after the rows went in, so that a vertical scroll bar is allowed for.
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE_USEHEADER);
}

bool IsRowChecked(HWND list, int row) noexcept { return ListView_GetCheckState(list, row) != FALSE; }

void SetRowChecked(HWND list, int row, bool checked) noexcept {
    ListView_SetCheckState(list, row, checked ? TRUE : FALSE);
}

void SetCurrentRow(HWND list, int row) noexcept {
    constexpr UINT current = LVIS_FOCUSED | LVIS_SELECTED;
    ListView_SetItemState(list, row, current, current);
}

bool IsCheckChange(const NMLISTVIEW& change) noexcept {
    return (change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) &&
           (change.uOldState & LVIS_STATEIMAGEMASK);
}

// --- tree views --------------------------------------------------------------------

HTREEITEM AddTreeNode(HWND tree, const std::wstring& text, LPARAM tag) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = tag;
    return TreeView_InsertItem(tree, &insert);
}

LPARAM TreeNodeTag(HWND tree, HTREEITEM node) noexcept {
    TVITEMW item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = node;
    return TreeView_GetItem(tree, &item) ? item.lParam : 0;
}

void SelectTreeNode(HWND tree, HTREEITEM node) noexcept { TreeView_SelectItem(tree, node); }

// --- sliders -----------------------------------------------------------------------

void SetSliderRange(HWND slider, int minimum, int maximum, int lineStep, int pageStep) noexcept {
    ::SendMessageW(slider, TBM_SETRANGEMIN, FALSE, minimum);
    ::SendMessageW(slider, TBM_SETRANGEMAX, TRUE, maximum);
    ::SendMessageW(slider, TBM_SETLINESIZE, 0, lineStep);
    ::SendMessageW(slider, TBM_SETPAGESIZE, 0, pageStep);
    ::SendMessageW(slider, TBM_SETTICFREQ, static_cast<WPARAM>(pageStep), 0);
}

int SliderPosition(HWND slider) noexcept { return static_cast<int>(::SendMessageW(slider, TBM_GETPOS, 0, 0)); }

void SetSliderPosition(HWND slider, int position) noexcept {
    ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
}

// --- tab pages --------------------------------------------------------------------

void TabPageBackground::Capture(HWND tab) {
    tab_ = tab;
    brush_.reset();
    picture_.reset();
    RECT client{};
    if (!tab || !::GetClientRect(tab, &client) || client.right <= 0 || client.bottom <= 0) return;
    picture_ = std::make_unique<MemoryBitmap>(nullptr, client.right, client.bottom);
    ::FillRect(picture_->dc(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    ::SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture_->dc()), PRF_CLIENT | PRF_ERASEBKGND);
    page_ = client;
    TabCtrl_AdjustRect(tab, FALSE, &page_);
    brush_.reset(::CreatePatternBrush(picture_->bitmap()));
}

HBRUSH TabPageBackground::ForControl(HDC dc, HWND control) const noexcept {
    if (!brush_ || !control || !::IsWindow(tab_)) return nullptr;
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, tab_, reinterpret_cast<POINT*>(&place), 2);
    RECT inside{};
    if (!::IntersectRect(&inside, &place, &page_) || !::EqualRect(&inside, &place)) return nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    // The brush's first pixel is the tab control's corner.
    ::SetBrushOrgEx(dc, -place.left, -place.top, nullptr);
    return brush_.get();
}

}  // namespace platform
