#include "Guard.h"

namespace platform {

namespace {
bool g_errorTrapping = false;
FailureLogger g_logger = nullptr;
}  // namespace

bool ErrorTrapping() noexcept { return g_errorTrapping; }
void SetErrorTrapping(bool on) noexcept { g_errorTrapping = on; }
FailureLogger SetFailureLogger(FailureLogger logger) noexcept { return std::exchange(g_logger, logger); }

void LogCurrentFailure(std::wstring_view module, std::wstring_view procedure) noexcept {
    // A logger whose own work fails into a guard must not log that failure:
    // it would log again, and again.
    thread_local bool logging = false;
    if (!g_logger || logging) return;
    logging = true;
    try {
        g_logger(CurrentError(), module, procedure);
    } catch (...) {
        // The log is best effort; a failing logger must not take the caller down.
    }
    logging = false;
}

}  // namespace platform
