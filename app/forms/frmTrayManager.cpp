#include "frmTrayManager.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "CRegistry.h"
#include "CToolTips.h"
#include "CWindow.h"
#include "ColorScheme.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowModule.h"

namespace {

constexpr wchar_t ClassName[] = L"frmTrayManager";
constexpr wchar_t WindowClass[] = L"PelkinTrayManager";
constexpr wchar_t Caption[] = L"Tray Manager";
constexpr wchar_t PinTip[] = L"Click push pin to keep open";
constexpr wchar_t CloseTip[] = L"Close";
constexpr wchar_t AlphaSetting[] = L"TrayManager Alpha";
constexpr int32_t DefaultAlpha = 128;
constexpr UINT_PTR PinToolId = 1;
constexpr int32_t TipInitialDelayMs = 250;
constexpr int32_t AutomaticDelay = -1;
constexpr int32_t NoAction = -1;
constexpr DWORD FormStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD FormExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr int PrimaryButton = 1;
constexpr int MenuButton = 2;

constexpr int TitleFontPoints = 8;
constexpr wchar_t SelectionSeparator[] = L": ";
constexpr int SelectionFrame = 2;  // pixels at 96 DPI
constexpr int PointsPerInch = 72;

bool Inside(const RECT& rect, int x, int y) noexcept {
    const POINT point{x, y};
    return ::PtInRect(&rect, point) != FALSE;
}

int TrackedCount(const std::weak_ptr<ITrayFace>& face) {
    auto app = face.lock();
    return app ? app->Windows().Count() : 0;
}

void PlaceOnTop(HWND window, UINT extraFlags) noexcept {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | extraFlags);
}

// A corner near the screen's edge would put the pop-up out of reach:
// it is moved back inside the work area of the point's monitor.
POINT KeptOnScreen(int left, int top, SIZE size) noexcept {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromPoint(POINT{left, top + size.cy}, MONITOR_DEFAULTTONEAREST), &monitor))
        return POINT{left, top};
    return TrayStripLayout::KeptInside(POINT{left, top}, size, monitor.rcWork);
}

}  // namespace

std::shared_ptr<frmTrayManager> frmTrayManager::Create(std::weak_ptr<ITrayFace> face) {
    std::shared_ptr<frmTrayManager> form(new frmTrayManager(std::move(face)));
    const ClassInfo info{WindowClass, ProgramInstance(), nullptr, ::LoadCursorW(nullptr, IDC_ARROW), nullptr,
                         CS_DBLCLKS};
    form->platform::Window::Create(info, FormExStyle, Caption, FormStyle, RECT{0, 0, 0, 0});
    return form;
}

frmTrayManager::frmTrayManager(std::weak_ptr<ITrayFace> face)
    : platform::Window(ClassName), face_(std::move(face)) {}

frmTrayManager::~frmTrayManager() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { Destroy(); });
}

void frmTrayManager::Initialize() {
    dpi_ = platform::WindowDpi(hWnd());
    if (auto app = face_.lock(); app && !observing_) {
        app->Events().Add(this);
        observing_ = true;
    }
    tips_ = std::make_unique<CToolTips>();
    if (tips_->Initialize(hWnd(), AutomaticDelay)) tips_->SetDelay(TTDT_INITIAL, TipInitialDelayMs);
    const int32_t stored = SettingToInt32(CRegistry().GetSetting(L"", AlphaSetting, DefaultAlpha), ClassName);
    // A value out of range would wrap to another opacity, even to invisible.
    alpha_ = static_cast<BYTE>(std::clamp<int32_t>(stored, 0, platform::OpaqueAlpha));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) font = metrics.lfMessageFont;
    font.lfHeight = -::MulDiv(TitleFontPoints, static_cast<int>(dpi_), PointsPerInch);
    titleFont_.reset(::CreateFontIndirectW(&font));
}

SIZE frmTrayManager::DesignedSize() const {
    RECT frame = layout_.Client();
    ::AdjustWindowRectEx(&frame, FormStyle, FALSE, FormExStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void frmTrayManager::Display(int32_t x, int32_t y, bool activate) {
    HWND form = hWnd();
    if (!form) return;
    const bool visible = ::IsWindowVisible(form) != FALSE;
    if (!visible) {
        // A new opening starts with no icon chosen by the keyboard.
        pinned_ = false;
        selection_ = 0;
        AnnounceSelection();
    }
    dpi_ = platform::WindowDpi(form);
    layout_ = TrayStripLayout(TrackedCount(face_), dpi_);
    const SIZE size = DesignedSize();
    RebuildTips();
    if (visible) {
        ::SetWindowPos(form, HWND_TOPMOST, 0, 0, size.cx, size.cy, SWP_NOMOVE | (activate ? 0 : SWP_NOACTIVATE));
        ::InvalidateRect(form, nullptr, FALSE);
    } else {
        const POINT at = KeptOnScreen(x, y - size.cy, size);
        ::SetWindowPos(form, HWND_TOPMOST, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW);
        ::SetForegroundWindow(form);
    }
}

void frmTrayManager::RebuildTips() {
    if (!tips_) return;
    std::vector<CToolTips::Area> areas{{PinToolId, layout_.Pin(), pinned_ ? CloseTip : PinTip}};
    if (auto app = face_.lock()) {
        int position = 0;
        for (auto& entry : app->Windows()) {
            const auto& window = entry.value;
            const RECT slot = layout_.Slot(++position);
            if (window) areas.push_back({reinterpret_cast<UINT_PTR>(window->hWnd()), slot, window->ListedTitle()});
        }
    }
    tips_->SetAreas(hWnd(), areas);
}

std::shared_ptr<CWindow> frmTrayManager::GetWindowFromPos(int x, int y) const {
    const int position = layout_.PositionAt(x, y);
    // Windows may have left the registry since the strip was laid out.
    if (position < 1 || position > TrackedCount(face_)) return nullptr;
    const auto app = face_.lock();
    return app ? app->TrackedWindowAt(position) : nullptr;
}

// --- painting ---------------------------------------------------------------------

void frmTrayManager::OnPaint() {
    platform::PaintScope paint(hWnd());
    const SIZE client = layout_.ClientSize();
    if (client.cx <= 0 || client.cy <= 0) return;
    platform::MemoryBitmap canvas(paint.dc(), client.cx, client.cy);
    Paint(canvas.dc());
    ::BitBlt(paint.dc(), 0, 0, canvas.Width(), canvas.Height(), canvas.dc(), 0, 0, SRCCOPY);
}

void frmTrayManager::Paint(HDC dc) {
    const platform::Palette palette = platform::CurrentPalette();
    platform::FillSolid(dc, layout_.Client(), palette.face);
    PaintPin(dc, palette);
    {
        platform::SelectScope font(dc, titleFont_.get());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, palette.faceText);
        // DT_MODIFYSTRING writes the shortened text back: give it a buffer.
        std::wstring title = std::wstring(Caption) + std::wstring(4, L'\0');
        RECT titleRect = layout_.Title();
        ::DrawTextW(dc, title.data(), static_cast<int>(std::char_traits<wchar_t>::length(Caption)), &titleRect,
                    DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS | DT_MODIFYSTRING);
    }
    platform::DrawFrame(dc, layout_.Strip(), palette, BDR_SUNKENOUTER, BF_RECT);
    PaintIcons(dc);
    if (selection_ >= 1 && selection_ <= TrackedCount(face_)) {
        // The keyboard's place: a frame in the highlight colour around the icon.
        RECT frame = layout_.Slot(selection_);
        const int width = std::max(1, ::MulDiv(SelectionFrame, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI));
        ::InflateRect(&frame, width, width);
        platform::UniqueBrush brush(::CreateSolidBrush(palette.highlight));
        for (int i = 0; i < width; ++i) {
            ::FrameRect(dc, &frame, brush.get());
            ::InflateRect(&frame, -1, -1);
        }
    }
}

// The pin is drawn rather than loaded: a needle with its head seen from the
// side, or, pressed in, the head seen from above.
void frmTrayManager::PaintPin(HDC dc, const platform::Palette& palette) const {
    RECT pin = layout_.Pin();
    platform::UniqueBrush ink(::CreateSolidBrush(palette.faceText));
    if (pinned_) {
        RECT button = layout_.CloseButton();
        if (palette.SystemEdges()) {
            ::DrawFrameControl(dc, &button, DFC_CAPTION, DFCS_CAPTIONCLOSE | DFCS_FLAT | DFCS_TRANSPARENT);
        } else {
            // The system's close glyph is black: on a dark face it is drawn as a cross of our own.
            const int inset = (button.right - button.left) / 4;
            platform::UniquePen pen(::CreatePen(PS_SOLID, std::max(1, layout_.PinUnit()), palette.faceText));
            platform::SelectScope selected(dc, pen.get());
            ::MoveToEx(dc, button.left + inset, button.top + inset, nullptr);
            ::LineTo(dc, button.right - inset, button.bottom - inset);
            ::MoveToEx(dc, button.right - inset - 1, button.top + inset, nullptr);
            ::LineTo(dc, button.left + inset - 1, button.bottom - inset);
        }
        platform::DrawFrame(dc, button, palette, BDR_SUNKENOUTER, BF_RECT);
    } else {
        const bool pressed = pinPressed_ && pinHot_;
        const int unit = layout_.PinUnit();
        const int midY = (pin.top + pin.bottom) / 2;
        HBRUSH head = ink.get();
        if (pressed) {
            const RECT cap{pin.left + 5 * unit, midY - 3 * unit, pin.left + 11 * unit, midY + 3 * unit};
            ::FillRect(dc, &cap, head);
        } else {
            const RECT needle{pin.left + 2 * unit, midY, pin.left + 8 * unit, midY + unit};
            const RECT body{pin.left + 8 * unit, midY - 2 * unit, pin.left + 12 * unit, midY + 3 * unit};
            const RECT collar{pin.left + 12 * unit, midY - 4 * unit, pin.left + 13 * unit, midY + 5 * unit};
            ::FillRect(dc, &needle, head);
            ::FillRect(dc, &body, head);
            ::FillRect(dc, &collar, head);
        }
    }
    if (pinPressed_ && pinHot_) platform::DrawFrame(dc, pin, palette, BDR_SUNKENOUTER, BF_RECT);
    else if (pinHot_ || pinPressed_) platform::DrawFrame(dc, pin, palette, BDR_RAISEDINNER, BF_RECT);
}

void frmTrayManager::PaintIcons(HDC dc) const {
    auto app = face_.lock();
    if (!app) return;
    const int size = layout_.IconSize();
    int position = 0;
    for (auto& entry : app->Windows()) {
        const RECT slot = layout_.Slot(++position);
        const auto& window = entry.value;
        if (!window) continue;
        HICON icon = window->SmallIcon();
        if (!icon) icon = window->Action() != NoAction ? app->EnabledIcon() : app->DefaultWindowIcon();
        if (icon) ::DrawIconEx(dc, slot.left, slot.top, icon, size, size, 0, nullptr, DI_NORMAL);
    }
}

// --- messages ---------------------------------------------------------------------

LRESULT frmTrayManager::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (tips_) tips_->RelayMouse(hWnd(), message, wParam, lParam);
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
        case WM_ACTIVATE: {
            const LRESULT result = Default(message, wParam, lParam);
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return result;
        }
        case WM_ACTIVATEAPP: {
            const LRESULT result = Default(message, wParam, lParam);
            OnActivate(wParam != FALSE);
            return result;
        }
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_NCHITTEST: return OnHitTest(wParam, lParam);
        case WM_LBUTTONDOWN: OnMouseDown(PrimaryButton, x, y); return 0;
        case WM_RBUTTONDOWN: OnMouseDown(MenuButton, x, y); return 0;
        case WM_MOUSEMOVE: OnMouseMove(x, y); return 0;
        case WM_KEYDOWN:
            if (OnKeyDown(wParam)) return 0;
            return Default(message, wParam, lParam);
        case WM_CONTEXTMENU:
            // Shift+F10 or the menu key (a mouse's right click is handled as the button goes down).
            if (GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1) {
                RunSelected(true);
                return 0;
            }
            return Default(message, wParam, lParam);
        case WM_LBUTTONUP: OnMouseUp(PrimaryButton, x, y); return 0;
        case WM_RBUTTONUP: OnMouseUp(MenuButton, x, y); return 0;
        case WM_DPICHANGED:
            dpi_ = HIWORD(wParam);
            if (::IsWindowVisible(hWnd())) Display(0, 0, false);
            return 0;
        case WM_DESTROY:
            // The tips' window is owned by the form: it goes first, while the
            // form is still whole.
            platform::SkipFailure(ClassName, L"Form_Unload", [&] {
                if (pinHot_) ::ReleaseCapture();
            });
            platform::SkipFailure(ClassName, L"Form_Unload", [&] { tips_.reset(); });
            return Default(message, wParam, lParam);
        default: return Default(message, wParam, lParam);
    }
}

void frmTrayManager::OnActivate(bool active) {
    HWND form = hWnd();
    if (!form || !::IsWindowVisible(form)) return;
    if (active) {
        platform::SetLayeredAlpha(form, platform::OpaqueAlpha, false);
        PlaceOnTop(form, SWP_NOACTIVATE);
    } else if (pinned_) {
        platform::SetLayeredAlpha(form, alpha_, false);
    } else {
        CloseWindow();
    }
}

LRESULT frmTrayManager::OnHitTest(WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = Default(WM_NCHITTEST, wParam, lParam);
    if (answer != HTCLIENT) return answer;
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(hWnd(), &point);
    if (Inside(layout_.Strip(), point.x, point.y) || Inside(layout_.Pin(), point.x, point.y)) return answer;
    // The title strip moves the window like a caption.
    return HTCAPTION;
}

void frmTrayManager::OnMouseDown(int button, int x, int y) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    pinPressed_ = false;
    PlaceOnTop(hWnd(), 0);
    if (!Inside(layout_.Pin(), x, y)) {
        auto window = GetWindowFromPos(x, y);
        if (!window) return;
        if (button == PrimaryButton) {
            window->ExecuteAction(true, AutomaticShowCommand, false);
            if (!pinned_) CloseWindow();
        } else if (auto app = face_.lock(); app && button == MenuButton) {
            app->PopupWindowMenu(hWnd(), window->hWnd(), window->Title(false), cursor.x, cursor.y, false);
        }
        return;
    }
    if (button != PrimaryButton) return;
    pinPressed_ = true;
    pinHot_ = true;
    ::SetCapture(hWnd());
    ::InvalidateRect(hWnd(), &layout_.Pin(), FALSE);
}

void frmTrayManager::OnMouseMove(int x, int y) {
    if (Inside(layout_.Pin(), x, y)) {
        if (!pinHot_) {
            pinHot_ = true;
            ::SetCapture(hWnd());
        }
        ::InvalidateRect(hWnd(), &layout_.Pin(), FALSE);
    } else if (pinPressed_) {
        // Held outside: the pin shows as let go, but the press still counts
        // as the pin's until the button comes up.
        pinHot_ = false;
        ::InvalidateRect(hWnd(), &layout_.Pin(), FALSE);
    } else if (pinHot_) {
        pinHot_ = false;
        ::ReleaseCapture();
        ::InvalidateRect(hWnd(), nullptr, FALSE);
    }
}

void frmTrayManager::OnMouseUp(int button, int x, int y) {
    if (pinHot_) pinHot_ = false;
    if (::GetCapture() == hWnd()) ::ReleaseCapture();
    if (!pinPressed_) return;
    pinPressed_ = false;
    if (button == PrimaryButton && Inside(layout_.Pin(), x, y)) {
        if (pinned_) {
            CloseWindow();
            return;
        }
        pinned_ = true;
        if (tips_) tips_->SetText(PinToolId, CloseTip);
    }
    ::InvalidateRect(hWnd(), nullptr, FALSE);
}

bool frmTrayManager::OnKeyDown(WPARAM key) {
    const int count = TrackedCount(face_);
    const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    switch (key) {
        case VK_TAB:
            if (count > 0) Select(back ? (selection_ <= 1 ? count : selection_ - 1) : selection_ % count + 1);
            return true;
        case VK_RIGHT:
        case VK_DOWN: Select(std::min(count, selection_ + 1)); return true;
        case VK_LEFT:
        case VK_UP: Select(std::max(count > 0 ? 1 : 0, selection_ - 1)); return true;
        case VK_HOME: Select(count > 0 ? 1 : 0); return true;
        case VK_END: Select(count); return true;
        case VK_RETURN:
        case VK_SPACE: RunSelected(false); return true;
        case VK_ESCAPE: CloseWindow(); return true;
        default: return false;
    }
}

void frmTrayManager::Select(int position) {
    const int count = TrackedCount(face_);
    selection_ = position >= 1 && position <= count ? position : 0;
    ::InvalidateRect(hWnd(), nullptr, FALSE);
    AnnounceSelection();
}

// The icon's click or its window menu, for the icon the keyboard reached.
void frmTrayManager::RunSelected(bool menu) {
    const auto face = selection_ >= 1 && selection_ <= TrackedCount(face_) ? face_.lock() : nullptr;
    const auto chosen = face ? face->TrackedWindowAt(selection_) : nullptr;
    if (!chosen) return;
    const RECT slot = layout_.Slot(selection_);
    POINT at{slot.left, slot.bottom};
    ::ClientToScreen(hWnd(), &at);
    if (menu) {
        face->PopupWindowMenu(hWnd(), chosen->hWnd(), chosen->Title(false), at.x, at.y, false);
        return;
    }
    chosen->ExecuteAction(true, AutomaticShowCommand, false);
    if (!pinned_) CloseWindow();
}

// A screen reader hears which window the selection reached: the form's
// name becomes "Tray Manager: <title>", and it says that it changed.
void frmTrayManager::AnnounceSelection() {
    const auto app = face_.lock();
    const auto window = app && selection_ >= 1 ? app->TrackedWindowAt(selection_) : nullptr;
    const std::wstring name =
        window ? std::wstring(Caption) + SelectionSeparator + window->ListedTitle() : std::wstring(Caption);
    if (name == announced_) return;
    announced_ = name;
    ::SetWindowTextW(hWnd(), name.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hWnd(), OBJID_WINDOW, CHILDID_SELF);
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hWnd(), OBJID_CLIENT, CHILDID_SELF);
}

void frmTrayManager::ColorSchemeChange() {
    platform::SkipFailure(ClassName, L"moApplication_ColorSchemeChange", [&] {
        if (tips_) tips_->FollowColorScheme();
        if (hWnd()) ::InvalidateRect(hWnd(), nullptr, FALSE);
    });
}

void frmTrayManager::WindowAdd() {
    platform::SkipFailure(ClassName, L"moApplication_WindowAdd", [&] {
        if (hWnd() && ::IsWindowVisible(hWnd())) Display(0, 0, false);
    });
}

void frmTrayManager::WindowRemove() {
    platform::SkipFailure(ClassName, L"moApplication_WindowRemove", [&] {
        if (hWnd() && ::IsWindowVisible(hWnd())) Display(0, 0, false);
    });
}

void frmTrayManager::CloseWindow() noexcept { Destroy(); }

void frmTrayManager::OnDestroyed() {
    if (!observing_) return;
    observing_ = false;
    if (auto app = face_.lock()) app->Events().Remove(this);
}
