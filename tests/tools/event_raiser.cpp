// Another program that raises window events no tracking has use for, the way
// a busy desktop does, for the measures of what the hook costs:
//   event_raiser <events per kind> <go event> <done event>
// makes one window, then for each time the named "go" event (made by the
// caller) is set raises that many EVENT_OBJECT_LOCATIONCHANGE and as many
// EVENT_OBJECT_FOCUS events for it, half for the whole window and half for a
// part of it (the pointer over it, its client area), then retitles the window
// and raises EVENT_OBJECT_NAMECHANGE, and sets the "done" event. It ends when
// no "go" comes for a minute.
#include <windows.h>

#include <cwchar>
#include <string>

#include "Handles.h"

namespace {
constexpr int ExpectedArguments = 4;
constexpr int Decimal = 10;
constexpr int Misused = 2;
constexpr int Failed = 1;
constexpr DWORD IdleEndMs = 60000;
constexpr wchar_t ClassName[] = L"PelkinEventRaiser";
constexpr wchar_t Title[] = L"Event raiser";

// Moves of the pointer over the window and of the window itself, and focus
// going to the window and into it: every other event is about a part.
void RaiseNoise(HWND window, long count) noexcept {
    for (long i = 0; i < count; ++i) {
        const bool whole = i % 2 == 0;
        ::NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, window, whole ? OBJID_WINDOW : OBJID_CURSOR, CHILDID_SELF);
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, window, whole ? OBJID_WINDOW : OBJID_CLIENT, CHILDID_SELF);
    }
}

// The one event of a round that tracking takes; it comes last, so whoever
// sees it has been handed everything before it.
void Retitle(HWND window, int round) noexcept {
    const std::wstring title = std::wstring(Title) + L" " + std::to_wstring(round);
    ::SetWindowTextW(window, title.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_WINDOW, CHILDID_SELF);
}

// Waits for the next "go", answering messages meanwhile as a program does.
bool WaitForGo(HANDLE go) noexcept {
    for (;;) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &go, FALSE, IdleEndMs, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
}

HWND MakeWindow() noexcept {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ClassName;
    if (!::RegisterClassW(&windowClass)) return nullptr;
    return ::CreateWindowExW(0, ClassName, Title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != ExpectedArguments) return Misused;
    const long count = std::wcstol(argv[1], nullptr, Decimal);
    platform::UniqueKernelHandle go(::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    platform::UniqueKernelHandle done(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (count < 0 || !go || !done) return Misused;
    HWND window = MakeWindow();
    if (!window) return Failed;
    for (int round = 0; WaitForGo(go.get()); ++round) {
        RaiseNoise(window, count);
        Retitle(window, round);
        ::SetEvent(done.get());
    }
    ::DestroyWindow(window);
    return 0;
}
