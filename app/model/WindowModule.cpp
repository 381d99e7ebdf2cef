#include "WindowModule.h"

#include <algorithm>
#include <unordered_map>

#include "Guard.h"
#include "Window.h"

int32_t MessageTimeout = 0;
int32_t IconCacheRefreshInterval = 0;

namespace {
constexpr wchar_t ModuleName[] = L"Main";
// The longest class name the system keeps, plus its terminator.
constexpr int ClassNameCapacity = 257;
}  // namespace

std::wstring WindowKey(HWND hWnd) {
    return std::to_wstring(static_cast<int32_t>(reinterpret_cast<intptr_t>(hWnd)));
}

HWND WindowOwner(HWND hWnd) { return reinterpret_cast<HWND>(::GetWindowLongPtrW(hWnd, GWLP_HWNDPARENT)); }

namespace {

// Threads that let a question go unanswered, with when that was. Every window
// of a thread waits on it, so none of them is asked again until the thread
// has answered the probe left with it; should that answer never come (the
// window went, the thread ended and its number was given to another), they
// are asked again after a while. Until the system itself calls a thread hung,
// each question would otherwise wait the whole time-out, once per window.
std::unordered_map<DWORD, ULONGLONG> g_silentThreads;
constexpr ULONGLONG AskSilentThreadAgainMs = 10000;

void CALLBACK SilentThreadAnswered(HWND, UINT, ULONG_PTR thread, LRESULT) noexcept {
    platform::Guard(ModuleName, L"SilentThreadAnswered", platform::Trap::Always,
                    [&] { g_silentThreads.erase(static_cast<DWORD>(thread)); });
}

bool KnownSilent(DWORD thread) {
    const auto found = g_silentThreads.find(thread);
    if (found == g_silentThreads.end()) return false;
    if (::GetTickCount64() - found->second < AskSilentThreadAgainMs) return true;
    g_silentThreads.erase(found);
    return false;
}

void MarkSilent(HWND hWnd, DWORD thread) {
    g_silentThreads.insert_or_assign(thread, ::GetTickCount64());
    ::SendMessageCallbackW(hWnd, WM_NULL, 0, 0, SilentThreadAnswered, thread);
}

}  // namespace

bool WindowAnswers(HWND hWnd, UINT timeoutMs) {
    const DWORD thread = ::GetWindowThreadProcessId(hWnd, nullptr);
    if (thread != 0 && KnownSilent(thread)) return false;
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result)) return true;
    if (thread != 0 && ::GetLastError() == ERROR_TIMEOUT) MarkSilent(hWnd, thread);
    return false;
}

std::wstring WindowText(HWND hWnd) {
    // Most titles fit a small buffer: one call. A longer one is read again
    // until it fits, since another program may retitle the window meanwhile.
    constexpr int ShortTitle = 256;
    wchar_t shortText[ShortTitle];
    const int shortLength = ::GetWindowTextW(hWnd, shortText, ShortTitle);
    if (shortLength < ShortTitle - 1) return std::wstring(shortText, static_cast<size_t>(std::max(shortLength, 0)));
    std::wstring text;
    for (int capacity = std::max(::GetWindowTextLengthW(hWnd) + 1, ShortTitle * 2);; capacity *= 2) {
        text.assign(static_cast<size_t>(capacity), L'\0');
        const int length = ::GetWindowTextW(hWnd, text.data(), capacity);
        if (length < capacity - 1 || capacity > (1 << 20)) {
            text.resize(static_cast<size_t>(std::max(length, 0)));
            return text;
        }
    }
}

std::wstring WindowClassName(HWND hWnd) {
    wchar_t name[ClassNameCapacity] = {};
    const int length = ::GetClassNameW(hWnd, name, ClassNameCapacity);
    return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

void BringToFront(HWND hWnd) {
    platform::Guard(ModuleName, L"BringToFront", [&] {
        if (WindowAnswers(hWnd, static_cast<UINT>(MessageTimeout))) ::BringWindowToTop(hWnd);
        ::SetForegroundWindow(hWnd);
    });
}

void ResetMenuBar(HWND hWnd) {
    if (WindowAnswers(hWnd, static_cast<UINT>(MessageTimeout))) ::DrawMenuBar(hWnd);
}

void SetWindowAlpha(HWND hWnd, int32_t alpha) {
    platform::SetLayeredAlpha(hWnd, static_cast<BYTE>(std::clamp(alpha, 0, OpaqueAlpha)), false);
}

bool IsPointInRect(int32_t x, int32_t y, const RECT& rect) noexcept {
    return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}
