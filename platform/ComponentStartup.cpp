#include "ComponentStartup.h"

#include "ComObject.h"
#include "ExceptionLog.h"
#include "Guard.h"
#include "Strings.h"

namespace platform {

namespace {

constexpr wchar_t LogFileName[] = L"PKException.txt";

// One component per copy of this library: the log is the component's.
const ExceptionLog* g_log = nullptr;

void LogToComponentFile(const Error& failure, std::wstring_view module, std::wstring_view procedure) {
    if (g_log) g_log->Append({failure.Number(), failure.Description(), std::wstring(module), std::wstring(procedure)});
}

}  // namespace

void StartComponent(const ComponentIdentity& identity) noexcept {
    thread_local bool started = false;
    if (started) return;
    started = true;
    try {
        static const ExceptionLog log(ModuleFolder(com::ThisModule()) + L"\\" + LogFileName, identity.title,
                                      FormatVersionText(identity.major, identity.minor, identity.revision));
        g_log = &log;
        SetFailureLogger(&LogToComponentFile);
    } catch (...) {
        // Without a log the component still traps its failures; they are lost.
    }
    SetErrorTrapping(true);
}

}  // namespace platform
