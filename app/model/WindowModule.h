#pragma once
// Questions put to another program's window, and the few things done to one,
// none of which ever waits on a window that does not answer.
#include <windows.h>
#include <cstdint>
#include <functional>
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

// Moves a window in the z-order without waiting on it: another program's
// window is asked to move when it next reads its messages; the program's own
// windows move at once.
void PlaceWindow(HWND hWnd, HWND after, UINT flags);
// Runs `answered` once the window has answered a WM_NULL sent now, on this
// thread's message loop. A later request for the same window takes the place
// of an earlier one still waiting; one for a window that goes first never runs.
void WhenWindowAnswers(HWND hWnd, std::function<void()> answered);
// How many such requests still wait for their window.
size_t WaitingWindowCount() noexcept;

// Whether the process runs above this one, as one run as administrator does
// for a program that is not: its token's integrity level is higher, or the
// token cannot be read at all. `process` needs only limited query access.
bool RunsAboveThisProcess(HANDLE process);
// Whether the window's process runs above this one, or cannot even be
// opened for a limited query (which the system refuses a lower process).
bool WindowRunsElevated(HWND hWnd);

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
