#include <gtest/gtest.h>

#include <memory>

#include "ComError.h"
#include "Guard.h"
#include "EventLog.h"
#include "ExceptionLogReader.h"
#include "KestrixModule.h"
#include "TimerEx.h"
#include "TimerExModule.h"
#include "Wait.h"

using testing_support::EventLog;
using platform::ComPtr;
using testing_support::WaitUntil;

namespace {

constexpr DISPID TimerEventId = TimerEx::TimerEventId;

// A subscriber that records its calls, and the Timer events in the same list.
class Subscriber final : public platform::com::ComBase<Subscriber, ITimerEx> {
public:
    explicit Subscriber(std::vector<std::wstring>& calls) : calls_(calls) {}
    void* Cast(REFIID iid) noexcept {
        return iid == IID_IUnknown || iid == IID_ITimerEx ? static_cast<ITimerEx*>(this) : nullptr;
    }
    HRESULT STDMETHODCALLTYPE Notify(_TimerEx* timer) override {
        calls_.push_back(L"Notify");
        lastTimer = timer;
        return fail ? platform::ReportError(platform::Error(5, L"subscriber failed", L"Test.Notify")) : S_OK;
    }
    _TimerEx* lastTimer = nullptr;
    bool fail = false;

private:
    std::vector<std::wstring>& calls_;
};

struct RecordedFailure {
    int32_t number;
    std::wstring module;
    std::wstring procedure;
};
std::vector<RecordedFailure> g_logged;

// Logs the component's failures into g_logged for one test, then gives the
// log back to the logger it had.
class RecordingLog {
public:
    RecordingLog()
        : previous_(platform::SetFailureLogger(
              [](const platform::Error& e, std::wstring_view module, std::wstring_view procedure) {
                  g_logged.push_back({e.Number(), std::wstring(module), std::wstring(procedure)});
              })) {
        g_logged.clear();
    }
    ~RecordingLog() { platform::SetFailureLogger(previous_); }

private:
    platform::FailureLogger previous_;
};

// Error trapping off for one test, as a client that uses the component
// without its start-up has it.
class TrappingOff {
public:
    TrappingOff() { platform::SetErrorTrapping(false); }
    ~TrappingOff() { platform::SetErrorTrapping(true); }
};

std::wstring ErrorSource() {
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, &info) != S_OK) return {};
    platform::Bstr source;
    info->GetSource(source.put());
    return source.Text();
}

}  // namespace

TEST(TimerExTest, OneShotCallsSubscriberThenRaisesTimerOnceAndStops) {
    auto timer = TimerEx::Make();
    std::vector<std::wstring> calls;
    auto subscriber = platform::com::MakeObject<Subscriber>(calls);
    EventLog events(static_cast<_TimerEx*>(timer.Get()), DIID_TimerExEvents, {{TimerEventId, L"Timer"}});
    events.OnEvent(L"Timer", [&] { calls.push_back(L"Timer"); });

    ASSERT_EQ(S_OK, timer->putref_Subscriber(subscriber.Get()));
    ASSERT_EQ(S_OK, timer->put_EventType(pkTimerOneShot));
    ASSERT_EQ(S_OK, timer->put_Interval(20));
    ASSERT_EQ(S_OK, timer->put_Enabled(VARIANT_TRUE));
    EXPECT_NE(0u, timer->ID());
    EXPECT_EQ(1, TimerExModule::RunningTimerCount());

    ASSERT_TRUE(WaitUntil([&] { return !calls.empty() && calls.back() == L"Timer"; }));
    EXPECT_EQ((std::vector<std::wstring>{L"Notify", L"Timer"}), calls);
    EXPECT_EQ(static_cast<_TimerEx*>(timer.Get()), subscriber->lastTimer);
    VARIANT_BOOL enabled = VARIANT_TRUE;
    LONG_PTR id = -1;
    timer->get_Enabled(&enabled);
    timer->get_ID(&id);
    EXPECT_EQ(VARIANT_FALSE, enabled);
    EXPECT_EQ(0, id);
    EXPECT_EQ(0, TimerExModule::RunningTimerCount());

    // Nothing more arrives: a second timer of the same interval fires, the first stays quiet.
    auto other = TimerEx::Make();
    other->SetEventType(pkTimerOneShot);
    other->SetInterval(20);
    EventLog otherEvents(static_cast<_TimerEx*>(other.Get()), DIID_TimerExEvents, {{TimerEventId, L"Timer"}});
    other->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return otherEvents.Count(L"Timer") == 1; }));
    EXPECT_EQ(2u, calls.size());
    timer->putref_Subscriber(nullptr);
}

TEST(TimerExTest, PeriodicFiresUntilDisabledAndWithoutSubscriberOnlyRaisesTimer) {
    auto timer = TimerEx::Make();
    EventLog events(static_cast<_TimerEx*>(timer.Get()), DIID_TimerExEvents, {{TimerEventId, L"Timer"}});
    EXPECT_FALSE(timer->Enabled());
    timer->SetEnabled(true);  // the default: periodic, 1 ms
    ASSERT_TRUE(WaitUntil([&] { return events.Count(L"Timer") >= 3; }));
    EXPECT_TRUE(timer->Enabled());
    timer->SetEnabled(false);
    EXPECT_EQ(0u, timer->ID());
    EXPECT_EQ(0, TimerExModule::RunningTimerCount());
}

TEST(TimerExTest, ChangingIntervalOrKindRestartsButEnablingAgainDoesNot) {
    auto timer = TimerEx::Make();
    timer->SetInterval(60000);
    timer->SetEnabled(true);
    const UINT_PTR first = timer->ID();
    ASSERT_NE(0u, first);

    timer->SetEnabled(true);
    EXPECT_EQ(first, timer->ID()) << "enabling a running timer must not restart its countdown";
    timer->SetInterval(60000);
    EXPECT_EQ(first, timer->ID()) << "an unchanged interval is no change";

    timer->SetInterval(50000);
    const UINT_PTR second = timer->ID();
    EXPECT_NE(first, second);
    timer->SetEventType(pkTimerOneShot);
    EXPECT_NE(second, timer->ID());
    EXPECT_EQ(1, TimerExModule::RunningTimerCount()) << "a restart leaves exactly one system timer";
    timer->SetEnabled(false);
}

TEST(TimerExTest, RefusedValuesRaiseInvalidPropertyValueOrAreLoggedWhileTrapping) {
    // As a host that made the timer through the component: its log is the
    // one beside the module, which here is the test program.
    KestrixModule::Startup();
    auto timer = TimerEx::Make();
    timer->SetInterval(40);

    auto trappingOff = std::make_unique<TrappingOff>();
    EXPECT_EQ(platform::ToHResult(platform::errors::InvalidPropertyValue), timer->put_Interval(0));
    EXPECT_EQ(L"TimerEx.Interval", ErrorSource());
    EXPECT_EQ(platform::ToHResult(platform::errors::InvalidPropertyValue), timer->put_Interval(-5));
    EXPECT_EQ(platform::ToHResult(platform::errors::InvalidPropertyValue),
              timer->put_EventType(static_cast<PKTimerEventType>(2)));
    EXPECT_EQ(L"TimerEx.EventType", ErrorSource());
    LONG interval = 0;
    PKTimerEventType kind = pkTimerOneShot;
    timer->get_Interval(&interval);
    timer->get_EventType(&kind);
    EXPECT_EQ(40, interval);
    EXPECT_EQ(pkTimerPeriodic, kind);

    trappingOff.reset();
    const testing_support::ExceptionLogMark log;
    EXPECT_EQ(S_OK, timer->put_Interval(0));
    EXPECT_EQ(S_OK, timer->put_EventType(static_cast<PKTimerEventType>(2)));
    EXPECT_EQ(log.Appended(), (std::vector<testing_support::LoggedFailure>{
                                  {L"380", L"Invalid property value", L"TimerEx.Let_Interval"},
                                  {L"380", L"Invalid property value", L"TimerEx.Let_EventType"}}));
    // The timer goes on with its last good values.
    timer->get_Interval(&interval);
    EXPECT_EQ(40, interval);
    timer->SetEnabled(true);
    EXPECT_EQ(1, TimerExModule::RunningTimerCount());
    timer->SetEnabled(false);
}

TEST(TimerExTest, FailingSubscriberIsLoggedAndTheTimerKeepsRunning) {
    RecordingLog recording;
    auto timer = TimerEx::Make();
    std::vector<std::wstring> calls;
    auto subscriber = platform::com::MakeObject<Subscriber>(calls);
    subscriber->fail = true;
    timer->putref_Subscriber(subscriber.Get());
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return calls.size() >= 2; }));
    timer->SetEnabled(false);
    ASSERT_FALSE(g_logged.empty());
    EXPECT_EQ(L"Notify", g_logged[0].procedure);
    timer->putref_Subscriber(nullptr);
}

TEST(TimerExTest, ReleasingARunningTimerTakesItOutOfTheTable) {
    {
        auto timer = TimerEx::Make();
        timer->SetInterval(5);
        timer->SetEnabled(true);
        EXPECT_EQ(1, TimerExModule::RunningTimerCount());
    }
    EXPECT_EQ(0, TimerExModule::RunningTimerCount());
    // Had the released timer's system timer survived, it would have expired
    // by the time a later one of the same interval does, and been logged.
    RecordingLog recording;
    auto later = TimerEx::Make();
    later->SetEventType(pkTimerOneShot);
    later->SetInterval(5);
    EventLog events(static_cast<_TimerEx*>(later.Get()), DIID_TimerExEvents, {{TimerEventId, L"Timer"}});
    later->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return events.Count(L"Timer") == 1; }));
    EXPECT_TRUE(g_logged.empty());
}

TEST(TimerExTest, TagHoldsValuesByCopyAndObjectsByCountedReference) {
    auto timer = TimerEx::Make();
    auto held = TimerEx::Make();
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = static_cast<_TimerEx*>(held.Get());
    ASSERT_EQ(S_OK, timer->putref_Tag(value));
    const ULONG withTag = held->AddRef() - 1;
    held->Release();
    timer.Reset();
    const ULONG afterRelease = held->AddRef() - 1;
    held->Release();
    EXPECT_EQ(withTag - 1, afterRelease) << "the tag's reference goes with the timer";

    auto other = TimerEx::Make();
    platform::Variant text = platform::Variant::FromText(L"tag");
    other->put_Tag(text.get());
    platform::Variant read;
    other->get_Tag(read.put());
    EXPECT_EQ(L"tag", platform::ToText(read.get(), L"test"));
}
