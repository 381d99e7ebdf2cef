#pragma once
// Text helpers. The program keeps text as UTF-16 std::wstring; narrow text is
// only made at the edges (log file in the ANSI code page, test output).
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::wstring Widen(std::string_view text, UINT codePage = CP_UTF8);
std::string Narrow(std::wstring_view text, UINT codePage = CP_UTF8);

// Locale-independent case mapping, the same for every key comparison.
std::wstring ToLower(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept;
bool ContainsNoCase(std::wstring_view text, std::wstring_view part);

// Whole-text decimal number, optional sign and surrounding blanks allowed;
// nothing when the text is not a number or does not fit 32 bits.
std::optional<int32_t> ParseInt32(std::wstring_view text) noexcept;

// The system's message text for a Win32 error code, without the trailing line break.
std::wstring SystemMessage(DWORD code);

// Full path of the folder that holds the given module (nullptr: the process image).
std::wstring ModuleFolder(HMODULE module = nullptr);

}  // namespace platform
