#pragma once
// The colours Pelkin draws its own menus, switcher, Tray Manager and tips in.
//
// Three schemes: Light takes the system's colours as they are (what every
// owner-drawn surface has always shown), Dark a fixed palette of light text
// on dark grey, and HighContrast the system colours only, with no gradient,
// picture or fixed colour anywhere, as a high-contrast theme asks.
//
// Which scheme applies follows the user's app mode (AppsUseLightTheme) and
// the high-contrast switch; the program may override the app mode.
#include <windows.h>

namespace platform {

enum class Scheme { Light = 0, Dark = 1, HighContrast = 2 };

// The user's choice among the schemes, as the options store it.
enum class ThemeChoice { System = 0, Light = 1, Dark = 2 };

struct Palette {
    Scheme scheme = Scheme::Light;
    COLORREF menu = 0;           // a menu's background
    COLORREF menuText = 0;
    COLORREF highlight = 0;      // the selected item's fill
    COLORREF highlightText = 0;
    COLORREF grayText = 0;       // disabled items
    COLORREF header = 0;         // a group header's band
    COLORREF headerText = 0;
    COLORREF face = 0;           // the switcher's and the Tray Manager's background
    COLORREF faceText = 0;
    COLORREF lineLight = 0;      // the lit and the shaded side of an etched line or a frame
    COLORREF lineShadow = 0;
    COLORREF accentText = 0;     // selected text where the selection has no fill
    bool ornaments = true;       // gradients and background pictures
    // The system's classic look: embossed disabled text, a dithered square
    // behind a check mark, the check drawn black.
    bool classic = true;

    // True when frames and etched lines are the system's own (DrawEdge);
    // false when they are drawn with lineLight/lineShadow.
    bool SystemEdges() const noexcept { return scheme != Scheme::Dark; }
};

// The palette of a scheme; the light and high-contrast ones read the system
// colours at the time of the call.
Palette PaletteOf(Scheme scheme) noexcept;

// What the user has chosen in the system: the high-contrast switch, and
// whether apps are to be light (AppsUseLightTheme; absent means light).
bool HighContrastOn() noexcept;
bool AppsUseLightTheme() noexcept;

// The scheme for a choice: high contrast wins over everything, then the
// choice, then the app mode.
Scheme SchemeFor(ThemeChoice choice) noexcept;

// The WCAG contrast ratio of two colours, from 1 (same) to 21 (black on white).
double ContrastRatio(COLORREF a, COLORREF b) noexcept;

// Whether a WM_SETTINGCHANGE may have changed the scheme: the app mode
// ("ImmersiveColorSet") or the high-contrast switch (SPI_SETHIGHCONTRAST).
bool SchemeMayHaveChanged(WPARAM wParam, LPARAM lParam) noexcept;

// The scheme this program draws in, for its own windows. Set by the program
// when the options or the system change; Light until then.
Scheme CurrentScheme() noexcept;
void SetCurrentScheme(Scheme scheme) noexcept;
inline Palette CurrentPalette() noexcept { return PaletteOf(CurrentScheme()); }

// A frame or etched line in the palette's colours: DrawEdge with the system's
// colours, or two-coloured lines where the palette has its own.
void DrawFrame(HDC dc, RECT rect, const Palette& palette, UINT edge, UINT flags) noexcept;

// Asks the window manager for a dark or a light title bar. Where the system
// has no dark title bars the request is refused and nothing else changes.
void UseDarkTitleBar(HWND window, bool dark) noexcept;

}  // namespace platform
