#pragma once
// The fonts of the menu drawing: the system's menu font at a window's DPI,
// and fonts described by font objects (a banner's caption).
#include <windows.h>
#include <unknwn.h>

#include <optional>

#include "Gdi.h"

namespace FontsModule {

// The system's menu font at `dpi`; the bold one marks a Default tool.
platform::UniqueFont MenuFont(bool bold, UINT dpi);

// Both menu fonts from one question to the system, for a band's whole
// measure and draw.
struct MenuFonts {
    platform::UniqueFont normal;
    platform::UniqueFont bold;
};
MenuFonts MakeMenuFonts(UINT dpi);

// The font a font object (IFont) describes at `dpi`; nothing when the object
// is missing, is no font or does not answer.
std::optional<LOGFONTW> FontFromObject(IUnknown* font, UINT dpi);

// A banner's caption font: the object's font turned a quarter to the left,
// so that the text reads upwards. Empty when it cannot be made.
platform::UniqueFont BannerFont(IUnknown* font, UINT dpi);

}  // namespace FontsModule
