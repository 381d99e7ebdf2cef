#include "Dialogs.h"

#include "Process.h"
#include "Wait.h"

namespace testing_support {

namespace {

BOOL CALLBACK CollectStaticText(HWND hwnd, LPARAM lParam) {
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    if (::lstrcmpiW(className, L"Static") != 0) return TRUE;
    if ((::GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    if (text[0]) *reinterpret_cast<std::wstring*>(lParam) = text;
    return TRUE;
}

}  // namespace

HWND FindDialog(const std::wstring& caption, DWORD processId) {
    for (HWND dialog : TopLevelWindows(caption, processId, L"#32770"))
        if (::IsWindowVisible(dialog)) return dialog;
    return nullptr;
}

std::wstring DialogText(HWND dialog) {
    std::wstring text;
    ::EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool PressButton(HWND dialog, int buttonId) {
    HWND button = ::GetDlgItem(dialog, buttonId);
    if (!button) return false;
    return ::PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

std::future<std::wstring> AnswerDialog(const std::wstring& caption, int buttonId, DWORD processId, DWORD timeoutMs) {
    return std::async(std::launch::async, [=] {
        HWND dialog = nullptr;
        if (!WaitUntil([&] { return (dialog = FindDialog(caption, processId)) != nullptr; }, timeoutMs))
            return std::wstring(L"<no dialog>");
        std::wstring text = DialogText(dialog);
        PressButton(dialog, buttonId);
        return text;
    });
}

}  // namespace testing_support
