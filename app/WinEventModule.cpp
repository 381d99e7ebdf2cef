#include "WinEventModule.h"

#include <deque>
#include <optional>
#include <set>
#include <string>

#include "Guard.h"
#include "KeyedCollection.h"
#include "MainModule.h"

namespace {

constexpr wchar_t ModuleName[] = L"WinEvent";

// The receivers of the installed hooks, keyed by the hook handle as decimal
// text. Exists only while at least one hook is installed.
using SinkTable = platform::KeyedCollection<std::shared_ptr<IWinEvent>>;
std::optional<SinkTable> WinEventSinks;

std::wstring HookKey(HWINEVENTHOOK hook) { return std::to_wstring(reinterpret_cast<uintptr_t>(hook)); }

// The events tracking acts on; everything else in the hooked range is noise.
// A window shown is one: a program that makes its window with its final
// title and shows it raises nothing else an "Always" rule could act on.
bool IsAcceptedEvent(DWORD eventId) noexcept {
    switch (eventId) {
        case EVENT_SYSTEM_MINIMIZESTART:
        case EVENT_SYSTEM_MINIMIZEEND:
        case EVENT_OBJECT_DESTROY:
        case EVENT_OBJECT_SHOW:
        case EVENT_OBJECT_STATECHANGE:
        case EVENT_OBJECT_NAMECHANGE: return true;
        default: return false;
    }
}

// Hands the event to the hook's receiver: the window first, then each ancestor.
void Deliver(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd) {
    if (!WinEventSinks) return;
    const auto* found = WinEventSinks->Find(HookKey(hook));
    if (!found) return;
    // Held for the call: a receiver may clear its own hook while handling.
    const std::shared_ptr<IWinEvent> receiver = *found;
    receiver->WinEventProc(eventId, hWnd);
    for (HWND ancestor = ::GetParent(hWnd); ancestor; ancestor = ::GetParent(ancestor))
        receiver->WinEventProc(eventId, ancestor);
}

// Events that arrived while the program was busy, oldest first. A second
// event of the same kind for the same window before the first was handled
// would only repeat it, so it is not kept: a storm while busy costs one
// entry per window.
struct PendingEvent {
    HWINEVENTHOOK hook;
    DWORD eventId;
    HWND hWnd;
    auto operator<=>(const PendingEvent&) const = default;
};
std::deque<PendingEvent> Pending;
std::set<PendingEvent> PendingSet;

void DeliverPending() {
    while (!Pending.empty()) {
        const PendingEvent event = Pending.front();
        Pending.pop_front();
        PendingSet.erase(event);
        platform::GuardCallback(ModuleName, L"WinEventProc", [&] { Deliver(event.hook, event.eventId, event.hWnd); });
    }
}

void PutOff(const PendingEvent& event) {
    if (!PendingSet.insert(event).second) return;
    Pending.push_back(event);
    // One run delivers everything waiting by then.
    if (Pending.size() == 1) BusyScope::WhenIdle(DeliverPending);
}

}  // namespace

HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, DWORD eventMin, DWORD eventMax) {
    if (!receiver) return nullptr;
    HWINEVENTHOOK hook = ::SetWinEventHook(eventMin, eventMax, nullptr, &WinEventProc, 0, 0,
                                           WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) return nullptr;
    try {
        if (!WinEventSinks) WinEventSinks.emplace();
        WinEventSinks->Add(HookKey(hook), receiver);
    } catch (...) {
        // A hook nobody receives would only cost time.
        ::UnhookWinEvent(hook);
        throw;
    }
    return hook;
}

void WinEventClearHook(HWINEVENTHOOK hook) {
    if (!hook) return;
    ::UnhookWinEvent(hook);
    if (!WinEventSinks) return;
    const std::wstring key = HookKey(hook);
    // Released after the entry is gone, so a receiver whose last reference
    // this is never finds itself still registered.
    std::shared_ptr<IWinEvent> receiver;
    if (auto* found = WinEventSinks->Find(key)) {
        receiver = std::move(*found);
        WinEventSinks->Remove(key);
    }
    if (WinEventSinks->Empty()) WinEventSinks.reset();
}

size_t WinEventHookCount() noexcept { return WinEventSinks ? static_cast<size_t>(WinEventSinks->Count()) : 0; }

void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd, LONG idObject, LONG idChild, DWORD, DWORD) noexcept {
    // The hooked range is wide and busy: reject by the cheap tests first.
    if (idObject != OBJID_WINDOW || idChild != CHILDID_SELF || !hWnd) return;
    if (!IsAcceptedEvent(eventId)) return;
    platform::GuardCallback(ModuleName, L"WinEventProc", [&] {
        // The system hands events over whenever this thread waits, also in
        // the middle of our own work (a tray icon being made for the very
        // window the event is about): such events wait for the work to end.
        if (BusyScope::Active())
            PutOff({hook, eventId, hWnd});
        else
            Deliver(hook, eventId, hWnd);
    });
}
