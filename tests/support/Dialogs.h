#pragma once
// Answering message boxes the way a user would: find the box by its caption,
// read its text, press one of its buttons.
#include <windows.h>
#include <future>
#include <string>

#include "Wait.h"

namespace testing_support {

// A visible dialog box with this caption (of any process, or of `processId`).
HWND FindDialog(const std::wstring& caption, DWORD processId = 0);

// The message text of a message box.
std::wstring DialogText(HWND dialog);

// Clicks the button with this ID (IDYES, IDNO, IDOK...).
bool PressButton(HWND dialog, int buttonId);

// Waits (on another thread) for the dialog, then presses the button; the
// future gives the box's text, or "<no dialog>" when none came in time.
std::future<std::wstring> AnswerDialog(const std::wstring& caption, int buttonId, DWORD processId = 0,
                                       DWORD timeoutMs = DefaultTimeoutMs);

}  // namespace testing_support
