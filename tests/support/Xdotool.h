#pragma once
// The X display's own input, as a user at the keyboard or the mouse makes it,
// through xdotool. Each call returns once xdotool has sent its input to the
// X server and ended, so that two inputs never interleave; what the input
// does in Wine's windows comes after, so wait for that.
#include <windows.h>

#include <string>

namespace testing_support {

// Runs xdotool with these arguments; true when it ran to its end in time.
bool RunXdotool(const std::wstring& arguments);

// The X window Wine shows a top-level window in; 0 when it has none.
UINT_PTR XWindowOf(HWND window);
// The X window that has the input focus now; 0 when xdotool could not tell.
UINT_PTR FocusedXWindow();

// Gives the window the X input focus (keys go only to a focused X window,
// and Wine sees hot keys only then) and presses the combination, named as
// xdotool names keys ("ctrl+shift+F11").
bool PressKeys(HWND window, const std::wstring& combination);

}  // namespace testing_support
