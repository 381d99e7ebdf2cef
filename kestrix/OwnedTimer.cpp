#include "OwnedTimer.h"

#include "Guard.h"

OwnedTimer::OwnedTimer(PKTimerEventType kind, LONG interval, std::function<void()> onTimer)
    : timer_(TimerEx::Make()), sink_(platform::com::MakeObject<platform::com::EventSink>(DIID_TimerExEvents)) {
    timer_->SetEventType(kind);
    timer_->SetInterval(interval);
    sink_->On(TimerEx::TimerEventId, [onTimer = std::move(onTimer)](const DISPPARAMS&) { onTimer(); });
    connection_ = platform::com::EventConnection(static_cast<_TimerEx*>(timer_.Get()), DIID_TimerExEvents,
                                                 static_cast<IDispatch*>(sink_.Get()));
}

OwnedTimer::~OwnedTimer() {
    connection_.Disconnect();
    platform::SkipFailure([&] { timer_->SetEnabled(false); });
}
