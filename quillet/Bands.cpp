#include "Bands.h"

#include "ComEnumerator.h"
#include "ComError.h"
#include "Guard.h"
#include "Quillet.h"
#include "QuilletModule.h"

using platform::CheckOut;
using platform::ComPtr;

namespace {

constexpr platform::LogSource Log{L"Bands"};

}  // namespace

ComPtr<Bands> Bands::Make(Quillet* owner) { return platform::com::MakeObject<Bands>(owner); }

void* Bands::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Bands) return static_cast<_Bands*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void Bands::Orphan() noexcept {
    for (int position = bands_.Count(); position >= 1; --position)
        Log.Skip(L"Class_Terminate", [&] { RemoveAt(position); });
    owner_ = nullptr;
}

void Bands::RemoveAt(int position) {
    ComPtr<Band> leaving = bands_.Item(position);
    bands_.Remove(position);
    leaving->Orphan();
}

Band* Bands::Find(std::wstring_view name) const {
    const ComPtr<Band>* found = bands_.Find(name);
    return found ? found->Get() : nullptr;
}

Band* Bands::FindByMenu(HMENU menu) const noexcept {
    if (!menu) return nullptr;
    for (const auto& entry : bands_)
        if (entry.value->Menu() == menu) return entry.value.Get();
    return nullptr;
}

Band* Bands::FindByItemData(ULONG_PTR data) const noexcept {
    if (!data) return nullptr;
    for (const auto& entry : bands_)
        if (entry.value->HoldsItem(data)) return entry.value.Get();
    return nullptr;
}

Band* Bands::VisibleMenuBar() const noexcept {
    for (const auto& entry : bands_)
        if (entry.value->Style() == qlBandMenuBar && entry.value->IsVisible()) return entry.value.Get();
    return nullptr;
}

// --- _Bands -----------------------------------------------------------------

HRESULT Bands::Add(BSTR Name, QLBandStyle Style, VARIANT Banner, VARIANT_BOOL OwnerDraw, VARIANT_BOOL AllowCustomDraw,
                   VARIANT_BOOL Enabled, _Band** result) {
    return Log.Member(L"Add", [&] {
        _Band** out = CheckOut(result);
        *out = nullptr;
        Band::Settings settings;
        settings.name = platform::Bstr::Text(Name);
        if (bands_.Exists(settings.name)) return;
        settings.style = Style;
        settings.ownerDraw = OwnerDraw != VARIANT_FALSE;
        settings.allowCustomDraw = AllowCustomDraw != VARIANT_FALSE;
        settings.enabled = Enabled != VARIANT_FALSE;
        ComPtr<Band> band = Band::Make(owner_, settings, Banner);
        bands_.Add(settings.name, band);
        *out = band.Detach();
    });
}

HRESULT Bands::Exists(VARIANT Index, VARIANT_BOOL* result) {
    return Log.Member(L"Exists", [&] {
        *CheckOut(result) = platform::ToVariantBool(QuilletModule::PositionOf(bands_, Index) != 0);
    });
}

HRESULT Bands::Item(VARIANT Index, _Band** result) {
    return Log.Member(L"Item", [&] {
        _Band** out = CheckOut(result);
        *out = nullptr;
        if (const int position = QuilletModule::PositionOf(bands_, Index))
            *out = ComPtr<_Band>(bands_.Item(position).Get()).Detach();
    });
}

HRESULT Bands::Remove(VARIANT Index) {
    return Log.Member(L"Remove", platform::OnFailure::LogWhileTrapping, [&] {
        if (const int position = QuilletModule::PositionOf(bands_, Index)) RemoveAt(position);
    });
}

HRESULT Bands::RemoveAll() {
    for (int position = bands_.Count(); position >= 1; --position)
        Log.Skip(L"RemoveAll", [&] { RemoveAt(position); });
    return S_OK;
}

HRESULT Bands::get_Count(LONG* value) {
    return Log.Member(L"Get_Count", [&] { *CheckOut(value) = bands_.Count(); });
}

HRESULT Bands::get_NewEnum(IUnknown** value) {
    return Log.Member(L"Get_NewEnum", [&] {
        IUnknown** out = CheckOut(value);
        std::vector<platform::Variant> items;
        for (const auto& entry : bands_) items.push_back(platform::Variant::FromObject(static_cast<_Band*>(entry.value.Get())));
        *out = platform::com::MakeEnumerator<IEnumVARIANT, VARIANT>(std::move(items)).Detach();
    });
}

HRESULT Bands::get_Parent(_Quillet** value) {
    return Log.Member(L"Get_Parent", [&] { *CheckOut(value) = ComPtr<_Quillet>(owner_).Detach(); });
}
