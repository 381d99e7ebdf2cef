#pragma once
// Automation values: an owning VARIANT, an owning BSTR, and conversions that
// raise the usual failures instead of answering HRESULTs.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// A BSTR with one owner.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text);
    Bstr(Bstr&& other) noexcept : b_(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept;
    BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
    std::wstring Text() const { return Text(b_); }

    // A BSTR's text; a null BSTR is the empty text.
    static std::wstring Text(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

// A VARIANT with one owner; copies are deep (VariantCopy).
class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    Variant(const VARIANT& other);
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant other) noexcept;
    ~Variant() { ::VariantClear(&v_); }

    static Variant FromInt32(int32_t value);
    static Variant FromInt64(int64_t value);
    static Variant FromBool(bool value);
    static Variant FromText(std::wstring_view text);
    // Holds a counted reference to the object (VT_DISPATCH if it has IDispatch, else VT_UNKNOWN).
    static Variant FromObject(IUnknown* object);
    // A reference to a flag that stays the caller's: reading it later reads the flag then.
    static Variant RefToBool(VARIANT_BOOL* flag);
    // The same for a 32-bit number (an event argument the handler may change).
    static Variant RefToInt32(LONG* number);
    // A copy that follows a reference (VT_BYREF) to the value it names, so
    // that the copy does not outlive what the caller's variable held.
    static Variant CopyOfValue(const VARIANT& value);
    // Takes over a raw VARIANT's contents; the raw one is left empty.
    static Variant Adopt(VARIANT& raw) noexcept;

    const VARIANT& get() const noexcept { return v_; }
    VARIANT* put() noexcept;  // clears first; for out-parameters
    VARIANT Detach() noexcept;
    void CopyTo(VARIANT* out) const;

private:
    VARIANT v_;
};

// Conversions with automation coercion rules; an impossible one raises
// "Type mismatch" (13) with the given source. References are followed.
int32_t ToInt32(const VARIANT& value, std::wstring_view source);
int64_t ToInt64(const VARIANT& value, std::wstring_view source);
bool ToBool(const VARIANT& value, std::wstring_view source);
std::wstring ToText(const VARIANT& value, std::wstring_view source);
// The object a value holds (VT_UNKNOWN or VT_DISPATCH, by value or by
// reference); nullptr for anything else.
IUnknown* ObjectOf(const VARIANT& value) noexcept;
// True when the value is "missing" (an optional argument left out).
bool IsMissing(const VARIANT& value) noexcept;

inline VARIANT_BOOL ToVariantBool(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A SAFEARRAY of VARIANTs holding the given values, as one VARIANT (VT_ARRAY | VT_VARIANT).
Variant MakeVariantArray(std::initializer_list<Variant> values);
// Element `index` (0-based) of such an array; raises 9 when out of range.
Variant ArrayElement(const VARIANT& array, long index, std::wstring_view source);
long ArrayLength(const VARIANT& array) noexcept;

}  // namespace platform
