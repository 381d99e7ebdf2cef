#include "WindowModule.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Guard.h"
#include "Handles.h"
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

void PlaceWindow(HWND hWnd, HWND after, UINT flags) {
    // A window posted the move reads it from its queue; a hung one when it
    // answers again, without stalling the program meanwhile.
    if (!platform::IsOwnWindow(hWnd)) flags |= SWP_ASYNCWINDOWPOS;
    ::SetWindowPos(hWnd, after, 0, 0, 0, 0, flags);
}

namespace {

struct WaitingWindow {
    HWND window;
    std::function<void()> answered;
};

// Requests by the number their WM_NULL carries, so that a reply to a request
// that was replaced finds nothing.
std::map<ULONG_PTR, WaitingWindow> g_waitingWindows;
ULONG_PTR g_lastRequest = 0;
// Requests of windows that went never hear back; past this many, those of
// windows that are gone are let go.
constexpr size_t MostWaitingWindows = 64;

void CALLBACK WaitedWindowAnswered(HWND, UINT, ULONG_PTR request, LRESULT) noexcept {
    platform::Guard(ModuleName, L"WaitedWindowAnswered", platform::Trap::Always, [&] {
        const auto found = g_waitingWindows.find(request);
        if (found == g_waitingWindows.end()) return;
        auto answered = std::move(found->second.answered);
        g_waitingWindows.erase(found);
        if (answered) answered();
    });
}

// The integrity level's number (the last part of its SID), or nothing when
// the token will not tell.
std::optional<DWORD> IntegrityLevel(HANDLE process) {
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &opened)) return std::nullopt;
    platform::UniqueKernelHandle token(opened);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) return std::nullopt;
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    const PSID sid = label->Label.Sid;
    if (!sid || !::IsValidSid(sid) || *::GetSidSubAuthorityCount(sid) == 0) return std::nullopt;
    return *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1u);
}

}  // namespace

void WhenWindowAnswers(HWND hWnd, std::function<void()> answered) {
    std::erase_if(g_waitingWindows, [&](const auto& entry) { return entry.second.window == hWnd; });
    if (g_waitingWindows.size() >= MostWaitingWindows)
        std::erase_if(g_waitingWindows, [](const auto& entry) { return !::IsWindow(entry.second.window); });
    const ULONG_PTR request = ++g_lastRequest;
    g_waitingWindows.insert_or_assign(request, WaitingWindow{hWnd, std::move(answered)});
    if (!::SendMessageCallbackW(hWnd, WM_NULL, 0, 0, WaitedWindowAnswered, request)) g_waitingWindows.erase(request);
}

size_t WaitingWindowCount() noexcept { return g_waitingWindows.size(); }

bool RunsAboveThisProcess(HANDLE process) {
    static const std::optional<DWORD> own = IntegrityLevel(::GetCurrentProcess());
    const auto theirs = IntegrityLevel(process);
    if (!theirs) return true;
    return own && *theirs > *own;
}

bool WindowRunsElevated(HWND hWnd) {
    DWORD processId = 0;
    if (!::GetWindowThreadProcessId(hWnd, &processId) || processId == 0) return false;
    if (processId == ::GetCurrentProcessId()) return false;
    platform::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return !process || RunsAboveThisProcess(process.get());
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
