// Keeps one windowed Wine process alive for the length of a test run, so that
// Wine's desktop process stays up between test programs instead of being
// started (and waited for) by each of them. It opens one hidden window and
// waits until that window is closed or the process is ended.
#include <windows.h>

namespace {
LRESULT CALLBACK KeepAliveProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = KeepAliveProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PelkinTestKeepAlive";
    ::RegisterClassW(&wc);
    ::CreateWindowW(wc.lpszClassName, L"Pelkin test keep-alive", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance,
                    nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
