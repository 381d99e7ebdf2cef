#include "WineTray.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "Handles.h"
#include "Process.h"
#include "Wait.h"
#include "Xdotool.h"

namespace testing_support {

namespace {

constexpr wchar_t TrayClass[] = L"__winex11_standalone_tray";
constexpr wchar_t IconClass[] = L"__winex11_tray_icon";
// The longest tip the tooltip control hands out, terminator included.
constexpr size_t TipCapacity = 1024;
// Longer than any class name looked for here.
constexpr int ClassNameCapacity = 64;
constexpr UINT TooltipTimeoutMs = DefaultTimeoutMs;
// The tray is raised before a click and is on top when SetWindowPos returns;
// a pointer that still misses the icon after this long never will.
constexpr DWORD RaiseTimeoutMs = DefaultTimeoutMs;
// xdotool's number of the right button.
constexpr int RightButton = 3;

// Memory in another process, for messages whose parameters point to it.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size)
        : process_(process), address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    explicit operator bool() const noexcept { return address_ != nullptr; }
    template <class T = void>
    T* At(size_t offset) const noexcept {
        return reinterpret_cast<T*>(static_cast<BYTE*>(address_) + offset);
    }
    bool Write(size_t offset, const void* data, size_t size) const {
        return ::WriteProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return ::ReadProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
    }

private:
    HANDLE process_;
    void* address_;
};

struct OwnedWindowSearch {
    const wchar_t* className;
    HWND owner;
    std::vector<HWND> found;
};

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[ClassNameCapacity] = {};
    ::GetClassNameW(window, name, ClassNameCapacity);
    return ::lstrcmpiW(name, className) == 0;
}

BOOL CALLBACK CollectOwnedWindow(HWND window, LPARAM lParam) noexcept {
    auto* search = reinterpret_cast<OwnedWindowSearch*>(lParam);
    try {
        if (HasClass(window, search->className) && ::GetWindow(window, GW_OWNER) == search->owner)
            search->found.push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// Reads the tip if this tooltip control has the icon window as its tool. Each
// icon has a control of its own, but the tray window owns them all, so each is
// asked. The tool's description and the text live in the tray process.
bool AskTooltip(HWND tooltip, HWND iconWindow, const RemoteMemory& memory, std::wstring& tip) {
    constexpr size_t TextOffset = sizeof(TTTOOLINFOW);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = iconWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(iconWindow);
    tool.lpszText = memory.At<wchar_t>(TextOffset);
    DWORD_PTR known = FALSE;
    if (!memory.Write(0, &tool, sizeof tool) ||
        !::SendMessageTimeoutW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(memory.At(0)), SMTO_ABORTIFHUNG,
                               TooltipTimeoutMs, &known) ||
        !known)
        return false;
    // Asking for the tool replaced the text pointer with the control's own.
    DWORD_PTR ignored = 0;
    if (!memory.Write(0, &tool, sizeof tool) ||
        !::SendMessageTimeoutW(tooltip, TTM_GETTEXTW, TipCapacity, reinterpret_cast<LPARAM>(memory.At(0)),
                               SMTO_ABORTIFHUNG, TooltipTimeoutMs, &ignored))
        return false;
    wchar_t text[TipCapacity] = {};
    if (!memory.Read(TextOffset, text, sizeof text)) return false;
    text[TipCapacity - 1] = L'\0';
    tip = text;
    return true;
}

POINT Centre(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

bool TrayIconExists(HWND owner, UINT id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = id;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool ProcessHasTrayIcon(DWORD processId, const wchar_t* ownerClass, UINT id) {
    return TrayIconOwner(processId, ownerClass, id) != nullptr;
}

HWND TrayIconOwner(DWORD processId, const wchar_t* ownerClass, UINT id) {
    for (HWND window : TopLevelWindows(L"", processId, ownerClass)) {
        if (TrayIconExists(window, id)) return window;
    }
    return nullptr;
}

bool DropTrayIcon(HWND owner, UINT id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = id;
    return ::Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
}

// Sent, not posted, as the shell does: a window whose thread is busy gets it
// as soon as it takes its messages, and a hung one keeps nobody waiting.
void AnnounceTaskbarCreated() {
    ::SendNotifyMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

bool ReportTrayClick(HWND owner, UINT id, UINT callbackMessage, int button) {
    const bool right = button == RightButton;
    return ::SendNotifyMessageW(owner, callbackMessage, id, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN) &&
           ::SendNotifyMessageW(owner, callbackMessage, id, right ? WM_RBUTTONUP : WM_LBUTTONUP);
}

HWND WineTrayWindow() { return ::FindWindowW(TrayClass, nullptr); }

std::vector<HWND> TrayIconWindows() {
    std::vector<HWND> icons;
    HWND tray = WineTrayWindow();
    if (!tray) return icons;
    for (HWND child = ::GetWindow(tray, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (HasClass(child, IconClass)) icons.push_back(child);
    }
    std::sort(icons.begin(), icons.end(), [](HWND a, HWND b) { return Centre(a).x < Centre(b).x; });
    return icons;
}

std::wstring TrayIconTip(HWND iconWindow) {
    HWND tray = ::GetAncestor(iconWindow, GA_ROOT);
    DWORD trayProcess = 0;
    if (!tray || !::GetWindowThreadProcessId(tray, &trayProcess)) return {};
    platform::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, trayProcess));
    if (!process) return {};
    RemoteMemory memory(process.get(), sizeof(TTTOOLINFOW) + TipCapacity * sizeof(wchar_t));
    if (!memory) return {};
    OwnedWindowSearch search{TOOLTIPS_CLASSW, tray, {}};
    ::EnumWindows(CollectOwnedWindow, reinterpret_cast<LPARAM>(&search));
    std::wstring tip;
    for (HWND tooltip : search.found) {
        if (AskTooltip(tooltip, iconWindow, memory, tip)) return tip;
    }
    return {};
}

void SweepAbandonedTrayIcons() {
    // Sent, so that the tray has told the owner (and dropped the icon of a
    // dead one) when the call returns.
    for (HWND icon : TrayIconWindows()) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(icon, WM_MOUSEMOVE, 0, 0, SMTO_ABORTIFHUNG, TooltipTimeoutMs, &ignored);
    }
}

HWND FindTrayIcon(const std::wstring& tip) {
    HWND found = nullptr;
    for (HWND icon : TrayIconWindows()) {
        if (TrayIconTip(icon) != tip) continue;
        if (found) return nullptr;
        found = icon;
    }
    return found;
}

// The pointer moves over the icon's centre as seen by this process. Without
// a window manager, Wine's screen coordinates are the X display's, so xdotool
// is given them unchanged. The hit test asks the same window tree the click
// will be delivered through: the icon's child window, not a window of another
// test above the tray.
//
// A press on an inactive tray makes it the foreground window, and the tray
// asks X for the focus. It handles the X focus event that answers in its own
// time, and Wine then makes the window with the X focus the foreground
// window again: handled after the release, that event would take the
// foreground back from what the click opened (a menu, the Tray Manager, a
// window given back), which then closes or loses it. So the button is
// released only once the tray has read the press, X has answered its
// request, and the tray has read the answer.
bool ClickTrayIcon(HWND iconWindow, int button, HWND owner) {
    HWND tray = ::GetAncestor(iconWindow, GA_ROOT);
    if (!::IsWindow(iconWindow) || !tray) return false;
    ::SetWindowPos(tray, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const POINT centre = Centre(iconWindow);
    if (!WaitUntil([&] { return ::WindowFromPoint(centre) == iconWindow; }, RaiseTimeoutMs)) return false;
    POINT before{};
    ::GetCursorPos(&before);
    const std::wstring buttonNumber = std::to_wstring(button);
    if (!RunXdotool(L"mousemove " + std::to_wstring(centre.x) + L" " + std::to_wstring(centre.y) + L" mousedown " +
                    buttonNumber))
        return false;
    // The tray reads the X events waiting for it, and sends X what it asked
    // for, each time it waits for a message: once it has answered twice, it
    // has done both.
    auto catchesUp = [](HWND window) {
        for (int round = 0; window && round < 2; ++round) {
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, TooltipTimeoutMs, &ignored);
        }
    };
    catchesUp(tray);
    // Asked after the tray's request, X answers after handling it.
    (void)FocusedXWindow();
    catchesUp(tray);
    if (!RunXdotool(L"mouseup " + buttonNumber)) return false;
    // The owner reads the pointer's place when the tray's word of the release
    // reaches it, and that word goes before anything sent to it later.
    catchesUp(tray);
    catchesUp(owner);
    return RunXdotool(L"mousemove " + std::to_wstring(before.x) + L" " + std::to_wstring(before.y));
}

}  // namespace testing_support
