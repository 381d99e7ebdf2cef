#pragma once
// Failures across COM boundaries. Inside, a failure is a platform::Error; at
// the boundary it leaves as an HRESULT plus IErrorInfo (source "Class.Member"
// and description), and a failed HRESULT that comes back in is turned into a
// platform::Error again. System numbers (13, 380, ...) travel as the
// automation HRESULTs 0x800A0000 + n; component codes 0x8004xxxx as they are.
#include <windows.h>
#include <oleauto.h>

#include <string_view>

#include "Error.h"
#include "Guard.h"

namespace platform {

HRESULT ToHResult(int32_t number) noexcept;
int32_t FromHResult(HRESULT hr) noexcept;

// Publishes the failure as this thread's error information and answers its HRESULT.
HRESULT ReportError(const Error& failure) noexcept;

// Raises a failed HRESULT as an Error, with the description and source the
// callee left in its error information when it left any.
void ThrowIfFailed(HRESULT hr, std::wstring_view source);

// How a COM member treats a failure of its body. Each class has one rule
// for all its members: hand the failure to the caller as an HRESULT with
// error information, or (classes that handle their own failures) log it
// under module and procedure and answer S_OK while error trapping is on,
// reporting it to the caller only while trapping is off.
enum class OnFailure { ToCaller, LogWhileTrapping };

// Runs the body of every COM member; no exception ever leaves it. Stale
// error information is cleared first so that a caller never reads an old
// failure after a success. A failure with no source of its own is given
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

// Raises "Invalid procedure call" (an invalid pointer argument) when p is null.
template <class T>
T* CheckOut(T* p) {
    if (!p) Raise(errors::InvalidProcedureCall, L"");
    return p;
}

}  // namespace platform
