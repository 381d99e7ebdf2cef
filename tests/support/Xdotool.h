#pragma once
// The X display's own input, as a user at the keyboard or the mouse makes it,
// through xdotool. Wine runs a Linux program given by its path on drive Z:,
// but gives no handle to wait on for it (and leaves its outputs undefined):
// it runs on its own, so wait for what it does.
#include <windows.h>

#include <string>

namespace testing_support {

// Starts xdotool with these arguments; true when it was started.
bool RunXdotool(const std::wstring& arguments);

// The X window Wine shows a top-level window in; 0 when it has none.
UINT_PTR XWindowOf(HWND window);

// Gives the window the X input focus (keys go only to a focused X window,
// and Wine sees hot keys only then) and presses the combination, named as
// xdotool names keys ("ctrl+shift+F11").
bool PressKeys(HWND window, const std::wstring& combination);

}  // namespace testing_support
