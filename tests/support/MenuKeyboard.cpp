#include "MenuKeyboard.h"

#include "Wait.h"

namespace testing_support {

namespace {

constexpr wchar_t MenuWindowClass[] = L"#32768";
// Escape closes one level of an open menu; more than any test opens.
constexpr int MostMenuLevels = 4;

}  // namespace

HWND ShownMenu(DWORD thread) {
    for (HWND window = ::FindWindowExW(nullptr, nullptr, MenuWindowClass, nullptr); window;
         window = ::FindWindowExW(nullptr, window, MenuWindowClass, nullptr)) {
        if (::GetWindowThreadProcessId(window, nullptr) == thread && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
}

MenuKeyboard::MenuKeyboard(std::vector<MenuKey> keys, DWORD menuThread)
    : typist_([this, keys = std::move(keys), menuThread]() mutable { Type(std::move(keys), menuThread); }) {}

MenuKeyboard::~MenuKeyboard() {
    if (typist_.joinable()) typist_.join();
}

bool MenuKeyboard::Worked() {
    if (typist_.joinable()) typist_.join();
    return worked_;
}

void MenuKeyboard::Type(std::vector<MenuKey> keys, DWORD menuThread) {
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = ShownMenu(menuThread)) != nullptr; })) return;
    bool posted = true;
    for (const MenuKey& key : keys) posted = ::PostMessageW(menu, key.message, key.code, 0) && posted;
    // The menu loop reads keys of its thread whichever of its windows they
    // were posted to, so the first window serves for every level.
    const auto closed = [&] { return ShownMenu(menuThread) == nullptr; };
    if (WaitUntil(closed)) {
        worked_ = posted;
        return;
    }
    for (int level = 0; level < MostMenuLevels && ::IsWindow(menu); ++level)
        ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
}

}  // namespace testing_support
