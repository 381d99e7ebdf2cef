#include "OwnedTimer.h"

#include "Guard.h"

OwnedTimer::OwnedTimer(platform::ComPtr<_TimerEx> timer, PKTimerEventType kind, LONG interval,
                       std::function<void()> onTimer)
    : timer_(std::move(timer)), sink_(platform::com::MakeObject<platform::com::EventSink>(DIID_TimerExEvents)) {
    platform::ThrowIfFailed(timer_->put_EventType(kind), L"TimerEx.EventType");
    platform::ThrowIfFailed(timer_->put_Interval(interval), L"TimerEx.Interval");
    sink_->On(TimerEventDispId, [onTimer = std::move(onTimer)](const DISPPARAMS&) { onTimer(); });
    connection_ = platform::com::EventConnection(timer_.Get(), DIID_TimerExEvents, static_cast<IDispatch*>(sink_.Get()));
}

OwnedTimer::~OwnedTimer() {
    connection_.Disconnect();
    platform::SkipFailure(L"OwnedTimer", L"Class_Terminate", [&] { SetEnabled(false); });
}

bool OwnedTimer::Enabled() const {
    VARIANT_BOOL enabled = VARIANT_FALSE;
    platform::ThrowIfFailed(timer_->get_Enabled(&enabled), L"TimerEx.Enabled");
    return enabled != VARIANT_FALSE;
}

void OwnedTimer::SetEnabled(bool value) {
    platform::ThrowIfFailed(timer_->put_Enabled(value ? VARIANT_TRUE : VARIANT_FALSE), L"TimerEx.Enabled");
}
