#pragma once
// Reads back an exception log as platform::ExceptionLog writes it, so that a
// test proves a failure was logged with its source while the program went
// on. A mark taken before the failure sees only what was appended after it:
// the log is never emptied, and entries of earlier tests stay in place.
#include <windows.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace testing_support {

struct LoggedFailure {
    std::wstring value;        // as the log writes it: "13", "0x800401A6"
    std::wstring description;
    std::wstring source;       // "Module.Procedure"
    bool operator==(const LoggedFailure&) const = default;
};
void PrintTo(const LoggedFailure& entry, std::ostream* out);

// The log beside a module: the test program's own (the program's log) when
// null, or a component's DLL (that component's log).
std::wstring ExceptionLogPath(HMODULE module = nullptr);

class ExceptionLogMark {
public:
    explicit ExceptionLogMark(std::wstring path = ExceptionLogPath());

    // The entries appended since the mark was taken, oldest first.
    std::vector<LoggedFailure> Appended() const;
    // Their sources alone, for tests that need no more.
    std::vector<std::wstring> AppendedSources() const;

private:
    std::wstring path_;
    size_t end_;
};

}  // namespace testing_support
