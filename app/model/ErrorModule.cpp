#include "ErrorModule.h"

#include "ExceptionLog.h"
#include "Guard.h"
#include "Strings.h"
#include "Version.h"

namespace {
constexpr wchar_t LogFileName[] = L"PKException.txt";
}

std::wstring VersionText() { return platform::FormatVersionText(AppInfo::Major, AppInfo::Minor, AppInfo::Revision); }

const platform::ExceptionLog& ProgramExceptionLog() {
    static const platform::ExceptionLog log(platform::ModuleFolder() + L"\\" + LogFileName, AppInfo::Title,
                                            VersionText());
    return log;
}

void LogError(int32_t number, std::wstring_view description, std::wstring_view module, std::wstring_view procedure) {
    // Logging never fails its caller.
    platform::Guard(L"ErrorModule", L"LogError", platform::Trap::Silently, [&] {
        ProgramExceptionLog().Append(
            {number, std::wstring(description), std::wstring(module), std::wstring(procedure)});
    });
}

void InstallErrorLog() {
    platform::SetFailureLogger([](const platform::Error& failure, std::wstring_view module,
                                  std::wstring_view procedure) {
        LogError(failure.Number(), failure.Description(), module, procedure);
    });
}
