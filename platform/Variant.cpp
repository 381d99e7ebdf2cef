#include "Variant.h"

#include "ComError.h"
#include "Error.h"

namespace platform {

Bstr::Bstr(std::wstring_view text) : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!b_ && !text.empty()) Raise(errors::OutOfMemory, L"Bstr");
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        ::SysFreeString(b_);
        b_ = other.Detach();
    }
    return *this;
}

BSTR* Bstr::put() noexcept {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
}

Variant::Variant(const VARIANT& other) {
    ::VariantInit(&v_);
    ThrowIfFailed(::VariantCopy(&v_, const_cast<VARIANT*>(&other)), L"Variant");
}

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }

Variant& Variant::operator=(Variant other) noexcept {
    std::swap(v_, other.v_);
    return *this;
}

Variant Variant::FromInt32(int32_t value) {
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

Variant Variant::FromInt64(int64_t value) {
    Variant v;
    v.v_.vt = VT_I8;
    v.v_.llVal = value;
    return v;
}

Variant Variant::FromBool(bool value) {
    Variant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = ToVariantBool(value);
    return v;
}

Variant Variant::FromText(std::wstring_view text) {
    Variant v;
    v.v_.bstrVal = Bstr(text).Detach();
    v.v_.vt = VT_BSTR;
    return v;
}

Variant Variant::FromObject(IUnknown* object) {
    Variant v;
    if (!object) {
        v.v_.vt = VT_DISPATCH;
        v.v_.pdispVal = nullptr;
        return v;
    }
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        v.v_.vt = VT_DISPATCH;
        v.v_.pdispVal = dispatch;
    } else {
        object->AddRef();
        v.v_.vt = VT_UNKNOWN;
        v.v_.punkVal = object;
    }
    return v;
}

Variant Variant::RefToBool(VARIANT_BOOL* flag) {
    Variant v;
    v.v_.vt = VT_BOOL | VT_BYREF;
    v.v_.pboolVal = flag;
    return v;
}

Variant Variant::RefToInt32(LONG* number) {
    Variant v;
    v.v_.vt = VT_I4 | VT_BYREF;
    v.v_.plVal = number;
    return v;
}

Variant Variant::CopyOfValue(const VARIANT& value) {
    Variant v;
    ThrowIfFailed(::VariantCopyInd(&v.v_, const_cast<VARIANT*>(&value)), L"Variant");
    return v;
}

Variant Variant::Adopt(VARIANT& raw) noexcept {
    Variant v;
    v.v_ = raw;
    ::VariantInit(&raw);
    return v;
}

VARIANT* Variant::put() noexcept {
    ::VariantClear(&v_);
    return &v_;
}

VARIANT Variant::Detach() noexcept {
    VARIANT out = v_;
    ::VariantInit(&v_);
    return out;
}

void Variant::CopyTo(VARIANT* out) const {
    ::VariantInit(out);
    ThrowIfFailed(::VariantCopy(out, const_cast<VARIANT*>(&v_)), L"Variant");
}

namespace {

Variant Coerced(const VARIANT& value, VARTYPE type, std::wstring_view source) {
    Variant out;
    // Follows references too (VT_BYREF), which VariantChangeType does for its source.
    if (FAILED(::VariantChangeType(out.put(), const_cast<VARIANT*>(&value), 0, type))) Raise(errors::TypeMismatch, source);
    return out;
}

}  // namespace

int32_t ToInt32(const VARIANT& value, std::wstring_view source) { return Coerced(value, VT_I4, source).get().lVal; }
int64_t ToInt64(const VARIANT& value, std::wstring_view source) { return Coerced(value, VT_I8, source).get().llVal; }
bool ToBool(const VARIANT& value, std::wstring_view source) {
    return Coerced(value, VT_BOOL, source).get().boolVal != VARIANT_FALSE;
}
std::wstring ToText(const VARIANT& value, std::wstring_view source) {
    return Bstr::Text(Coerced(value, VT_BSTR, source).get().bstrVal);
}

IUnknown* ObjectOf(const VARIANT& value) noexcept {
    switch (value.vt) {
        case VT_UNKNOWN: return value.punkVal;
        case VT_DISPATCH: return value.pdispVal;
        case VT_UNKNOWN | VT_BYREF: return value.ppunkVal ? *value.ppunkVal : nullptr;
        case VT_DISPATCH | VT_BYREF: return value.ppdispVal ? *value.ppdispVal : nullptr;
        case VT_VARIANT | VT_BYREF: return value.pvarVal ? ObjectOf(*value.pvarVal) : nullptr;
        default: return nullptr;
    }
}

bool IsMissing(const VARIANT& value) noexcept {
    return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

Variant MakeVariantArray(std::initializer_list<Variant> values) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    if (!array) Raise(errors::OutOfMemory, L"Variant");
    LONG index = 0;
    for (const Variant& value : values) {
        HRESULT hr = ::SafeArrayPutElement(array, &index, const_cast<VARIANT*>(&value.get()));
        if (FAILED(hr)) {
            ::SafeArrayDestroy(array);
            ThrowIfFailed(hr, L"Variant");
        }
        ++index;
    }
    VARIANT holder;
    ::VariantInit(&holder);
    holder.vt = VT_ARRAY | VT_VARIANT;
    holder.parray = array;
    return Variant::Adopt(holder);
}

namespace {
SAFEARRAY* ArrayOf(const VARIANT& value) noexcept {
    if (value.vt == (VT_ARRAY | VT_VARIANT)) return value.parray;
    if (value.vt == (VT_ARRAY | VT_VARIANT | VT_BYREF)) return value.pparray ? *value.pparray : nullptr;
    if (value.vt == (VT_VARIANT | VT_BYREF) && value.pvarVal) return ArrayOf(*value.pvarVal);
    return nullptr;
}
}  // namespace

long ArrayLength(const VARIANT& value) noexcept {
    SAFEARRAY* array = ArrayOf(value);
    LONG lower = 0, upper = -1;
    if (!array || FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper)))
        return 0;
    return upper - lower + 1;
}

Variant ArrayElement(const VARIANT& value, long index, std::wstring_view source) {
    SAFEARRAY* array = ArrayOf(value);
    LONG lower = 0;
    if (!array || FAILED(::SafeArrayGetLBound(array, 1, &lower)) || index < 0 || index >= ArrayLength(value))
        Raise(errors::SubscriptOutOfRange, source);
    LONG at = lower + index;
    Variant element;
    ThrowIfFailed(::SafeArrayGetElement(array, &at, element.put()), source);
    return element;
}

}  // namespace platform
