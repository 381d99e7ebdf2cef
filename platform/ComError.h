#pragma once
// Failures across COM boundaries. Inside, a failure is a platform::Error; at
// the boundary it leaves as an HRESULT plus IErrorInfo (source "Class.Member"
// and description), and a failed HRESULT that comes back in is turned into a
// platform::Error again. A COM member's body runs in ComMember (Guard.h).
// System numbers (13, 380, ...) travel as the automation HRESULTs
// 0x800A0000 + n; component codes 0x8004xxxx as they are.
#include <windows.h>
#include <oleauto.h>

#include <string_view>

#include "Error.h"

namespace platform {

HRESULT ToHResult(int32_t number) noexcept;
int32_t FromHResult(HRESULT hr) noexcept;

// Publishes the failure as this thread's error information and answers its HRESULT.
HRESULT ReportError(const Error& failure) noexcept;

// Raises a failed HRESULT as an Error, with the description and source the
// callee left in its error information when it left any.
void ThrowIfFailed(HRESULT hr, std::wstring_view source);

// Raises "Invalid procedure call" (an invalid pointer argument) when p is null.
template <class T>
T* CheckOut(T* p) {
    if (!p) Raise(errors::InvalidProcedureCall, L"");
    return p;
}

}  // namespace platform
