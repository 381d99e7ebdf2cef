#include "frmSubclass.h"

#include "ComObject.h"
#include "Error.h"

namespace {

constexpr wchar_t WindowClassName[] = L"frmSubclass";

void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, WindowClassName, &windowClass)) return;
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WindowClassName;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        platform::RaiseWin32(::GetLastError(), L"frmSubclass.Load");
}

}  // namespace

frmSubclass::frmSubclass() {
    HINSTANCE instance = platform::com::ThisModule();
    RegisterWindowClass(instance);
    window_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, WindowClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, nullptr));
    if (!window_) platform::RaiseWin32(::GetLastError(), L"frmSubclass.Load");
}
