#pragma once
// Outgoing events of a COM object: one ConnectionPoint per event
// dispinterface, kept inside the object that raises the events (it shares
// that object's reference count), and the container interface over them.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <initializer_list>
#include <vector>

#include "ComPtr.h"
#include "Variant.h"

namespace platform::com {

class ConnectionPoint final : public IConnectionPoint {
public:
    // `owner` is the object the point belongs to and answers for its lifetime.
    ConnectionPoint(IConnectionPointContainer* owner, const IID& events) noexcept;
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& Events() const noexcept { return events_; }
    bool HasSinks() const noexcept { return !sinks_.empty(); }

    // Calls the method `id` of every connected sink with the arguments in
    // their natural order. Sinks may connect and disconnect meanwhile: the
    // call goes to those connected when it started. Every sink is called; the
    // first failure of one is then raised.
    void Fire(DISPID id, std::initializer_list<Variant> arguments);

    // Drops every sink (at the owner's teardown).
    void DisconnectAll() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> dispatch;
    };

    IConnectionPointContainer* owner_;
    IID events_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

// IConnectionPointContainer over the points an object registers in its constructor.
class ConnectionPointContainer : public IConnectionPointContainer {
public:
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

protected:
    void AddConnectionPoint(ConnectionPoint& point) { points_.push_back(&point); }

private:
    std::vector<ConnectionPoint*> points_;
};

}  // namespace platform::com
