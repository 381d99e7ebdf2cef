// What the window-event hook costs the program while another program raises
// events tracking has no use for, as a busy desktop does all the time (the
// pointer's every move, focus going about): this process's CPU time while
// they are delivered, with the one wide range once hooked and with the
// tracked ranges, in turns in the same run, and whether the event tracking
// does take (a window retitled) still arrives under both.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Handles.h"
#include "Process.h"
#include "Wait.h"
#include "WinEventModule.h"

namespace {

using testing_support::WaitUntil;

constexpr long NoiseEventsPerKind = 3000;
constexpr int NoiseKinds = 2;
constexpr int RoundsPerHook = 7;
constexpr DWORD RoundTimeoutMs = 60000;
constexpr ULONGLONG FileTimeUnitsPerMs = 10000;
constexpr wchar_t GoEventName[] = L"PelkinHookBench.go";
constexpr wchar_t DoneEventName[] = L"PelkinHookBench.done";

// Counts what reaches the receiver, and the retitles of the raising program's window.
struct Receiver : IWinEvent {
    DWORD raiserId = 0;
    uint64_t delivered = 0;
    int retitles = 0;
    void WinEventProc(DWORD eventId, HWND hWnd) override {
        ++delivered;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(hWnd, &processId);
        if (eventId == EVENT_OBJECT_NAMECHANGE && processId == raiserId) ++retitles;
    }
};

struct HookKind {
    const char* name;
    std::function<HWINEVENTHOOK(const std::shared_ptr<IWinEvent>&)> set;
};

struct Round {
    double threadMs = 0;
    double processMs = 0;
    double wallMs = 0;
    uint64_t callbacks = 0;
    uint64_t delivered = 0;
    bool retitleTaken = false;
};

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / FileTimeUnitsPerMs;
}

// User and kernel time of this thread (where the hook's calls run) and of the whole process.
struct CpuNow {
    double threadMs = 0;
    double processMs = 0;
    ULONGLONG tick = 0;
};

CpuNow Now() {
    CpuNow now;
    FILETIME created, exited, kernel, user;
    if (::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user))
        now.threadMs = FileTimeMs(kernel) + FileTimeMs(user);
    if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        now.processMs = FileTimeMs(kernel) + FileTimeMs(user);
    now.tick = ::GetTickCount64();
    return now;
}

class Raiser {
public:
    Raiser()
        : go_(::CreateEventW(nullptr, FALSE, FALSE, GoEventName)),
          done_(::CreateEventW(nullptr, FALSE, FALSE, DoneEventName)),
          process_(testing_support::BesideTests(L"event_raiser.exe"),
                   std::to_wstring(NoiseEventsPerKind) + L" " + GoEventName + L" " + DoneEventName) {}

    bool Started() const { return go_ && done_ && process_.Started(); }
    DWORD Id() const noexcept { return process_.Id(); }
    void Go() const { ::SetEvent(go_.get()); }
    bool Done() const { return ::WaitForSingleObject(done_.get(), 0) == WAIT_OBJECT_0; }

private:
    platform::UniqueKernelHandle go_;
    platform::UniqueKernelHandle done_;
    testing_support::ChildProcess process_;
};

// One storm and the retitle after it, under a hook of the given kind.
Round RunRound(const Raiser& raiser, const HookKind& kind, const std::shared_ptr<Receiver>& receiver) {
    Round round;
    HWINEVENTHOOK hook = kind.set(receiver);
    if (!hook) return round;
    receiver->delivered = 0;
    const int retitlesBefore = receiver->retitles;
    const uint64_t callbacksBefore = WinEventCallbackCount();
    const CpuNow before = Now();
    raiser.Go();
    bool done = false;
    round.retitleTaken = WaitUntil(
        [&] {
            done = done || raiser.Done();
            return done && receiver->retitles > retitlesBefore;
        },
        RoundTimeoutMs);
    const CpuNow after = Now();
    round.threadMs = after.threadMs - before.threadMs;
    round.processMs = after.processMs - before.processMs;
    round.wallMs = static_cast<double>(after.tick - before.tick);
    round.callbacks = WinEventCallbackCount() - callbacksBefore;
    round.delivered = receiver->delivered;
    WinEventClearHook(hook);
    return round;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The platform may count CPU time in coarse ticks: the mean of the rounds
// shows what a median of ticks rounds away.
double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values) sum += value;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

void PrintRow(const HookKind& kind, const std::vector<Round>& rounds) {
    std::vector<double> thread, process, wall;
    uint64_t callbacks = 0, delivered = 0;
    int taken = 0;
    for (const auto& round : rounds) {
        thread.push_back(round.threadMs);
        process.push_back(round.processMs);
        wall.push_back(round.wallMs);
        callbacks = std::max(callbacks, round.callbacks);
        delivered = std::max(delivered, round.delivered);
        taken += round.retitleTaken ? 1 : 0;
    }
    std::printf("%-38s %6llu %9llu %5d/%-3zu %9.1f %10.1f %8.1f %8.1f\n", kind.name,
                static_cast<unsigned long long>(callbacks), static_cast<unsigned long long>(delivered), taken,
                rounds.size(), Median(thread), Median(process), Mean(process), Median(wall));
}

}  // namespace

int wmain() {
    Raiser raiser;
    if (!raiser.Started()) {
        std::printf("event_raiser.exe did not start\n");
        return 1;
    }
    auto receiver = std::make_shared<Receiver>();
    receiver->raiserId = raiser.Id();
    const std::vector<HookKind> kinds{
        {"one range, minimize start-name change",
         [](const std::shared_ptr<IWinEvent>& to) { return WinEventSetHook(to, TrackedEventFirst, TrackedEventLast); }},
        {"the tracked ranges",
         [](const std::shared_ptr<IWinEvent>& to) { return WinEventSetHook(to, TrackedEventRanges); }},
    };
    // The first round also waits for the other program to start: not counted.
    if (!RunRound(raiser, kinds.front(), receiver).retitleTaken) {
        std::printf("the other program's retitle never arrived: no window events across processes here\n");
        return 1;
    }
    std::vector<std::vector<Round>> rounds(kinds.size());
    for (int turn = 0; turn < RoundsPerHook; ++turn) {
        for (size_t k = 0; k < kinds.size(); ++k) rounds[k].push_back(RunRound(raiser, kinds[k], receiver));
    }
    std::printf("Another program raises %ld location changes and %ld focus events (half for the whole window,\n"
                "half for the pointer or the client area), then retitles its window. CPU time of this process\n"
                "from the start of the storm until the retitle was taken; median of %d rounds per hook, in turns\n"
                "(mean ms: the process's mean). Calls = calls of the hook callback in a round; delivered =\n"
                "calls that reached the receiver.\n\n",
                NoiseEventsPerKind, NoiseEventsPerKind, RoundsPerHook);
    std::printf("%-38s %6s %9s %9s %9s %10s %8s %8s\n", "hook", "calls", "delivered", "retitle", "thread ms",
                "process ms", "mean ms", "wall ms");
    for (size_t k = 0; k < kinds.size(); ++k) PrintRow(kinds[k], rounds[k]);
    std::printf("\n%d events raised per round.\n", static_cast<int>(NoiseEventsPerKind) * NoiseKinds + 1);
    const bool allTaken = std::ranges::all_of(rounds, [](const auto& list) {
        return std::ranges::all_of(list, [](const Round& round) { return round.retitleTaken; });
    });
    return allTaken ? 0 : 1;
}
