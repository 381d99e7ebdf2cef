#pragma once
// The per-procedure error convention. A public operation or event handler
// runs its body through Guard: while error trapping is on, a failure is
// logged with the boundary's module and procedure name and the boundary
// returns its default result; while it is off, the failure reaches the
// caller unchanged. Window procedures, system callbacks and destructors have
// no caller to hand a failure to: they use GuardCallback, which always logs,
// and so does a noexcept function (Guard would rethrow into it while trapping
// is off). COM members use ComMember (ComError.h).
//
// Each deliverable links its own copy of this library, so the trapping flag
// and the logger are per deliverable: the program and each component log to
// their own file with their own title.
#include <string_view>
#include <type_traits>
#include <utility>

#include "Error.h"

namespace platform {

bool ErrorTrapping() noexcept;
void SetErrorTrapping(bool on) noexcept;

using FailureLogger = void (*)(const Error& failure, std::wstring_view module, std::wstring_view procedure);
void SetFailureLogger(FailureLogger logger) noexcept;

// Logs the exception in flight; call only inside a catch block.
void LogCurrentFailure(std::wstring_view module, std::wstring_view procedure) noexcept;

// For system callbacks and window procedures: no failure may leave them,
// whatever the trapping flag says. A failure is logged and the default
// result returned.
template <class Body>
auto GuardCallback(std::wstring_view module, std::wstring_view procedure, Body&& body) noexcept
    -> std::invoke_result_t<Body> {
    using Result = std::invoke_result_t<Body>;
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        LogCurrentFailure(module, procedure);
        if constexpr (!std::is_void_v<Result>) return Result{};
    }
}

template <class Body>
auto Guard(std::wstring_view module, std::wstring_view procedure, Body&& body) -> std::invoke_result_t<Body> {
    if (!ErrorTrapping()) return std::forward<Body>(body)();
    return GuardCallback(module, procedure, std::forward<Body>(body));
}

// A step of teardown or of message handling whose failure must not stop the
// steps after it: the failure is logged under module and procedure and the
// caller goes on with its next step.
template <class Body>
void SkipFailure(std::wstring_view module, std::wstring_view procedure, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        LogCurrentFailure(module, procedure);
    }
}

// The few places that drop a failure without a trace: the start-up routine
// and the uninstall path, the log itself, and the small lookups that answer
// "none" (no object, false, the default) whenever they cannot answer. Every
// other failure that is not handed on is logged (SkipFailure, GuardCallback).
template <class Body>
auto IgnoreFailure(Body&& body) noexcept -> std::invoke_result_t<Body> {
    using Result = std::invoke_result_t<Body>;
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        if constexpr (!std::is_void_v<Result>) return Result{};
    }
}

}  // namespace platform
