#include "WindowLists.h"

#include "CRule.h"
#include "CWindow.h"
#include "Guard.h"
#include "Window.h"
#include "WindowModule.h"

namespace {

constexpr wchar_t ModuleName[] = L"Main";
constexpr int32_t DisplayOnlyAlpha = 128;
constexpr wchar_t DesktopClass[] = L"Progman";

std::vector<std::shared_ptr<CWindow>> g_displayWindows;

void AddDisplayWindow(HWND hWnd) {
    g_displayWindows.push_back(CWindow::Create(nullptr, hWnd, WindowSettings{ActionNone, CriteriaNone, DisplayOnlyAlpha, 0, false}));
}

}  // namespace

BOOL CALLBACK EnumAltTabWindowProc(HWND hWnd, LPARAM) noexcept {
    platform::Guard(ModuleName, L"EnumAltTabWindowProc", platform::Trap::Always, [&] {
        if (!::IsWindowVisible(hWnd) || !::IsWindowEnabled(hWnd)) return;
        if (!platform::HasExtendedStyle(hWnd, WS_EX_APPWINDOW)) {
            if ((::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return;
            if (platform::HasExtendedStyle(hWnd, WS_EX_TOOLWINDOW)) return;
            HWND owner = ::GetParent(hWnd);
            if (!owner) owner = WindowOwner(hWnd);
            // An owner the user can reach stands for its owned windows.
            if (owner && ::IsWindowVisible(owner) && ::IsWindowEnabled(owner)) return;
        }
        AddDisplayWindow(hWnd);
    });
    return TRUE;
}

BOOL CALLBACK EnumTaskWindowProc(HWND hWnd, LPARAM) noexcept {
    platform::Guard(ModuleName, L"EnumTaskWindowProc", platform::Trap::Always, [&] {
        if (!::IsWindowVisible(hWnd) || ::GetParent(hWnd) || WindowOwner(hWnd) || ::GetWindowTextLengthW(hWnd) == 0) return;
        if (WindowClassName(hWnd) == DesktopClass) return;
        AddDisplayWindow(hWnd);
    });
    return TRUE;
}

const std::vector<std::shared_ptr<CWindow>>& DisplayWindows() { return g_displayWindows; }

const std::vector<std::shared_ptr<CWindow>>& ListAltTabWindows() {
    g_displayWindows.clear();
    ::EnumWindows(EnumAltTabWindowProc, 0);
    return g_displayWindows;
}

const std::vector<std::shared_ptr<CWindow>>& ListTaskWindows() {
    g_displayWindows.clear();
    ::EnumWindows(EnumTaskWindowProc, 0);
    return g_displayWindows;
}
