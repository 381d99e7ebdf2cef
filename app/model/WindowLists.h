#pragma once
// The windows the switcher offers and the rules editor lists, as display-only
// wrappers: no rule, no action, only what the lists show of a window.
#include <windows.h>
#include <memory>
#include <vector>

class CWindow;

// Fill the display list with the windows the switcher offers, or with the
// windows the rules editor lists.
BOOL CALLBACK EnumAltTabWindowProc(HWND hWnd, LPARAM) noexcept;
BOOL CALLBACK EnumTaskWindowProc(HWND hWnd, LPARAM) noexcept;

// The display list the last enumeration built (display-only wrappers, top of
// the Z-order first), and the two enumerations that replace it.
const std::vector<std::shared_ptr<CWindow>>& DisplayWindows();
const std::vector<std::shared_ptr<CWindow>>& ListAltTabWindows();
const std::vector<std::shared_ptr<CWindow>>& ListTaskWindows();
