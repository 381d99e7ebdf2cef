#pragma once
// The thread's table of running timers, from system timer id to TimerEx, and
// the callback the system calls on expiry. Entries do not count references:
// a timer leaves the table before it goes away.
#include <windows.h>

class TimerEx;

namespace TimerExModule {

// Starts a system timer for `timer`; its id, or 0 when the system refused.
UINT_PTR StartTimer(TimerEx* timer, LONG interval);
// Stops the system timer and forgets it; `id` becomes 0.
void StopTimer(UINT_PTR& id);
// Running timers of this thread (for tests and diagnostics).
int RunningTimerCount() noexcept;

void CALLBACK TimerProc(HWND hwnd, UINT msg, UINT_PTR idEvent, DWORD time) noexcept;

}  // namespace TimerExModule
