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

// Runs the body of a COM member. With `trap` set and error trapping on, a
// failure is logged under module and procedure and the member answers S_OK
// (the failure is handled where it happened); otherwise it is reported to
// the caller as an HRESULT with error information.
template <class Body>
HRESULT ComBoundary(std::wstring_view module, std::wstring_view procedure, bool trap, Body&& body) noexcept {
    try {
        ::SetErrorInfo(0, nullptr);
        std::forward<Body>(body)();
        return S_OK;
    } catch (...) {
        if (trap && ErrorTrapping()) {
            LogCurrentFailure(module, procedure);
            return S_OK;
        }
        return ReportError(CurrentError());
    }
}

// A member that hands every failure to its caller.
template <class Body>
HRESULT ComCall(Body&& body) noexcept {
    return ComBoundary({}, {}, false, std::forward<Body>(body));
}

// A member that handles its own failures while error trapping is on.
template <class Body>
HRESULT ComTrapped(std::wstring_view module, std::wstring_view procedure, Body&& body) noexcept {
    return ComBoundary(module, procedure, true, std::forward<Body>(body));
}

// Raises "Invalid procedure call" (an invalid pointer argument) when p is null.
template <class T>
T* CheckOut(T* p) {
    if (!p) Raise(errors::InvalidProcedureCall, L"");
    return p;
}

}  // namespace platform
