// The COM plumbing the components are built on: automation values, failures
// crossing COM boundaries, connection points with their sinks, enumerators.
#include <gtest/gtest.h>

#include <olectl.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ComClient.h"
#include "ComEnumerator.h"
#include "ComError.h"
#include "ComObject.h"
#include "ConnectionPoint.h"
#include "Guard.h"
#include "Variant.h"

using platform::ComPtr;
using platform::Error;
using platform::Variant;
namespace com = platform::com;

namespace {

// Made-up event interfaces of the test source.
const IID ProbeEvents = {0x5c1f4a2e, 0x7d3b, 0x4e91, {0xa0, 0x6c, 0x2b, 0x95, 0x1e, 0x47, 0xd8, 0x03}};
const IID OtherEvents = {0x5c1f4a2e, 0x7d3b, 0x4e91, {0xa0, 0x6c, 0x2b, 0x95, 0x1e, 0x47, 0xd8, 0x04}};
const IID UnknownEvents = {0x5c1f4a2e, 0x7d3b, 0x4e91, {0xa0, 0x6c, 0x2b, 0x95, 0x1e, 0x47, 0xd8, 0x05}};

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

bool SameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> first, second;
    return SUCCEEDED(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&first))) &&
           SUCCEEDED(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&second))) && first.Get() == second.Get();
}

// A plain object (no IDispatch) that says when it is gone.
class Probe final : public com::ComBase<Probe, IUnknown> {
public:
    explicit Probe(bool* destroyed = nullptr) noexcept : destroyed_(destroyed) {}
    ~Probe() override {
        if (destroyed_) *destroyed_ = true;
    }
    void* Cast(REFIID iid) noexcept { return iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr; }

private:
    bool* destroyed_;
};

// An event source with two connection points; it too says when it is gone.
class Source final : public com::ComBase<Source, com::ConnectionPointContainer> {
public:
    explicit Source(bool* destroyed = nullptr)
        : events_(this, ProbeEvents), other_(this, OtherEvents), destroyed_(destroyed) {
        AddConnectionPoint(events_);
        AddConnectionPoint(other_);
    }
    ~Source() override {
        events_.DisconnectAll();
        other_.DisconnectAll();
        if (destroyed_) *destroyed_ = true;
    }
    void* Cast(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }
    IUnknown* Unknown() noexcept { return static_cast<IConnectionPointContainer*>(this); }
    com::ConnectionPoint& Events() noexcept { return events_; }

private:
    com::ConnectionPoint events_;
    com::ConnectionPoint other_;
    bool* destroyed_;
};

ComPtr<com::EventSink> MakeSink() { return com::MakeObject<com::EventSink>(ProbeEvents); }
IUnknown* AsUnknown(const ComPtr<com::EventSink>& sink) { return static_cast<IDispatch*>(sink.Get()); }

// Each test in an apartment of its own: error information needs one.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

using Details = std::tuple<int32_t, std::wstring, std::wstring>;  // number, description, source

template <class Body>
Details RaisedBy(Body&& body) {
    try {
        body();
    } catch (const Error& e) {
        return {e.Number(), e.Description(), e.Source()};
    }
    ADD_FAILURE() << "nothing was raised";
    return {};
}

int32_t NumberRaisedBy(auto&& body) { return std::get<0>(RaisedBy(body)); }

}  // namespace

// --- automation values -------------------------------------------------------

TEST_F(ComTest, ConversionsCoerceFollowReferencesAndRaiseTypeMismatch) {
    EXPECT_EQ(platform::ToInt32(Variant::FromText(L"12").get(), L"T.M"), 12);
    EXPECT_EQ(platform::ToText(Variant::FromInt32(-7).get(), L"T.M"), L"-7");
    EXPECT_EQ(RaisedBy([] { platform::ToInt32(Variant::FromText(L"abc").get(), L"Widget.Size"); }),
              (Details{13, L"Type mismatch", L"Widget.Size"}));

    LONG target = 41;
    VARIANT byRef{};
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &target;
    EXPECT_EQ(platform::ToInt32(byRef, L"T.M"), 41);

    // A flag passed by reference is read when the value is read, not when it was made.
    VARIANT_BOOL flag = VARIANT_FALSE;
    const Variant ref = Variant::RefToBool(&flag);
    EXPECT_FALSE(platform::ToBool(ref.get(), L"T.M"));
    flag = VARIANT_TRUE;
    EXPECT_TRUE(platform::ToBool(ref.get(), L"T.M"));

    const std::wstring withNull(L"a\0b", 3);
    EXPECT_EQ(platform::Bstr::Text(Variant::FromText(withNull).get().bstrVal), withNull);
}

TEST_F(ComTest, ArraysHandOutElementsAndRefuseOutOfRangeIndexes) {
    const Variant array = platform::MakeVariantArray({Variant::FromInt32(1), Variant::FromText(L"two")});
    EXPECT_EQ(platform::ArrayLength(array.get()), 2);
    EXPECT_EQ(platform::ToText(platform::ArrayElement(array.get(), 1, L"T.M").get(), L"T.M"), L"two");
    for (long index : {2L, -1L}) {
        EXPECT_EQ(RaisedBy([&] { platform::ArrayElement(array.get(), index, L"Thing.FireEvent"); }),
                  (Details{9, L"Subscript out of range", L"Thing.FireEvent"}))
            << index;
    }

    // Events hand the array on as a reference to the caller's VARIANT.
    VARIANT byRef{};
    byRef.vt = VT_VARIANT | VT_BYREF;
    byRef.pvarVal = const_cast<VARIANT*>(&array.get());
    EXPECT_EQ(platform::ArrayLength(byRef), 2);
    EXPECT_EQ(platform::ToInt32(platform::ArrayElement(byRef, 0, L"T.M").get(), L"T.M"), 1);

    // Anything else is an empty array.
    EXPECT_EQ(platform::ArrayLength(Variant::FromInt32(3).get()), 0);
    EXPECT_EQ(NumberRaisedBy([] { platform::ArrayElement(Variant::FromInt32(3).get(), 0, L"T.M"); }), 9);
}

TEST_F(ComTest, CopiesAreDeepAndHoldTheirOwnReferences) {
    bool destroyed = false;
    auto probe = com::MakeObject<Probe>(&destroyed);
    IUnknown* raw = probe.Get();
    {
        Variant held = Variant::FromObject(raw);
        EXPECT_EQ(held.get().vt, VT_UNKNOWN);
        EXPECT_EQ(RefCount(raw), 2u);
        const Variant copy = held;
        const Variant array = platform::MakeVariantArray({held, Variant::FromText(L"x")});
        Variant arrayCopy = array;
        EXPECT_EQ(RefCount(raw), 5u);
        // Changing the copy's element leaves the original's alone.
        LONG at = 1;
        const Variant replacement = Variant::FromText(L"y");
        ASSERT_EQ(::SafeArrayPutElement(arrayCopy.get().parray, &at, const_cast<VARIANT*>(&replacement.get())), S_OK);
        EXPECT_EQ(platform::ToText(platform::ArrayElement(array.get(), 1, L"T.M").get(), L"T.M"), L"x");
        EXPECT_EQ(platform::ObjectOf(platform::ArrayElement(arrayCopy.get(), 0, L"T.M").get()), raw);
        EXPECT_EQ(RefCount(raw), 5u);  // the element handed out went with its copy
        const Variant moved = std::move(held);
        EXPECT_EQ(RefCount(raw), 5u);
    }
    EXPECT_EQ(RefCount(raw), 1u);
    probe.Reset();
    EXPECT_TRUE(destroyed);
}

// --- failures across COM boundaries -----------------------------------------

namespace {

// module, procedure and number of the last failure logged
std::vector<std::wstring> g_logged;

class ComErrorTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        wasTrapping_ = platform::ErrorTrapping();
        g_logged.clear();
        platform::SetFailureLogger([](const Error& failure, std::wstring_view module, std::wstring_view procedure) {
            g_logged = {std::wstring(module), std::wstring(procedure), std::to_wstring(failure.Number())};
        });
    }
    void TearDown() override {
        platform::SetErrorTrapping(wasTrapping_);
        platform::SetFailureLogger(nullptr);
        ComTest::TearDown();
    }
    bool wasTrapping_ = false;
};

}  // namespace

TEST_F(ComErrorTest, ReportedFailuresAreRaisedAgainWithTheirDetails) {
    EXPECT_EQ(platform::ToHResult(380), static_cast<HRESULT>(0x800A017C));
    EXPECT_EQ(platform::FromHResult(static_cast<HRESULT>(0x800A017C)), 380);
    const int32_t component = platform::errors::ComponentCode(0x1A6);
    EXPECT_EQ(platform::ToHResult(component), static_cast<HRESULT>(0x800401A6));
    EXPECT_EQ(platform::FromHResult(static_cast<HRESULT>(0x800401A6)), component);
    EXPECT_EQ(platform::FromHResult(E_FAIL), static_cast<int32_t>(E_FAIL));

    for (const Details& failure : {Details{380, L"Interval must be positive", L"Timer.Interval"},
                                   Details{component, L"Hot key in use", L"HotKey.Register"}}) {
        const HRESULT hr =
            platform::ReportError(Error(std::get<0>(failure), std::get<1>(failure), std::get<2>(failure)));
        EXPECT_EQ(hr, platform::ToHResult(std::get<0>(failure)));
        EXPECT_EQ(RaisedBy([&] { platform::ThrowIfFailed(hr, L"Caller"); }), failure);
    }

    // Without error information: the caller's source and the usual description.
    ::SetErrorInfo(0, nullptr);
    EXPECT_EQ(RaisedBy([] { platform::ThrowIfFailed(platform::ToHResult(13), L"Caller.Member"); }),
              (Details{13, L"Type mismatch", L"Caller.Member"}));
    EXPECT_NO_THROW(platform::ThrowIfFailed(S_FALSE, L"Caller"));
}

TEST_F(ComErrorTest, TrappedMembersLogWhileTrappingIsOnAndReportOtherwise) {
    auto failing = [] { platform::Raise(380, L"Widget.Size"); };
    using platform::ComMember;
    using platform::OnFailure;

    platform::SetErrorTrapping(true);
    EXPECT_EQ(ComMember(OnFailure::LogWhileTrapping, L"Widget", L"Let_Size", failing), S_OK);
    EXPECT_EQ(g_logged, (std::vector<std::wstring>{L"Widget", L"Let_Size", L"380"}));
    // A member that reports to its caller does so whatever the flag says.
    g_logged.clear();
    EXPECT_EQ(ComMember(OnFailure::ToCaller, L"Widget", L"Let_Size", failing), static_cast<HRESULT>(0x800A017C));
    EXPECT_TRUE(g_logged.empty());

    platform::SetErrorTrapping(false);
    const HRESULT hr = ComMember(OnFailure::LogWhileTrapping, L"Widget", L"Let_Size", failing);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A017C));
    EXPECT_TRUE(g_logged.empty());
    EXPECT_EQ(RaisedBy([&] { platform::ThrowIfFailed(hr, L"Caller"); }),
              (Details{380, L"Invalid property value", L"Widget.Size"}));
    // A failure without a source of its own is named after the member.
    EXPECT_EQ(RaisedBy([] {
                  platform::ThrowIfFailed(ComMember(OnFailure::ToCaller, L"Widget", L"Get_Size",
                                                    [] { platform::CheckOut<LONG>(nullptr); }),
                                          L"Caller");
              }),
              (Details{5, L"Invalid procedure call or argument", L"Widget.Get_Size"}));

    // A member that succeeds leaves no stale error information for its caller.
    platform::ReportError(Error(13, L"stale", L"Old.Call"));
    EXPECT_EQ(ComMember(OnFailure::LogWhileTrapping, L"Widget", L"Get_Size", [] {}), S_OK);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(::GetErrorInfo(0, &info), S_FALSE);
}

// --- connection points --------------------------------------------------------

TEST_F(ComTest, SinksReceiveTheArgumentsInDeclarationOrder) {
    auto source = com::MakeObject<Source>();
    auto sink = MakeSink();
    std::vector<std::wstring> received;
    sink->On(7, [&](const DISPPARAMS& params) {
        for (UINT i = 0; i < params.cArgs; ++i)
            received.push_back(platform::ToText(com::EventArgument(params, i), L"T"));
        EXPECT_EQ(NumberRaisedBy([&] { com::EventArgument(params, params.cArgs); }), 5);
    });
    com::EventConnection connection(source->Unknown(), ProbeEvents, AsUnknown(sink));
    ASSERT_TRUE(connection.Connected());

    source->Events().Fire(7, {Variant::FromInt32(1), Variant::FromText(L"two"), Variant::FromInt32(3)});
    EXPECT_EQ(received, (std::vector<std::wstring>{L"1", L"two", L"3"}));
    EXPECT_NO_THROW(source->Events().Fire(8, {}));  // no handler: accepted and ignored
}

TEST_F(ComTest, SinksMayDisconnectDuringTheCall) {
    auto source = com::MakeObject<Source>();
    std::vector<int> calls;
    com::EventConnection connections[3];
    std::weak_ptr<int> firstSinkAlive;
    {
        auto first = MakeSink();
        auto token = std::make_shared<int>();
        firstSinkAlive = token;
        // The first one leaves, and takes the third with it.
        first->On(1, [&, token](const DISPPARAMS&) {
            calls.push_back(0);
            connections[0].Disconnect();
            connections[2].Disconnect();
        });
        connections[0] = com::EventConnection(source->Unknown(), ProbeEvents, AsUnknown(first));
    }
    for (int i = 1; i < 3; ++i) {
        auto sink = MakeSink();
        sink->On(1, [&calls, i](const DISPPARAMS&) { calls.push_back(i); });
        connections[i] = com::EventConnection(source->Unknown(), ProbeEvents, AsUnknown(sink));
    }

    // Whoever was connected when the call started is called.
    source->Events().Fire(1, {});
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2}));
    // Only the point held the first sink: it is gone once the call is over.
    EXPECT_TRUE(firstSinkAlive.expired());

    calls.clear();
    source->Events().Fire(1, {});
    EXPECT_EQ(calls, (std::vector<int>{1}));
}

TEST_F(ComTest, AFailingSinkDoesNotStopTheOthersAndItsFailureIsRaisedAfterwards) {
    auto source = com::MakeObject<Source>();
    std::vector<int> calls;
    std::vector<com::EventConnection> connections;
    for (int i = 0; i < 3; ++i) {
        auto sink = MakeSink();
        sink->On(3, [&calls, i](const DISPPARAMS&) {
            calls.push_back(i);
            if (i == 0) platform::Raise(380, L"Bad size", L"Client.Resize");
            if (i == 2) platform::Raise(13, L"Client.Other");
        });
        connections.emplace_back(source->Unknown(), ProbeEvents, AsUnknown(sink));
    }
    EXPECT_EQ(RaisedBy([&] { source->Events().Fire(3, {Variant::FromInt32(5)}); }),
              (Details{380, L"Bad size", L"Client.Resize"}));
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2}));
}

TEST_F(ComTest, TheSourceStaysAliveWhileItsEventsAreRaised) {
    bool destroyed = false;
    auto source = com::MakeObject<Source>(&destroyed);
    Source* raw = source.Get();
    bool aliveInHandler = false, laterSinkCalled = false;
    com::EventConnection first, second;

    auto leaving = MakeSink();
    leaving->On(2, [&](const DISPPARAMS&) {
        // Drops every reference from outside; the connections hold the source too.
        first.Disconnect();
        second.Disconnect();
        source.Reset();
        aliveInHandler = !destroyed;
    });
    auto later = MakeSink();
    later->On(2, [&](const DISPPARAMS&) { laterSinkCalled = !destroyed; });
    first = com::EventConnection(raw->Unknown(), ProbeEvents, AsUnknown(leaving));
    second = com::EventConnection(raw->Unknown(), ProbeEvents, AsUnknown(later));

    raw->Events().Fire(2, {});
    EXPECT_TRUE(aliveInHandler);
    EXPECT_TRUE(laterSinkCalled);
    EXPECT_TRUE(destroyed);
}

TEST_F(ComTest, ContainerAndPointsAnswerForWhatIsConnected) {
    auto source = com::MakeObject<Source>();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);

    IConnectionPoint* none = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(container->FindConnectionPoint(UnknownEvents, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(NumberRaisedBy([&] { com::EventConnection(source->Unknown(), UnknownEvents, AsUnknown(MakeSink())); }),
              static_cast<int32_t>(CONNECT_E_NOCONNECTION));

    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(ProbeEvents, &point), S_OK);
    ComPtr<IConnectionPointContainer> owner;
    ASSERT_EQ(point->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_TRUE(SameObject(owner.Get(), source->Unknown()));

    DWORD cookie = 99;
    EXPECT_EQ(point->Advise(com::MakeObject<Probe>().Get(), &cookie), CONNECT_E_CANNOTCONNECT);  // no IDispatch
    EXPECT_EQ(cookie, 0u);
    auto a = MakeSink();
    auto b = MakeSink();
    DWORD cookieA = 0, cookieB = 0;
    ASSERT_EQ(point->Advise(AsUnknown(a), &cookieA), S_OK);
    ASSERT_EQ(point->Advise(AsUnknown(b), &cookieB), S_OK);
    EXPECT_EQ(point->Unadvise(cookieA ^ cookieB ^ 0x1000), CONNECT_E_NOCONNECTION);

    auto listed = [&] {
        ComPtr<IEnumConnections> connections;
        EXPECT_EQ(point->EnumConnections(&connections), S_OK);
        std::vector<DWORD> cookies;
        CONNECTDATA data{};
        ULONG fetched = 0;
        while (connections->Next(1, &data, &fetched) == S_OK && fetched == 1) {
            cookies.push_back(data.dwCookie);
            EXPECT_TRUE(SameObject(data.pUnk, AsUnknown(data.dwCookie == cookieA ? a : b)));
            data.pUnk->Release();
        }
        return cookies;
    };
    EXPECT_EQ(listed(), (std::vector<DWORD>{cookieA, cookieB}));
    EXPECT_EQ(point->Unadvise(cookieA), S_OK);
    EXPECT_EQ(point->Unadvise(cookieA), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(listed(), (std::vector<DWORD>{cookieB}));
    EXPECT_EQ(point->Unadvise(cookieB), S_OK);
    EXPECT_EQ(RefCount(AsUnknown(a)) + RefCount(AsUnknown(b)), 2u);  // the point let go of both

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    std::vector<IID> found;
    IConnectionPoint* each = nullptr;
    ULONG fetched = 0;
    while (points->Next(1, &each, &fetched) == S_OK && fetched == 1) {
        IID iid{};
        each->GetConnectionInterface(&iid);
        found.push_back(iid);
        each->Release();
    }
    EXPECT_EQ(found, (std::vector<IID>{ProbeEvents, OtherEvents}));
}

// --- enumerators ----------------------------------------------------------------

namespace {

using Values = std::vector<int32_t>;

Values Take(IEnumVARIANT* items, ULONG wanted, HRESULT expected) {
    std::vector<VARIANT> slots(wanted);
    ULONG fetched = 12345;
    EXPECT_EQ(items->Next(wanted, slots.data(), &fetched), expected);
    EXPECT_LE(fetched, wanted);
    Values values;
    for (ULONG i = 0; i < fetched && i < wanted; ++i) {
        values.push_back(platform::ToInt32(slots[i], L"T"));
        ::VariantClear(&slots[i]);
    }
    return values;
}

}  // namespace

TEST_F(ComTest, EnumeratorsWalkTheirSnapshot) {
    auto items = com::MakeEnumerator<IEnumVARIANT, VARIANT>(
        {Variant::FromInt32(10), Variant::FromInt32(20), Variant::FromInt32(30)});

    EXPECT_EQ(Take(items.Get(), 2, S_OK), (Values{10, 20}));
    EXPECT_EQ(Take(items.Get(), 5, S_FALSE), (Values{30}));
    EXPECT_EQ(Take(items.Get(), 1, S_FALSE), Values{});

    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(1), S_OK);
    EXPECT_EQ(Take(items.Get(), 1, S_OK), (Values{20}));
    EXPECT_EQ(items->Skip(5), S_FALSE);
    EXPECT_EQ(Take(items.Get(), 1, S_FALSE), Values{});
    items->Reset();
    EXPECT_EQ(items->Skip(3), S_OK);
    EXPECT_EQ(items->Skip(1), S_FALSE);

    // A clone starts where the original stood and moves on its own.
    items->Reset();
    items->Skip(1);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(items->Clone(&clone), S_OK);
    EXPECT_EQ(Take(clone.Get(), 2, S_OK), (Values{20, 30}));
    EXPECT_EQ(Take(items.Get(), 1, S_OK), (Values{20}));
    items.Reset();
    clone->Reset();
    EXPECT_EQ(Take(clone.Get(), 3, S_OK), (Values{10, 20, 30}));
}
