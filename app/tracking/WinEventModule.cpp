#include "WinEventModule.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Guard.h"
#include "Handles.h"
#include "KeyedCollection.h"
#include "MainModule.h"

namespace {

constexpr wchar_t ModuleName[] = L"WinEvent";
constexpr DWORD HookFlags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;

// One hook as its caller knows it: the system hooks of its ranges, all
// delivering to one receiver.
struct Sink {
    std::shared_ptr<IWinEvent> receiver;
    std::vector<platform::UniqueWinEventHook> hooks;

    bool Covers(HWINEVENTHOOK hook) const noexcept {
        return std::ranges::any_of(hooks, [hook](const auto& owned) { return owned.get() == hook; });
    }
};

// The installed hooks, keyed by the handle their caller holds (their first
// system hook's) as decimal text. Exists only while at least one is installed.
using SinkTable = platform::KeyedCollection<Sink>;
std::optional<SinkTable> WinEventSinks;
uint64_t CallbackCount = 0;

std::wstring HookKey(HWINEVENTHOOK hook) { return std::to_wstring(reinterpret_cast<uintptr_t>(hook)); }

// The system names the hook of one range; a handful of hooks are installed
// at most, so a walk costs less than building a key.
std::shared_ptr<IWinEvent> ReceiverOf(HWINEVENTHOOK hook) {
    if (!WinEventSinks) return nullptr;
    for (const auto& entry : *WinEventSinks) {
        if (entry.value.Covers(hook)) return entry.value.receiver;
    }
    return nullptr;
}

// Everything else a wide range brings is noise.
bool IsAcceptedEvent(DWORD eventId) noexcept {
    return std::ranges::any_of(TrackedEventRanges, [eventId](const auto& range) { return range.Contains(eventId); });
}

// Hands the event to the hook's receiver: the window first, then each ancestor.
void Deliver(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd) {
    // Held for the call: a receiver may clear its own hook while handling.
    const std::shared_ptr<IWinEvent> receiver = ReceiverOf(hook);
    if (!receiver) return;
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
        platform::Guard(ModuleName, L"WinEventProc", platform::Trap::Always,
                        [&] { Deliver(event.hook, event.eventId, event.hWnd); });
    }
}

void PutOff(const PendingEvent& event) {
    if (!PendingSet.insert(event).second) return;
    Pending.push_back(event);
    // One run delivers everything waiting by then.
    if (Pending.size() == 1) BusyScope::WhenIdle(DeliverPending);
}

}  // namespace

HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, std::span<const WinEventRange> ranges) {
    if (!receiver || ranges.empty()) return nullptr;
    Sink sink{receiver, {}};
    sink.hooks.reserve(ranges.size());
    for (const auto& range : ranges) {
        sink.hooks.emplace_back(::SetWinEventHook(range.first, range.last, nullptr, &WinEventProc, 0, 0, HookFlags));
        // Half a hook would track windows by some of their changes only;
        // the ranges hooked so far go with `sink`.
        if (!sink.hooks.back()) return nullptr;
    }
    const HWINEVENTHOOK hook = sink.hooks.front().get();
    if (!WinEventSinks) WinEventSinks.emplace();
    // Should the entry not be made, `sink` takes its system hooks away with it.
    WinEventSinks->Add(HookKey(hook), std::move(sink));
    return hook;
}

HWINEVENTHOOK WinEventSetHook(const std::shared_ptr<IWinEvent>& receiver, DWORD eventMin, DWORD eventMax) {
    const WinEventRange range{eventMin, eventMax};
    return WinEventSetHook(receiver, std::span(&range, 1));
}

void WinEventClearHook(HWINEVENTHOOK hook) {
    if (!hook || !WinEventSinks) return;
    const std::wstring key = HookKey(hook);
    Sink* found = WinEventSinks->Find(key);
    if (!found) return;
    // Unhooked and released after the entry is gone, so a receiver whose
    // last reference this is never finds itself still registered.
    const Sink removed = std::move(*found);
    WinEventSinks->Remove(key);
    if (WinEventSinks->Empty()) WinEventSinks.reset();
}

size_t WinEventHookCount() noexcept { return WinEventSinks ? static_cast<size_t>(WinEventSinks->Count()) : 0; }

uint64_t WinEventCallbackCount() noexcept { return CallbackCount; }

void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD eventId, HWND hWnd, LONG idObject, LONG idChild, DWORD, DWORD) noexcept {
    ++CallbackCount;
    // A hook given a wide range brings many events: reject by the cheap tests first.
    if (idObject != OBJID_WINDOW || idChild != CHILDID_SELF || !hWnd) return;
    if (!IsAcceptedEvent(eventId)) return;
    platform::Guard(ModuleName, L"WinEventProc", platform::Trap::Always, [&] {
        // The system hands events over whenever this thread waits, also in
        // the middle of our own work (a tray icon being made for the very
        // window the event is about): such events wait for the work to end.
        if (BusyScope::Active())
            PutOff({hook, eventId, hWnd});
        else
            Deliver(hook, eventId, hWnd);
    });
}
