#pragma once
// One enumerator for every IEnumXxx the components hand out (IEnumVARIANT for
// For Each, IEnumConnectionPoints, IEnumConnections). It walks a snapshot
// taken when it was made, so the collection may change meanwhile.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <memory>
#include <vector>

#include "ComObject.h"
#include "Variant.h"

namespace platform::com {

// How an element is handed out: Copy fills the caller's slot with its own reference.
template <class Element>
struct EnumCopy;

template <>
struct EnumCopy<VARIANT> {
    using Stored = Variant;
    static HRESULT Copy(const Stored& from, VARIANT* to) {
        ::VariantInit(to);
        return ::VariantCopy(to, const_cast<VARIANT*>(&from.get()));
    }
    static void Clear(VARIANT* slot) { ::VariantClear(slot); }
};

template <>
struct EnumCopy<IConnectionPoint*> {
    using Stored = ComPtr<IConnectionPoint>;
    static HRESULT Copy(const Stored& from, IConnectionPoint** to) {
        *to = from.Get();
        if (*to) (*to)->AddRef();
        return S_OK;
    }
    static void Clear(IConnectionPoint** slot) {
        if (*slot) (*slot)->Release();
        *slot = nullptr;
    }
};

template <>
struct EnumCopy<CONNECTDATA> {
    struct Stored {
        ComPtr<IUnknown> sink;
        DWORD cookie;
    };
    static HRESULT Copy(const Stored& from, CONNECTDATA* to) {
        to->pUnk = from.sink.Get();
        if (to->pUnk) to->pUnk->AddRef();
        to->dwCookie = from.cookie;
        return S_OK;
    }
    static void Clear(CONNECTDATA* slot) {
        if (slot->pUnk) slot->pUnk->Release();
        slot->pUnk = nullptr;
    }
};

template <class IEnum, class Element>
class Enumerator final : public ComBase<Enumerator<IEnum, Element>, IEnum> {
public:
    using Stored = typename EnumCopy<Element>::Stored;
    using Items = std::vector<Stored>;

    explicit Enumerator(std::shared_ptr<const Items> items, ULONG position = 0)
        : items_(std::move(items)), position_(position) {}

    void* Cast(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == __uuidof(IEnum)) return static_cast<IEnum*>(this);
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, Element* out, ULONG* fetched) override {
        if (!out || (wanted > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < items_->size()) {
            HRESULT hr = EnumCopy<Element>::Copy((*items_)[position_], &out[given]);
            if (FAILED(hr)) {
                // All or nothing: what was handed out so far is taken back.
                while (given > 0) EnumCopy<Element>::Clear(&out[--given]);
                if (fetched) *fetched = 0;
                return hr;
            }
            ++position_;
            ++given;
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        ULONG left = static_cast<ULONG>(items_->size()) - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** copy) override {
        if (!copy) return E_POINTER;
        *copy = new (std::nothrow) Enumerator(items_, position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::shared_ptr<const Items> items_;
    ULONG position_;
};

// Makes an enumerator over the given elements and answers it as IEnum.
template <class IEnum, class Element>
ComPtr<IEnum> MakeEnumerator(typename Enumerator<IEnum, Element>::Items items) {
    auto shared = std::make_shared<const typename Enumerator<IEnum, Element>::Items>(std::move(items));
    ComPtr<IEnum> out;
    out.Attach(new Enumerator<IEnum, Element>(std::move(shared)));
    return out;
}

}  // namespace platform::com
