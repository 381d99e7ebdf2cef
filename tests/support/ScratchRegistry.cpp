#include "ScratchRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace testing_support {

namespace {

std::atomic<int> g_scratchCounter{0};

platform::UniqueHKey CreateScratchKey(const std::wstring& path, DWORD options) {
    platform::UniqueHKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                                       key.put(), nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "cannot create the scratch key";
    return key;
}

}  // namespace

ScratchRegistry::ScratchRegistry(MachineHive machine) {
    path_ = L"Software\\PelkinTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_scratchCounter);
    DeleteTree(HKEY_CURRENT_USER, path_);
    user_ = CreateScratchKey(path_ + L"\\User", REG_OPTION_NON_VOLATILE);
    ::RegOverridePredefKey(HKEY_CURRENT_USER, user_.get());
    if (machine == MachineHive::Real) return;
    // A volatile key refuses lasting subkeys: writes below it fail as they
    // would for a user without administrator rights.
    {
        // Created through the real hive, which is not redirected for this call.
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        machine_ = CreateScratchKey(path_ + L"\\Machine",
                                    machine == MachineHive::ReadOnly ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, user_.get());
    }
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get());
}

ScratchRegistry::~ScratchRegistry() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (machine_) ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    user_.reset();
    machine_.reset();
    DeleteTree(HKEY_CURRENT_USER, path_);
}

StoredValue ReadValue(HKEY hive, const std::wstring& path, const std::wstring& name) {
    StoredValue value;
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    std::vector<BYTE> data(size + 2);
    ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, data.data(), &size);
    value.exists = true;
    value.size = size;
    if (value.type == REG_DWORD && size >= sizeof(DWORD)) value.number = *reinterpret_cast<DWORD*>(data.data());
    if (value.type == REG_SZ) {
        value.text.assign(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
        // The platform may store a terminator the writer did not count.
        if (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
    }
    return value;
}

void WriteRaw(HKEY hive, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    platform::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void WriteText(HKEY hive, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    WriteRaw(hive, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteNumber(HKEY hive, const std::wstring& path, const std::wstring& name, DWORD number) {
    WriteRaw(hive, path, name, REG_DWORD, &number, sizeof number);
}

bool KeyExists(HKEY hive, const std::wstring& path) {
    platform::UniqueHKey key;
    return ::RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void DeleteTree(HKEY hive, const std::wstring& path) {
    ::RegDeleteTreeW(hive, path.c_str());
    ::RegDeleteKeyW(hive, path.c_str());
}

RawKey ReadKey(const std::wstring& path) {
    RawKey values;
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return values;
    DWORD count = 0, nameLength = 0, dataLength = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &nameLength,
                       &dataLength, nullptr, nullptr);
    for (DWORD i = 0; i < count; ++i) {
        std::wstring name(nameLength + 1, L'\0');
        RawValue value;
        value.bytes.resize(dataLength);
        DWORD length = nameLength + 1, size = dataLength;
        if (::RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &value.type, value.bytes.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        value.name = name.substr(0, length);
        value.bytes.resize(size);
        values.push_back(std::move(value));
    }
    return values;
}

}  // namespace testing_support
