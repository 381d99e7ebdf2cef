#pragma once
// A TimerEx that a class of this component keeps for itself: its Timer event
// calls back into the owner. Going away stops the timer and disconnects.
#include <functional>

#include "ComClient.h"
#include "TimerEx.h"

class OwnedTimer {
public:
    OwnedTimer(PKTimerEventType kind, LONG interval, std::function<void()> onTimer);
    ~OwnedTimer();
    OwnedTimer(const OwnedTimer&) = delete;
    OwnedTimer& operator=(const OwnedTimer&) = delete;

    bool Enabled() const noexcept { return timer_->Enabled(); }
    void SetEnabled(bool value) { timer_->SetEnabled(value); }

private:
    platform::ComPtr<TimerEx> timer_;
    platform::ComPtr<platform::com::EventSink> sink_;
    platform::com::EventConnection connection_;
};
