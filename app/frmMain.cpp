#include "frmMain.h"

#include "CApplication.h"
#include "CRules.h"
#include "ColorScheme.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowModule.h"
#include "Version.h"
#include "resource.h"

namespace {

constexpr wchar_t ClassName[] = L"frmMain";
constexpr wchar_t WindowClass[] = L"PelkinMainWindow";
// The window is never shown; it has a size only to be centred like any form.
constexpr int FormWidth = 320;
constexpr int FormHeight = 240;
// The program's own request to close for the "/exit" of a later start.
constexpr UINT ExitCommandMessage = WM_APP + 1;

struct KeyedImage {
    const wchar_t* key;
    int resource;
};
// The fixed images, in their documented order; window icons follow them.
constexpr KeyedImage FixedImages[] = {
    {L"Windows", IDI_WINDOWS}, {L"Setup", IDI_SETUP},     {L"Refresh", IDI_REFRESH},
    {L"Default", IDI_DEFAULT}, {L"PKSmall", IDI_PKSMALL}, {L"PKSmallDisabled", IDI_PKSMALLDISABLED},
};

}  // namespace

frmMain::frmMain() noexcept : Window(ClassName) {}

bool frmMain::Initialize() {
    return platform::Guard(ClassName, L"Initialize", [&] {
        BusyScope busy;
        Load();
        MainWindowHandle = hWnd();
        TheApp = std::make_shared<CApplication>();
        auto app = TheApp;
        const bool rulesLoaded = app->Initialize(*this);
        if (app->Enabled()) app->RefreshWindows(false);
        return rulesLoaded;
    });
}

void frmMain::Load() {
    if (hWnd()) return;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - FormWidth) / 2;
    const int y = work.top + (work.bottom - work.top - FormHeight) / 2;
    const ClassInfo windowClass{WindowClass, ProgramInstance(),
                                static_cast<HICON>(::LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(IDI_PKSMALL),
                                                                IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED))};
    Create(windowClass, 0, AppInfo::MainWindowCaption, WS_OVERLAPPEDWINDOW, RECT{x, y, x + FormWidth, y + FormHeight});
    created_ = hWnd();
    LoadImages();
}

void frmMain::LoadImages() {
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    imlIcons_.reset(::ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, static_cast<int>(std::size(FixedImages)), 16));
    if (!imlIcons_) platform::RaiseWin32(::GetLastError(), L"frmMain.Load");
    imageKeys_.Clear();
    for (const auto& image : FixedImages) {
        platform::UniqueHIcon icon(static_cast<HICON>(
            ::LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(image.resource), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
        if (!icon) platform::RaiseWin32(::GetLastError(), L"frmMain.Load");
        imageKeys_.Add(image.key, ::ImageList_AddIcon(imlIcons_.get(), icon.get()));
    }
}

int frmMain::ImageIndex(std::wstring_view key) const {
    const int* index = imageKeys_.Find(key);
    return index ? *index : -1;
}

platform::UniqueHIcon frmMain::ImageIcon(std::wstring_view key) const {
    const int index = ImageIndex(key);
    if (index < 0) return {};
    return platform::UniqueHIcon(::ImageList_GetIcon(imlIcons_.get(), index, ILD_NORMAL));
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            RegisterForm(hWnd());
            return 0;
        case WM_CLOSE:
            // A close request sent from another thread is the task manager's
            // (or the system's) doing, not the user's Exit command: no question.
            Close((::InSendMessageEx(nullptr) & ISMEX_SEND) ? UnloadMode::TaskManager : UnloadMode::ControlMenu);
            return 0;
        case WM_COPYDATA:
            return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case ExitCommandMessage:
            Close(UnloadMode::TaskManager);
            return 0;
        case WM_SETTINGCHANGE:
            if (platform::SchemeMayHaveChanged(wParam, lParam)) FollowColorScheme();
            return Default(message, wParam, lParam);
        case WM_SYSCOLORCHANGE:
            FollowColorScheme();
            return Default(message, wParam, lParam);
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) Close(UnloadMode::WindowsShutdown);
            return 0;
        default:
            return Default(message, wParam, lParam);
    }
}

// The user changed the app mode or the system colours: the next menu, the
// switcher and the open forms take them on.
void frmMain::FollowColorScheme() {
    platform::Guard(ClassName, L"FollowColorScheme", [&] {
        if (auto app = TheApp) app->ApplyColorScheme();
    });
}

// A later start of the program hands over its command line; TRUE when it
// was carried out (a file command answers why it was not).
LRESULT frmMain::OnCopyData(const COPYDATASTRUCT* data) {
    return platform::Guard(ClassName, L"OnCopyData", [&]() -> LRESULT {
        const auto command = program_commands::FromCopyData(data);
        auto app = TheApp;
        if (!command || !app) return FALSE;
        if (auto fileCommand = program_commands::RulesFileCommand::FromText(*command)) {
            // The asking process waits for the answer, so the work cannot be
            // put off; a list in use by work under way is not changed under it.
            if (BusyScope::Active()) return program_commands::FileCommandFailed;
            return app->RunFileCommand(*fileCommand);
        }
        if (*command == program_commands::Exit) {
            // Closed once the asking process has its answer, and as the task
            // manager closes it: a script waits for no question.
            ::PostMessageW(hWnd(), ExitCommandMessage, 0, 0);
            return true;
        }
        HWND front = ::GetForegroundWindow();
        if (!BusyScope::Active()) return app->RunCommand(*command, front);
        // Taken on, and carried out once the work under way is done.
        BusyScope::WhenIdle([weak = std::weak_ptr<CApplication>(app), text = *command, front] {
            if (auto later = weak.lock()) later->RunCommand(text, front);
        });
        return true;
    });
}

void frmMain::OnDestroyed() {
    HWND gone = std::exchange(created_, nullptr);
    if (MainWindowHandle == gone) MainWindowHandle = nullptr;
    UnregisterForm(gone);
}

void frmMain::Close(UnloadMode mode) {
    if (!hWnd()) return;
    if (BusyScope::Active()) {
        // Windows shutting down or the task manager outrank the user's request.
        const bool stronger = mode == UnloadMode::WindowsShutdown || mode == UnloadMode::TaskManager;
        if (!closePending_ || stronger) pendingMode_ = mode;
        if (closePending_) return;
        closePending_ = true;
        // The form may be gone by then: found again by its window.
        BusyScope::WhenIdle([hwnd = hWnd()] {
            auto* form = dynamic_cast<frmMain*>(platform::Window::FromHandle(hwnd));
            if (!::IsWindow(hwnd) || !form) return;
            form->closePending_ = false;
            form->Close(form->pendingMode_);
        });
        return;
    }
    // The user's second request while the question is open is answered by
    // that question; Windows shutting down does not wait for it.
    const bool fromUser = mode == UnloadMode::ControlMenu || mode == UnloadMode::Code;
    if (asking_ && fromUser) return;
    if (Form_QueryUnload(mode)) return;
    Form_Unload();
    Destroy();
}

// Answers whether the close is cancelled.
bool frmMain::Form_QueryUnload(UnloadMode mode) {
    return platform::Guard(ClassName, L"Form_QueryUnload", [&] {
        auto app = TheApp;
        // Nobody is asked while Windows shuts down: the rules editor settles its edits silently.
        if (mode == UnloadMode::WindowsShutdown || mode == UnloadMode::TaskManager) {
            if (app) app->QuerySetupUnload(true);
            return false;
        }
        if (!app) return false;
        asking_ = true;
        bool cancelled = false;
        if (app->Confirmations(ConfirmExit)) {
            const std::wstring question = std::wstring(L"Are you sure you want to close ") + AppInfo::Title + L"?";
            cancelled = ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES;
        }
        // The rules editor's unsaved edits are the last thing that may keep the program.
        if (!cancelled) cancelled = !app->QuerySetupUnload(false);
        asking_ = false;
        return cancelled;
    });
}

void frmMain::Form_Unload() {
    // Each step in its own guard: the program's teardown always reaches its end.
    auto step = [](auto&& body) { platform::SkipFailure(ClassName, L"Form_Unload", body); };
    step([] {
        if (auto app = TheApp) app->Dispose();
    });
    step([] { TheApp.reset(); });
    step([&] {
        // Every other open form goes, last opened first; this window is the first.
        const auto forms = OpenForms();
        for (size_t i = forms.size(); i-- > 1;) {
            if (forms[i] != hWnd()) ::DestroyWindow(forms[i]);
        }
    });
}
