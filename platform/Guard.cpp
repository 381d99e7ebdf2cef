#include "Guard.h"

namespace platform {

namespace {
bool g_errorTrapping = false;
FailureLogger g_logger = nullptr;
}  // namespace

bool ErrorTrapping() noexcept { return g_errorTrapping; }
void SetErrorTrapping(bool on) noexcept { g_errorTrapping = on; }
void SetFailureLogger(FailureLogger logger) noexcept { g_logger = logger; }

void LogCurrentFailure(std::wstring_view module, std::wstring_view procedure) noexcept {
    if (!g_logger) return;
    try {
        g_logger(CurrentError(), module, procedure);
    } catch (...) {
        // The log is best effort; a failing logger must not take the caller down.
    }
}

}  // namespace platform
