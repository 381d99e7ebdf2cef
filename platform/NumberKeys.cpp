#include "NumberKeys.h"

#include <string>

#include "Controls.h"

namespace number_keys {

namespace {

constexpr bool IsDigit(WPARAM key) { return key >= L'0' && key <= L'9'; }

}  // namespace

LRESULT BoxKeyPress(HWND box, WPARAM key, LPARAM lParam, WindowProcedure passOn) {
    if (IsDigit(key) || key == VK_BACK) return passOn(box, WM_CHAR, key, lParam);
    ::MessageBeep(MB_OK);
    return 0;
}

LRESULT CheckKeyPress(HWND dialog, HWND check, HWND box, WPARAM key, LPARAM lParam, WindowProcedure passOn,
                      size_t maxDigits, const std::function<void()>& checked, const std::function<void()>& typed) {
    if (key == VK_BACK || key == VK_SPACE) return passOn(check, WM_CHAR, key, lParam);
    const std::wstring text = platform::ControlText(box);
    const bool wasChecked = platform::IsChecked(check);
    if (!IsDigit(key) || (wasChecked && text.size() >= maxDigits)) {
        ::MessageBeep(MB_OK);
        return 0;
    }
    // The digit starts the number, or goes on with it.
    const wchar_t digit = static_cast<wchar_t>(key);
    if (!wasChecked) {
        platform::SetChecked(check, true);
        if (checked) checked();
    }
    platform::SetControlText(box, wasChecked ? text + digit : std::wstring(1, digit));
    platform::FocusDialogControl(dialog, box);
    const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(box));
    ::SendMessageW(box, EM_SETSEL, end, static_cast<LPARAM>(end));
    if (typed) typed();
    return 0;
}

}  // namespace number_keys
