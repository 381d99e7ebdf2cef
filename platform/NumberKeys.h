#pragma once
// The keys of a number typed into a dialog: a box that holds only digits,
// and the check box that switches the number on. Typing a digit on the check
// box checks it and starts the number, or goes on with it, in the box. The
// dialog has subclassed both controls: a key that passes on goes to the
// procedure it names, which hands the key to the control's own procedure.
#include <windows.h>

#include <cstddef>
#include <functional>

namespace number_keys {

using WindowProcedure = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// WM_CHAR on the box: digits and Backspace pass on, other keys beep.
LRESULT BoxKeyPress(HWND box, WPARAM key, LPARAM lParam, WindowProcedure passOn);

// WM_CHAR on the check box that goes with `box` in `dialog`. Backspace and
// Space pass on; a digit checks an unchecked box first (`checked` runs then)
// and puts the digit in `box`, up to `maxDigits`, moving the focus there with
// the caret at the end (`typed` runs then); any other key beeps.
LRESULT CheckKeyPress(HWND dialog, HWND check, HWND box, WPARAM key, LPARAM lParam, WindowProcedure passOn,
                      size_t maxDigits, const std::function<void()>& checked, const std::function<void()>& typed = {});

}  // namespace number_keys
