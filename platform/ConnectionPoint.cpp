#include "ConnectionPoint.h"

#include <olectl.h>

#include <optional>

#include "ComEnumerator.h"
#include "ComError.h"

namespace platform::com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, const IID& events) noexcept
    : owner_(owner), events_(events) {}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() { return owner_->AddRef(); }
ULONG ConnectionPoint::Release() { return owner_->Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // Event sinks of dispinterfaces answer either the events' own IID or plain IDispatch.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.ReleaseAndGetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({nextCookie_, dispatch});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie == cookie) {
            // Released after the erase: the sink's teardown may call back in.
            ComPtr<IDispatch> leaving = std::move(it->dispatch);
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    try {
        std::vector<EnumCopy<CONNECTDATA>::Stored> items;
        for (const Sink& sink : sinks_) items.push_back({ComPtr<IUnknown>(sink.dispatch), sink.cookie});
        *connections = MakeEnumerator<IEnumConnections, CONNECTDATA>(std::move(items)).Detach();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ConnectionPoint::Fire(DISPID id, std::initializer_list<Variant> arguments) {
    if (sinks_.empty()) return;
    // DISPPARAMS carries the arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(arguments.size());
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it) reversed.push_back(it->get());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};

    const std::vector<Sink> receivers = sinks_;
    ComPtr<IConnectionPointContainer> keepAlive(owner_);
    std::optional<Error> firstFailure;
    for (const Sink& sink : receivers) {
        EXCEPINFO exception{};
        HRESULT hr = sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                           &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            if (!firstFailure) {
                HRESULT code = exception.scode ? exception.scode : ToHResult(exception.wCode);
                firstFailure = Error(FromHResult(code), Bstr::Text(exception.bstrDescription),
                                     Bstr::Text(exception.bstrSource));
            }
            ::SysFreeString(exception.bstrSource);
            ::SysFreeString(exception.bstrDescription);
            ::SysFreeString(exception.bstrHelpFile);
        } else if (FAILED(hr) && !firstFailure) {
            try {
                ThrowIfFailed(hr, L"ConnectionPoint.Fire");
            } catch (const Error& failure) {
                firstFailure = failure;
            }
        }
    }
    if (firstFailure) throw *firstFailure;
}

void ConnectionPoint::DisconnectAll() noexcept {
    std::vector<Sink> leaving;
    leaving.swap(sinks_);
}

HRESULT ConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    try {
        std::vector<ComPtr<IConnectionPoint>> items(points_.begin(), points_.end());
        *points = MakeEnumerator<IEnumConnectionPoints, IConnectionPoint*>(std::move(items)).Detach();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ConnectionPointContainer::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    for (ConnectionPoint* candidate : points_) {
        if (candidate->Events() == iid) {
            *point = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace platform::com
