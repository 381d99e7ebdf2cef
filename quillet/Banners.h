#pragma once
// The banners of one Quillet object, by name, in the order they were added.
#include <windows.h>

#include <string_view>

#include "Banner.h"
#include "ComObject.h"
#include "KeyedCollection.h"
#include "QuilletInterfaces.h"

class Banners final : public platform::com::ComBase<Banners, platform::com::Dispatch<_Banners>,
                                                    platform::com::SupportErrorInfo> {
public:
    // Made through Make, which hands out the first reference.
    explicit Banners(_Quillet* owner) noexcept : owner_(owner) {}

    // The owner is not counted: it owns this collection (Parent answers it).
    static platform::ComPtr<Banners> Make(_Quillet* owner);

    void* Cast(REFIID iid) noexcept;

    // nullptr when absent.
    Banner* Find(std::wstring_view name) noexcept;
    // The owner goes: every banner's rendered image is released and the owner forgotten.
    void Orphan() noexcept;

    // _Banners
    HRESULT STDMETHODCALLTYPE Add(BSTR Name, LONG Width, BSTR Caption, LONG Icon, VARIANT Font, OLE_COLOR ForeColor,
                                  OLE_COLOR BackColor, OLE_COLOR BackColor2, _Banner** result) override;
    HRESULT STDMETHODCALLTYPE Exists(VARIANT Index, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Item(VARIANT Index, _Banner** result) override;
    HRESULT STDMETHODCALLTYPE Remove(VARIANT Index) override;
    HRESULT STDMETHODCALLTYPE RemoveAll() override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_NewEnum(IUnknown** value) override;
    HRESULT STDMETHODCALLTYPE get_Parent(_Quillet** value) override;

private:
    friend platform::com::ComBase<Banners, platform::com::Dispatch<_Banners>, platform::com::SupportErrorInfo>;
    ~Banners() override = default;

    // By name or 1-based position; nullptr when there is none.
    Banner* Lookup(const VARIANT& index);

    platform::KeyedCollection<platform::ComPtr<Banner>> banners_;
    _Quillet* owner_;
};
