#pragma once
// The client side of the components: creating their objects and receiving
// their events.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <map>

#include "ComError.h"
#include "ComObject.h"
#include "Variant.h"

namespace platform::com {

// This thread's single-threaded apartment, entered for the life of the object.
class ComApartment {
public:
    ComApartment() noexcept : entered_(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~ComApartment() {
        if (entered_) ::OleUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Entered() const noexcept { return entered_; }

private:
    bool entered_;
};

// Creates an object of a component that ships beside the program: through COM
// activation first (the program's manifest names the component's classes),
// and when that fails, from `dllName` in the program's own folder through its
// DllGetClassObject. The DLL stays loaded for the life of the process.
ComPtr<IUnknown> CreateComponent(REFCLSID clsid, const wchar_t* dllName);

template <class I>
ComPtr<I> CreateComponent(REFCLSID clsid, const wchar_t* dllName) {
    ComPtr<I> object;
    ThrowIfFailed(CreateComponent(clsid, dllName).As(&object), L"CreateComponent");
    return object;
}

// Receives the events of one dispinterface and hands each to the handler
// registered for its DISPID; events without a handler are accepted and ignored.
class EventSink final : public ComBase<EventSink, IDispatch> {
public:
    using Handler = std::function<void(const DISPPARAMS& params)>;

    explicit EventSink(const IID& events) noexcept : events_(events) {}

    void On(DISPID id, Handler handler) { handlers_[id] = std::move(handler); }

    void* Cast(REFIID iid) noexcept;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

private:
    IID events_;
    std::map<DISPID, Handler> handlers_;
};

// Argument `index` (0 = first in the event's declaration) of an event call.
const VARIANT& EventArgument(const DISPPARAMS& params, UINT index);

// A sink connected to a source's connection point for as long as this lives.
class EventConnection {
public:
    EventConnection() noexcept = default;
    EventConnection(IUnknown* source, const IID& events, IUnknown* sink);
    EventConnection(EventConnection&& other) noexcept;
    EventConnection& operator=(EventConnection&& other) noexcept;
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection() { Disconnect(); }

    bool Connected() const noexcept { return cookie_ != 0; }
    void Disconnect() noexcept;

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace platform::com
