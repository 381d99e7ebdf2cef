#include "MainModule.h"

#include <algorithm>

#include "AutoStartModule.h"
#include "CApplication.h"
#include "CRegistry.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "Handles.h"
#include "Strings.h"
#include "Version.h"
#include "frmMain.h"

HWND MainWindowHandle = nullptr;
int32_t MessageTimeout = 0;
int32_t IconCacheRefreshInterval = 0;
std::shared_ptr<CApplication> TheApp;

namespace {

constexpr int32_t DefaultMessageTimeout = 500;
constexpr int32_t DefaultIconCacheRefreshInterval = 100;
// One instance per log-on session; the caption alone identifies its window.
constexpr wchar_t InstanceMutexName[] = L"Local\\" PELKIN_PRODUCT ".Instance";

HINSTANCE g_instance = nullptr;
std::vector<HWND> g_forms;
bool g_messageLoopRunning = false;
std::unique_ptr<frmMain> g_mainForm;
platform::UniqueKernelHandle g_instanceMutex;

bool PreviousInstanceRunning() {
    g_instanceMutex.reset(::CreateMutexW(nullptr, FALSE, InstanceMutexName));
    return g_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void AskAndUninstall() {
    const std::wstring question =
        std::wstring(L"Are you sure you want to delete all '") + AppInfo::Title + L"' registry entries?";
    if (::MessageBoxW(nullptr, question.c_str(), L"Confirm Registry Delete", MB_YESNO | MB_ICONQUESTION) == IDYES)
        DeleteAllRegistryEntries();
}

}  // namespace

HINSTANCE ProgramInstance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

bool HasUninstallSwitch(std::wstring_view arguments) {
    // A plain substring test: "/uninstall" and anything else starting "/u" qualify.
    return platform::ContainsNoCase(arguments, L"/u") || platform::ContainsNoCase(arguments, L"/uninstall");
}

void DeleteAllRegistryEntries() {
    try {
        CRegistry(HKEY_CURRENT_USER, CRegistry::BaseKey(AppInfo::CompanyName, AppInfo::ProductName))
            .DeleteAllSettings(L"");
        LSTATUS ignored = ERROR_SUCCESS;
        AutoStartModule::Remove(HKEY_CURRENT_USER, ignored);
        AutoStartModule::Remove(HKEY_LOCAL_MACHINE, ignored);
    } catch (...) {
        // Uninstalling is best effort and silent: a missing key is no error.
    }
}

bool Main(HINSTANCE instance, std::wstring_view arguments) {
    g_instance = instance;
    if (HasUninstallSwitch(arguments)) {
        try {
            AskAndUninstall();
        } catch (...) {
        }
        return false;
    }
    platform::SetErrorTrapping(true);
    InstallErrorLog();
    MessageTimeout = DefaultMessageTimeout;
    IconCacheRefreshInterval = DefaultIconCacheRefreshInterval;
    if (PreviousInstanceRunning()) {
        ShowPrevInstance(AppInfo::MainWindowCaption);
        return false;
    }
    g_mainForm = std::make_unique<frmMain>();
    g_mainForm->Initialize();
    return !g_forms.empty();
}

int RunMessageLoop() {
    g_messageLoopRunning = true;
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    g_messageLoopRunning = false;
    g_mainForm.reset();
    return static_cast<int>(msg.wParam);
}

bool ShowPrevInstance(std::wstring_view caption) {
    HWND previous = ::FindWindowW(nullptr, std::wstring(caption).c_str());
    if (!previous) return false;
    ::PostMessageW(previous, WM_MOUSEMOVE, 0, 0);
    return true;
}

void Quit() { ::PostMessageW(MainWindowHandle, WM_CLOSE, 0, 0); }

void GetOSVersion(OSVERSIONINFOW& info) {
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#elif defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
    ::GetVersionExW(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#elif defined(_MSC_VER)
#pragma warning(pop)
#endif
}

int ShowMessage(const std::wstring& text, UINT flags) noexcept {
    HWND owner = ::IsWindow(MainWindowHandle) ? MainWindowHandle : nullptr;
    return ::MessageBoxW(owner, text.c_str(), AppInfo::Title, flags | MB_SETFOREGROUND);
}

void RegisterForm(HWND form) {
    if (std::find(g_forms.begin(), g_forms.end(), form) == g_forms.end()) g_forms.push_back(form);
}

void UnregisterForm(HWND form) {
    auto it = std::find(g_forms.begin(), g_forms.end(), form);
    if (it == g_forms.end()) return;
    g_forms.erase(it);
    if (g_forms.empty() && g_messageLoopRunning) ::PostQuitMessage(0);
}

const std::vector<HWND>& OpenForms() { return g_forms; }
