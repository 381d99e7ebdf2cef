// Kestrix.dll as its clients get it: loaded by path and asked for class
// objects, registered per user and per machine, created by ProgID, called
// late bound from C++ and from a script.
#include <gtest/gtest.h>

#include <olectl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "ComponentServer.h"
#include "KestrixInterfaces.h"
#include "Process.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "Variant.h"

using platform::Bstr;
using platform::ComPtr;
using platform::Variant;
using namespace testing_support;

namespace {

const ComponentDll& Server() {
    static const ComponentDll dll(L"Kestrix.dll");
    return dll;
}

const RegisteredClass Classes[] = {{&CLSID_Kestrix, L"Kestrix.Kestrix"}, {&CLSID_TimerEx, L"Kestrix.TimerEx"}};

// The class and ProgID keys of both classes in one hive: all there, or none.
void ExpectClassKeys(HKEY hive, bool registered) {
    testing_support::ExpectClassKeys(hive, Classes, LIBID_KestrixLib, Server().Path(), registered);
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(Server().Loaded()) << "cannot load " << platform::Narrow(Server().Path());
    }
    void TearDown() override { ::CoUninitialize(); }

    static ComPtr<IClassFactory> Factory(REFCLSID clsid) { return Server().Factory(clsid); }
    template <class I>
    static ComPtr<I> Create(REFCLSID clsid) {
        return Server().Create<I>(clsid);
    }
};

// Late-bound calls, arguments given in their natural order.
HRESULT Call(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Variant> arguments, VARIANT* result,
             EXCEPINFO* exception = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it) reversed.push_back(it->get());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO ignored{};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                exception ? exception : &ignored, nullptr);
    if (!exception) {
        ::SysFreeString(ignored.bstrSource);
        ::SysFreeString(ignored.bstrDescription);
        ::SysFreeString(ignored.bstrHelpFile);
    }
    return hr;
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

// --- loaded by path, without registration --------------------------------------------

TEST_F(ServerTest, ClassObjectsOnlyForCreatableClasses) {
    for (const CLSID* refused : {&CLSID_KestrixItem, &IID__Kestrix}) {
        void* object = &object;
        EXPECT_EQ(Server().GetClassObject(*refused, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
    }
    void* object = &object;
    EXPECT_EQ(Server().GetClassObject(CLSID_Kestrix, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    for (const RegisteredClass& entry : Classes) {
        auto factory = Factory(*entry.clsid);
        ASSERT_TRUE(factory);
        // Aggregation is refused, whoever the outer object is.
        object = &object;
        EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
        ComPtr<IDispatch> made;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&made)), S_OK);
        EXPECT_TRUE(made);
    }
}

TEST_F(ServerTest, CanUnloadOnlyWhenNothingOfItLives) {
    ASSERT_EQ(Server().CanUnloadNow(), S_OK) << "something of an earlier test is still alive";

    auto factory = Factory(CLSID_TimerEx);
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    ComPtr<_TimerEx> timer;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID__TimerEx, reinterpret_cast<void**>(&timer)), S_OK);
    factory.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    timer.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);

    Factory(CLSID_Kestrix)->LockServer(TRUE);
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    Factory(CLSID_Kestrix)->LockServer(FALSE);
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);

    // An item a client keeps outlives its collection, and the module with it.
    auto kestrix = Create<_Kestrix>(CLSID_Kestrix);
    ASSERT_TRUE(kestrix);
    ASSERT_EQ(kestrix->Add(4, Variant::FromInt32(0).get(), nullptr, VARIANT_FALSE), S_OK);
    ComPtr<_KestrixItem> item;
    ASSERT_EQ(kestrix->Item(4, &item), S_OK);
    ASSERT_TRUE(item);
    kestrix.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    LONG id = 0;
    EXPECT_EQ(item->get_ID(&id), S_OK);
    EXPECT_EQ(id, 4);
    item.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

TEST_F(ServerTest, TypeInformationForClientsThatBindLate) {
    auto kestrix = Create<IDispatch>(CLSID_Kestrix);
    ASSERT_TRUE(kestrix);

    // The class's information names its default event interface, which sinks implement.
    ComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(kestrix.As(&provider), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provider->GetClassInfo(&coclass), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, CLSID_Kestrix);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    const UINT implemented = attributes->cImplTypes;
    coclass->ReleaseTypeAttr(attributes);
    bool foundEvents = false;
    for (UINT i = 0; i < implemented; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> type;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || flags != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) ||
            FAILED(coclass->GetRefTypeOfImplType(i, &reference)) || FAILED(coclass->GetRefTypeInfo(reference, &type)))
            continue;
        ASSERT_EQ(type->GetTypeAttr(&attributes), S_OK);
        foundEvents = attributes->guid == DIID_KestrixEvents;
        type->ReleaseTypeAttr(attributes);
    }
    EXPECT_TRUE(foundEvents);

    UINT count = 0;
    EXPECT_EQ(kestrix->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> type;
    ASSERT_EQ(kestrix->GetTypeInfo(0, 0, &type), S_OK);
    ASSERT_EQ(type->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, IID__Kestrix);
    type->ReleaseTypeAttr(attributes);
    EXPECT_EQ(kestrix->GetTypeInfo(1, 0, &type), DISP_E_BADINDEX);

    const std::pair<const wchar_t*, DISPID> members[] = {{L"Add", 1},
                                                         {L"Count", 6},
                                                         {L"count", 6},
                                                         {L"Enabled", DISPID_ENABLED},
                                                         {L"Item", DISPID_VALUE},
                                                         {L"NewEnum", DISPID_NEWENUM}};
    for (const auto& [name, expected] : members) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        EXPECT_EQ(kestrix->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << platform::Narrow(name);
        EXPECT_EQ(id, expected) << platform::Narrow(name);
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Frobnicate")};
    DISPID id = 0;
    EXPECT_EQ(kestrix->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(ServerTest, LateBoundCallsAndTheirFailures) {
    auto kestrix = Create<IDispatch>(CLSID_Kestrix);
    ASSERT_TRUE(kestrix);
    Variant result;
    ASSERT_EQ(Call(kestrix.Get(), 6, DISPATCH_PROPERTYGET, {}, result.put()), S_OK);
    EXPECT_EQ(result.get().vt, VT_I4);
    EXPECT_EQ(result.get().lVal, 0);

    const auto add = [&](int32_t id, EXCEPINFO* exception = nullptr) {
        return Call(
            kestrix.Get(), 1, DISPATCH_METHOD,
            {Variant::FromInt32(id), Variant::FromInt32(0), Variant::FromText(L"tip"), Variant::FromBool(false)},
            nullptr, exception);
    };
    ASSERT_EQ(add(5), S_OK);
    ASSERT_EQ(Call(kestrix.Get(), 6, DISPATCH_PROPERTYGET, {}, result.put()), S_OK);
    EXPECT_EQ(result.get().lVal, 1);

    // The default member finds the item, whose own default member is its ID.
    ASSERT_EQ(Call(kestrix.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant::FromInt32(5)},
                   result.put()),
              S_OK);
    ASSERT_EQ(result.get().vt, VT_DISPATCH);
    Variant id;
    ASSERT_EQ(Call(result.get().pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET, {}, id.put()), S_OK);
    EXPECT_EQ(platform::ToInt32(id.get(), L"test"), 5);

    EXCEPINFO exception{};
    EXPECT_EQ(add(5, &exception), DISP_E_EXCEPTION);
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    EXPECT_EQ(exception.scode, static_cast<SCODE>(0x800A01C9));
    EXPECT_EQ(Bstr::Text(exception.bstrSource), L"Kestrix.Add");
    EXPECT_FALSE(Bstr::Text(exception.bstrDescription).empty());
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);

    ASSERT_EQ(Call(kestrix.Get(), DISPID_ENABLED, DISPATCH_PROPERTYPUT, {Variant::FromBool(false)}, nullptr), S_OK);
    ASSERT_EQ(Call(kestrix.Get(), DISPID_ENABLED, DISPATCH_PROPERTYGET, {}, result.put()), S_OK);
    EXPECT_EQ(result.get().vt, VT_BOOL);
    EXPECT_EQ(result.get().boolVal, VARIANT_FALSE);
}

// --- registration ------------------------------------------------------------------------

TEST_F(ServerTest, PerUserRegistrationComesAndGoes) {
    ScratchRegistry scratch;  // this process's user and machine hives are scratch keys now

    // Not fatal: whatever got registered must be unregistered below.
    EXPECT_EQ(Server().RegisterServer(), S_OK);
    ExpectClassKeys(HKEY_CURRENT_USER, true);
    EXPECT_TRUE(TypeLibRegistered(LIBID_KestrixLib));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassesKey + L"CLSID\\" + GuidText(CLSID_Kestrix)));

    EXPECT_EQ(Server().UnregisterServer(), S_OK);
    ExpectClassKeys(HKEY_CURRENT_USER, false);
    EXPECT_FALSE(TypeLibRegistered(LIBID_KestrixLib));
    // Nothing left to remove is no failure (Wine answers E_INVALIDARG for a
    // type library that is not there).
    EXPECT_EQ(Server().UnregisterServer(), S_OK);
}

namespace {

// Per machine through the system's registration tool; the machine hive is the
// real one of the prefix, so whatever happens it ends unregistered.
class MachineRegistration : public ServerTest {
protected:
    void TearDown() override {
        Regsvr32(L"/s /u /n /i:machine");
        ServerTest::TearDown();
    }

    static DWORD Regsvr32(const std::wstring& options) { return testing_support::Regsvr32(options, Server().Path()); }
};

}  // namespace

TEST_F(MachineRegistration, RegisteredClassesAreCreatedByProgIdUntilUnregistered) {
    ASSERT_EQ(Regsvr32(L"/s /n /i:machine"), 0u);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, true);
    const std::wstring library = ClassesKey + L"TypeLib\\" + GuidText(LIBID_KestrixLib);
    EXPECT_TRUE(
        platform::EqualsNoCase(ReadValue(HKEY_LOCAL_MACHINE, library + L"\\1.0\\0\\win64", L"").text, Server().Path()));
    const std::wstring dualInterface = ClassesKey + L"Interface\\" + GuidText(IID__Kestrix);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, dualInterface + L"\\TypeLib", L"").text, GuidText(LIBID_KestrixLib));

    for (const RegisteredClass& entry : Classes) {
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromProgID(entry.progId, &clsid), S_OK) << platform::Narrow(entry.progId);
        EXPECT_EQ(clsid, *entry.clsid);
    }
    ComPtr<_Kestrix> kestrix;
    ASSERT_EQ(::CoCreateInstance(CLSID_Kestrix, nullptr, CLSCTX_INPROC_SERVER, IID__Kestrix,
                                 reinterpret_cast<void**>(&kestrix)),
              S_OK);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    EXPECT_EQ(kestrix->get_Enabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    ComPtr<_TimerEx> timer;
    ASSERT_EQ(::CoCreateInstance(CLSID_TimerEx, nullptr, CLSCTX_INPROC_SERVER, IID__TimerEx,
                                 reinterpret_cast<void**>(&timer)),
              S_OK);
    LONG interval = 0;
    EXPECT_EQ(timer->get_Interval(&interval), S_OK);
    EXPECT_EQ(interval, 1);
    kestrix.Reset();
    timer.Reset();

    // The script client needs the registration. The values it sets and the
    // component refuses are logged beside the DLL.
    const std::wstring logPath = BesideTests(L"PKException.txt");
    const size_t logged = ReadAll(logPath).size();
    EXPECT_GT(RunScriptClient(L"Automation.vbs"), 0);
    const std::string log = ReadAll(logPath);
    const std::string added = log.size() > logged ? log.substr(logged) : std::string();
    EXPECT_NE(added.find("TimerEx.Let_Interval"), std::string::npos) << added;
    EXPECT_NE(added.find("TimerEx.Let_EventType"), std::string::npos) << added;

    ASSERT_EQ(Regsvr32(L"/s /u /n /i:machine"), 0u);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, false);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, library));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, dualInterface));
    CLSID clsid{};
    EXPECT_TRUE(FAILED(::CLSIDFromProgID(L"Kestrix.Kestrix", &clsid)));
}
