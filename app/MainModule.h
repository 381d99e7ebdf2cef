#pragma once
// Process-wide state and the entry routine of the program.
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CApplication;

// Handle of the hidden main window; target of Quit and never touched by rules.
extern HWND MainWindowHandle;
// Milliseconds for every SendMessageTimeout sent to a foreign window.
extern int32_t MessageTimeout;
// How many times a cached window icon is reused before it is fetched again.
extern int32_t IconCacheRefreshInterval;
// The one application object. Whoever calls into it across its Dispose keeps
// a reference of its own, since Dispose clears this one.
extern std::shared_ptr<CApplication> TheApp;

// The entry routine: uninstall switch, single instance, main window. Returns
// true when the program was started and its message loop should run.
bool Main(HINSTANCE instance, std::wstring_view arguments);

// Pumps messages until the last of the program's forms is gone; returns the exit code.
int RunMessageLoop();

// True when the arguments ask for the registry entries to be removed
// ("/u" or "/uninstall" anywhere, any case).
bool HasUninstallSwitch(std::wstring_view arguments);

// Deletes the program key and the autostart value in both hives.
void DeleteAllRegistryEntries();

// Finds the running instance's main window by caption and nudges it.
bool ShowPrevInstance(std::wstring_view caption);

// Asks the main window to close; the one way the program ends itself.
void Quit();

// The running Windows version.
void GetOSVersion(OSVERSIONINFOW& info);

// A message box captioned with the program's title, over the main window.
int ShowMessage(const std::wstring& text, UINT flags) noexcept;

// The program's open forms, main window first. The process ends when the
// last one is gone.
void RegisterForm(HWND form);
void UnregisterForm(HWND form);
const std::vector<HWND>& OpenForms();

// The program's module handle (resources, window classes).
HINSTANCE ProgramInstance();
