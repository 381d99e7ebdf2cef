#include "CRegistry.h"

#include <algorithm>
#include <cstring>

#include "Error.h"
#include "Handles.h"
#include "Strings.h"
#include "Version.h"

using platform::UniqueHKey;

namespace {

constexpr wchar_t ClassName[] = L"CRegistry";

[[noreturn]] void TypeMismatch(std::wstring_view operation) {
    platform::Raise(platform::errors::TypeMismatch, std::wstring(ClassName) + L"." + std::wstring(operation));
}

// The four bytes as stored; type 5 is deliberately not swapped.
int32_t NumberFromBytes(const BYTE* data, DWORD size) {
    uint32_t raw = 0;
    std::memcpy(&raw, data, std::min<DWORD>(size, sizeof raw));
    return static_cast<int32_t>(raw);
}

std::wstring DataAsText(DWORD type, const BYTE* data, DWORD size, std::wstring_view operation) {
    if (IsStoredTextType(type)) return TextFromStoredBytes(data, size);
    if (IsStoredNumberType(type)) return std::to_wstring(NumberFromBytes(data, size));
    TypeMismatch(operation);
}

}  // namespace

bool IsStoredTextType(DWORD type) noexcept { return type == REG_NONE || type == REG_SZ || type == REG_EXPAND_SZ; }
bool IsStoredNumberType(DWORD type) noexcept { return type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN; }

// Writers that count the terminator into the size, some of them twice, leave
// zeros at the end that belong to no text.
std::wstring TextFromStoredBytes(const BYTE* data, size_t size) {
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

std::wstring SettingToText(const SettingValue& value) {
    if (auto* text = std::get_if<std::wstring>(&value)) return *text;
    if (auto* number = std::get_if<int32_t>(&value)) return std::to_wstring(*number);
    return std::get<bool>(value) ? L"True" : L"False";
}

int32_t SettingToInt32(const SettingValue& value, std::wstring_view source) {
    if (auto* number = std::get_if<int32_t>(&value)) return *number;
    if (auto* flag = std::get_if<bool>(&value)) return *flag ? -1 : 0;
    if (auto parsed = SettingTextToInt32(std::get<std::wstring>(value))) return *parsed;
    platform::Raise(platform::errors::TypeMismatch, source);
}

std::optional<int32_t> SettingTextToInt32(std::wstring_view text) {
    if (auto parsed = platform::ParseInt32(text)) return parsed;
    if (platform::EqualsNoCase(text, L"True")) return -1;
    if (platform::EqualsNoCase(text, L"False")) return 0;
    return std::nullopt;
}

bool SettingToBool(const SettingValue& value, std::wstring_view source) { return SettingToInt32(value, source) != 0; }

CRegistry::CRegistry() : CRegistry(HKEY_CURRENT_USER, BaseKey(AppInfo::CompanyName, AppInfo::ProductName)) {}

CRegistry::CRegistry(HKEY hive, std::wstring subkey) : hive_(hive) { SetSubkey(subkey); }

std::wstring CRegistry::BaseKey(std::wstring_view company, std::wstring_view product) {
    const bool companyQualifies = !company.empty() && platform::ToLower(company) != L"none";
    const std::wstring softwareKey = L"Software\\";
    if (companyQualifies && !product.empty()) return softwareKey + std::wstring(company) + L"\\" + std::wstring(product);
    if (companyQualifies) return softwareKey + std::wstring(company);
    if (!product.empty()) return softwareKey + std::wstring(product);
    return softwareKey;
}

void CRegistry::SetSubkey(std::wstring_view subkey) {
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!subkey.empty() && isBlank(subkey.front())) subkey.remove_prefix(1);
    while (!subkey.empty() && isBlank(subkey.back())) subkey.remove_suffix(1);
    subkey_ = subkey;
}

std::wstring CRegistry::SectionPath(std::wstring_view section) const {
    std::wstring path;
    if (section.empty())
        path = subkey_;
    else if (subkey_.empty())
        path = section;
    else {
        // One backslash between the two, whichever side brings it.
        std::wstring_view base = subkey_;
        if (base.back() == L'\\') base.remove_suffix(1);
        if (section.front() == L'\\') section.remove_prefix(1);
        path = std::wstring(base) + L"\\" + std::wstring(section);
    }
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    if (!path.empty() && path.front() == L'\\') path.erase(0, 1);
    return path;
}

bool CRegistry::Fail(LSTATUS status) const noexcept {
    lastError_ = status;
    return false;
}

std::optional<CRegistry::StoredData> CRegistry::GetStoredData(std::wstring_view section, std::wstring_view key) const {
    UniqueHKey hkey;
    if (::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put()) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name(key);
    StoredData stored;
    DWORD size = 0;
    // The value may change between asking its size and reading it: ask again.
    for (;;) {
        if (::RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &stored.type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        stored.bytes.resize(size);
        const LSTATUS status = ::RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &stored.type,
                                                  stored.bytes.empty() ? nullptr : stored.bytes.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return std::nullopt;
        stored.bytes.resize(size);
        return stored;
    }
}

SettingValue CRegistry::GetSetting(std::wstring_view section, std::wstring_view key,
                                   const SettingValue& defaultValue) const {
    const auto stored = GetStoredData(section, key);
    if (!stored || stored->bytes.empty()) return defaultValue;
    const DWORD size = static_cast<DWORD>(stored->bytes.size());
    if (IsStoredNumberType(stored->type)) return NumberFromBytes(stored->bytes.data(), size);
    if (IsStoredTextType(stored->type)) return TextFromStoredBytes(stored->bytes.data(), size);
    TypeMismatch(L"GetSetting");
}

bool CRegistry::SaveSetting(std::wstring_view section, std::wstring_view key, const SettingValue& value,
                            DWORD valueType) {
    if (!IsStoredTextType(valueType) && !IsStoredNumberType(valueType)) TypeMismatch(L"SaveSetting");
    std::wstring text;
    int32_t number = 0;
    if (IsStoredTextType(valueType))
        text = SettingToText(value);
    else
        number = SettingToInt32(value, std::wstring(ClassName) + L".SaveSetting");

    UniqueHKey hkey;
    LSTATUS status = ::RegCreateKeyExW(hive_, SectionPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, hkey.put(), nullptr);
    if (status != ERROR_SUCCESS) return Fail(status);
    const std::wstring name(key);
    if (IsStoredTextType(valueType)) {
        // The byte count covers the characters only. The registry itself
        // stores the terminator that follows them, as it does for every
        // writer that leaves it out, which keeps the value readable by
        // programs that expect one (the autostart value is read by Windows).
        status = ::RegSetValueExW(hkey.get(), name.c_str(), 0, valueType, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    } else {
        status = ::RegSetValueExW(hkey.get(), name.c_str(), 0, valueType, reinterpret_cast<const BYTE*>(&number),
                                  sizeof number);
    }
    return status == ERROR_SUCCESS || Fail(status);
}

bool CRegistry::DeleteSetting(std::wstring_view section, std::wstring_view key) {
    LSTATUS status;
    if (!key.empty()) {
        UniqueHKey hkey;
        status = ::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_ALL_ACCESS, hkey.put());
        if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(hkey.get(), std::wstring(key).c_str());
        return status == ERROR_SUCCESS || Fail(status);
    }
    // Deleting a whole section: open the key above it and delete it by name.
    // This also covers the empty section, which is the base key itself.
    const std::wstring path = SectionPath(section);
    if (path.empty()) return Fail(ERROR_INVALID_PARAMETER);
    const size_t split = path.find_last_of(L'\\');
    const std::wstring parentPath = split == std::wstring::npos ? std::wstring() : path.substr(0, split);
    const std::wstring leaf = split == std::wstring::npos ? path : path.substr(split + 1);
    UniqueHKey parent;
    status = ::RegOpenKeyExW(hive_, parentPath.c_str(), 0, KEY_ALL_ACCESS, parent.put());
    if (status == ERROR_SUCCESS) status = ::RegDeleteKeyW(parent.get(), leaf.c_str());
    return status == ERROR_SUCCESS || Fail(status);
}

bool CRegistry::DeleteAllSettings(std::wstring_view section) {
    // An empty path would name the whole hive; never walk that.
    if (SectionPath(section).empty()) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::wstring> subkeys;
    GetAllSettings(section, &subkeys, nullptr);
    std::wstring_view parent = section;
    if (!parent.empty() && parent.back() == L'\\') parent.remove_suffix(1);
    for (const auto& name : subkeys)
        DeleteAllSettings(parent.empty() ? name : std::wstring(parent) + L"\\" + name);
    return DeleteSetting(section, L"");
}

bool CRegistry::GetAllSettings(std::wstring_view section, std::vector<std::wstring>* subkeys,
                               ValueTable* values) const {
    if (subkeys) subkeys->clear();
    if (values) values->clear();
    UniqueHKey hkey;
    LSTATUS status = ::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put());
    if (status != ERROR_SUCCESS) return Fail(status);
    DWORD keyCount = 0, maxKeyLength = 0, valueCount = 0, maxNameLength = 0, maxDataLength = 0;
    status = ::RegQueryInfoKeyW(hkey.get(), nullptr, nullptr, nullptr, &keyCount, &maxKeyLength, nullptr, &valueCount,
                                &maxNameLength, &maxDataLength, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return Fail(status);

    if (subkeys) {
        std::vector<wchar_t> name(maxKeyLength + 1);
        for (DWORD i = 0; i < keyCount; ++i) {
            DWORD length = static_cast<DWORD>(name.size());
            if (::RegEnumKeyExW(hkey.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS)
                subkeys->emplace_back(name.data(), length);
        }
    }
    if (values) {
        std::vector<wchar_t> name(maxNameLength + 1);
        std::vector<BYTE> data(maxDataLength + sizeof(wchar_t));
        for (DWORD i = 0; i < valueCount; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            DWORD type = 0;
            if (::RegEnumValueW(hkey.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
                ERROR_SUCCESS)
                continue;
            values->emplace_back(std::wstring(name.data(), nameLength), DataAsText(type, data.data(), size, L"GetAllSettings"));
        }
    }
    const bool any = (subkeys && !subkeys->empty()) || (values && !values->empty());
    return any || Fail(ERROR_NO_MORE_ITEMS);
}

DWORD CRegistry::GetValueType(std::wstring_view section, std::wstring_view key) const {
    UniqueHKey hkey;
    if (::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put()) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    if (::RegQueryValueExW(hkey.get(), std::wstring(key).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return type;
}

bool CRegistry::IsKey(std::wstring_view section, std::wstring_view key) const {
    UniqueHKey hkey;
    if (::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(hkey.get(), std::wstring(key).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool CRegistry::IsSection(std::wstring_view section) const {
    UniqueHKey hkey;
    return ::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put()) == ERROR_SUCCESS;
}

bool CRegistry::HasValues(std::wstring_view section) const {
    UniqueHKey hkey;
    if (::RegOpenKeyExW(hive_, SectionPath(section).c_str(), 0, KEY_READ, hkey.put()) != ERROR_SUCCESS) return false;
    DWORD valueCount = 0;
    return ::RegQueryInfoKeyW(hkey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                              nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           valueCount > 0;
}
