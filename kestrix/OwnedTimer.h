#pragma once
// A TimerEx kept by one owner for itself: its Timer event calls back into the
// owner. Going away stops the timer and disconnects. The component's own
// classes hand it a timer they made in-process; the program hands it one
// created from Kestrix.dll.
#include <functional>

#include "ComClient.h"
#include "KestrixInterfaces.h"

// DISPID of the Timer event of TimerExEvents.
inline constexpr DISPID TimerEventDispId = 1;

class OwnedTimer {
public:
    OwnedTimer(platform::ComPtr<_TimerEx> timer, PKTimerEventType kind, LONG interval, std::function<void()> onTimer);
    ~OwnedTimer();
    OwnedTimer(const OwnedTimer&) = delete;
    OwnedTimer& operator=(const OwnedTimer&) = delete;

    bool Enabled() const;
    void SetEnabled(bool value);

private:
    platform::ComPtr<_TimerEx> timer_;
    platform::ComPtr<platform::com::EventSink> sink_;
    platform::com::EventConnection connection_;
};
