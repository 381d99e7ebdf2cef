#pragma once
// Isolates a test from the real user settings: while it lives,
// HKEY_CURRENT_USER (and, when asked, HKEY_LOCAL_MACHINE) of this process
// point at fresh scratch keys, which are deleted afterwards.
#include <windows.h>
#include <string>
#include <vector>

#include "Handles.h"

namespace testing_support {

class ScratchRegistry {
public:
    enum class MachineHive { Real, Scratch, ReadOnly };

    explicit ScratchRegistry(MachineHive machine = MachineHive::Scratch);
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
    std::wstring path_;
    platform::UniqueHKey user_;
    platform::UniqueHKey machine_;
};

// Reads a value of this process's current user or machine hive.
struct StoredValue {
    bool exists = false;
    DWORD type = 0;
    std::wstring text;  // REG_SZ data without a terminating zero
    DWORD number = 0;   // REG_DWORD data
    DWORD size = 0;     // byte count as stored
};
StoredValue ReadValue(HKEY hive, const std::wstring& path, const std::wstring& name);
void WriteRaw(HKEY hive, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size);
void WriteText(HKEY hive, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void WriteNumber(HKEY hive, const std::wstring& path, const std::wstring& name, DWORD number);
bool KeyExists(HKEY hive, const std::wstring& path);
// A key's values exactly as stored, in the registry's order.
struct RawValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue&) const = default;
};
using RawKey = std::vector<RawValue>;
// Of the current user's hive; empty when the key does not exist.
RawKey ReadKey(const std::wstring& path);
void DeleteTree(HKEY hive, const std::wstring& path);

}  // namespace testing_support
