#pragma once
// The one failure type of the project: a number, a description and the source
// ("Class.Member") that raised it. Numbers follow the automation convention:
// small positive system numbers, or component codes 0x80040000 + n.
#include <windows.h>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace platform {

namespace errors {
constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t InternalError = 51;
constexpr int32_t InvalidPropertyValue = 380;
constexpr int32_t DuplicateKey = 457;
// Codes a component raises: the base plus the component's own number.
constexpr int32_t ComponentCode(int32_t n) noexcept { return static_cast<int32_t>(0x80040000u + static_cast<uint32_t>(n)); }
}  // namespace errors

class Error : public std::exception {
public:
    Error(int32_t number, std::wstring description, std::wstring source = {});

    int32_t Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const std::wstring& Source() const noexcept { return source_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int32_t number_;
    std::wstring description_;
    std::wstring source_;
    std::string what_;
};

// The usual description of a system error number ("Type mismatch", ...).
std::wstring StandardDescription(int32_t number);

[[noreturn]] void Raise(int32_t number, std::wstring_view source);
[[noreturn]] void Raise(int32_t number, std::wstring_view description, std::wstring_view source);
// A failed Win32 call: the HRESULT form of the code and the system's text.
[[noreturn]] void RaiseWin32(DWORD code, std::wstring_view source);

// The exception in flight (inside a catch block) as an Error; foreign
// exceptions keep their text under a generic number.
Error CurrentError() noexcept;

}  // namespace platform
