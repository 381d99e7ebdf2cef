#pragma once
// The exception log: a text file in the deliverable's folder that every
// failure is appended to, one entry at a time. The file is opened and closed
// for each entry so that the program and its components can share it.
#include <windows.h>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// "1.5 (Build 0337)": minor with at least one digit, revision with at least four.
std::wstring FormatVersionText(int major, int minor, int revision);

// The failure's number as the log shows it: decimal when 0 or positive,
// otherwise "0x" and eight upper-case hexadecimal digits.
std::wstring FormatErrorValue(int32_t number);

struct ExceptionEntry {
    int32_t number = 0;
    std::wstring description;
    std::wstring module;
    std::wstring procedure;
};

class ExceptionLog {
public:
    ExceptionLog(std::wstring path, std::wstring title, std::wstring versionText);

    // The entry's bytes in the system's ANSI code page, lines ended by CR LF;
    // the time is written in the user's short date and long time format.
    std::string Format(const ExceptionEntry& entry, const SYSTEMTIME& when) const;

    // Appends one entry stamped with the current local time. Never fails: an
    // entry that cannot be written is dropped.
    void Append(const ExceptionEntry& entry) const noexcept;

    const std::wstring& Path() const noexcept { return path_; }

private:
    std::wstring path_;
    std::wstring title_;
    std::wstring versionText_;
};

// The user's own short date and long time format of a moment, as one text.
std::wstring FormatLocalDateTime(const SYSTEMTIME& when);

}  // namespace platform
