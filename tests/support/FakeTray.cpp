#include "FakeTray.h"

#include <shellapi.h>

namespace testing_support {

namespace {
constexpr wchar_t TrayClassName[] = L"Shell_TrayWnd";
// Windows' shell wraps the request in a record with this signature; Wine's
// puts the request itself in dwData.
constexpr DWORD TrayRecordSignature = 0x34753423;
}  // namespace

FakeTray::FakeTray() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = TrayClassName;
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Other stand-ins in this process may have registered the shell's class
    // with their own procedure first: the window takes this one whatever.
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

FakeTray::~FakeTray() { ::DestroyWindow(window_); }

LRESULT CALLBACK FakeTray::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FakeTray*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        DWORD request = static_cast<DWORD>(data->dwData);
        if (data->dwData == 1 && data->cbData >= 2 * sizeof(DWORD) &&
            static_cast<const DWORD*>(data->lpData)[0] == TrayRecordSignature)
            request = static_cast<const DWORD*>(data->lpData)[1];
        self->requests_.push_back(request);
        if (self->watcher_) self->watcher_(request);
        return self->accept_ ? TRUE : FALSE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace testing_support
