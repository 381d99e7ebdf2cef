#include "TimerEx.h"

#include "ComError.h"
#include "Guard.h"
#include "KestrixModule.h"
#include "TimerExModule.h"

namespace {
// A timer handles its own failures: logged while error trapping is on (as it
// always is once the component has started), else handed to the caller.
constexpr platform::LogSource Log{L"TimerEx", platform::OnFailure::LogWhileTrapping};
}  // namespace

TimerEx::TimerEx() : events_(this, DIID_TimerExEvents) { AddConnectionPoint(events_); }

TimerEx::~TimerEx() {
    // The table must never refer to a timer that is gone.
    Log.Guard(L"Class_Terminate", platform::Trap::Always, [&] {
        if (id_ != 0) TimerExModule::StopTimer(id_);
    });
    Log.Skip(L"Class_Terminate", [&] { tag_ = platform::Variant(); });
}

HRESULT TimerEx::Create(REFIID iid, void** object) noexcept {
    KestrixModule::Startup();
    // Construction fails to its caller whatever the trapping flag says: a
    // factory that answered success would hand out no object.
    return Log.Member(L"Class_Initialize", platform::OnFailure::ToCaller, [&] {
        platform::ThrowIfFailed(Make()->QueryInterface(iid, object), L"TimerEx.Class_Initialize");
    });
}

platform::ComPtr<TimerEx> TimerEx::Make() { return platform::com::MakeObject<TimerEx>(); }

void* TimerEx::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__TimerEx) return static_cast<_TimerEx*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void TimerEx::Restart() {
    if (id_ != 0) TimerExModule::StopTimer(id_);
    if (enabled_) id_ = TimerExModule::StartTimer(this, interval_);
}

void TimerEx::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Restart();
}

void TimerEx::SetEventType(LONG value) {
    if (value == eventType_) return;
    if (value != pkTimerOneShot && value != pkTimerPeriodic)
        platform::Raise(platform::errors::InvalidPropertyValue, L"TimerEx.EventType");
    eventType_ = static_cast<PKTimerEventType>(value);
    Restart();
}

void TimerEx::SetInterval(LONG value) {
    if (value == interval_) return;
    if (value < 1) platform::Raise(platform::errors::InvalidPropertyValue, L"TimerEx.Interval");
    interval_ = value;
    Restart();
}

void TimerEx::Fire() {
    if (subscriber_) {
        platform::ComPtr<ITimerEx> subscriber(subscriber_);
        platform::ThrowIfFailed(subscriber->Notify(this), L"TimerEx.Notify");
    }
    events_.Fire(TimerEventId, {});
}

HRESULT TimerEx::get_Enabled(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Enabled", [&] { *platform::CheckOut(value) = platform::ToVariantBool(enabled_); });
}

HRESULT TimerEx::put_Enabled(VARIANT_BOOL value) {
    return Log.Member(L"Let_Enabled", [&] { SetEnabled(value != VARIANT_FALSE); });
}

HRESULT TimerEx::get_EventType(PKTimerEventType* value) {
    return Log.Member(L"Get_EventType", [&] { *platform::CheckOut(value) = eventType_; });
}

HRESULT TimerEx::put_EventType(PKTimerEventType value) {
    return Log.Member(L"Let_EventType", [&] { SetEventType(value); });
}

HRESULT TimerEx::get_ID(LONG_PTR* value) {
    return Log.Member(L"Get_ID", [&] { *platform::CheckOut(value) = static_cast<LONG_PTR>(id_); });
}

HRESULT TimerEx::get_Interval(LONG* value) {
    return Log.Member(L"Get_Interval", [&] { *platform::CheckOut(value) = interval_; });
}

HRESULT TimerEx::put_Interval(LONG value) {
    return Log.Member(L"Let_Interval", [&] { SetInterval(value); });
}

HRESULT TimerEx::get_Subscriber(ITimerEx** value) {
    return Log.Member(L"Get_Subscriber", [&] {
        ITimerEx** out = platform::CheckOut(value);
        *out = subscriber_;
        if (subscriber_) subscriber_->AddRef();
    });
}

HRESULT TimerEx::putref_Subscriber(ITimerEx* value) {
    return Log.Member(L"Set_Subscriber", [&] { subscriber_ = value; });
}

HRESULT TimerEx::get_Tag(VARIANT* value) {
    return Log.Member(L"Get_Tag", [&] { tag_.CopyTo(platform::CheckOut(value)); });
}

HRESULT TimerEx::put_Tag(VARIANT value) {
    return Log.Member(L"Let_Tag", [&] { tag_ = platform::Variant(value); });
}

HRESULT TimerEx::putref_Tag(VARIANT value) {
    return Log.Member(L"Set_Tag", [&] { tag_ = platform::Variant(value); });
}

HRESULT TimerEx::Notify() {
    return Log.Member(L"Notify", [&] { Fire(); });
}
