#pragma once
// Waiting for something another thread or process does, without fixed sleeps:
// the condition is checked as messages arrive and at short intervals, until
// it holds or the time is up.
#include <windows.h>
#include <functional>

namespace testing_support {

// The one deadline of every wait for another thread or process, the tests'
// own helpers included. A wait that ends in time costs nothing for being
// long, so it is set for a machine whose every core is busy elsewhere: what
// takes a second on a quiet machine may take several there, and a deadline
// that only a quiet machine meets makes a test fail one run in five.
constexpr DWORD QuietMachineTimeoutMs = 10000;
constexpr DWORD LoadedMachineFactor = 3;
constexpr DWORD DefaultTimeoutMs = QuietMachineTimeoutMs * LoadedMachineFactor;

// Pumps this thread's messages while waiting. True when the condition held in time.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = DefaultTimeoutMs);

}  // namespace testing_support
