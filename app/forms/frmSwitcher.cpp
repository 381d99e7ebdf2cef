#include "frmSwitcher.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "CApplication.h"
#include "CRegistry.h"
#include "CWindow.h"
#include "Guard.h"
#include "MainModule.h"
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

// Layout at 96 DPI.
constexpr int Cell96 = 42;
constexpr int Icon96 = 32;
constexpr int IconInset96 = 5;
constexpr int GridMargin96 = 4;
constexpr int SuspendedFrame96 = 3;
constexpr int CaptionGap96 = 5;
constexpr int CaptionHeight96 = 25;
constexpr int CaptionImageLeft96 = 3;
constexpr int CaptionImageTop96 = 5;
constexpr int CaptionTextLeft96 = 22;
constexpr int CaptionTextRight96 = 3;
constexpr int CancelShift96 = 19;
constexpr int ExtraWidth96 = 4;
constexpr int ExtraHeight96 = 34;
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

// Halves go to the even neighbour, as the rest of the program rounds.
int CentredOrigin(int available, int size) {
    return static_cast<int>(std::nearbyint(static_cast<double>(available - size) / 2.0));
}

}  // namespace

frmSwitcher::frmSwitcher() : platform::Window(ClassName) {}

std::shared_ptr<frmSwitcher> frmSwitcher::Create() {
    std::shared_ptr<frmSwitcher> form(new frmSwitcher());
    ClassInfo info{SwitcherClassName, ProgramInstance()};
    info.cursor = ::LoadCursorW(nullptr, IDC_ARROW);
    info.background = ::GetSysColorBrush(COLOR_BTNFACE);
    form->platform::Window::Create(info, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"", WS_POPUP | WS_DLGFRAME, RECT{0, 0, 1, 1});
    return form;
}

void frmSwitcher::OnUnload(std::function<void()> handler) { unloadHandler_ = std::move(handler); }

int32_t frmSwitcher::CurrentSelection() const noexcept { return currentSelection_; }

void frmSwitcher::Display(std::vector<std::shared_ptr<CWindow>> windows, int32_t hotkey, int32_t hotkeyModifiers,
                          bool reverse, bool altTabMode, bool showCancel, HIMAGELIST imageList) {
    platform::Guard(ClassName, L"Display", [&] {
        windows_ = std::move(windows);
        count_ = static_cast<int32_t>(windows_.size());
        hotkey_ = hotkey;
        hotkeyModifiers_ = hotkeyModifiers;
        previousForeground_ = ::GetForegroundWindow();
        if (!(hotkeyModifiers_ & ModifierAlt)) CancelModes();
        ReadGridSize();
        showCancel_ = showCancel;
        imageList_ = imageList;
        programIcon_ = ::LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDI_PKSMALL));
        windowIcon_ = ::LoadIconW(nullptr, IDI_APPLICATION);
        toolTips_ = std::make_unique<CToolTips>();
        if (toolTips_->Initialize(hWnd(), AutomaticToolTipDelay)) toolTips_->SetDelay(TTDT_INITIAL, ToolTipInitialDelayMs);
        currentSelection_ = 1;
        visibleColumns_ = std::min(count_, columns_);
        maxCells_ = columns_ * rows_;
        firstVisible_ = 0;
        rowsUsed_ = std::min((count_ + columns_ - 1) / columns_, rows_);
        if (altTabMode && count_ >= 2) {
            const int32_t current = GetCurrentWindowIndex();
            currentSelection_ = reverse ? (current > 1 ? current - 1 : count_) : (current < count_ ? current + 1 : 1);
        }
        Layout();
        OnSelectionChange(true);
        const int left = CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), windowSize_.cx);
        const int top = CentredOrigin(::GetSystemMetrics(SM_CYSCREEN), windowSize_.cy);
        ::SetWindowPos(hWnd(), HWND_TOPMOST, left, top, windowSize_.cx, windowSize_.cy, SWP_SHOWWINDOW);
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

void frmSwitcher::Layout() {
    const UINT dpi = platform::WindowDpi(hWnd());
    const auto scale = [dpi](int size96) { return platform::ScaleForDpi(size96, dpi); };
    metrics_ = Metrics{scale(Cell96),          scale(Icon96),           scale(IconInset96),
                       scale(GridMargin96),    scale(SuspendedFrame96), scale(CaptionGap96),
                       scale(CaptionHeight96), scale(CaptionImageLeft96), scale(CaptionImageTop96),
                       scale(CaptionTextLeft96), scale(CaptionTextRight96), scale(CancelShift96),
                       scale(ExtraWidth96),    scale(ExtraHeight96)};
    const int cell = metrics_.cell;
    const int margin = metrics_.gridMargin;
    gridRect_ = RECT{margin, margin, columns_ * cell + margin, rowsUsed_ * cell + margin};
    windowSize_.cx = gridRect_.right + 2 * ::GetSystemMetrics(SM_CXDLGFRAME) + metrics_.extraWidth;
    windowSize_.cy = gridRect_.bottom + 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + metrics_.extraHeight;
    // Fewer windows than columns: the icons sit in the middle.
    const int offset = (columns_ - visibleColumns_) * cell / 2 + margin;
    iconArea_ = RECT{offset, gridRect_.top, gridRect_.right - offset, gridRect_.bottom};
    captionRect_ = RECT{gridRect_.left, gridRect_.bottom + metrics_.captionGap, gridRect_.right,
                        gridRect_.bottom + metrics_.captionGap + metrics_.captionHeight};
    captionTextRect_ = RECT{captionRect_.left + metrics_.captionTextLeft, captionRect_.top,
                            captionRect_.right - metrics_.captionTextRight, captionRect_.bottom};
    NONCLIENTMETRICSW nonClient{};
    nonClient.cbSize = sizeof nonClient;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof nonClient, &nonClient, 0)) {
        nonClient.lfMessageFont.lfHeight = ::MulDiv(nonClient.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                                    static_cast<int>(platform::WindowDpi(nullptr)));
        captionFont_ = platform::UniqueFont(::CreateFontIndirectW(&nonClient.lfMessageFont));
    }
}

std::shared_ptr<CWindow> frmSwitcher::WindowAt(int32_t position) const noexcept {
    if (position < 1 || position > count_) return nullptr;
    return windows_[static_cast<size_t>(position - 1)];
}

int32_t frmSwitcher::LastVisible() const noexcept { return std::min(firstVisible_ + maxCells_, count_); }

int32_t frmSwitcher::GetCurrentWindowIndex() const {
    return platform::Guard(ClassName, L"GetCurrentWindowIndex", [&]() -> int32_t {
        HWND foreground = ::GetForegroundWindow();
        HWND owner = foreground ? reinterpret_cast<HWND>(::GetWindowLongPtrW(foreground, GWLP_HWNDPARENT)) : nullptr;
        for (int32_t position = 1; position <= count_; ++position) {
            const auto window = WindowAt(position);
            if (window && (window->hWnd() == foreground || (owner && window->hWnd() == owner))) return position;
        }
        return 1;
    });
}

RECT frmSwitcher::GetWindowIconRect(int32_t index) const {
    const int32_t shown = index - firstVisible_;
    const int columns = std::max(visibleColumns_, 1);
    const int left = iconArea_.left + (shown % columns) * metrics_.cell;
    const int top = iconArea_.top + (shown / columns) * metrics_.cell;
    return RECT{left, top, left + metrics_.cell, top + metrics_.cell};
}

// Only the cells drawn count: the area's right and bottom edges belong to no
// cell, and a position past the last drawn cell is a window scrolled away.
int32_t frmSwitcher::GetWindowFromPos(int x, int y) const {
    const POINT point{x, y};
    if (!::PtInRect(&iconArea_, point) || metrics_.cell <= 0) return 0;
    const int32_t column = (x - iconArea_.left) / metrics_.cell;
    const int32_t row = (y - iconArea_.top) / metrics_.cell;
    if (column >= visibleColumns_ || row >= rows_) return 0;
    const int32_t position = firstVisible_ + column + 1 + row * visibleColumns_;
    return position <= LastVisible() ? position : 0;
}

void frmSwitcher::OnPaint(HDC dc) const {
    ::FillRect(dc, &gridRect_, ::GetSysColorBrush(COLOR_BTNFACE));
    const int32_t cells = LastVisible() - firstVisible_;
    for (int32_t i = 0; i < cells; ++i) {
        const auto window = WindowAt(firstVisible_ + i + 1);
        if (!window) continue;
        platform::SkipFailure(ClassName, L"OnPaint", [&] {
            const RECT cell = GetWindowIconRect(firstVisible_ + i);
            const int x = cell.left + metrics_.iconInset;
            const int y = cell.top + metrics_.iconInset;
            HICON icon = window->IconHandle(1, false);
            if (!icon) icon = window->Action() != NoAction ? programIcon_ : windowIcon_;
            ::DrawIconEx(dc, x, y, icon, metrics_.icon, metrics_.icon, 0, nullptr, DI_NORMAL);
            if (window->Suspended()) {
                RECT frame{x - metrics_.suspendedFrame, y - metrics_.suspendedFrame,
                           x + metrics_.icon + metrics_.suspendedFrame, y + metrics_.icon + metrics_.suspendedFrame};
                ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
            }
        });
    }
    RECT caption = captionRect_;
    ::DrawEdge(dc, &caption, BDR_SUNKENOUTER, BF_RECT);
    OnPaintSelection(dc);
}

void frmSwitcher::OnPaintSelection(HDC dc) const {
    RECT inner = captionRect_;
    ::InflateRect(&inner, -CaptionInner, -CaptionInner);
    ::FillRect(dc, &inner, ::GetSysColorBrush(COLOR_BTNFACE));
    platform::SelectScope font(dc, captionFont_.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    if (currentSelection_ == 0) {
        RECT cancel = captionTextRect_;
        ::OffsetRect(&cancel, -metrics_.cancelShift, 0);
        DrawShortenedText(dc, CancelText, cancel, CaptionFormat | DT_CENTER);
        return;
    }
    RECT selection = GetWindowIconRect(currentSelection_ - 1);
    ::DrawEdge(dc, &selection, BDR_RAISEDOUTER, BF_RECT | BF_SOFT);
    DrawCaption(dc);
}

void frmSwitcher::DrawCaption(HDC dc) const {
    const auto window = WindowAt(currentSelection_);
    if (!window) return;
    if (imageList_ && window->Action() != NoAction)
        ::ImageList_Draw(imageList_, window->Action(), dc, captionRect_.left + metrics_.captionImageLeft,
                         captionRect_.top + metrics_.captionImageTop, ILD_TRANSPARENT);
    std::wstring text = window->Title(true);
    if (text.empty()) text = window->Class();
    if (window->Status() == WindowNotResponding) text += NotRespondingSuffix;
    DrawShortenedText(dc, text, captionTextRect_, CaptionFormat);
}

void frmSwitcher::SetCurrentSelection(int32_t value) {
    platform::Guard(ClassName, L"Let_CurrentSelection", [&] {
        const int32_t least = showCancel_ ? 0 : 1;
        if (value > count_) value = least;
        if (value < least) value = count_;
        currentSelection_ = value;
        OnSelectionChange(false);
    });
}

void frmSwitcher::OnSelectionChange(bool redraw) {
    const int32_t selection = currentSelection_;
    bool scrolled = false;
    if (selection > firstVisible_ + maxCells_) {
        while (selection > firstVisible_ + maxCells_) firstVisible_ += columns_;
        scrolled = true;
    } else if (selection != 0 && selection <= firstVisible_) {
        while (selection <= firstVisible_) firstVisible_ -= columns_;
        scrolled = true;
    }
    Paint();
    if (redraw || scrolled) RebuildToolTips();
}

void frmSwitcher::RebuildToolTips() {
    if (!toolTips_) return;
    toolTips_->RemoveAll();
    for (int32_t position = firstVisible_ + 1; position <= LastVisible(); ++position) {
        const auto window = WindowAt(position);
        if (!window) continue;
        platform::SkipFailure(ClassName, L"OnSelectionChange", [&] {
            const RECT cell = GetWindowIconRect(position - 1);
            toolTips_->AddArea(hWnd(), reinterpret_cast<UINT_PTR>(window->hWnd()), cell.left, cell.top, cell.right,
                               cell.bottom, window->Title(false));
        });
    }
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
    if (activate && currentSelection_ >= 1)
        platform::SkipFailure(ClassName, L"CloseWindow", [&] {
            if (const auto window = WindowAt(currentSelection_)) window->Show();
        });
    // The tips go while their window still exists.
    platform::SkipFailure(ClassName, L"Form_Unload", [&] { toolTips_.reset(); });
    Destroy();
    if (activate && currentSelection_ == 0) RestoreForeground();
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
        count_ = 0;
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
        SetCurrentSelection(currentSelection_ + (backwards ? -1 : 1));
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
    const auto window = WindowAt(GetWindowFromPos(x, y));
    if (!leftButton) {
        if (!window || !TheApp) return;
        POINT cursor{};
        ::GetCursorPos(&cursor);
        TheApp->PopupWindowMenu(hWnd(), window->hWnd(), window->Title(false), cursor.x, cursor.y, false);
        return;
    }
    if (window) window->ExecuteAction(true, AutomaticShowCommand, false);
    CloseWindow(false);
}

void frmSwitcher::tmrClose_Timer() {
    if (ModifierReleased()) CloseWindow(true);
}

LRESULT frmSwitcher::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
                ::FillRect(picture.dc(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
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
