#include "Banners.h"

#include <olectl.h>

#include <vector>

#include "ComEnumerator.h"
#include "ComError.h"
#include "Guard.h"
#include "QuilletModule.h"
#include "Variant.h"

using platform::CheckOut;
using platform::ComPtr;

namespace {

constexpr platform::LogSource Log{L"Banners"};

// The caption font a banner gets when its client gives none.
constexpr const wchar_t* DefaultFontName = L"Tahoma";
constexpr LONGLONG DefaultFontPoints = 9;
constexpr LONGLONG CurrencyUnitsPerPoint = 10000;

// Left out, empty, null or Nothing: the client gave no font.
bool NoFontGiven(const VARIANT& value) {
    if (platform::IsMissing(value)) return true;
    const platform::Variant held = platform::Variant::CopyOfValue(value);
    const VARTYPE type = held.get().vt;
    if (type == VT_EMPTY || type == VT_NULL) return true;
    return (type == VT_DISPATCH || type == VT_UNKNOWN) && !platform::ObjectOf(held.get());
}

ComPtr<IFontDisp> DefaultFont() {
    FONTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    std::wstring name = DefaultFontName;
    description.lpstrName = name.data();
    description.cySize.int64 = DefaultFontPoints * CurrencyUnitsPerPoint;
    description.sWeight = FW_BOLD;
    description.sCharset = DEFAULT_CHARSET;
    ComPtr<IFontDisp> font;
    platform::ThrowIfFailed(
        ::OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(font.GetAddressOf())),
        L"Banners.Add");
    return font;
}

ComPtr<IFontDisp> FontArgument(const VARIANT& value, bool withCaption) {
    if (NoFontGiven(value)) return withCaption ? DefaultFont() : nullptr;
    IUnknown* object = platform::ObjectOf(value);
    ComPtr<IFontDisp> font;
    if (!object || FAILED(object->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(font.GetAddressOf()))))
        platform::Raise(platform::errors::TypeMismatch, L"Banners.Add");
    return font;
}

}  // namespace

ComPtr<Banners> Banners::Make(_Quillet* owner) { return platform::com::MakeObject<Banners>(owner); }

void* Banners::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Banners) return static_cast<_Banners*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

Banner* Banners::Find(std::wstring_view name) noexcept {
    ComPtr<Banner>* found = banners_.Find(name);
    return found ? found->Get() : nullptr;
}

void Banners::Orphan() noexcept {
    for (auto& entry : banners_) entry.value->ReleaseImage();
    owner_ = nullptr;
}

Banner* Banners::Lookup(const VARIANT& index) {
    const int position = QuilletModule::PositionOf(banners_, index);
    return position ? banners_.Item(position).Get() : nullptr;
}

HRESULT Banners::Add(BSTR Name, LONG Width, BSTR Caption, LONG Icon, VARIANT Font, OLE_COLOR ForeColor,
                     OLE_COLOR BackColor, OLE_COLOR BackColor2, _Banner** result) {
    return Log.Member(L"Add", [&] {
        _Banner** out = CheckOut(result);
        *out = nullptr;
        Banner::Settings settings;
        settings.name = platform::Bstr::Text(Name);
        if (banners_.Exists(settings.name)) return;
        settings.width = Width;
        settings.caption = platform::Bstr::Text(Caption);
        settings.icon = Icon;
        settings.font = FontArgument(Font, !settings.caption.empty());
        settings.foreColor = ForeColor;
        settings.backColor = BackColor;
        settings.backColor2 = BackColor2;
        ComPtr<Banner> banner = Banner::Make(std::move(settings));
        banners_.Add(banner->Name(), banner);
        *out = ComPtr<_Banner>(banner).Detach();
    });
}

HRESULT Banners::Exists(VARIANT Index, VARIANT_BOOL* result) {
    return Log.Member(L"Exists", [&] { *CheckOut(result) = platform::ToVariantBool(Lookup(Index)); });
}

HRESULT Banners::Item(VARIANT Index, _Banner** result) {
    return Log.Member(L"Item", [&] {
        _Banner** out = CheckOut(result);
        *out = ComPtr<_Banner>(Lookup(Index)).Detach();
    });
}

HRESULT Banners::Remove(VARIANT Index) {
    return Log.Member(L"Remove", [&] {
        if (const int position = QuilletModule::PositionOf(banners_, Index)) banners_.Remove(position);
    });
}

HRESULT Banners::RemoveAll() {
    return Log.Member(L"RemoveAll", [&] { banners_.Clear(); });
}

HRESULT Banners::get_Count(LONG* value) {
    return Log.Member(L"Get_Count", [&] { *CheckOut(value) = banners_.Count(); });
}

HRESULT Banners::get_NewEnum(IUnknown** value) {
    return Log.Member(L"Get_NewEnum", [&] {
        IUnknown** out = CheckOut(value);
        std::vector<platform::Variant> items;
        for (const auto& entry : banners_)
            items.push_back(platform::Variant::FromObject(static_cast<_Banner*>(entry.value.Get())));
        *out = platform::com::MakeEnumerator<IEnumVARIANT, VARIANT>(std::move(items)).Detach();
    });
}

HRESULT Banners::get_Parent(_Quillet** value) {
    return Log.Member(L"Get_Parent", [&] { *CheckOut(value) = ComPtr<_Quillet>(owner_).Detach(); });
}
