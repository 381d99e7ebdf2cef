#pragma once
// The value under the system's "Run" key that starts the program at log-on.
#include <windows.h>
#include <string>

namespace AutoStartModule {

// Base key and section of the "Run" key, relative to a hive.
inline constexpr wchar_t RunBaseKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr wchar_t RunSection[] = L"Run";

// The value's data: the program's full path in double quotes.
std::wstring CommandLine();

// Each answers whether the hive now holds what was asked; `error` receives
// the registry's code when not.
bool Write(HKEY hive, LSTATUS& error);
bool Remove(HKEY hive, LSTATUS& error);
bool IsPresent(HKEY hive);

}  // namespace AutoStartModule
