#pragma once
// The bands of one Quillet object, by name, in the order they were added.
#include <windows.h>

#include <string_view>
#include <vector>

#include "Band.h"
#include "ComObject.h"
#include "KeyedCollection.h"
#include "QuilletInterfaces.h"

class Quillet;

class Bands final : public platform::com::ComBase<Bands, platform::com::Dispatch<_Bands>, platform::com::SupportErrorInfo> {
public:
    // Made through Make, which hands out the first reference.
    explicit Bands(Quillet* owner) noexcept : owner_(owner) {}

    // The owner is not counted: it owns this collection (Parent answers it).
    static platform::ComPtr<Bands> Make(Quillet* owner);

    void* Cast(REFIID iid) noexcept;

    // The owner goes: every band is released and the owner forgotten.
    void Orphan() noexcept;

    // nullptr when absent.
    Band* Find(std::wstring_view name) const;
    // The first band whose menu this is; nullptr for 0 or a menu of no band.
    Band* FindByMenu(HMENU menu) const noexcept;
    // The band whose menu holds an item with this item data.
    Band* FindByItemData(ULONG_PTR data) const noexcept;
    // The first menu-bar band that is shown.
    Band* VisibleMenuBar() const noexcept;
    // For walks during which event handlers may change the collection.
    std::vector<platform::ComPtr<Band>> Snapshot() const { return bands_.Snapshot(); }

    // _Bands
    HRESULT STDMETHODCALLTYPE Add(BSTR Name, QLBandStyle Style, VARIANT Banner, VARIANT_BOOL OwnerDraw,
                                  VARIANT_BOOL AllowCustomDraw, VARIANT_BOOL Enabled, _Band** result) override;
    HRESULT STDMETHODCALLTYPE Exists(VARIANT Index, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Item(VARIANT Index, _Band** result) override;
    HRESULT STDMETHODCALLTYPE Remove(VARIANT Index) override;
    HRESULT STDMETHODCALLTYPE RemoveAll() override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_NewEnum(IUnknown** value) override;
    HRESULT STDMETHODCALLTYPE get_Parent(_Quillet** value) override;

private:
    friend platform::com::ComBase<Bands, platform::com::Dispatch<_Bands>, platform::com::SupportErrorInfo>;
    ~Bands() override { Orphan(); }

    void RemoveAt(int position);

    platform::KeyedCollection<platform::ComPtr<Band>> bands_;
    Quillet* owner_;  // not counted; cleared when the owner goes
};
