#include "QuilletModule.h"

#include "ComponentStartup.h"
#include "Error.h"
#include "QuilletVersion.h"
#include "Variant.h"

namespace QuilletModule {

void Startup() noexcept {
    platform::StartComponent({QuilletInfo::Title, QuilletInfo::Major, QuilletInfo::Minor, QuilletInfo::Revision});
}

void Fail(std::wstring_view source) { platform::Raise(platform::errors::InvalidProcedureCall, source); }

wchar_t UpperCase(wchar_t character) noexcept {
    wchar_t buffer[] = {character};
    ::CharUpperBuffW(buffer, 1);
    return buffer[0];
}

std::wstring UpperCase(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty()) ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

bool Omitted(const VARIANT& value) noexcept { return platform::IsMissing(value) || value.vt == VT_EMPTY; }

std::optional<Index> ReadIndex(const VARIANT& value) {
    const platform::Variant held = platform::Variant::CopyOfValue(value);
    const VARIANT& v = held.get();
    if (v.vt == VT_BSTR) return Index{platform::Bstr::Text(v.bstrVal), 0, true};
    if (v.vt == VT_EMPTY || v.vt == VT_NULL || v.vt == VT_ERROR || v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN)
        return std::nullopt;
    platform::Variant number;
    if (FAILED(::VariantChangeType(number.put(), const_cast<VARIANT*>(&v), 0, VT_I4))) return std::nullopt;
    return Index{{}, number.get().lVal, false};
}

}  // namespace QuilletModule
