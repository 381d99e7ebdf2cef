#pragma once
// A one-shot or periodic timer on the platform's thread timers. On each expiry
// it calls its subscriber (if any) through ITimerEx and then raises Timer.
#include <windows.h>

#include "ComObject.h"
#include "ConnectionPoint.h"
#include "KestrixInterfaces.h"
#include "OwnedTimer.h"
#include "Variant.h"

class TimerEx final : public platform::com::ComBase<TimerEx, platform::com::Dispatch<_TimerEx>,
                                                    platform::com::ConnectionPointContainer,
                                                    platform::com::ProvideClassInfo<CLSID_TimerEx>,
                                                    platform::com::SupportErrorInfo> {
public:
    // Made through MakeObject (or Make), which hands out the first reference.
    TimerEx();

    // DISPID of the Timer event.
    static constexpr DISPID TimerEventId = TimerEventDispId;

    static HRESULT Create(REFIID iid, void** object) noexcept;
    static platform::ComPtr<TimerEx> Make();

    void* Cast(REFIID iid) noexcept;

    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_EventType(PKTimerEventType* value) override;
    HRESULT STDMETHODCALLTYPE put_EventType(PKTimerEventType value) override;
    HRESULT STDMETHODCALLTYPE get_ID(LONG_PTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Interval(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_Interval(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Subscriber(ITimerEx** value) override;
    HRESULT STDMETHODCALLTYPE putref_Subscriber(ITimerEx* value) override;
    HRESULT STDMETHODCALLTYPE get_Tag(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE Notify() override;

    // The same operations for code of this component, failures raised.
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    void SetEventType(LONG value);
    void SetInterval(LONG value);
    UINT_PTR ID() const noexcept { return id_; }
    bool OneShot() const noexcept { return eventType_ == pkTimerOneShot; }
    void Fire();

private:
    friend platform::com::ComBase<TimerEx, platform::com::Dispatch<_TimerEx>, platform::com::ConnectionPointContainer,
                                  platform::com::ProvideClassInfo<CLSID_TimerEx>, platform::com::SupportErrorInfo>;
    ~TimerEx() override;

    void Restart();

    bool enabled_ = false;
    PKTimerEventType eventType_ = pkTimerPeriodic;
    LONG interval_ = 1;
    UINT_PTR id_ = 0;
    ITimerEx* subscriber_ = nullptr;  // not counted: the subscriber outlives the timer or clears itself
    platform::Variant tag_;
    platform::com::ConnectionPoint events_;
};
