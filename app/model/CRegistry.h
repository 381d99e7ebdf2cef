#pragma once
// A small settings store on the registry: sections are key paths below a base
// key, keys are value names inside a section. The store traps nothing: its
// failures (type mismatch, error 13) reach the caller, which logs them under
// its own name; registry calls that fail are reported by the Boolean results.
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// A setting's value as it travels between the store and the options.
using SettingValue = std::variant<std::wstring, int32_t, bool>;

// Conversions used when a stored value meets an option of a given type.
// Booleans read from "True"/"False" (any case) or from numbers, non-zero
// meaning True; integers from decimal text. Anything else: error 13.
std::wstring SettingToText(const SettingValue& value);
int32_t SettingToInt32(const SettingValue& value, std::wstring_view source);
bool SettingToBool(const SettingValue& value, std::wstring_view source);
// Text as a number by the same rules; nothing when it is none.
std::optional<int32_t> SettingTextToInt32(std::wstring_view text);

// The registry types the store reads as text, and those it reads as numbers.
bool IsStoredTextType(DWORD type) noexcept;
bool IsStoredNumberType(DWORD type) noexcept;
// Stored text without the zeros its writer put after it.
std::wstring TextFromStoredBytes(const BYTE* data, size_t size);

class CRegistry {
public:
    // The program's own key in the current user's hive.
    CRegistry();
    CRegistry(HKEY hive, std::wstring subkey);

    // "Software\Company\Product", "Software\Company", "Software\Product" or
    // "Software\", by which of the two names qualify (a company named "none"
    // does not).
    static std::wstring BaseKey(std::wstring_view company, std::wstring_view product);

    HKEY Hive() const noexcept { return hive_; }
    void SetHive(HKEY hive) noexcept { hive_ = hive; }
    const std::wstring& Subkey() const noexcept { return subkey_; }
    void SetSubkey(std::wstring_view subkey);

    // Full key path of a section relative to the hive.
    std::wstring SectionPath(std::wstring_view section) const;

    // A value exactly as stored, for readers that judge the data themselves.
    struct StoredData {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
    };
    // Nothing when the section or the value is missing.
    std::optional<StoredData> GetStoredData(std::wstring_view section, std::wstring_view key) const;

    SettingValue GetSetting(std::wstring_view section, std::wstring_view key, const SettingValue& defaultValue) const;
    bool SaveSetting(std::wstring_view section, std::wstring_view key, const SettingValue& value, DWORD valueType);
    bool DeleteSetting(std::wstring_view section, std::wstring_view key);
    bool DeleteAllSettings(std::wstring_view section);

    using ValueTable = std::vector<std::pair<std::wstring, std::wstring>>;
    // Subkey names and (name, data as text) pairs in the registry's
    // enumeration order; either output may be null. False when both outputs
    // are empty afterwards.
    bool GetAllSettings(std::wstring_view section, std::vector<std::wstring>* subkeys, ValueTable* values) const;

    DWORD GetValueType(std::wstring_view section, std::wstring_view key) const;
    bool IsKey(std::wstring_view section, std::wstring_view key) const;
    bool IsSection(std::wstring_view section) const;
    // Whether the section holds any value at all, of whatever type.
    bool HasValues(std::wstring_view section) const;

    // The registry's code for the last operation that returned False.
    LSTATUS LastError() const noexcept { return lastError_; }

private:
    bool Fail(LSTATUS status) const noexcept;

    HKEY hive_ = HKEY_CURRENT_USER;
    std::wstring subkey_;
    mutable LSTATUS lastError_ = ERROR_SUCCESS;
};
