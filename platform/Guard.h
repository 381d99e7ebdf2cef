#pragma once
// The per-procedure error convention. A boundary (event handler, window
// procedure, callback, public operation) runs its body through Guard: while
// error trapping is on, a failure is logged with the boundary's module and
// procedure name and the boundary returns its default result; while it is
// off, the failure reaches the caller unchanged.
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

// A step whose failure is of no consequence: it is skipped silently and the
// caller goes on with its next step.
template <class Body>
void SkipFailure(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace platform
