#pragma once
// The window-event hook: the system tells us when other programs' windows are
// shown, minimized, restored, retitled or destroyed, so that tracking never
// polls.
// The hook is out of context: events arrive as calls on the thread that
// installed it, while that thread pumps messages. Every event the system
// brings costs this thread a wake-up, also one the filter then drops, so the
// hook covers only the events tracking handles: one system hook per run of
// neighbouring event numbers, set and cleared together as one hook.
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>

// Receives the events of one installed hook.
class IWinEvent {
public:
    virtual void WinEventProc(DWORD eventId, HWND hWnd) = 0;

protected:
    ~IWinEvent() = default;
};

// A run of event numbers, both ends included.
struct WinEventRange {
    DWORD first;
    DWORD last;
    constexpr bool Contains(DWORD eventId) const noexcept { return first <= eventId && eventId <= last; }
};

// The events tracking acts on. A window shown is one: a program that makes
// its window with its final title and shows it raises nothing else an
// "Always" rule could act on. Between these lie the events Windows raises
// all the time (the pointer's every move, focus, selection, reorder), which
// tracking has no use for.
inline constexpr std::array<WinEventRange, 4> TrackedEventRanges{{
    {EVENT_SYSTEM_MINIMIZESTART, EVENT_SYSTEM_MINIMIZEEND},
    {EVENT_OBJECT_DESTROY, EVENT_OBJECT_SHOW},
    {EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE},
    {EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE},
}};

// The span the tracked events lie in. Hooked whole it also brings everything
// between them; tracking hooks TrackedEventRanges instead.
inline constexpr DWORD TrackedEventFirst = EVENT_SYSTEM_MINIMIZESTART;
inline constexpr DWORD TrackedEventLast = EVENT_OBJECT_NAMECHANGE;

// Installs, for the events of every process, one system hook per range and
// registers the receiver under them; the receiver is kept alive while the
// hook is installed. All or nothing: when the system refuses one range, the
// ranges already hooked are removed again and the answer is 0. The handle
// answered stands for all of them.
HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, std::span<const WinEventRange> ranges);
// The same for the one range [eventMin, eventMax].
HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, DWORD eventMin, DWORD eventMax);
// Removes the hook (every range of it) and lets its receiver go; nothing for 0.
void WinEventClearHook(HWINEVENTHOOK hook);
// Number of hooks installed by WinEventSetHook and not yet cleared, each
// counted once however many ranges it covers.
size_t WinEventHookCount() noexcept;
// How many times the system has called WinEventProc in this process, the
// events dropped included: what the hooks cost in wake-ups.
uint64_t WinEventCallbackCount() noexcept;

// The system's callback. Only whole-window events of the accepted kinds reach
// the receiver, first for the window itself, then for each of its ancestors.
void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd, LONG idObject, LONG idChild,
                           DWORD eventThread, DWORD eventTime) noexcept;
