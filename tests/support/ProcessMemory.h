#pragma once
// How much memory another process holds, read from outside.
#include <windows.h>
#include <optional>

namespace testing_support {

// The process's private bytes: the memory committed for it alone (its commit
// charge, which Windows reports as both the private and the page-file usage;
// Wine fills in only the latter). Nothing when the platform will not tell.
std::optional<SIZE_T> PrivateBytes(DWORD processId);

}  // namespace testing_support
