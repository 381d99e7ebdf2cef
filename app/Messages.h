#pragma once
// The program's private window messages. All come from WM_APP upwards, so
// that none can be taken for a control's or a dialog's own WM_USER messages
// (DM_GETDEFID and DM_SETDEFID are WM_USER and WM_USER + 1).
#include <windows.h>

namespace messages {
// Work put off until the handler that is running has returned; wParam and
// lParam are the sender's.
inline constexpr UINT Deferred = WM_APP + 1;
}  // namespace messages
