#pragma once
// Waiting for something another thread or process does, without fixed sleeps:
// the condition is checked as messages arrive and at short intervals, until
// it holds or the time is up.
#include <windows.h>
#include <functional>

namespace testing_support {

constexpr DWORD DefaultTimeoutMs = 10000;

// Pumps this thread's messages while waiting. True when the condition held in time.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = DefaultTimeoutMs);

}  // namespace testing_support
