#pragma once
// Works a pop-up menu by keys while the thread that opened it sits in the
// menu's modal loop: another thread waits for the menu window ("#32768") of
// that thread and posts the keys to it, one after the other, as a user types
// them. The menu loop takes posted keys as typed ones, and a typed character
// reaches the owner window as WM_MENUCHAR, as a real key press would.
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace testing_support {

struct MenuKey {
    UINT message;  // WM_KEYDOWN or WM_CHAR
    WPARAM code;   // the virtual key or the character
};

inline MenuKey KeyDown(WPARAM virtualKey) { return {WM_KEYDOWN, virtualKey}; }
inline MenuKey Typed(wchar_t character) { return {WM_CHAR, static_cast<WPARAM>(character)}; }

// The visible menu window ("#32768") of a thread of any process; nullptr
// while that thread shows none.
HWND ShownMenu(DWORD menuThread);

class MenuKeyboard {
public:
    // Types into the first menu that `menuThread` (by default the calling
    // thread) shows from now on. When the keys leave the menu open, it is
    // closed with Escape so that the thread's call returns; Worked() then
    // says false.
    explicit MenuKeyboard(std::vector<MenuKey> keys, DWORD menuThread = ::GetCurrentThreadId());
    ~MenuKeyboard();
    MenuKeyboard(const MenuKeyboard&) = delete;
    MenuKeyboard& operator=(const MenuKeyboard&) = delete;

    // Waits for the typing to end: true when a menu came, took every key and
    // closed on them.
    bool Worked();

private:
    void Type(std::vector<MenuKey> keys, DWORD menuThread);

    std::atomic<bool> worked_{false};
    std::thread typist_;
};

}  // namespace testing_support
