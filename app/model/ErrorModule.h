#pragma once
// The program's exception log: "PKException.txt" beside Pelkin.exe.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class ExceptionLog;
}

// Appends one entry; never fails (an entry that cannot be written is lost).
void LogError(int32_t number, std::wstring_view description, std::wstring_view module, std::wstring_view procedure);

// The program's version as the log and the About box show it: "1.5 (Build 0337)".
std::wstring VersionText();

// The log in the program folder, with the program's title and version.
const platform::ExceptionLog& ProgramExceptionLog();

// Routes every guarded failure of the program to LogError.
void InstallErrorLog();
