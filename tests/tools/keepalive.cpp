// Keeps one windowed Wine process alive for the length of a test run, so that
// Wine's desktop process stays up between test programs instead of being
// started (and waited for) by each of them. It opens one hidden window,
// creates the file named on its command line to say it is up, and waits
// until the window is closed or the process is ended.
#include <windows.h>

namespace {
LRESULT CALLBACK KeepAliveProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR readyFile, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = KeepAliveProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PelkinTestKeepAlive";
    ::RegisterClassW(&wc);
    ::CreateWindowW(wc.lpszClassName, L"Pelkin test keep-alive", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance,
                    nullptr);
    // The window exists, so Wine's desktop process runs: tell the harness.
    if (readyFile && *readyFile) {
        HANDLE ready = ::CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
    }
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
