#include "ColorScheme.h"

#include <dwmapi.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "Gdi.h"

namespace platform {

namespace {

constexpr wchar_t PersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t AppsUseLightThemeValue[] = L"AppsUseLightTheme";
constexpr wchar_t ColorSetChange[] = L"ImmersiveColorSet";

// The title-bar attribute under its released number, and the number early
// releases of Windows 10 knew it by.
constexpr DWORD DarkTitleBarAttribute = 20;
constexpr DWORD EarlyDarkTitleBarAttribute = 19;

// Light text on dark grey, every pair at least 4.5:1.
constexpr COLORREF DarkMenu = RGB(43, 43, 43);
constexpr COLORREF DarkText = RGB(242, 242, 242);
constexpr COLORREF DarkHighlight = RGB(0, 90, 158);
constexpr COLORREF DarkGrayText = RGB(150, 150, 150);
constexpr COLORREF DarkHeader = RGB(62, 62, 62);
constexpr COLORREF DarkFace = RGB(32, 32, 32);
constexpr COLORREF DarkLineLight = RGB(112, 112, 112);
constexpr COLORREF DarkLineShadow = RGB(16, 16, 16);
constexpr COLORREF DarkAccentText = RGB(96, 205, 255);
// How far apart (summed over the channels) two colours must be for text in
// one to be read on the other.
constexpr int LegibleDistance = 96;

std::atomic<Scheme> current{Scheme::Light};

COLORREF Sys(int index) noexcept { return ::GetSysColor(index); }

int ColorDistance(COLORREF a, COLORREF b) noexcept {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// Selected text without a fill stands on the menu colour, which on most
// systems is as light as the highlight text colour itself: then it takes the
// highlight colour, so that the selected item is still marked and readable.
COLORREF UnfilledSelectedText(COLORREF highlightText, COLORREF highlight, COLORREF menu) noexcept {
    return ColorDistance(highlightText, menu) >= LegibleDistance ? highlightText : highlight;
}

double Channel(BYTE value) noexcept {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(COLORREF colour) noexcept {
    return 0.2126 * Channel(GetRValue(colour)) + 0.7152 * Channel(GetGValue(colour)) +
           0.0722 * Channel(GetBValue(colour));
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour) noexcept {
    FillSolid(dc, RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1}, colour);
}

// The colours a light and a high-contrast menu both take from the system.
Palette SystemMenuColours(Scheme scheme) noexcept {
    Palette p;
    p.scheme = scheme;
    p.menu = Sys(COLOR_MENU);
    p.menuText = Sys(COLOR_MENUTEXT);
    p.highlight = Sys(COLOR_HIGHLIGHT);
    p.highlightText = Sys(COLOR_HIGHLIGHTTEXT);
    p.accentText = UnfilledSelectedText(p.highlightText, p.highlight, p.menu);
    return p;
}

}  // namespace

Palette PaletteOf(Scheme scheme) noexcept {
    if (scheme == Scheme::Dark) {
        Palette p;
        p.scheme = scheme;
        p.menu = DarkMenu;
        p.menuText = p.highlightText = p.headerText = p.faceText = DarkText;
        p.highlight = DarkHighlight;
        p.grayText = DarkGrayText;
        p.header = DarkHeader;
        p.face = DarkFace;
        p.lineLight = DarkLineLight;
        p.lineShadow = DarkLineShadow;
        p.accentText = DarkAccentText;
        p.classic = false;
        return p;
    }
    Palette p = SystemMenuColours(scheme);
    if (scheme == Scheme::HighContrast) {
        p.grayText = Sys(COLOR_GRAYTEXT);
        // A header stands out as an inverted band of the window colours.
        p.header = Sys(COLOR_WINDOWTEXT);
        p.headerText = Sys(COLOR_WINDOW);
        p.face = Sys(COLOR_WINDOW);
        p.faceText = Sys(COLOR_WINDOWTEXT);
        p.lineLight = p.lineShadow = Sys(COLOR_MENUTEXT);
        p.ornaments = false;
        p.classic = false;
        return p;
    }
    p.grayText = Sys(COLOR_BTNSHADOW);
    p.header = Sys(COLOR_INACTIVECAPTION);
    p.headerText = Sys(COLOR_INACTIVECAPTIONTEXT);
    p.face = Sys(COLOR_BTNFACE);
    p.faceText = Sys(COLOR_BTNTEXT);
    p.lineLight = Sys(COLOR_3DHIGHLIGHT);
    p.lineShadow = Sys(COLOR_3DSHADOW);
    return p;
}

bool HighContrastOn() noexcept {
    HIGHCONTRASTW state{};
    state.cbSize = sizeof state;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof state, &state, 0) && (state.dwFlags & HCF_HIGHCONTRASTON);
}

bool AppsUseLightTheme() noexcept {
    DWORD value = 1;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, PersonalizeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return true;
    const LONG status =
        ::RegQueryValueExW(key, AppsUseLightThemeValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    // Anything but a stored zero is light, as the system reads it.
    return status != ERROR_SUCCESS || type != REG_DWORD || value != 0;
}

Scheme SchemeFor(ThemeChoice choice) noexcept {
    if (HighContrastOn()) return Scheme::HighContrast;
    switch (choice) {
        case ThemeChoice::Light: return Scheme::Light;
        case ThemeChoice::Dark: return Scheme::Dark;
        default: return AppsUseLightTheme() ? Scheme::Light : Scheme::Dark;
    }
}

double ContrastRatio(COLORREF a, COLORREF b) noexcept {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool SchemeMayHaveChanged(WPARAM wParam, LPARAM lParam) noexcept {
    if (wParam == SPI_SETHIGHCONTRAST) return true;
    const auto* area = reinterpret_cast<const wchar_t*>(lParam);
    return area && std::wcscmp(area, ColorSetChange) == 0;
}

Scheme CurrentScheme() noexcept { return current.load(); }
void SetCurrentScheme(Scheme scheme) noexcept { current.store(scheme); }

void DrawFrame(HDC dc, RECT rect, const Palette& palette, UINT edge, UINT flags) noexcept {
    if (palette.SystemEdges()) {
        ::DrawEdge(dc, &rect, edge, flags);
        return;
    }
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    const int right = rect.right - 1, bottom = rect.bottom - 1;
    // An etched line is a shaded line with a lit one under or beside it.
    if (edge == EDGE_ETCHED) {
        if (flags & BF_TOP) {
            Line(dc, rect.left, rect.top, right, rect.top, palette.lineShadow);
            Line(dc, rect.left, rect.top + 1, right, rect.top + 1, palette.lineLight);
        }
        if (flags & BF_LEFT) {
            Line(dc, rect.left, rect.top, rect.left, bottom, palette.lineShadow);
            Line(dc, rect.left + 1, rect.top, rect.left + 1, bottom, palette.lineLight);
        }
        return;
    }
    const bool sunken = (edge & (BDR_SUNKENINNER | BDR_SUNKENOUTER)) != 0;
    const COLORREF topLeft = sunken ? palette.lineShadow : palette.lineLight;
    const COLORREF bottomRight = sunken ? palette.lineLight : palette.lineShadow;
    if (flags & BF_TOP) Line(dc, rect.left, rect.top, right, rect.top, topLeft);
    if (flags & BF_LEFT) Line(dc, rect.left, rect.top, rect.left, bottom, topLeft);
    if (flags & BF_BOTTOM) Line(dc, rect.left, bottom, right, bottom, bottomRight);
    if (flags & BF_RIGHT) Line(dc, right, rect.top, right, bottom, bottomRight);
}

void UseDarkTitleBar(HWND window, bool dark) noexcept {
    if (!window) return;
    const BOOL value = dark ? TRUE : FALSE;
    if (FAILED(::DwmSetWindowAttribute(window, DarkTitleBarAttribute, &value, sizeof value)))
        ::DwmSetWindowAttribute(window, EarlyDarkTitleBarAttribute, &value, sizeof value);
}

}  // namespace platform
