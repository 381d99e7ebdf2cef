#include "frmMain.h"

#include "CApplication.h"
#include "CRules.h"
#include "Guard.h"
#include "MainModule.h"
#include "Version.h"
#include "resource.h"

namespace {

constexpr wchar_t ClassName[] = L"frmMain";
constexpr wchar_t WindowClass[] = L"PelkinMainWindow";
// The window is never shown; it has a size only to be centred like any form.
constexpr int FormWidth = 320;
constexpr int FormHeight = 240;

struct KeyedImage {
    const wchar_t* key;
    int resource;
};
// The fixed images, in their documented order; window icons follow them.
constexpr KeyedImage FixedImages[] = {
    {L"Windows", IDI_WINDOWS}, {L"Setup", IDI_SETUP},     {L"Refresh", IDI_REFRESH},
    {L"Default", IDI_DEFAULT}, {L"PKSmall", IDI_PKSMALL}, {L"PKSmallDisabled", IDI_PKSMALLDISABLED},
};

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(ProgramInstance(), WindowClass, &wc)) return;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ProgramInstance();
    wc.lpszClassName = WindowClass;
    wc.hIcon = static_cast<HICON>(::LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(IDI_PKSMALL), IMAGE_ICON, 0, 0,
                                               LR_DEFAULTSIZE | LR_SHARED));
    if (!::RegisterClassExW(&wc)) platform::RaiseWin32(::GetLastError(), L"frmMain.Load");
}

}  // namespace

frmMain::~frmMain() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool frmMain::Initialize() {
    return platform::Guard(ClassName, L"Initialize", [&] {
        BusyScope busy;
        Load();
        MainWindowHandle = hwnd_;
        TheApp = std::make_shared<CApplication>();
        auto app = TheApp;
        const bool rulesLoaded = app->Initialize(*this);
        if (app->Enabled()) app->Rules().Refresh(false);
        return rulesLoaded;
    });
}

void frmMain::Load() {
    if (hwnd_) return;
    RegisterWindowClass(&frmMain::WindowProc);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - FormWidth) / 2;
    const int y = work.top + (work.bottom - work.top - FormHeight) / 2;
    ::CreateWindowExW(0, WindowClass, AppInfo::MainWindowCaption, WS_OVERLAPPEDWINDOW, x, y, FormWidth, FormHeight,
                      nullptr, nullptr, ProgramInstance(), this);
    if (!hwnd_) platform::RaiseWin32(::GetLastError(), L"frmMain.Load");
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

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return platform::GuardCallback(ClassName, L"WindowProc",
                                   [&]() -> LRESULT { return form->OnMessage(message, wParam, lParam); });
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            RegisterForm(hwnd_);
            return 0;
        case WM_CLOSE:
            // A close request sent from another thread is the task manager's
            // (or the system's) doing, not the user's Exit command: no question.
            Close((::InSendMessageEx(nullptr) & ISMEX_SEND) ? UnloadMode::TaskManager : UnloadMode::ControlMenu);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) Close(UnloadMode::WindowsShutdown);
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = hwnd_;
            hwnd_ = nullptr;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (MainWindowHandle == hwnd) MainWindowHandle = nullptr;
            UnregisterForm(hwnd);
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        default:
            return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void frmMain::Close(UnloadMode mode) {
    if (!hwnd_) return;
    if (BusyScope::Active()) {
        // Windows shutting down or the task manager outrank the user's request.
        const bool stronger = mode == UnloadMode::WindowsShutdown || mode == UnloadMode::TaskManager;
        if (!closePending_ || stronger) pendingMode_ = mode;
        if (closePending_) return;
        closePending_ = true;
        // The form may be gone by then: found again by its window.
        BusyScope::WhenIdle([hwnd = hwnd_] {
            auto* form = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
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
    if (hwnd_) ::DestroyWindow(hwnd_);
}

// Answers whether the close is cancelled.
bool frmMain::Form_QueryUnload(UnloadMode mode) {
    return platform::Guard(ClassName, L"Form_QueryUnload", [&] {
        if (mode == UnloadMode::WindowsShutdown || mode == UnloadMode::TaskManager) return false;
        auto app = TheApp;
        if (!app || !app->Confirmations(ConfirmExit)) return false;
        const std::wstring question = std::wstring(L"Are you sure you want to close ") + AppInfo::Title + L"?";
        asking_ = true;
        const int answer = ShowMessage(question, MB_YESNO | MB_ICONQUESTION);
        asking_ = false;
        return answer != IDYES;
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
            if (forms[i] != hwnd_) ::DestroyWindow(forms[i]);
        }
    });
}
