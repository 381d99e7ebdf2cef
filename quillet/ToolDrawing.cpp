#include "ToolDrawing.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "Banner.h"
#include "Error.h"
#include "FontsModule.h"
#include "Gdi.h"
#include "GradientModule.h"

namespace ToolDrawing {

namespace {

// Every size below is at 96 DPI and goes through Scale.
constexpr int ItemPadding = 6;              // a normal item: the height of "yY" plus this
constexpr int BandWidthPadding = 30;        // a pop-up band: its widest text plus this
constexpr int SeparatorWidth = 32;          // also a header's
constexpr int CaptionSeparatorHeight = 14;
constexpr int PlainSeparatorHeight = 10;
constexpr int HeaderShare = 3, HeaderShareOf = 4;  // a header is three quarters of a normal item's height
constexpr int MenuBarIconAllowance = 3;     // a menu-bar tool's icon widens it by H less this
constexpr int BannerGap = 2;                // between the banner strip and the item's content
constexpr int ShortcutRightMargin = 18;
constexpr int CaptionGap = 3;               // between the icon square and the caption
constexpr int IconCellMargin = 18;          // the icon is centred as (H - this) / 2 ...
constexpr int IconInset = 1;                // ... plus this, from the square's corner
constexpr int HighlightGap = 1;             // the highlight begins this far right of the icon square
constexpr int EmbossOffset = 1;             // the light copy under disabled text
constexpr int CaptionSeparatorMargin = 2;
constexpr int PlainSeparatorMargin = 10;
constexpr int SeparatorLineRise = 1;
constexpr int HeaderInsetX = 1;
constexpr int HeaderInsetY = 2;
constexpr int MenuBarTextRise = 1;
constexpr int PressedShift = 1;             // a selected menu-bar tool's content moves right and down
constexpr int MenuBarIconX = 3;
constexpr int MenuBarIconY = 1;
constexpr int MenuBarSeparatorInsetX = 5;
constexpr int MenuBarSeparatorInsetY = 1;
constexpr int DitherInset = 1;              // the lightened square leaves its first row and last column
constexpr int GlyphFrameShrink = 4;         // the check glyph is drawn this much smaller than H ...
constexpr int GlyphInset = 3;               // ... and placed this far inside the square
constexpr int ArrowRightMargin = 8;         // a submenu arrow drawn in the theme's colours
constexpr int ArrowHalfHeight = 4;
// Image-list icons have a fixed size, whatever the DPI.
constexpr int IconSize = 16;
// Destination OR pattern: the white pixels of the checkerboard lighten the square.
constexpr DWORD DitherRop = 0x00FA0089;
constexpr UINT TextFlags = DT_SINGLELINE | DT_VCENTER;
constexpr wchar_t HeightSample[] = L"yY";
constexpr wchar_t ShortcutSpacing[] = L"   ";

void DrawLine(HDC dc, const std::wstring& text, RECT rect, UINT flags) noexcept {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags | TextFlags);
}

SIZE TextExtent(HDC dc, const std::wstring& text) noexcept {
    RECT rect{};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// A text set off by a space on both sides, as separator and header captions are shown.
std::wstring Spaced(const std::wstring& text) { return L" " + text + L" "; }

RECT Offset(RECT rect, int dx, int dy) noexcept {
    ::OffsetRect(&rect, dx, dy);
    return rect;
}

using platform::FillSolid;

bool OwnsArrow(const platform::Palette& palette) noexcept { return !palette.SystemEdges(); }

// Destination AND NOT source: what is white in the source becomes black.
constexpr DWORD KeepWhereSourceBlack = 0x00220326;

bool ArrowKeyDown() noexcept { return ::GetAsyncKeyState(VK_UP) != 0 || ::GetAsyncKeyState(VK_DOWN) != 0; }

int Wrap(int value, int period) noexcept {
    const int rest = value % period;
    return rest < 0 ? rest + period : rest;
}

// Covers `area` with copies of the picture so that DC point (x, y) shows
// picture pixel (x mod w, (y + phase) mod h); an item passes its top in the
// menu as the phase, so the picture runs on from item to item.
void TilePicture(HDC dc, const RECT& area, int phase, HBITMAP picture, COLORREF fallback) {
    BITMAP shape{};
    platform::UniqueMemoryDC source(::CreateCompatibleDC(dc));
    platform::SelectScope selected(source.get(), picture);
    if (!::GetObjectW(picture, sizeof(shape), &shape) || shape.bmWidth <= 0 || shape.bmHeight <= 0 ||
        !selected.Selected()) {
        FillSolid(dc, area, fallback);
        return;
    }
    for (int y = area.top; y < area.bottom;) {
        const int row = Wrap(y + phase, shape.bmHeight);
        const int rows = std::min<int>(shape.bmHeight - row, area.bottom - y);
        for (int x = area.left; x < area.right;) {
            const int column = Wrap(x, shape.bmWidth);
            const int columns = std::min<int>(shape.bmWidth - column, area.right - x);
            ::BitBlt(dc, x, y, columns, rows, source.get(), column, row, SRCCOPY);
            x += columns;
        }
        y += rows;
    }
}

// The band's font of the weight asked for, or one made for this item alone.
class BandFont {
public:
    BandFont(const BandLook& band, bool bold, UINT dpi) : kept_(bold ? band.boldFont : band.font) {
        if (!kept_) made_ = FontsModule::MenuFont(bold, dpi);
    }
    HFONT get() const noexcept { return kept_ ? kept_ : made_.get(); }

private:
    HFONT kept_;
    platform::UniqueFont made_;
};

// One item's drawing, on the memory bitmap it is composed in.
class ItemPainter {
public:
    ItemPainter(HDC dc, SIZE size, UINT state, const ToolLook& tool, const BandLook& band, const OwnerLook& owner,
                UINT dpi, Canvas& canvas) noexcept
        : dc_(dc), size_(size), tool_(tool), band_(band), owner_(owner), dpi_(dpi), canvas_(canvas), palette_(owner.palette), h_(band.itemHeight),
          work_{0, 0, size.cx, size.cy}, selected_((state & ODS_SELECTED) != 0),
          enabled_((state & (ODS_GRAYED | ODS_DISABLED)) == 0 && tool.enabled) {}

    void Paint(const CustomDrawHandler& custom) {
        ::SetBkColor(dc_, palette_.menu);
        ::SetBkMode(dc_, TRANSPARENT);
        Underlay();
        if (tool_.customDraw && custom && !CustomDraw(custom)) return;
        if (selected_) Highlight();
        Content();
    }

private:
    int Px(int pixels) const noexcept { return Scale(pixels, dpi_); }

    void Underlay();
    bool CustomDraw(const CustomDrawHandler& custom);
    void Highlight();
    void GradientHighlight(const RECT& area);
    void Content();
    void NormalText();
    void NormalMarks();
    void CheckMark(POINT iconAt);
    void StandardGlyph();
    void LightenSquare();
    void Separator();
    void Header();
    void MenuBarTool();
    void MenuBarSeparator() noexcept;
    void SubmenuArrow() const;
    bool DrawIcon(LONG icon, POINT at) const;
    void DrawEdge(RECT rect, UINT edge, UINT flags) const noexcept {
        platform::DrawFrame(dc_, rect, palette_, edge, flags);
    }
    COLORREF TextColor() const noexcept;

    HDC dc_;
    SIZE size_;
    const ToolLook& tool_;
    const BandLook& band_;
    const OwnerLook& owner_;
    UINT dpi_;
    Canvas& canvas_;
    const platform::Palette& palette_;
    int h_;       // the side of the icon square
    RECT work_;   // what is left for the item's content
    bool selected_;
    bool enabled_;
};

// The banner's slice, then the menu colour or the tiled picture beside it.
void ItemPainter::Underlay() {
    if (Banner* banner = band_.banner) {
        // Where the strip has no rows for the item (not rendered, or rendered
        // for a shorter band) the menu colour shows rather than a bare bitmap.
        const RECT strip{0, 0, banner->StripWidth(dpi_), size_.cy};
        FillSolid(dc_, strip, palette_.menu);
        banner->Slice(dc_, band_.itemTop, band_.itemTop + size_.cy);
        work_.left += strip.right;
    }
    // A high-contrast theme has no pictures behind its text.
    if (band_.picture && palette_.ornaments)
        TilePicture(dc_, work_, band_.itemTop, band_.picture, palette_.menu);
    else
        FillSolid(dc_, work_, palette_.menu);
    if (band_.banner) work_.left += Px(BannerGap);
}

// The handler may move the content's origin and change the item's state;
// the content follows only when it says so.
bool ItemPainter::CustomDraw(const CustomDrawHandler& custom) {
    CustomDrawArgs args;
    args.dc = dc_;
    args.left = work_.left;
    args.top = work_.top;
    args.width = work_.right - work_.left;
    args.height = work_.bottom - work_.top;
    args.selected = selected_;
    args.enabled = enabled_;
    custom(args);
    work_.left = args.left;
    work_.top = args.top;
    selected_ = args.selected;
    enabled_ = args.enabled;
    return args.draw;
}

void ItemPainter::Highlight() {
    RECT area = work_;
    const bool markColumn =
        tool_.style != qlToolStyleMenuBar && ((tool_.icon >= 0 && owner_.imageList) || tool_.checked);
    if (markColumn) area.left = work_.left + h_ + Px(HighlightGap);
    // The mouse passing over a disabled item does not mark it; the arrow
    // keys do, so that the keyboard user sees where they are.
    if (!enabled_ && !owner_.highlightDisabled && !ArrowKeyDown()) {
        selected_ = false;
        return;
    }
    if (band_.style == qlBandMenuBar) {
        DrawEdge(area, BDR_SUNKENINNER, BF_RECT);
        return;
    }
    // Without ornaments the gradient is a plain fill.
    if (owner_.highlight == qlHighlightNormal || (owner_.highlight == qlHighlightGradient && !palette_.ornaments))
        FillSolid(dc_, area, palette_.highlight);
    else if (owner_.highlight == qlHighlightGradient)
        GradientHighlight(area);
}

// The ramp spans the whole item, so an item with an icon column shows it
// from the point it has reached there.
void ItemPainter::GradientHighlight(const RECT& area) {
    if (::IsRectEmpty(&area)) return;
    platform::MemoryBitmap ramp(dc_, size_.cx, size_.cy);
    GradientModule::Gradient(ramp.dc(), ramp.Bounds(), palette_.highlight, palette_.menu,
                             GradientModule::GradientDirection::LeftToRight);
    ::BitBlt(dc_, area.left, area.top, area.right - area.left, area.bottom - area.top, ramp.dc(), area.left, area.top,
             SRCCOPY);
}

void ItemPainter::Content() {
    switch (tool_.style) {
        case qlToolStyleNormal:
            NormalText();
            NormalMarks();
            if (tool_.opensSubmenu && OwnsArrow(palette_)) SubmenuArrow();
            break;
        case qlToolStyleSeparator: Separator(); break;
        case qlToolStyleHeader: Header(); break;
        case qlToolStyleMenuBar: MenuBarTool(); break;
        case qlToolStyleMenuBarSeparator: MenuBarSeparator(); break;
    }
}

COLORREF ItemPainter::TextColor() const noexcept {
    if (!enabled_) return palette_.grayText;
    if (!selected_) return palette_.menuText;
    return owner_.highlight == qlHighlightTextOnly ? palette_.accentText : palette_.highlightText;
}

// Caption after the icon square, shortcut right-aligned before the margin;
// disabled text stands embossed: a light copy one pixel down and right first.
void ItemPainter::NormalText() {
    const BandFont font(band_, tool_.isDefault, dpi_);
    platform::SelectScope selected(dc_, font.get());
    RECT caption = work_;
    caption.left += h_ + Px(CaptionGap);
    RECT shortcut = work_;
    shortcut.right = work_.right - Px(ShortcutRightMargin);
    shortcut.left = shortcut.right - TextExtent(dc_, tool_.shortcut).cx;
    auto draw = [&](int shift) {
        DrawLine(dc_, tool_.caption, Offset(caption, shift, shift), DT_LEFT);
        if (!tool_.shortcut.empty()) DrawLine(dc_, tool_.shortcut, Offset(shortcut, shift, shift), DT_LEFT);
    };
    if (!selected_ && !enabled_ && palette_.classic) {
        ::SetTextColor(dc_, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        draw(Px(EmbossOffset));
    }
    ::SetTextColor(dc_, TextColor());
    draw(0);
}

// The icon square: a checked tool shows its icon, the custom mark or the
// standard glyph, sunken; an unchecked one its icon, raised while selected.
void ItemPainter::NormalMarks() {
    const RECT square{work_.left, work_.top, work_.left + h_, work_.top + h_};
    const POINT iconAt{(h_ - Px(IconCellMargin)) / 2 + work_.left + Px(IconInset), work_.top + Px(IconInset)};
    if (tool_.checked) {
        if (tool_.icon >= 0)
            DrawIcon(tool_.icon, iconAt);
        else
            CheckMark(iconAt);
        DrawEdge(square, BDR_SUNKENINNER, BF_RECT);
    } else if (tool_.icon >= 0 && DrawIcon(tool_.icon, iconAt) && selected_) {
        DrawEdge(square, BDR_RAISEDINNER, BF_RECT);
    }
}

void ItemPainter::CheckMark(POINT iconAt) {
    const LONG custom = tool_.inOptionGroup ? owner_.optionIcon : owner_.checkIcon;
    if (custom >= 0)
        DrawIcon(custom, iconAt);
    else
        StandardGlyph();
}

void ItemPainter::StandardGlyph() {
    if (enabled_ && !selected_ && palette_.classic) LightenSquare();
    const int frame = h_ - Px(GlyphFrameShrink);
    const int side = h_ - 2 * Px(GlyphInset);
    if (frame <= 0 || side <= 0) return;
    // The system draws the glyph black on white: ANDed onto the square it
    // leaves the background alone.
    platform::MemoryBitmap glyph(dc_, frame, frame);
    RECT bounds = glyph.Bounds();
    ::DrawFrameControl(glyph.dc(), &bounds, DFC_MENU, tool_.inOptionGroup ? DFCS_MENUBULLET : DFCS_MENUCHECK);
    const int x = work_.left + Px(GlyphInset);
    const int y = work_.top + Px(GlyphInset);
    if (!palette_.classic) {
        // The glyph in the item's text colour: black where it is, then the
        // colour put into the black.
        platform::MemoryBitmap ink(dc_, side, side);
        FillSolid(ink.dc(), ink.Bounds(), TextColor());
        ::BitBlt(ink.dc(), 0, 0, side, side, glyph.dc(), 0, 0, KeepWhereSourceBlack);
        ::BitBlt(dc_, x, y, side, side, glyph.dc(), 0, 0, SRCAND);
        ::BitBlt(dc_, x, y, side, side, ink.dc(), 0, 0, SRCPAINT);
    } else if (enabled_)
        ::BitBlt(dc_, x, y, side, side, glyph.dc(), 0, 0, SRCAND);
    else
        ::DrawStateW(dc_, nullptr, nullptr, reinterpret_cast<LPARAM>(glyph.Unselect()), 0, x, y, side, side,
                     DST_BITMAP | DSS_DISABLED);
}

void ItemPainter::LightenSquare() {
    if (!owner_.dither) return;
    platform::UniqueBrush pattern(::CreatePatternBrush(owner_.dither));
    if (!pattern) return;
    platform::SelectScope brush(dc_, pattern.get());
    // A monochrome pattern is drawn in the context's text and background
    // colours: black and white keep the checkerboard as it is.
    const COLORREF background = ::SetBkColor(dc_, RGB(255, 255, 255));
    const COLORREF text = ::SetTextColor(dc_, RGB(0, 0, 0));
    const int inset = Px(DitherInset);
    ::PatBlt(dc_, work_.left, work_.top + inset, h_ - inset, h_ - inset, DitherRop);
    ::SetTextColor(dc_, text);
    ::SetBkColor(dc_, background);
}

// An etched line across the item, broken by the caption when it has one:
// the caption is drawn opaque in the menu colour over the line.
void ItemPainter::Separator() {
    const bool withCaption = !tool_.caption.empty();
    const int margin = Px(withCaption ? CaptionSeparatorMargin : PlainSeparatorMargin);
    const RECT line{work_.left + margin, work_.bottom / 2 - Px(SeparatorLineRise), work_.right - margin,
                    work_.bottom / 2};
    DrawEdge(line, EDGE_ETCHED, BF_TOP);
    if (!withCaption) return;
    const BandFont font(band_, false, dpi_);
    platform::SelectScope selected(dc_, font.get());
    ::SetBkMode(dc_, OPAQUE);
    ::SetTextColor(dc_, palette_.menuText);
    DrawLine(dc_, Spaced(tool_.caption), work_, DT_CENTER);
    ::SetBkMode(dc_, TRANSPARENT);
}

void ItemPainter::Header() {
    RECT title = work_;
    ::InflateRect(&title, -Px(HeaderInsetX), -Px(HeaderInsetY));
    FillSolid(dc_, title, palette_.header);
    ::SetTextColor(dc_, palette_.headerText);
    if (tool_.caption.empty()) return;
    const BandFont font(band_, false, dpi_);
    platform::SelectScope selected(dc_, font.get());
    DrawLine(dc_, Spaced(tool_.caption), work_, DT_CENTER);
}

// A selected menu-bar tool looks pressed: its content shifts right and down.
void ItemPainter::MenuBarTool() {
    const bool withIcon = tool_.icon >= 0;
    const int shift = selected_ ? Px(PressedShift) : 0;
    {
        const BandFont font(band_, false, dpi_);
        platform::SelectScope selected(dc_, font.get());
        RECT text = Offset(work_, shift, shift - Px(MenuBarTextRise));
        if (withIcon) text.left += h_;
        ::SetTextColor(dc_, palette_.menuText);
        DrawLine(dc_, tool_.caption, text, DT_CENTER);
    }
    if (withIcon) DrawIcon(tool_.icon, POINT{work_.left + Px(MenuBarIconX) + shift, work_.top + Px(MenuBarIconY) + shift});
}

// The system draws a submenu's arrow over an owner-drawn item in its own
// (black) colour; in a theme of our own the item draws it instead.
void ItemPainter::SubmenuArrow() const {
    const int right = work_.right - Px(ArrowRightMargin);
    const int half = Px(ArrowHalfHeight);
    const int middle = (work_.top + work_.bottom) / 2;
    const POINT points[] = {{right - half, middle - half}, {right, middle}, {right - half, middle + half}};
    const COLORREF colour = TextColor();
    platform::UniqueBrush brush(::CreateSolidBrush(colour));
    platform::UniquePen pen(::CreatePen(PS_SOLID, 1, colour));
    platform::SelectScope useBrush(dc_, brush.get());
    platform::SelectScope usePen(dc_, pen.get());
    ::Polygon(dc_, points, static_cast<int>(std::size(points)));
}

void ItemPainter::MenuBarSeparator() noexcept {
    const RECT edge{work_.left + Px(MenuBarSeparatorInsetX), work_.top + Px(MenuBarSeparatorInsetY),
                    work_.right - Px(MenuBarSeparatorInsetX), work_.bottom - Px(MenuBarSeparatorInsetY)};
    DrawEdge(edge, EDGE_ETCHED, BF_LEFT);
}

// A disabled icon is drawn grey and embossed by the system, from a cell of its own.
bool ItemPainter::DrawIcon(LONG icon, POINT at) const {
    HIMAGELIST list = owner_.imageList;
    if (!list || icon < 1 || icon > ::ImageList_GetImageCount(list)) return false;
    if (enabled_) {
        if (BlendImage(list, icon - 1, dc_, at, canvas_.ImageCell(IconSize))) return true;
        return ::ImageList_Draw(list, icon - 1, dc_, at.x, at.y, ILD_TRANSPARENT) != FALSE;
    }
    platform::MemoryBitmap cell(dc_, IconSize, IconSize);
    // The system embosses what differs from white: the icon's transparent
    // part must be white, not the new bitmap's black.
    const RECT bounds = cell.Bounds();
    ::FillRect(cell.dc(), &bounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    if (!::ImageList_Draw(list, icon - 1, cell.dc(), 0, 0, ILD_NORMAL)) return false;
    return ::DrawStateW(dc_, nullptr, nullptr, reinterpret_cast<LPARAM>(cell.Unselect()), 0, at.x, at.y, IconSize,
                        IconSize, DST_BITMAP | DSS_DISABLED) != FALSE;
}

// The widest "caption   shortcut" among the tools of the given weight.
int WidestText(HDC dc, std::span<const ToolLook> tools, HFONT font, bool bold) {
    const bool any = std::any_of(tools.begin(), tools.end(), [&](const ToolLook& t) { return t.isDefault == bold; });
    if (!any) return 0;
    platform::SelectScope selected(dc, font);
    int widest = 0;
    for (const ToolLook& tool : tools)
        if (tool.isDefault == bold)
            widest = std::max<int>(widest, TextExtent(dc, tool.caption + ShortcutSpacing + tool.shortcut).cx);
    return widest;
}

int MenuBarCaptionWidth(const std::wstring& caption, HWND window, UINT dpi) {
    platform::UniqueMemoryDC dc = platform::CompatibleDC(window);
    platform::UniqueFont font = FontsModule::MenuFont(false, dpi);
    platform::SelectScope selected(dc.get(), font.get());
    return TextExtent(dc.get(), caption).cx;
}

SIZE StyleSize(const ToolLook& tool, const BandLook& band, HWND window, UINT dpi) {
    const int h = band.itemHeight;
    switch (tool.style) {
        case qlToolStyleSeparator:
        case qlToolStyleHeader: return SIZE{Scale(SeparatorWidth, dpi), ItemHeight(tool, h, dpi)};
        case qlToolStyleMenuBar: {
            const int icon = tool.icon >= 0 ? h - Scale(MenuBarIconAllowance, dpi) : 0;
            return SIZE{MenuBarCaptionWidth(tool.caption, window, dpi) + icon, h};
        }
        case qlToolStyleMenuBarSeparator: return SIZE{0, h};
        default: return SIZE{band.width, h};
    }
}

}  // namespace

UINT DpiOf(HWND window) noexcept {
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<ForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = window && forWindow ? forWindow(window) : 0;
    return dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int Scale(int pixels, UINT dpi) noexcept {
    return ::MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

BandMetrics MeasureBand(std::span<const ToolLook> visibleTools, QLBandStyle style, HWND window) {
    const UINT dpi = DpiOf(window);
    platform::UniqueMemoryDC dc = platform::CompatibleDC(nullptr);
    BandMetrics metrics;
    metrics.fonts = FontsModule::MakeMenuFonts(dpi);
    {
        platform::SelectScope selected(dc.get(), metrics.fonts.normal.get());
        metrics.itemHeight = TextExtent(dc.get(), HeightSample).cy + Scale(ItemPadding, dpi);
    }
    if (style == qlBandPopup) {
        const int widest = std::max(WidestText(dc.get(), visibleTools, metrics.fonts.normal.get(), false),
                                    WidestText(dc.get(), visibleTools, metrics.fonts.bold.get(), true));
        metrics.width = widest + Scale(BandWidthPadding, dpi);
    }
    return metrics;
}

SIZE MeasureTool(const ToolLook& tool, const BandLook& band, HWND window, const CustomMeasureHandler& custom) {
    const UINT dpi = DpiOf(window);
    SIZE size = StyleSize(tool, band, window, dpi);
    if (band.banner) size.cx += band.banner->StripWidth(dpi) + Scale(BannerGap, dpi);
    if (tool.customDraw && custom) custom(size.cx, size.cy);
    return size;
}

HDC Canvas::For(HDC reference, SIZE size) {
    if (!bitmap_ || bitmap_->Width() < size.cx || bitmap_->Height() < size.cy) {
        const int width = std::max<int>(size.cx, bitmap_ ? bitmap_->Width() : 0);
        const int height = std::max<int>(size.cy, bitmap_ ? bitmap_->Height() : 0);
        bitmap_.reset();
        bitmap_.emplace(reference, width, height);
    }
    return bitmap_->dc();
}

// The image list's own drawing may cost a trip to the window server every
// time under Wine, and a menu draws an image per item: blended here from the
// list's bitmap (each pixel weighted by its alpha first, as the list does it)
// it costs a copy.
bool BlendImage(HIMAGELIST list, int index, HDC dc, POINT at, platform::MemoryBitmap* cell) {
    IMAGEINFO info{};
    DIBSECTION section{};
    if (!cell || !cell->Pixels() || !::ImageList_GetImageInfo(list, index, &info) ||
        ::GetObjectW(info.hbmImage, sizeof section, &section) != static_cast<int>(sizeof section) ||
        !section.dsBm.bmBits || section.dsBm.bmBitsPixel != 32)
        return false;
    const RECT& image = info.rcImage;
    const int side = cell->Width();
    if (image.right - image.left != side || image.bottom - image.top != side || image.left < 0 || image.top < 0 ||
        image.right > section.dsBm.bmWidth || image.bottom > section.dsBm.bmHeight)
        return false;
    ::GdiFlush();
    const auto* bits = static_cast<const BYTE*>(section.dsBm.bmBits);
    const bool bottomUp = section.dsBmih.biHeight > 0;
    DWORD* out = cell->Pixels();
    bool anyAlpha = false;
    for (int y = 0; y < side; ++y) {
        const int row = image.top + y;
        const auto* line = reinterpret_cast<const DWORD*>(
            bits + static_cast<ptrdiff_t>(bottomUp ? section.dsBm.bmHeight - 1 - row : row) * section.dsBm.bmWidthBytes);
        for (int x = 0; x < side; ++x) {
            const DWORD pixel = line[image.left + x];
            const DWORD alpha = pixel >> 24;
            anyAlpha = anyAlpha || alpha != 0;
            out[y * side + x] = (pixel & 0xff000000) | (((pixel & 0x00ff0000) * alpha / 0xff) & 0x00ff0000) |
                                (((pixel & 0x0000ff00) * alpha / 0xff) & 0x0000ff00) | ((pixel & 0x000000ff) * alpha / 0xff);
        }
    }
    if (!anyAlpha) return false;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::GdiAlphaBlend(dc, at.x, at.y, side, side, cell->dc(), 0, 0, side, side, blend) != FALSE;
}

platform::MemoryBitmap* Canvas::ImageCell(int side) {
    if (!imageCell_ || imageCell_->Width() != side) {
        imageCell_.reset();
        try {
            imageCell_.emplace(nullptr, side, side, platform::PixelFormat::TopDown32);
        } catch (const platform::Error&) {
            return nullptr;
        }
    }
    return &*imageCell_;
}

void DrawTool(const DRAWITEMSTRUCT& item, const ToolLook& tool, const BandLook& band, const OwnerLook& owner,
              HWND window, const CustomDrawHandler& custom) {
    Canvas canvas;
    DrawTool(item, tool, band, owner, window, custom, canvas);
}

void DrawTool(const DRAWITEMSTRUCT& item, const ToolLook& tool, const BandLook& band, const OwnerLook& owner,
              HWND window, const CustomDrawHandler& custom, Canvas& canvas) {
    const RECT& target = item.rcItem;
    const SIZE size{target.right - target.left, target.bottom - target.top};
    if (size.cx <= 0 || size.cy <= 0) return;
    if (canvas.InUse()) {
        Canvas own;
        DrawTool(item, tool, band, owner, window, custom, own);
        return;
    }
    const Canvas::Use use(canvas);
    // Composed off screen and copied in one piece, so the item never flickers.
    const HDC composed = canvas.For(item.hDC, size);
    ItemPainter(composed, size, item.itemState, tool, band, owner, DpiOf(window), canvas).Paint(custom);
    ::BitBlt(item.hDC, target.left, target.top, size.cx, size.cy, composed, 0, 0, SRCCOPY);
    // The item drew its own arrow: the system's goes nowhere.
    if (tool.opensSubmenu && OwnsArrow(owner.palette))
        ::ExcludeClipRect(item.hDC, target.left, target.top, target.right, target.bottom);
}

int ItemHeight(const ToolLook& tool, int bandItemHeight, UINT dpi) noexcept {
    switch (tool.style) {
        case qlToolStyleSeparator: return SeparatorHeight(!tool.caption.empty(), dpi);
        case qlToolStyleHeader: return bandItemHeight * HeaderShare / HeaderShareOf;
        default: return bandItemHeight;
    }
}

int SeparatorHeight(bool withCaption, UINT dpi) noexcept {
    return Scale(withCaption ? CaptionSeparatorHeight : PlainSeparatorHeight, dpi);
}

}  // namespace ToolDrawing
