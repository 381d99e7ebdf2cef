#include "ExceptionLog.h"

#include <cwchar>

#include "Handles.h"
#include "Strings.h"

namespace platform {

std::wstring FormatVersionText(int major, int minor, int revision) {
    wchar_t buffer[64];
    std::swprintf(buffer, std::size(buffer), L"%d.%d (Build %04d)", major, minor, revision);
    return buffer;
}

std::wstring FormatErrorValue(int32_t number) {
    if (number >= 0) return std::to_wstring(number);
    wchar_t buffer[16];
    std::swprintf(buffer, std::size(buffer), L"0x%08X", static_cast<uint32_t>(number));
    return buffer;
}

std::wstring FormatLocalDateTime(const SYSTEMTIME& when) {
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, static_cast<int>(std::size(date)),
                      nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, nullptr, time, static_cast<int>(std::size(time)));
    return std::wstring(date) + L" " + time;
}

ExceptionLog::ExceptionLog(std::wstring path, std::wstring title, std::wstring versionText)
    : path_(std::move(path)), title_(std::move(title)), versionText_(std::move(versionText)) {}

std::string ExceptionLog::Format(const ExceptionEntry& entry, const SYSTEMTIME& when) const {
    const std::wstring crlf = L"\r\n";
    std::wstring text;
    text += crlf;
    text += L"[" + FormatLocalDateTime(when) + L"] " + title_ + L" v" + versionText_ + crlf;
    text += crlf;
    text += L"\tException Occurred:" + crlf;
    text += L"\t\tValue: " + FormatErrorValue(entry.number) + crlf;
    text += L"\t\tDescription: " + entry.description + crlf;
    text += L"\t\tSource: " + entry.module + L"." + entry.procedure + crlf;
    text += crlf;
    return Narrow(text, CP_ACP);
}

void ExceptionLog::Append(const ExceptionEntry& entry) const noexcept {
    try {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        const std::string bytes = Format(entry, now);
        UniqueFile file(::CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        // One write per entry keeps entries of concurrent writers whole.
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
        // A log that cannot be written is skipped silently.
    }
}

}  // namespace platform
