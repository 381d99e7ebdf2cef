#include "Xdotool.h"

namespace testing_support {

namespace {

constexpr wchar_t XdotoolPath[] = L"Z:\\usr\\bin\\xdotool";
// Wine's X11 driver keeps the X window of a top-level window under this property.
constexpr wchar_t XWindowProperty[] = L"__wine_x11_whole_window";

}  // namespace

bool RunXdotool(const std::wstring& arguments) {
    std::wstring commandLine = L"xdotool " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(XdotoolPath, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return false;
    if (info.hThread) ::CloseHandle(info.hThread);
    if (info.hProcess) ::CloseHandle(info.hProcess);
    return true;
}

UINT_PTR XWindowOf(HWND window) { return reinterpret_cast<UINT_PTR>(::GetPropW(window, XWindowProperty)); }

bool PressKeys(HWND window, const std::wstring& combination) {
    const auto xWindow = XWindowOf(window);
    if (!xWindow) return false;
    return RunXdotool(L"windowfocus --sync " + std::to_wstring(xWindow) + L" key " + combination);
}

}  // namespace testing_support
