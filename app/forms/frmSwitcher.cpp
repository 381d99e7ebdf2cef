#include "frmSwitcher.h"

#include <algorithm>
#include <string>
#include <utility>

#include "CApplication.h"
#include "CRegistry.h"
#include "CWindow.h"
#include "ColorScheme.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowModule.h"
#include "resource.h"

namespace {

constexpr wchar_t ClassName[] = L"frmSwitcher";
constexpr wchar_t SwitcherClassName[] = L"PelkinSwitcher";

// Hot-key modifier bits as the options store them.
constexpr int32_t ModifierAlt = 1;
constexpr int32_t ModifierCtrl = 2;
constexpr int32_t ModifierShift = 4;
constexpr int32_t ModifierWindows = 8;

// How often the switcher looks whether the modifier is still held: a release
// that happened while another window had the keyboard sends no key-up here.
constexpr UINT CloseTimerId = 1;
constexpr UINT CloseTimerIntervalMs = 100;
constexpr int ToolTipInitialDelayMs = 250;
constexpr int32_t AutomaticToolTipDelay = -1;
constexpr SHORT KeyDownBit = static_cast<SHORT>(0x8000);

// The platform's own task switcher settings, and the least they may be.
constexpr wchar_t DesktopHive[] = L"Control Panel";
constexpr wchar_t DesktopSection[] = L"Desktop";
constexpr int32_t DefaultColumns = 7, MinColumns = 3;
constexpr int32_t DefaultRows = 3, MinRows = 1;

constexpr int CaptionInner = 2;
constexpr int NoAction = -1;

constexpr wchar_t NotRespondingSuffix[] = L" (Not Responding)";
constexpr wchar_t CancelText[] = L"Cancel";
// What DT_WORD_ELLIPSIS may write past the text's end ("..." and its terminator).
constexpr size_t EllipsisRoom = 4;
constexpr UINT CaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX;

// Draws a text that DrawText may shorten in place: the copy has room for the
// ellipsis, so the caller's string is never written.
void DrawShortenedText(HDC dc, const std::wstring& text, RECT bounds, UINT format) {
    std::wstring buffer = text;
    buffer.append(EllipsisRoom, L'\0');
    ::DrawTextW(dc, buffer.data(), static_cast<int>(text.size()), &bounds, format);
}

int32_t ReadDesktopNumber(const wchar_t* name, int32_t fallback, int32_t least) {
    const CRegistry desktop(HKEY_CURRENT_USER, DesktopHive);
    const int32_t value = SettingToInt32(desktop.GetSetting(DesktopSection, name, fallback), ClassName);
    return std::max(value, least);
}

}  // namespace

frmSwitcher::frmSwitcher(std::weak_ptr<ITrayFace> face) : platform::Window(ClassName), face_(std::move(face)) {}

std::shared_ptr<frmSwitcher> frmSwitcher::Create(std::weak_ptr<ITrayFace> face) {
    std::shared_ptr<frmSwitcher> form(new frmSwitcher(std::move(face)));
    ClassInfo info{SwitcherClassName, ProgramInstance()};
    info.cursor = ::LoadCursorW(nullptr, IDC_ARROW);
    info.background = ::GetSysColorBrush(COLOR_BTNFACE);
    form->platform::Window::Create(info, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"", WS_POPUP | WS_DLGFRAME, RECT{0, 0, 1, 1});
    return form;
}

void frmSwitcher::OnUnload(std::function<void()> handler) { unloadHandler_ = std::move(handler); }

int32_t frmSwitcher::CurrentSelection() const noexcept { return layout_.Selection(); }

void frmSwitcher::Display(std::vector<std::shared_ptr<CWindow>> windows, int32_t hotkey, int32_t hotkeyModifiers,
                          bool reverse, bool altTabMode, bool showCancel, HIMAGELIST imageList) {
    platform::Guard(ClassName, L"Display", [&] {
        windows_ = std::move(windows);
        hotkey_ = hotkey;
        hotkeyModifiers_ = hotkeyModifiers;
        previousForeground_ = ::GetForegroundWindow();
        if (!(hotkeyModifiers_ & ModifierAlt)) CancelModes();
        ReadGridSize();
        imageList_ = imageList;
        programIcon_ = ::LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDI_PKSMALL));
        windowIcon_ = ::LoadIconW(nullptr, IDI_APPLICATION);
        toolTips_ = std::make_unique<CToolTips>();
        if (toolTips_->Initialize(hWnd(), AutomaticToolTipDelay)) toolTips_->SetDelay(TTDT_INITIAL, ToolTipInitialDelayMs);
        Layout(showCancel);
        if (altTabMode && Count() >= 2) layout_.SelectNextTo(GetCurrentWindowIndex(), reverse);
        OnSelectionChange(true);
        const SIZE size = layout_.WindowSize();
        const POINT at = layout_.CentredOn(SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
        ::SetWindowPos(hWnd(), HWND_TOPMOST, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW);
        ::SetForegroundWindow(hWnd());
        timerRunning_ = ::SetTimer(hWnd(), CloseTimerId, CloseTimerIntervalMs, nullptr) != 0;
    });
}

// Menus and captures of other programs would keep the keyboard from us: a
// hot key without Alt leaves them open.
void frmSwitcher::CancelModes() const {
    ::PostMessageW(HWND_BROADCAST, WM_CANCELMODE, 0, 0);
    HWND foreground = ::GetForegroundWindow();
    if (!foreground) return;
    ::PostMessageW(foreground, WM_CANCELMODE, 0, 0);
    const DWORD ours = ::GetCurrentThreadId();
    const DWORD theirs = ::GetWindowThreadProcessId(foreground, nullptr);
    if (theirs == ours || !::AttachThreadInput(ours, theirs, TRUE)) return;
    if (HWND active = ::GetActiveWindow()) ::PostMessageW(active, WM_CANCELMODE, 0, 0);
    if (HWND focus = ::GetFocus()) ::PostMessageW(focus, WM_CANCELMODE, 0, 0);
    ::AttachThreadInput(ours, theirs, FALSE);
}

void frmSwitcher::ReadGridSize() {
    columns_ = ReadDesktopNumber(L"CoolSwitchColumns", DefaultColumns, MinColumns);
    rows_ = ReadDesktopNumber(L"CoolSwitchRows", DefaultRows, MinRows);
}

void frmSwitcher::Layout(bool showCancel) {
    const UINT dpi = platform::WindowDpi(hWnd());
    layout_ = SwitcherLayout(Count(), columns_, rows_, showCancel, SwitcherLayout::Metrics::AtDpi(dpi),
                             SIZE{::GetSystemMetrics(SM_CXDLGFRAME), ::GetSystemMetrics(SM_CYDLGFRAME)});
    NONCLIENTMETRICSW nonClient{};
    nonClient.cbSize = sizeof nonClient;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof nonClient, &nonClient, 0)) {
        nonClient.lfMessageFont.lfHeight = ::MulDiv(nonClient.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                                    static_cast<int>(platform::WindowDpi(nullptr)));
        captionFont_ = platform::UniqueFont(::CreateFontIndirectW(&nonClient.lfMessageFont));
    }
}

int32_t frmSwitcher::Count() const noexcept { return static_cast<int32_t>(windows_.size()); }

std::shared_ptr<CWindow> frmSwitcher::WindowAt(int32_t position) const noexcept {
    if (position < 1 || position > Count()) return nullptr;
    return windows_[static_cast<size_t>(position - 1)];
}

int32_t frmSwitcher::GetCurrentWindowIndex() const {
    return platform::Guard(ClassName, L"GetCurrentWindowIndex", [&]() -> int32_t {
        HWND foreground = ::GetForegroundWindow();
        HWND owner = foreground ? reinterpret_cast<HWND>(::GetWindowLongPtrW(foreground, GWLP_HWNDPARENT)) : nullptr;
        for (int32_t position = 1; position <= Count(); ++position) {
            const auto window = WindowAt(position);
            if (window && (window->hWnd() == foreground || (owner && window->hWnd() == owner))) return position;
        }
        return 1;
    });
}

void frmSwitcher::OnPaint(HDC dc) const {
    const SwitcherLayout::Metrics& sizes = layout_.Sizes();
    const platform::Palette palette = platform::CurrentPalette();
    platform::FillSolid(dc, layout_.Grid(), palette.face);
    for (int32_t position = layout_.FirstShown(); position <= layout_.LastShown(); ++position) {
        const auto window = WindowAt(position);
        if (!window) continue;
        platform::SkipFailure(ClassName, L"OnPaint", [&] {
            const RECT cell = layout_.Cell(position);
            const int x = cell.left + sizes.iconInset;
            const int y = cell.top + sizes.iconInset;
            HICON icon = window->LargeIcon();
            if (!icon) icon = window->Action() != NoAction ? programIcon_ : windowIcon_;
            ::DrawIconEx(dc, x, y, icon, sizes.icon, sizes.icon, 0, nullptr, DI_NORMAL);
            if (window->Suspended()) {
                RECT frame{x - sizes.suspendedFrame, y - sizes.suspendedFrame, x + sizes.icon + sizes.suspendedFrame,
                           y + sizes.icon + sizes.suspendedFrame};
                platform::DrawFrame(dc, frame, palette, BDR_SUNKENOUTER, BF_RECT);
            }
        });
    }
    platform::DrawFrame(dc, layout_.Caption(), palette, BDR_SUNKENOUTER, BF_RECT);
    OnPaintSelection(dc, palette);
}

void frmSwitcher::OnPaintSelection(HDC dc, const platform::Palette& palette) const {
    RECT inner = layout_.Caption();
    ::InflateRect(&inner, -CaptionInner, -CaptionInner);
    platform::FillSolid(dc, inner, palette.face);
    platform::SelectScope font(dc, captionFont_.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, palette.faceText);
    if (layout_.Selection() == 0) {
        DrawShortenedText(dc, CancelText, layout_.CancelText(), CaptionFormat | DT_CENTER);
        return;
    }
    platform::DrawFrame(dc, layout_.Cell(layout_.Selection()), palette, BDR_RAISEDOUTER, BF_RECT | BF_SOFT);
    DrawCaption(dc);
}

std::wstring frmSwitcher::SelectionName() const {
    if (layout_.Selection() == 0) return CancelText;
    const auto window = WindowAt(layout_.Selection());
    if (!window) return std::wstring();
    std::wstring text = window->Title(true);
    if (text.empty()) text = window->Class();
    if (window->Status() == WindowNotResponding) text += NotRespondingSuffix;
    return text;
}

// A screen reader hears where the selection went: the switcher takes the
// selected window's name and says that it changed and has the focus.
void frmSwitcher::AnnounceSelection() {
    const std::wstring name = SelectionName();
    if (name == announced_) return;
    announced_ = name;
    ::SetWindowTextW(hWnd(), name.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hWnd(), OBJID_WINDOW, CHILDID_SELF);
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hWnd(), OBJID_CLIENT, CHILDID_SELF);
}

void frmSwitcher::DrawCaption(HDC dc) const {
    const auto window = WindowAt(layout_.Selection());
    if (!window) return;
    if (imageList_ && window->Action() != NoAction) {
        const POINT image = layout_.CaptionImage();
        ::ImageList_Draw(imageList_, window->Action(), dc, image.x, image.y, ILD_TRANSPARENT);
    }
    DrawShortenedText(dc, SelectionName(), layout_.CaptionText(), CaptionFormat);
}

void frmSwitcher::SetCurrentSelection(int32_t value) {
    platform::Guard(ClassName, L"Let_CurrentSelection", [&] { OnSelectionChange(layout_.Select(value)); });
}

void frmSwitcher::OnSelectionChange(bool cellsMoved) {
    Paint();
    AnnounceSelection();
    if (cellsMoved) RebuildToolTips();
}

void frmSwitcher::RebuildToolTips() {
    if (!toolTips_) return;
    std::vector<CToolTips::Area> areas;
    for (int32_t position = layout_.FirstShown(); position <= layout_.LastShown(); ++position) {
        const auto window = WindowAt(position);
        if (!window) continue;
        platform::SkipFailure(ClassName, L"OnSelectionChange", [&] {
            areas.push_back({reinterpret_cast<UINT_PTR>(window->hWnd()), layout_.Cell(position), window->ListedTitle()});
        });
    }
    toolTips_->SetAreas(hWnd(), areas);
}

// The whole picture is composed off screen and copied in one go, so that
// stepping through the grid never flickers.
void frmSwitcher::Paint() {
    if (!hWnd()) return;
    ::InvalidateRect(hWnd(), nullptr, FALSE);
    ::UpdateWindow(hWnd());
}

void frmSwitcher::CloseWindow(bool activate) {
    if (closing_) return;
    // Set first: bringing the chosen window forward takes our activation,
    // and that must not close us a second time.
    closing_ = true;
    platform::SkipFailure(ClassName, L"CloseWindow", [&] {
        if (timerRunning_) ::KillTimer(hWnd(), CloseTimerId);
        timerRunning_ = false;
    });
    if (activate && layout_.Selection() >= 1)
        platform::SkipFailure(ClassName, L"CloseWindow", [&] {
            if (const auto window = WindowAt(layout_.Selection())) window->Show();
        });
    // The tips go while their window still exists.
    platform::SkipFailure(ClassName, L"Form_Unload", [&] { toolTips_.reset(); });
    Destroy();
    if (activate && layout_.Selection() == 0) RestoreForeground();
}

// Closing hands the activation to whichever window is next in line; a user
// who chose not to switch expects the window they were in.
void frmSwitcher::RestoreForeground() const noexcept {
    if (previousForeground_ && ::IsWindow(previousForeground_)) ::SetForegroundWindow(previousForeground_);
}

void frmSwitcher::OnDestroyed() {
    platform::SkipFailure(ClassName, L"Form_Unload", [&] {
        closing_ = true;
        toolTips_.reset();
        windows_.clear();
        if (auto handler = std::exchange(unloadHandler_, nullptr)) handler();
    });
}

bool frmSwitcher::IsModifierKey(WPARAM key) const noexcept {
    switch (hotkeyModifiers_) {
        case ModifierAlt: return key == VK_MENU;
        case ModifierCtrl: return key == VK_CONTROL;
        case ModifierShift: return key == VK_SHIFT;
        case ModifierWindows: return key == VK_LWIN || key == VK_RWIN;
        default: return true;
    }
}

bool frmSwitcher::ModifierReleased() const noexcept {
    const auto down = [](int key) { return (::GetAsyncKeyState(key) & KeyDownBit) != 0; };
    switch (hotkeyModifiers_) {
        case ModifierAlt: return !down(VK_MENU);
        case ModifierCtrl: return !down(VK_CONTROL);
        case ModifierShift: return !down(VK_SHIFT);
        case ModifierWindows: return !down(VK_LWIN) && !down(VK_RWIN);
        default: return true;
    }
}

void frmSwitcher::OnKeyDown(WPARAM key) {
    if (static_cast<int32_t>(key) == hotkey_) {
        const bool backwards = (::GetAsyncKeyState(VK_SHIFT) & KeyDownBit) != 0;
        SetCurrentSelection(layout_.Selection() + (backwards ? -1 : 1));
        return;
    }
    // A held modifier repeats its key-down: that is no other key.
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_LWIN || key == VK_RWIN) return;
    ::MessageBeep(MB_OK);
    CloseWindow(false);
    RestoreForeground();
}

void frmSwitcher::OnKeyUp(WPARAM key) {
    if (IsModifierKey(key)) CloseWindow(true);
}

void frmSwitcher::OnMouseDown(bool leftButton, int x, int y) {
    const auto window = WindowAt(layout_.PositionAt(x, y));
    if (!leftButton) {
        const auto face = face_.lock();
        if (!window || !face) return;
        POINT cursor{};
        ::GetCursorPos(&cursor);
        face->PopupWindowMenu(hWnd(), window->hWnd(), window->Title(false), cursor.x, cursor.y, false);
        return;
    }
    if (window) window->ExecuteAction(true, AutomaticShowCommand, false);
    CloseWindow(false);
}

void frmSwitcher::tmrClose_Timer() {
    if (ModifierReleased()) CloseWindow(true);
}

LRESULT frmSwitcher::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (toolTips_) toolTips_->RelayMouse(hWnd(), message, wParam, lParam);
    return platform::Guard(ClassName, L"ISubclass_WindowProc", platform::Trap::Always, [&]() -> LRESULT {
        switch (message) {
            case WM_ACTIVATE:
            case WM_ACTIVATEAPP: {
                const LRESULT result = Default(message, wParam, lParam);
                if (LOWORD(wParam) == 0 && !closing_) CloseWindow(false);
                return result;
            }
            case WM_PAINT: {
                platform::PaintScope paint(hWnd());
                RECT client{};
                ::GetClientRect(hWnd(), &client);
                if (client.right <= 0 || client.bottom <= 0) return 0;
                platform::MemoryBitmap picture(paint.dc(), client.right, client.bottom);
                platform::FillSolid(picture.dc(), client, platform::CurrentPalette().face);
                OnPaint(picture.dc());
                ::BitBlt(paint.dc(), 0, 0, client.right, client.bottom, picture.dc(), 0, 0, SRCCOPY);
                return 0;
            }
            case WM_ERASEBKGND: return 1;
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
            case WM_SYSDEADCHAR: OnKeyDown(wParam); return 0;
            case WM_KEYUP:
            case WM_SYSKEYUP: OnKeyUp(wParam); return 0;
            case WM_TIMER:
                if (wParam == CloseTimerId) platform::SkipFailure(ClassName, L"tmrClose_Timer", [&] { tmrClose_Timer(); });
                return 0;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
                OnMouseDown(message == WM_LBUTTONDOWN, static_cast<short>(LOWORD(lParam)),
                            static_cast<short>(HIWORD(lParam)));
                return 0;
            default: return Default(message, wParam, lParam);
        }
    });
}
