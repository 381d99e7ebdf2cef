#pragma once
// The error guard: what becomes of a failure where it would leave a
// procedure with a log source of its own. There are three shapes.
//
// Guard runs a boundary that answers a default. Its Trap says who meets a
// failure of the body:
//   Trap::WhileOn   public operations and event handlers. While error
//                   trapping is on, the failure is logged with the boundary's
//                   module and procedure and the default returned; while it
//                   is off, the failure reaches the caller unchanged.
//   Trap::Always    window procedures, system callbacks, destructors and
//                   noexcept functions: there is no caller to hand a failure
//                   to, so it is logged and the default returned in either
//                   mode (WhileOn would rethrow into them while trapping is off).
//   Trap::Silently  the log itself, the uninstall path that runs before
//                   there is a log, and the lookups whose documented answer
//                   to any failure is "none": dropped without a trace.
// ComMember runs a COM member and answers an HRESULT with error information;
// its OnFailure says whether the class hands every failure to the caller or
// logs it while trapping is on. SkipFailure runs a step of teardown (or of
// message handling) whose failure must not stop the steps after it: logged,
// and the caller goes on.
//
// A class binds its log source once, as a constant beside its code, and
// every procedure names only itself:
//     constexpr platform::LogSource Log{L"Tools"};
//     HRESULT Tools::Add(...) { return Log.Member(L"Add", [&] { ... }); }
//     Log.Skip(L"RemoveAll", [&] { RemoveAt(position); });
//     Log.Guard(L"TimerProc", platform::Trap::Always, [&] { ... });
// The free functions take module and procedure at each call.
//
// No exception ever crosses a window procedure, a system callback, a
// destructor, a noexcept function or a COM boundary, in either mode. The
// log never recurses into logging: a failure met while a failure is being
// logged on the same thread is dropped.
//
// Each deliverable links its own copy of this library, so the trapping flag
// and the logger are per deliverable: the program and each component log to
// their own file with their own title.
#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <type_traits>
#include <utility>

#include "ComError.h"
#include "Error.h"

namespace platform {

bool ErrorTrapping() noexcept;
void SetErrorTrapping(bool on) noexcept;

using FailureLogger = void (*)(const Error& failure, std::wstring_view module, std::wstring_view procedure);
// Answers the logger it replaces, for code that puts it back.
FailureLogger SetFailureLogger(FailureLogger logger) noexcept;

// Logs the exception in flight; call only inside a catch block.
void LogCurrentFailure(std::wstring_view module, std::wstring_view procedure) noexcept;

enum class Trap { WhileOn, Always, Silently };

template <class Body>
auto Guard(std::wstring_view module, std::wstring_view procedure, Trap trap, Body&& body)
    -> std::invoke_result_t<Body> {
    using Result = std::invoke_result_t<Body>;
    if (trap == Trap::WhileOn && !ErrorTrapping()) return std::forward<Body>(body)();
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        if (trap != Trap::Silently) LogCurrentFailure(module, procedure);
        if constexpr (!std::is_void_v<Result>) return Result{};
    }
}

template <class Body>
auto Guard(std::wstring_view module, std::wstring_view procedure, Body&& body) -> std::invoke_result_t<Body> {
    return Guard(module, procedure, Trap::WhileOn, std::forward<Body>(body));
}

template <class Body>
void SkipFailure(std::wstring_view module, std::wstring_view procedure, Body&& body) noexcept {
    Guard(module, procedure, Trap::Always, std::forward<Body>(body));
}

// How a class's COM members meet a failure: hand it to the caller as an
// HRESULT with error information, or (members that handle their own
// failures) log it and answer S_OK while error trapping is on, handing it
// to the caller only while trapping is off.
enum class OnFailure { ToCaller, LogWhileTrapping };

// Stale error information is cleared first so that a caller never reads an
// old failure after a success. A failure with no source of its own is given
// "module.procedure".
template <class Body>
HRESULT ComMember(OnFailure policy, std::wstring_view module, std::wstring_view procedure, Body&& body) noexcept {
    try {
        ::SetErrorInfo(0, nullptr);
        std::forward<Body>(body)();
        return S_OK;
    } catch (...) {
        if (policy == OnFailure::LogWhileTrapping && ErrorTrapping()) {
            LogCurrentFailure(module, procedure);
            return S_OK;
        }
        Error failure = CurrentError();
        if (failure.Source().empty() && !module.empty())
            failure = Error(failure.Number(), failure.Description(), std::wstring(module) + L"." + std::wstring(procedure));
        return ReportError(failure);
    }
}

// A class's log source, bound once; members is the rule its COM members
// follow unless one of them names its own.
class LogSource {
public:
    constexpr explicit LogSource(std::wstring_view module, OnFailure members = OnFailure::ToCaller) noexcept
        : module_(module), members_(members) {}

    constexpr std::wstring_view Module() const noexcept { return module_; }

    template <class Body>
    auto Guard(std::wstring_view procedure, Body&& body) const -> std::invoke_result_t<Body> {
        return platform::Guard(module_, procedure, Trap::WhileOn, std::forward<Body>(body));
    }
    template <class Body>
    auto Guard(std::wstring_view procedure, Trap trap, Body&& body) const -> std::invoke_result_t<Body> {
        return platform::Guard(module_, procedure, trap, std::forward<Body>(body));
    }

    template <class Body>
    HRESULT Member(std::wstring_view procedure, Body&& body) const noexcept {
        return ComMember(members_, module_, procedure, std::forward<Body>(body));
    }
    template <class Body>
    HRESULT Member(std::wstring_view procedure, OnFailure policy, Body&& body) const noexcept {
        return ComMember(policy, module_, procedure, std::forward<Body>(body));
    }

    template <class Body>
    void Skip(std::wstring_view procedure, Body&& body) const noexcept {
        SkipFailure(module_, procedure, std::forward<Body>(body));
    }

private:
    std::wstring_view module_;
    OnFailure members_;
};

}  // namespace platform
