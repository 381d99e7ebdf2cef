#pragma once
// Questions put to another program's window, and the few things done to one,
// none of which ever waits on a window that does not answer.
#include <windows.h>
#include <cstdint>
#include <string>

// Milliseconds for every SendMessageTimeout sent to a foreign window.
extern int32_t MessageTimeout;
// How many times a cached window icon is reused before it is fetched again.
extern int32_t IconCacheRefreshInterval;

// The key of a window in the tracked-window registry: the handle as signed decimal.
std::wstring WindowKey(HWND hWnd);

// Whether the window answers a WM_NULL within the time, without ever waiting
// on a hung window.
bool WindowAnswers(HWND hWnd, UINT timeoutMs);
// The whole window text and class name (empty when there is none).
std::wstring WindowText(HWND hWnd);
std::wstring WindowClassName(HWND hWnd);
// The owner of a top-level window (none for unowned windows).
HWND WindowOwner(HWND hWnd);

// Raises the window (when it answers) and makes it the foreground window.
void BringToFront(HWND hWnd);
// Redraws the window's menu bar, when the window answers.
void ResetMenuBar(HWND hWnd);
// Full opacity.
inline constexpr int32_t OpaqueAlpha = 255;
// Opacity of one of the program's own windows; 255 makes it opaque again.
void SetWindowAlpha(HWND hWnd, int32_t alpha);
// True when the point lies inside the rectangle or on its edges.
bool IsPointInRect(int32_t x, int32_t y, const RECT& rect) noexcept;
