#include "ExceptionLogReader.h"

#include <ostream>
#include <string_view>

#include "Handles.h"
#include "Strings.h"

namespace testing_support {

namespace {

constexpr wchar_t LogFileName[] = L"PKException.txt";

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
    return bytes;
}

// Line by line, as a person reads the file: each Value line opens an entry.
std::vector<LoggedFailure> Parse(std::string_view bytes) {
    constexpr std::string_view Value = "\t\tValue: ", Description = "\t\tDescription: ", Source = "\t\tSource: ";
    std::vector<LoggedFailure> entries;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(at, end - at);
        auto field = [&](std::string_view name) { return platform::Widen(line.substr(name.size()), CP_ACP); };
        if (line.starts_with(Value)) entries.push_back({field(Value), {}, {}});
        if (!entries.empty() && line.starts_with(Description)) entries.back().description = field(Description);
        if (!entries.empty() && line.starts_with(Source)) entries.back().source = field(Source);
        at = end + 2;
    }
    return entries;
}

}  // namespace

void PrintTo(const LoggedFailure& entry, std::ostream* out) {
    *out << platform::Narrow(entry.source + L" " + entry.value + L" " + entry.description);
}

std::wstring ExceptionLogPath(HMODULE module) { return platform::ModuleFolder(module) + L"\\" + LogFileName; }

ExceptionLogMark::ExceptionLogMark(std::wstring path) : path_(std::move(path)), end_(ReadBytes(path_).size()) {}

std::vector<LoggedFailure> ExceptionLogMark::Appended() const {
    const std::string bytes = ReadBytes(path_);
    // A log that was replaced meanwhile is read whole.
    return Parse(std::string_view(bytes).substr(bytes.size() >= end_ ? end_ : 0));
}

std::vector<std::wstring> ExceptionLogMark::AppendedSources() const {
    std::vector<std::wstring> sources;
    for (const auto& entry : Appended()) sources.push_back(entry.source);
    return sources;
}

}  // namespace testing_support
