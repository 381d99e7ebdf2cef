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

}  // namespace platform
