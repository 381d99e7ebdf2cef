#pragma once
// Lets any number of owners handle chosen messages of a window of this
// process. The window procedure is replaced on the first attachment and put
// back when the last one goes. All records are window properties:
//   PK(h)                          the procedure in place before subclassing
//   PK(h).Count                    attachments on the window, all messages
//   PK(h).Message(m)               number n of owners of message m
//   PK(h).Message(m).Owner(i)      the i-th owner (i = 1..n), not counted
// with h, m and i in signed 32-bit decimal. Every copy of this module in the
// process reads and writes the same records.
#include <windows.h>

#include <cstdint>

#include "Error.h"
#include "ISubclass.h"

namespace SubclassModule {

// Failure codes of AttachMessageChecked; source "Subclass.AttachMessage".
constexpr int32_t CantSubclassError = platform::errors::ComponentCode(0x1A5);
constexpr int32_t AlreadyHandledError = platform::errors::ComponentCode(0x1A6);
constexpr int32_t InvalidWindowError = platform::errors::ComponentCode(0x1A7);
constexpr int32_t ExternalWindowError = platform::errors::ComponentCode(0x1A8);

// Registers owner for message uMsg of hWnd, after the owners already there.
// Answers false on any failure; nothing reaches the caller.
bool AttachMessage(ISubclass* owner, HWND hWnd, UINT uMsg) noexcept;
// The same, raising a platform::Error with the failure's code and text.
void AttachMessageChecked(ISubclass* owner, HWND hWnd, UINT uMsg);

// Removes owner from message uMsg of hWnd; the last detachment on the window
// restores its previous procedure. Never fails.
void DetachMessage(ISubclass* owner, HWND hWnd, UINT uMsg) noexcept;

// Calls the procedure hWnd had before it was subclassed.
LRESULT CallOldWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept;

// True when hWnd belongs to the current process.
bool IsLocalWindow(HWND hWnd) noexcept;

}  // namespace SubclassModule
