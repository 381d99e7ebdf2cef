#include "ComClient.h"

#include <string>
#include <vector>

#include "ComError.h"
#include "Handles.h"
#include "Strings.h"

namespace platform::com {

namespace {

// Component DLLs loaded by path; they stay loaded while the process runs
// because objects made from them may live until its end.
std::vector<HMODULE>& LoadedComponents() {
    static std::vector<HMODULE> modules;
    return modules;
}

ComPtr<IUnknown> CreateFromFile(REFCLSID clsid, const wchar_t* dllName) {
    const std::wstring path = ModuleFolder() + L"\\" + dllName;
    HMODULE module = ::LoadLibraryW(path.c_str());
    if (!module) RaiseWin32(::GetLastError(), L"CreateComponent");
    LoadedComponents().push_back(module);
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject) RaiseWin32(::GetLastError(), L"CreateComponent");
    ComPtr<IClassFactory> factory;
    ThrowIfFailed(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
                  L"CreateComponent");
    ComPtr<IUnknown> object;
    ThrowIfFailed(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())),
                  L"CreateComponent");
    return object;
}

}  // namespace

ComPtr<IUnknown> CreateComponent(REFCLSID clsid, const wchar_t* dllName) {
    ComPtr<IUnknown> object;
    if (SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(object.GetAddressOf()))))
        return object;
    return CreateFromFile(clsid, dllName);
}

void* EventSink::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) return static_cast<IDispatch*>(this);
    return nullptr;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          UINT*) {
    if (result) ::VariantInit(result);
    auto found = handlers_.find(id);
    if (found == handlers_.end()) return S_OK;
    // The handler may replace itself or others while it runs.
    const Handler handler = found->second;
    DISPPARAMS none{};
    try {
        handler(params ? *params : none);
        return S_OK;
    } catch (...) {
        const Error failure = CurrentError();
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = ToHResult(failure.Number());
            exception->bstrSource = ::SysAllocString(failure.Source().c_str());
            exception->bstrDescription = ::SysAllocString(failure.Description().c_str());
        }
        return DISP_E_EXCEPTION;
    }
}

const VARIANT& EventArgument(const DISPPARAMS& params, UINT index) {
    if (index >= params.cArgs) Raise(errors::InvalidProcedureCall, L"EventArgument");
    return params.rgvarg[params.cArgs - 1 - index];
}

EventConnection::EventConnection(IUnknown* source, const IID& events, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> container;
    ThrowIfFailed(source->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(container.GetAddressOf())),
                  L"EventConnection");
    ThrowIfFailed(container->FindConnectionPoint(events, &point_), L"EventConnection");
    ThrowIfFailed(point_->Advise(sink, &cookie_), L"EventConnection");
}

EventConnection::EventConnection(EventConnection&& other) noexcept
    : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)) {}

EventConnection& EventConnection::operator=(EventConnection&& other) noexcept {
    if (this != &other) {
        Disconnect();
        point_ = std::move(other.point_);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

void EventConnection::Disconnect() noexcept {
    if (point_ && cookie_) point_->Unadvise(cookie_);
    cookie_ = 0;
    point_.Reset();
}

}  // namespace platform::com
