#pragma once
// The window-event hook: the system tells us when other programs' windows are
// shown, minimized, restored, retitled or destroyed, so that tracking never
// polls.
// The hook is out of context: events arrive as calls on the thread that
// installed it, while that thread pumps messages.
#include <windows.h>
#include <memory>

// Receives the events of one installed hook.
class IWinEvent {
public:
    virtual void WinEventProc(DWORD eventId, HWND hWnd) = 0;

protected:
    ~IWinEvent() = default;
};

// The range tracking listens to: minimize start up to name change.
inline constexpr DWORD TrackedEventFirst = EVENT_SYSTEM_MINIMIZESTART;
inline constexpr DWORD TrackedEventLast = EVENT_OBJECT_NAMECHANGE;

// Installs a hook for the events in [eventMin, eventMax] of every process and
// registers the receiver under it; the receiver is kept alive while the hook
// is installed. Returns 0 when the system refuses the hook.
HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, DWORD eventMin, DWORD eventMax);
// Removes the hook and lets its receiver go; nothing for 0.
void WinEventClearHook(HWINEVENTHOOK hook);
// Number of installed hooks that have a receiver.
size_t WinEventHookCount() noexcept;

// The system's callback. Only whole-window events of the accepted kinds reach
// the receiver, first for the window itself, then for each of its ancestors.
void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd, LONG idObject, LONG idChild,
                           DWORD eventThread, DWORD eventTime) noexcept;
