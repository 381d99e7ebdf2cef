#include "FontsModule.h"

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <string>

#include "ComPtr.h"
#include "Error.h"
#include "Variant.h"

namespace FontsModule {

namespace {

constexpr int PointsPerInch = 72;
// A font object's Size is in points as currency: ten thousandths of a point.
constexpr int CurrencyUnitsPerPoint = 10000;
// Tenths of a degree: a quarter turn counter-clockwise.
constexpr LONG QuarterTurn = 900;

// A Default tool's caption is one step heavier than the menu font.
LONG BolderWeight(LONG weight) noexcept {
    if (weight < FW_SEMIBOLD) return FW_SEMIBOLD;
    if (weight < FW_BOLD) return FW_BOLD;
    return FW_HEAVY;
}

// The non-client metrics at `dpi`. Systems that cannot answer for a DPI give
// them at the system DPI, and the menu font's height is scaled from there.
LOGFONTW MenuLogFont(UINT dpi) {
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi)) return metrics.lfMenuFont;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        platform::RaiseWin32(::GetLastError(), L"FontsModule.MenuFont");
    platform::WindowDC screen(nullptr);
    const int systemDpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (systemDpi > 0) metrics.lfMenuFont.lfHeight = ::MulDiv(metrics.lfMenuFont.lfHeight, static_cast<int>(dpi), systemDpi);
    return metrics.lfMenuFont;
}

int PixelHeight(const CY& size, UINT dpi) noexcept {
    const int units = static_cast<int>(std::clamp<LONGLONG>(size.int64, 0, INT_MAX));
    return ::MulDiv(units, static_cast<int>(dpi), PointsPerInch * CurrencyUnitsPerPoint);
}

}  // namespace

namespace {

platform::UniqueFont FontOf(LOGFONTW font, bool bold) {
    if (bold) font.lfWeight = BolderWeight(font.lfWeight);
    platform::UniqueFont handle(::CreateFontIndirectW(&font));
    if (!handle) platform::Raise(platform::errors::OutOfMemory, L"FontsModule.MenuFont");
    return handle;
}

}  // namespace

platform::UniqueFont MenuFont(bool bold, UINT dpi) { return FontOf(MenuLogFont(dpi), bold); }

MenuFonts MakeMenuFonts(UINT dpi) {
    const LOGFONTW font = MenuLogFont(dpi);
    return MenuFonts{FontOf(font, false), FontOf(font, true)};
}

std::optional<LOGFONTW> FontFromObject(IUnknown* object, UINT dpi) {
    if (!object) return std::nullopt;
    platform::ComPtr<IFont> font;
    if (FAILED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.GetAddressOf())))) return std::nullopt;
    platform::Bstr name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
    if (FAILED(font->get_Name(name.put())) || FAILED(font->get_Size(&size)) || FAILED(font->get_Bold(&bold)) ||
        FAILED(font->get_Italic(&italic)) || FAILED(font->get_Underline(&underline)) ||
        FAILED(font->get_Strikethrough(&strikethrough)))
        return std::nullopt;
    LOGFONTW described{};
    described.lfHeight = -PixelHeight(size, dpi);
    described.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    described.lfItalic = italic ? TRUE : FALSE;
    described.lfUnderline = underline ? TRUE : FALSE;
    described.lfStrikeOut = strikethrough ? TRUE : FALSE;
    const std::wstring face = name.Text().substr(0, LF_FACESIZE - 1);
    face.copy(described.lfFaceName, face.size());
    return described;
}

platform::UniqueFont BannerFont(IUnknown* object, UINT dpi) {
    std::optional<LOGFONTW> font = FontFromObject(object, dpi);
    if (!font) return {};
    // Orientation as well as escapement, so that the glyphs turn with the
    // line in every graphics mode.
    font->lfEscapement = QuarterTurn;
    font->lfOrientation = QuarterTurn;
    return platform::UniqueFont(::CreateFontIndirectW(&*font));
}

}  // namespace FontsModule
