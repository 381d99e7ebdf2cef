#include "Window.h"

#include <algorithm>

#include "Error.h"
#include "Guard.h"

namespace platform {

namespace {

constexpr UINT StandardDpi = 96;
// A window of this layer keeps its object in its user data, a dialog in the
// slot dialogs keep for their procedure. Both are read without leaving the
// process; a window property would cost a trip to the window manager on
// every message.

// The modeless dialogs open now, for the message pump.
std::vector<HWND>& ModelessDialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

void ForgetModeless(HWND dialog) {
    auto& dialogs = ModelessDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

using DpiForWindow = UINT(WINAPI*)(HWND);

}  // namespace

bool IsOwnWindow(HWND window) noexcept {
    DWORD processId = 0;
    return ::GetWindowThreadProcessId(window, &processId) != 0 && processId == ::GetCurrentProcessId();
}

LONG_PTR ChangeExtendedStyle(HWND window, LONG_PTR set, LONG_PTR clear) noexcept {
    const LONG_PTR before = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    const LONG_PTR after = (before & ~clear) | set;
    if (after != before) ::SetWindowLongPtrW(window, GWL_EXSTYLE, after);
    return before;
}

bool HasExtendedStyle(HWND window, LONG_PTR bits) noexcept {
    return (::GetWindowLongPtrW(window, GWL_EXSTYLE) & bits) == bits;
}

void SetLayeredAlpha(HWND window, BYTE alpha, bool force) noexcept {
    const bool layered = HasExtendedStyle(window, WS_EX_LAYERED);
    if (alpha != OpaqueAlpha) {
        if (layered && !force) return;
        ChangeExtendedStyle(window, WS_EX_LAYERED, 0);
        ::SetLayeredWindowAttributes(window, 0, alpha, LWA_ALPHA);
    } else if (layered) {
        ::SetLayeredWindowAttributes(window, 0, OpaqueAlpha, LWA_ALPHA);
        ChangeExtendedStyle(window, 0, WS_EX_LAYERED);
    }
}

UINT WindowDpi(HWND window) noexcept {
    // Older systems have no per-window density: the screen's serves.
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = window && dpiForWindow ? dpiForWindow(window) : 0;
    if (dpi == 0) {
        HDC screen = ::GetDC(nullptr);
        dpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : StandardDpi;
}

int ScaleForDpi(int size96, UINT dpi) noexcept {
    return ::MulDiv(size96, static_cast<int>(dpi), static_cast<int>(StandardDpi));
}

// --- Window -------------------------------------------------------------------------

Window::~Window() { Destroy(); }

Window* Window::FromHandle(HWND window) noexcept {
    return window ? reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

void Window::Create(const ClassInfo& windowClass, DWORD exStyle, const wchar_t* title, DWORD style,
                    const RECT& bounds, HWND parent, HMENU menu) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    if (!::GetClassInfoExW(windowClass.instance, windowClass.name, &info)) {
        info.cbSize = sizeof info;
        info.style = windowClass.style;
        info.lpfnWndProc = &Window::Procedure;
        info.hInstance = windowClass.instance;
        info.hIcon = windowClass.icon;
        info.hCursor = windowClass.cursor ? windowClass.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        info.hbrBackground = windowClass.background;
        info.lpszClassName = windowClass.name;
        if (!::RegisterClassExW(&info) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            RaiseWin32(::GetLastError(), std::wstring(source_) + L".Load");
    }
    ::CreateWindowExW(exStyle, windowClass.name, title, style, bounds.left, bounds.top, bounds.right - bounds.left,
                      bounds.bottom - bounds.top, parent, menu, windowClass.instance, this);
    if (!hwnd_) RaiseWin32(::GetLastError(), std::wstring(source_) + L".Load");
}

void Window::Destroy() noexcept {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Window::Attach(HWND window) noexcept {
    hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Made by make_shared: the window keeps the object until it goes.
    self_ = weak_from_this().lock();
}

void Window::Detach() noexcept {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (created) created->Attach(window);
    }
    Window* object = FromHandle(window);
    if (!object) return ::DefWindowProcW(window, message, wParam, lParam);
    // Held for the call: a handler may close the form it belongs to.
    auto keep = object->weak_from_this().lock();
    if (message == WM_NCDESTROY) {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        object->Detach();
        Guard(object->source_, L"Form_Unload", Trap::Always, [&] { object->OnDestroyed(); });
        object->self_.reset();
        return result;
    }
    return Guard(object->source_, L"WindowProc", Trap::Always,
                 [&]() -> LRESULT { return object->OnMessage(message, wParam, lParam); });
}

// --- Dialog -------------------------------------------------------------------------

Dialog::~Dialog() {
    if (!hwnd_) return;
    HWND window = hwnd_;
    Detach();
    ::DestroyWindow(window);
}

Dialog* Dialog::FromHandle(HWND window) noexcept {
    return window ? reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER)) : nullptr;
}

INT_PTR Dialog::ShowModal(HWND owner) {
    modal_ = true;
    auto keep = weak_from_this().lock();
    return ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, &Dialog::Procedure,
                             reinterpret_cast<LPARAM>(this));
}

void Dialog::ShowModeless(HWND owner) {
    if (hwnd_) {
        ::ShowWindow(hwnd_, SW_SHOW);
        ::SetForegroundWindow(hwnd_);
        return;
    }
    modal_ = false;
    HWND window = ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, &Dialog::Procedure,
                                       reinterpret_cast<LPARAM>(this));
    if (!window) RaiseWin32(::GetLastError(), std::wstring(source_) + L".Display");
    ModelessDialogs().push_back(window);
    ::ShowWindow(window, SW_SHOW);
}

void Dialog::End(INT_PTR result) noexcept {
    if (!hwnd_) return;
    if (modal_)
        ::EndDialog(hwnd_, result);
    else
        ::DestroyWindow(hwnd_);
}

void Dialog::OnCommand(int id, int, HWND) {
    if (id == IDCANCEL) End(IDCANCEL);
}

LRESULT Dialog::OnNotify(const NMHDR&) { return 0; }

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void Dialog::Attach(HWND window) noexcept {
    hwnd_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    self_ = weak_from_this().lock();
}

void Dialog::Detach() noexcept {
    ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ForgetModeless(hwnd_);
    hwnd_ = nullptr;
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        if (auto* created = reinterpret_cast<Dialog*>(lParam)) created->Attach(window);
    }
    Dialog* object = FromHandle(window);
    if (!object) return FALSE;
    auto keep = object->weak_from_this().lock();
    if (message == WM_NCDESTROY) {
        object->Detach();
        Guard(object->source_, L"Form_Unload", Trap::Always, [&] { object->OnDestroyed(); });
        object->self_.reset();
        return FALSE;
    }
    return Guard(object->source_, L"WindowProc", Trap::Always,
                 [&]() -> INT_PTR { return object->Dispatch(message, wParam, lParam); });
}

namespace {
bool AnsweredDirectly(UINT message) noexcept {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON: return true;
        default: return false;
    }
}
}  // namespace

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            const LRESULT result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
            ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        default: {
            LRESULT result = 0;
            if (!OnMessage(message, wParam, lParam, result)) return FALSE;
            // These few are answered by the dialog procedure's own return value.
            if (AnsweredDirectly(message)) return static_cast<INT_PTR>(result);
            ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
}

bool RouteDialogMessage(MSG& message) noexcept {
    // A copy: a dialog may close (and leave the list) while it handles the key.
    const std::vector<HWND> dialogs = ModelessDialogs();
    for (HWND dialog : dialogs) {
        if (::IsWindow(dialog) && ::IsDialogMessageW(dialog, &message)) return true;
    }
    return false;
}

}  // namespace platform
