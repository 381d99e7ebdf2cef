#pragma once
// The record of the windows whose action is in force (hidden, in the tray, on
// top, transparent), so that the next start can give them back when the
// program ended without undoing them (killed, crashed). It lives in a volatile
// key under the program's key: it survives the process but not the session,
// since the windows it names do not either.
#include <windows.h>
#include <cstdint>

// The section of the program key that holds the record.
inline constexpr wchar_t RecoverySection[] = L"Recovery";

// Notes that the window's action is in force; rewrites the record only when
// the window or its action is new to it.
void RecordWindowAction(HWND hWnd, int32_t action);
// The window's action was undone or the program let it go.
void ForgetWindowAction(HWND hWnd);
// Undoes the action of every recorded window that still exists and still
// belongs to the process that had it, then empties the record. Malformed
// entries are logged and dropped. Returns how many windows were given back.
int RestoreRecordedWindows();
