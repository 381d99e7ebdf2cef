#pragma once
// The notification area as another process sees it under Wine: whether a
// program still has an icon there, where an icon is drawn, and clicks on it
// with the real pointer (xdotool), as a user would click.
//
// Without an X system tray, Wine's X11 driver shows the icons in a window of
// its own ("Wine System Tray", in Wine's desktop process), whatever program
// added them. Each icon there is a child window one small icon plus borders
// wide, laid out left to right in the order the icons were shown; when one
// goes, the later ones move left. Every process's icons share that window, so
// an icon is found by its tip, and its position is read from its window at the
// moment of the click, never counted.
#include <windows.h>
#include <string>
#include <vector>

namespace testing_support {

// Whether the shell holds the icon (owner window, ID): a modification that
// changes nothing succeeds only for an icon the shell has.
bool TrayIconExists(HWND owner, UINT id);
// The same for any window of the process with this window class (a tray
// component's callback window is one of its windows of that class).
bool ProcessHasTrayIcon(DWORD processId, const wchar_t* ownerClass, UINT id);

// The window of the process (of that class) under which the shell holds the
// icon; nullptr when the shell holds no such icon.
HWND TrayIconOwner(DWORD processId, const wchar_t* ownerClass, UINT id);
// Takes the icon out of the shell, as a shell that ends takes its icons with
// it: the program that added it is not told.
bool DropTrayIcon(HWND owner, UINT id);
// What a shell that starts again tells every top-level window: the taskbar
// was made, icons may be added again.
void AnnounceTaskbarCreated();
// The mouse click (1 left, 3 right, as xdotool numbers buttons) on an icon,
// as the shell reports it to the icon's owner window: button down, then up.
bool ReportTrayClick(HWND owner, UINT id, UINT callbackMessage, int button);

// Wine's own tray window; nullptr while it has never shown an icon.
HWND WineTrayWindow();
// The windows of the icons shown there, in display order.
std::vector<HWND> TrayIconWindows();
// The tip of the icon an icon window shows, as its tooltip holds it; empty
// when the tooltip cannot be read.
std::wstring TrayIconTip(HWND iconWindow);
// The icon window showing this tip; nullptr when none does, or when several
// do and a click could hit the wrong one.
HWND FindTrayIcon(const std::wstring& tip);
// Takes away the icons whose owner window is gone (its process was ended
// without a word), as the tray itself does once it fails to tell such an
// owner of the pointer over the icon: a program started afresh would
// otherwise share its tip with a dead copy's icon.
void SweepAbandonedTrayIcons();

// Clicks the icon with a button of the real pointer (xdotool numbers them:
// 1 left, 3 right), then puts the pointer back where it was. The tray window
// is raised first, and the click is only made when the icon is what the
// pointer will hit; the button is released once the tray has done all the
// press makes it do. With `owner`, a window of the thread that put the icon
// there, the pointer goes back only once that thread has had word of the
// click, so that it finds the pointer on the icon. True when the click was
// sent; its effect comes a little later, so wait for it.
bool ClickTrayIcon(HWND iconWindow, int button = 1, HWND owner = nullptr);

}  // namespace testing_support
