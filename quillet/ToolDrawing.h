#pragma once
// Measuring and drawing of the component's owner-drawn menu items. Nothing
// here knows the COM classes: the band and its tools hand over what drawing
// needs as plain values, so every style, highlight and colour can be driven
// straight into a memory device context and read back.
//
// Sizes are at 96 DPI and scaled with the DPI of the window the menus belong
// to (Scale); the menu fonts are those of that DPI.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "ColorScheme.h"
#include "FontsModule.h"
#include "Gdi.h"
#include "QuilletInterfaces.h"

class Banner;

namespace ToolDrawing {

// What drawing needs of one tool.
struct ToolLook {
    QLToolStyle style = qlToolStyleNormal;
    std::wstring caption;
    std::wstring shortcut;
    LONG icon = -1;             // 1-based image-list index; below 0 none
    bool checked = false;
    bool inOptionGroup = false;  // the tool has an OptionGroup: a bullet instead of a check
    bool isDefault = false;      // bold caption
    bool enabled = true;         // the tool's own Enabled
    bool customDraw = false;     // the tool's or its band's AllowCustomDraw
    bool opensSubmenu = false;   // an item of a pop-up band that opens another band
};

// What drawing needs of the band the item belongs to.
struct BandLook {
    QLBandStyle style = qlBandPopup;
    int itemHeight = 0;          // H: a normal item's height, the side of the icon square
    int width = 0;               // W: a pop-up band's normal item width
    Banner* banner = nullptr;    // rendered by the menu build before any item is drawn
    HBITMAP picture = nullptr;   // tiled behind the items; none = the menu colour
    int itemTop = 0;             // the item's top measured from the band's first item
    // The band's menu fonts, made when it was measured; without them each
    // item makes its own.
    HFONT font = nullptr;
    HFONT boldFont = nullptr;
};

// What drawing needs of the Quillet object.
struct OwnerLook {
    QLHighlightStyle highlight = qlHighlightNormal;
    bool highlightDisabled = false;  // HighlightDisabledTools
    LONG checkIcon = -1;             // CustomCheckmarkIcon
    LONG optionIcon = -1;            // CustomOptionGroupIcon
    HIMAGELIST imageList = nullptr;
    HBITMAP dither = nullptr;        // the 8 x 8 checkerboard
    // The colours of the owner's Theme.
    platform::Palette palette = platform::PaletteOf(platform::Scheme::Light);
};

struct BandMetrics {
    int itemHeight = 0;
    int width = 0;  // 0 for a menu-bar band
    FontsModule::MenuFonts fonts;  // what the band was measured in, for its drawing
};

// The memory bitmap items are composed on, kept from item to item and made
// again only when an item is larger than it.
class Canvas {
public:
    // A context of at least `size`, compatible with `reference`.
    HDC For(HDC reference, SIZE size);
    // A 32-bit cell of `side` x `side` pixels that an image is blended from;
    // null when the system cannot make one.
    platform::MemoryBitmap* ImageCell(int side);
    // An item drawn while another is being composed (a custom-draw handler
    // that draws a menu of its own) gets a canvas of its own.
    bool InUse() const noexcept { return inUse_; }
    struct Use {
        explicit Use(Canvas& canvas) noexcept : canvas(canvas) { canvas.inUse_ = true; }
        ~Use() { canvas.inUse_ = false; }
        Canvas& canvas;
    };

private:
    std::optional<platform::MemoryBitmap> bitmap_;
    std::optional<platform::MemoryBitmap> imageCell_;
    bool inUse_ = false;
};

// What a CustomDraw handler sees and may change. Left/Top are the work
// rectangle's origin, Width/Height its size; `draw` starts false and the item's
// content is drawn only when the handler sets it.
struct CustomDrawArgs {
    HDC dc = nullptr;
    LONG left = 0, top = 0, width = 0, height = 0;
    bool selected = false;
    bool enabled = false;
    bool draw = false;
};
using CustomDrawHandler = std::function<void(CustomDrawArgs&)>;
// What a CustomMeasure handler may change.
using CustomMeasureHandler = std::function<void(LONG& width, LONG& height)>;

// The DPI of a window (96 when it has none or the system cannot tell).
UINT DpiOf(HWND window) noexcept;
// A size at 96 DPI, at `dpi`.
int Scale(int pixels, UINT dpi) noexcept;

// The band measurement: item height from "yY" in the menu font plus 6; for a
// pop-up band the widest caption + "   " + shortcut plus 30. `visibleTools`
// are the band's visible tools in order.
BandMetrics MeasureBand(std::span<const ToolLook> visibleTools, QLBandStyle style, HWND window);

// The size of one item (WM_MEASUREITEM); a band with a banner adds its width
// + 2. `custom` (when set and the tool allows custom drawing) may change it.
SIZE MeasureTool(const ToolLook& tool, const BandLook& band, HWND window, const CustomMeasureHandler& custom);

// Draws one item (WM_DRAWITEM) in a memory bitmap and copies it to the
// item's device context in one BitBlt. `custom` is raised when set and the
// tool allows custom drawing.
void DrawTool(const DRAWITEMSTRUCT& item, const ToolLook& tool, const BandLook& band, const OwnerLook& owner,
              HWND window, const CustomDrawHandler& custom);
// The same, composed on a canvas kept between items.
void DrawTool(const DRAWITEMSTRUCT& item, const ToolLook& tool, const BandLook& band, const OwnerLook& owner,
              HWND window, const CustomDrawHandler& custom, Canvas& canvas);

// Draws image `index` (0-based) of `list` at `at` as the list draws an image
// with an alpha channel, straight from the list's own 32-bit pixels, through
// `cell` (a TopDown32 bitmap of the image's size). False, with nothing drawn,
// when the list keeps its pixels otherwise or the image has no alpha.
bool BlendImage(HIMAGELIST list, int index, HDC dc, POINT at, platform::MemoryBitmap* cell);

// The height one visible tool adds to its band (Band.Height): its BeginGroup
// separator is counted by the caller (SeparatorHeight(false)).
int ItemHeight(const ToolLook& tool, int bandItemHeight, UINT dpi) noexcept;
int SeparatorHeight(bool withCaption, UINT dpi) noexcept;

}  // namespace ToolDrawing
