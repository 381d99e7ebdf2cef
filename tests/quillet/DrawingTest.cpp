// Menu items measured and drawn the way WM_MEASUREITEM and WM_DRAWITEM do it,
// into a 32-bit memory bitmap that the test reads back pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "Banner.h"
#include "Banners.h"
#include "ColorScheme.h"
#include "Gdi.h"
#include "ToolDrawing.h"
#include "Variant.h"

using namespace ToolDrawing;
using platform::ComPtr;
using platform::MemoryBitmap;

bool operator==(const SIZE& a, const SIZE& b) { return a.cx == b.cx && a.cy == b.cy; }
void PrintTo(const SIZE& size, std::ostream* out) { *out << size.cx << " x " << size.cy; }

namespace {

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Black = RGB(0, 0, 0);
// A band background that light and dark marks both show on.
constexpr COLORREF Slate = RGB(60, 90, 120);
// Where the item lies on the target, as in Wine's pop-up menus.
constexpr int Origin = 3;
constexpr int StripHeight = 200;

COLORREF Sys(int index) { return ::GetSysColor(index); }

bool Bright(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200; }

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) + std::abs(GetBValue(a) - GetBValue(b));
}

// The GDI objects this process holds. Wine's GetGuiResources counts none;
// there a handle's slot number alone names a live object to GetObjectType,
// so the slots in use are counted instead.
int LiveGdiObjects() {
    constexpr UINT_PTR HandleSlots = 0x10000;
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(counted);
    int live = 0;
    for (UINT_PTR slot = 1; slot < HandleSlots; ++slot) live += ::GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
    return live;
}

ToolLook Tool(QLToolStyle style, std::wstring caption = L"", LONG icon = -1) {
    ToolLook tool;
    tool.style = style;
    tool.caption = std::move(caption);
    tool.icon = icon;
    tool.enabled = style == qlToolStyleNormal || style == qlToolStyleMenuBar;
    return tool;
}

// What one draw left on the target, read relative to the item's corner.
class Drawn {
public:
    Drawn(int width, int height, int origin = Origin)
        : origin_(origin), target_(nullptr, width + 2 * origin, height + 2 * origin, platform::PixelFormat::TopDown32) {}
    HDC dc() const { return target_.dc(); }
    COLORREF At(int x, int y) const { return target_.PixelAt(x + origin_, y + origin_); }
    int Count(const std::function<bool(COLORREF)>& wanted, RECT area) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) count += wanted(At(x, y));
        return count;
    }
    int Count(COLORREF color, RECT area) const {
        return Count([color](COLORREF c) { return c == color; }, area);
    }

private:
    int origin_;
    MemoryBitmap target_;
};

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.reset(::CreateWindowExW(0, L"STATIC", L"Drawing", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(window);
        images.reset(::ImageList_Create(16, 16, ILC_COLOR24, 3, 0));
        for (COLORREF color : {Red, Green, Blue}) AddSolidIcon(color);
        dither.reset(::LoadBitmapW(::GetModuleHandleW(nullptr), L"DITHER"));
        ASSERT_TRUE(dither);
        owner.imageList = images.get();
        owner.dither = dither.get();
        const ToolLook sample[] = {Tool(qlToolStyleNormal, L"Open the window", 1)};
        const BandMetrics metrics = MeasureBand(sample, qlBandPopup, window.get());
        band.itemHeight = metrics.itemHeight;
        band.width = metrics.width;
        h = band.itemHeight;
        w = band.width;
        // Nothing a test before left pressed may count as an arrow key held down.
        ::GetAsyncKeyState(VK_UP);
        ::GetAsyncKeyState(VK_DOWN);
    }
    static void Fill(const MemoryBitmap& bitmap, COLORREF color) {
        platform::UniqueBrush brush(::CreateSolidBrush(color));
        const RECT bounds = bitmap.Bounds();
        ::FillRect(bitmap.dc(), &bounds, brush.get());
    }
    void AddSolidIcon(COLORREF color) {
        MemoryBitmap cell(nullptr, 16, 16);
        Fill(cell, color);
        ASSERT_GE(::ImageList_Add(images.get(), cell.Unselect(), nullptr), 0);
    }
    SIZE Measure(const ToolLook& tool, const CustomMeasureHandler& custom = {}) {
        return MeasureTool(tool, band, window.get(), custom);
    }
    std::unique_ptr<Drawn> Draw(const ToolLook& tool, UINT state = 0, int width = 0, int height = 0,
                                const CustomDrawHandler& custom = {}) {
        const SIZE size = Measure(tool);
        width = width ? width : size.cx;
        height = height ? height : size.cy;
        auto drawn = std::make_unique<Drawn>(width, height);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hDC = drawn->dc();
        item.rcItem = RECT{Origin, Origin, Origin + width, Origin + height};
        DrawTool(item, tool, band, owner, window.get(), custom);
        return drawn;
    }
    // The strip of a new banner, rendered for a band of StripHeight.
    Banner* AddBanner(const wchar_t* name, const wchar_t* caption, LONG icon, OLE_COLOR bottom, OLE_COLOR top) {
        ComPtr<_Banner> added;
        EXPECT_EQ(S_OK, banners->Add(platform::Bstr(name).get(), 24, platform::Bstr(caption).get(), icon, Missing(),
                                     White, bottom, top, &added));
        Banner* banner = Banner::From(added.Get());
        if (banner) banner->Render(StripHeight, images.get(), DpiOf(window.get()));
        return banner;
    }
    void SolidPicture(COLORREF color) {
        picture = std::make_unique<MemoryBitmap>(nullptr, 8, 8);
        Fill(*picture, color);
        band.picture = picture->Unselect();
    }
    static VARIANT Missing() {
        VARIANT missing;
        missing.vt = VT_ERROR;
        missing.scode = DISP_E_PARAMNOTFOUND;
        return missing;
    }

    platform::UniqueWindow window;
    platform::UniqueHImageList images;
    platform::UniqueBitmap dither;
    std::unique_ptr<MemoryBitmap> picture;
    ComPtr<Banners> banners = Banners::Make(nullptr);
    OwnerLook owner;
    BandLook band;
    int h = 0;
    int w = 0;
};

TEST_F(DrawingTest, ItemsMeasureByStyleAndBannerAndHandler) {
    ASSERT_GT(h, 6);
    EXPECT_EQ((SIZE{w, h}), Measure(Tool(qlToolStyleNormal, L"Open")));
    EXPECT_EQ((SIZE{32, 14}), Measure(Tool(qlToolStyleSeparator, L"Section")));
    EXPECT_EQ((SIZE{32, 10}), Measure(Tool(qlToolStyleSeparator)));
    EXPECT_EQ((SIZE{32, h * 3 / 4}), Measure(Tool(qlToolStyleHeader, L"Group")));
    EXPECT_EQ((SIZE{0, h}), Measure(Tool(qlToolStyleMenuBarSeparator)));
    const SIZE plainBar = Measure(Tool(qlToolStyleMenuBar, L"&File"));
    const SIZE iconBar = Measure(Tool(qlToolStyleMenuBar, L"&File", 1));
    EXPECT_GT(plainBar.cx, 0);
    EXPECT_EQ(plainBar.cx + h - 3, iconBar.cx);
    for (const ToolLook& tool : {Tool(qlToolStyleSeparator, L"x"), Tool(qlToolStyleSeparator), Tool(qlToolStyleHeader),
                                 Tool(qlToolStyleNormal)})
        EXPECT_EQ(Measure(tool).cy, ItemHeight(tool, h, DpiOf(window.get())));

    // The band is as wide as its widest text with the shortcut, the Default one in bold.
    ToolLook withShortcut = Tool(qlToolStyleNormal, L"Open the window");
    withShortcut.shortcut = L"Ctrl+Shift+F12";
    const ToolLook plain[] = {Tool(qlToolStyleNormal, L"Open the window")};
    const ToolLook longer[] = {Tool(qlToolStyleNormal, L"Open"), withShortcut};
    EXPECT_GT(MeasureBand(longer, qlBandPopup, window.get()).width, MeasureBand(plain, qlBandPopup, window.get()).width);
    withShortcut.isDefault = true;
    const ToolLook bold[] = {withShortcut};
    EXPECT_GT(MeasureBand(bold, qlBandPopup, window.get()).width, MeasureBand(longer, qlBandPopup, window.get()).width);
    EXPECT_EQ(0, MeasureBand(longer, qlBandMenuBar, window.get()).width);

    band.banner = AddBanner(L"Side", L"", -1, 0, 0);
    ASSERT_NE(nullptr, band.banner);
    EXPECT_EQ(w + 26, Measure(Tool(qlToolStyleNormal, L"Open")).cx);
    EXPECT_EQ(32 + 26, Measure(Tool(qlToolStyleSeparator)).cx);

    // CustomMeasure has the last word, for tools that allow custom drawing only.
    auto handler = [](LONG& width, LONG& height) {
        width = 77;
        height += 5;
    };
    ToolLook custom = Tool(qlToolStyleNormal, L"Open");
    EXPECT_EQ(w + 26, Measure(custom, handler).cx);
    custom.customDraw = true;
    EXPECT_EQ((SIZE{77, h + 5}), Measure(custom, handler));
}

TEST_F(DrawingTest, SeparatorsAndHeadersDrawTheirLinesAndFills) {
    const auto header = Draw(Tool(qlToolStyleHeader, L"Group"), 0, w);
    const int headerHeight = h * 3 / 4;
    EXPECT_EQ(Sys(COLOR_MENU), header->At(0, 0));
    EXPECT_EQ(Sys(COLOR_INACTIVECAPTION), header->At(1, 2));
    EXPECT_EQ(Sys(COLOR_INACTIVECAPTION), header->At(w - 2, headerHeight - 3));
    EXPECT_GT(header->Count(Sys(COLOR_INACTIVECAPTIONTEXT), RECT{1, 2, w - 1, headerHeight - 2}), 0);

    // The etched line runs from margin to margin, broken where the caption stands.
    const auto plain = Draw(Tool(qlToolStyleSeparator), 0, w);
    const int lineRow = 10 / 2 - 1;
    EXPECT_EQ(Sys(COLOR_MENU), plain->At(9, lineRow));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), plain->At(10, lineRow));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), plain->At(w / 2, lineRow));
    const auto titled = Draw(Tool(qlToolStyleSeparator, L"Section"), 0, w);
    const int titledRow = 14 / 2 - 1;
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), titled->At(2, titledRow));
    EXPECT_EQ(0, titled->Count(Sys(COLOR_BTNSHADOW), RECT{w / 2 - 10, titledRow, w / 2 + 10, titledRow + 1}));
    EXPECT_GT(titled->Count(Sys(COLOR_MENUTEXT), RECT{0, 0, w, 14}), 0);
}

TEST_F(DrawingTest, EachHighlightStyleMarksTheSelectedItem) {
    ASSERT_NE(Sys(COLOR_HIGHLIGHT), Sys(COLOR_MENU));
    const ToolLook open = Tool(qlToolStyleNormal, L"Open");
    const RECT text{h, 0, w / 2, h};

    const auto normal = Draw(open, ODS_SELECTED);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), normal->At(0, 0));
    EXPECT_GT(normal->Count(Sys(COLOR_HIGHLIGHTTEXT), text), 0);
    EXPECT_EQ(0, normal->Count(Sys(COLOR_MENUTEXT), text));

    owner.highlight = qlHighlightGradient;
    const auto gradient = Draw(open, ODS_SELECTED);
    EXPECT_TRUE(Near(Sys(COLOR_HIGHLIGHT), gradient->At(0, h / 2), 2));
    EXPECT_TRUE(Near(Sys(COLOR_MENU), gradient->At(w - 1, h / 2), 4));
    EXPECT_FALSE(Near(Sys(COLOR_MENU), gradient->At(w / 2, h / 2), 4));

    // Without a fill the text alone marks the item: in the highlight text
    // colour, or in the highlight colour where that would vanish on the menu.
    owner.highlight = qlHighlightTextOnly;
    const auto textOnly = Draw(open, ODS_SELECTED);
    EXPECT_EQ(Sys(COLOR_MENU), textOnly->At(0, 0));
    EXPECT_EQ(Sys(COLOR_MENU), textOnly->At(w - 2, h / 2));
    const bool legible = Distance(Sys(COLOR_HIGHLIGHTTEXT), Sys(COLOR_MENU)) >= 96;
    EXPECT_GT(textOnly->Count(legible ? Sys(COLOR_HIGHLIGHTTEXT) : Sys(COLOR_HIGHLIGHT), text), 0);
    EXPECT_EQ(0, textOnly->Count(Sys(COLOR_MENUTEXT), text));

    // The icon square stays out of the highlight; the icon stands raised in it.
    owner.highlight = qlHighlightNormal;
    const auto withIcon = Draw(Tool(qlToolStyleNormal, L"Open", 1), ODS_SELECTED);
    EXPECT_EQ(0, withIcon->Count(Sys(COLOR_HIGHLIGHT), RECT{0, 0, h + 1, h}));
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), withIcon->At(h + 1, h / 2));
    EXPECT_GT(withIcon->Count(Red, RECT{0, 0, h, h}), 16 * 12);
    EXPECT_GT(Brightness(withIcon->At(0, h / 2)), Brightness(withIcon->At(h - 1, h / 2)));

    // A menu-bar item looks pressed instead.
    band.style = qlBandMenuBar;
    const auto bar = Draw(Tool(qlToolStyleMenuBar, L"&File"), ODS_SELECTED);
    const SIZE barSize = Measure(Tool(qlToolStyleMenuBar, L"&File"));
    EXPECT_LT(Brightness(bar->At(0, barSize.cy / 2)), Brightness(bar->At(barSize.cx - 1, barSize.cy / 2)));
    EXPECT_EQ(0, bar->Count(Sys(COLOR_HIGHLIGHT), RECT{0, 0, barSize.cx, barSize.cy}));
    EXPECT_GT(bar->Count(Sys(COLOR_MENUTEXT), RECT{0, 0, barSize.cx, barSize.cy}), 0);
}

TEST_F(DrawingTest, DisabledItemsAreEmbossedAndHighlightedOnlyWhenAllowed) {
    if ((::GetAsyncKeyState(VK_UP) | ::GetAsyncKeyState(VK_DOWN)) != 0) GTEST_SKIP() << "an arrow key is held down";
    ASSERT_NE(Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNSHADOW));
    SolidPicture(Slate);
    ToolLook disabled = Tool(qlToolStyleNormal, L"Open");
    disabled.enabled = false;
    const RECT text{h, 0, w / 2, h};
    auto embossed = [&](const Drawn& drawn) {
        return drawn.Count(Sys(COLOR_BTNHIGHLIGHT), text) > 0 && drawn.Count(Sys(COLOR_BTNSHADOW), text) > 0 &&
               drawn.Count(Sys(COLOR_MENUTEXT), text) == 0;
    };
    EXPECT_TRUE(embossed(*Draw(disabled)));
    EXPECT_TRUE(embossed(*Draw(Tool(qlToolStyleNormal, L"Open"), ODS_GRAYED)));

    // Under the mouse it stays unmarked, in the same colours.
    const auto pointed = Draw(disabled, ODS_SELECTED);
    EXPECT_EQ(Slate, pointed->At(w - 2, h / 2));
    EXPECT_TRUE(embossed(*pointed));

    owner.highlightDisabled = true;
    const auto allowed = Draw(disabled, ODS_SELECTED);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), allowed->At(w - 2, h / 2));
    EXPECT_GT(allowed->Count(Sys(COLOR_BTNSHADOW), text), 0);
    EXPECT_EQ(0, allowed->Count(Sys(COLOR_BTNHIGHLIGHT), text));

    // A disabled icon is greyed: none of its own colour is left.
    ToolLook greyIcon = disabled;
    greyIcon.icon = 1;
    const auto icon = Draw(greyIcon);
    EXPECT_EQ(0, icon->Count(Red, RECT{0, 0, h, h}));
    EXPECT_GT(icon->Count(Sys(COLOR_BTNSHADOW), RECT{0, 0, h, h}), 16);
}

TEST_F(DrawingTest, CheckedToolsShowTheirMarkInASunkenSquare) {
    const RECT inside{2, 2, h - 2, h - 2};
    auto sunken = [&](const Drawn& drawn) { return Brightness(drawn.At(0, h / 2)) < Brightness(drawn.At(h - 1, h / 2)); };

    ToolLook checked = Tool(qlToolStyleNormal, L"Keep on top", 3);
    checked.checked = true;
    const auto withIcon = Draw(checked);
    EXPECT_TRUE(sunken(*withIcon));
    EXPECT_GT(withIcon->Count(Blue, inside), 16 * 12);
    EXPECT_EQ(0, withIcon->Count(Black, inside));
    EXPECT_EQ(0, withIcon->Count(White, inside));

    // Without an icon: the standard check on the lightened checkerboard.
    SolidPicture(Slate);
    checked.icon = -1;
    const auto glyph = Draw(checked);
    EXPECT_TRUE(sunken(*glyph));
    EXPECT_GT(glyph->Count(Black, inside), 4);
    EXPECT_GT(glyph->Count(White, inside), 4);
    EXPECT_GT(glyph->Count(Slate, inside), 4);
    EXPECT_EQ(glyph->At(1, 1) == White, glyph->At(2, 2) == White);
    EXPECT_NE(glyph->At(1, 1) == White, glyph->At(2, 1) == White);
    checked.inOptionGroup = true;
    EXPECT_GT(Draw(checked)->Count(Black, inside), 4);

    owner.optionIcon = 2;
    const auto custom = Draw(checked);
    EXPECT_GT(custom->Count(Green, inside), 16 * 12);
    EXPECT_EQ(0, custom->Count(Black, inside));
}

// Every part of an item, in each theme: the background, the text on it and
// the selection in each highlight style, read back from the drawn pixels.
TEST_F(DrawingTest, EachThemeDrawsReadableItemsInItsOwnColours) {
    using platform::ContrastRatio;
    using platform::Scheme;
    // The colour of an item's text: the pixel of its caption farthest from the background.
    auto ink = [&](const Drawn& drawn, COLORREF background) {
        COLORREF farthest = background;
        for (int y = 0; y < h; ++y)
            for (int x = h + 3; x < w - 20; ++x)
                if (Distance(drawn.At(x, y), background) > Distance(farthest, background)) farthest = drawn.At(x, y);
        return farthest;
    };
    ToolLook disabled = Tool(qlToolStyleNormal, L"Open the window");
    disabled.enabled = false;
    ToolLook checked = Tool(qlToolStyleNormal, L"Open the window");
    checked.checked = true;
    for (Scheme scheme : {Scheme::Light, Scheme::Dark, Scheme::HighContrast}) {
        SCOPED_TRACE(static_cast<int>(scheme));
        owner.palette = platform::PaletteOf(scheme);
        const platform::Palette& palette = owner.palette;
        owner.highlight = qlHighlightNormal;
        const auto plain = Draw(Tool(qlToolStyleNormal, L"Open the window"));
        const COLORREF background = plain->At(w - 2, h / 2);
        EXPECT_EQ(palette.menu, background);
        const COLORREF text = ink(*plain, background);
        const auto selected = Draw(Tool(qlToolStyleNormal, L"Open the window"), ODS_SELECTED);
        const COLORREF fill = selected->At(w - 2, h / 2);
        EXPECT_EQ(palette.highlight, fill);
        const COLORREF selectedText = ink(*selected, fill);
        const COLORREF grey = ink(*Draw(disabled), background);
        owner.highlight = qlHighlightTextOnly;
        const COLORREF marked = ink(*Draw(Tool(qlToolStyleNormal, L"Open the window"), ODS_SELECTED), background);
        EXPECT_NE(text, marked) << "a selection without fill still marks the text";
        owner.highlight = qlHighlightGradient;
        const auto ramp = Draw(Tool(qlToolStyleNormal, L"Open"), ODS_SELECTED);
        const auto header = Draw(Tool(qlToolStyleHeader, L"Group"));
        const COLORREF band = header->At(w / 2 - 40, h / 4);
        const COLORREF headerText = ink(*header, band);
        const auto check = Draw(checked);
        const int markPixels =
            check->Count([&](COLORREF c) { return Distance(c, background) > 200; }, RECT{3, 3, h - 3, h - 3});
        EXPECT_GT(markPixels, 2) << "the check mark shows on the background";
        switch (scheme) {
            case Scheme::Dark:
                EXPECT_TRUE(GetRValue(background) < 80 && GetGValue(background) < 80 && GetBValue(background) < 80);
                EXPECT_TRUE(Bright(text)) << std::hex << text;
                for (auto [front, back] : {std::pair{text, background}, std::pair{selectedText, fill},
                                           std::pair{grey, background}, std::pair{marked, background},
                                           std::pair{headerText, band}})
                    EXPECT_GE(ContrastRatio(front, back), 4.5) << std::hex << front << " on " << back;
                EXPECT_NE(ramp->At(h + 2, h / 2), ramp->At(w - 2, h / 2)) << "the gradient runs in the dark too";
                break;
            case Scheme::HighContrast:
                // The system's colours and nothing else: no gradient, no embossing.
                EXPECT_EQ(Sys(COLOR_MENU), background);
                EXPECT_EQ(Sys(COLOR_MENUTEXT), text);
                EXPECT_EQ(Sys(COLOR_HIGHLIGHTTEXT), selectedText);
                EXPECT_EQ(Sys(COLOR_GRAYTEXT), grey);
                EXPECT_EQ(Sys(COLOR_HIGHLIGHT), ramp->At(h + 2, h / 2));
                EXPECT_EQ(Sys(COLOR_HIGHLIGHT), ramp->At(w - 2, h / 2));
                break;
            case Scheme::Light:
                EXPECT_EQ(Sys(COLOR_MENU), background);
                EXPECT_EQ(Sys(COLOR_MENUTEXT), text);
                break;
        }
    }
}

// A high-contrast theme has no gradient: the banner is a plain strip in the
// highlight colours, whatever colours the host gave it.
TEST_F(DrawingTest, HighContrastBannerIsPlain) {
    ComPtr<_Banner> added;
    ASSERT_EQ(S_OK, banners->Add(platform::Bstr(L"Plain").get(), 24, platform::Bstr(L"Pelkin").get(), 0, Missing(),
                                 White, Red, Blue, &added));
    Banner* banner = Banner::From(added.Get());
    banner->Render(StripHeight, images.get(), DpiOf(window.get()), platform::PaletteOf(platform::Scheme::HighContrast));
    MemoryBitmap strip(nullptr, 24, StripHeight, platform::PixelFormat::TopDown32);
    banner->Slice(strip.dc(), 0, StripHeight);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), strip.PixelAt(1, 1));
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), strip.PixelAt(1, StripHeight - 2));
}

TEST_F(DrawingTest, BannerStripSlicesAndCaption) {
    Banner* strip = AddBanner(L"Side", L"", 0, Blue, Red);
    ASSERT_TRUE(strip && strip->Rendered());
    Drawn whole(24, StripHeight, 0);
    strip->Slice(whole.dc(), 0, StripHeight);
    EXPECT_TRUE(Near(Red, whole.At(12, 0), 2));
    EXPECT_TRUE(Near(Blue, whole.At(12, StripHeight - 1), 3));
    EXPECT_TRUE(Near(RGB(128, 0, 128), whole.At(12, StripHeight / 2), 3));

    // An item shows the strip's rows at its own place in the band, its content 2 pixels off.
    band.banner = strip;
    band.itemTop = 120;
    const auto item = Draw(Tool(qlToolStyleNormal, L"Open"));
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(whole.At(5, band.itemTop + y), item->At(5, y)) << y;
        EXPECT_EQ(Sys(COLOR_MENU), item->At(24, y)) << y;
    }
    EXPECT_EQ(0, item->Count(Sys(COLOR_MENUTEXT), RECT{24, 0, 26 + h, h}));
    EXPECT_GT(item->Count(Sys(COLOR_MENUTEXT), RECT{26 + h, 0, w, h}), 0);
    // Below the rows the strip was rendered for, the menu colour shows.
    band.itemTop = StripHeight - 5;
    const auto past = Draw(Tool(qlToolStyleNormal));
    EXPECT_EQ(whole.At(5, StripHeight - 1), past->At(5, 4));
    EXPECT_EQ(Sys(COLOR_MENU), past->At(5, 5));

    // The caption reads upwards from 4 pixels over the foot, or over the icon.
    Banner* titled = AddBanner(L"Titled", L"Pelkin", 0, Black, Black);
    Banner* iconic = AddBanner(L"Iconic", L"Pelkin", 1, Black, Black);
    ASSERT_TRUE(titled && iconic);
    Drawn titledStrip(24, StripHeight, 0), iconicStrip(24, StripHeight, 0);
    titled->Slice(titledStrip.dc(), 0, StripHeight);
    iconic->Slice(iconicStrip.dc(), 0, StripHeight);
    EXPECT_GT(titledStrip.Count(Bright, RECT{0, StripHeight - 22, 24, StripHeight - 4}), 0);
    EXPECT_EQ(0, titledStrip.Count(Bright, RECT{0, StripHeight - 3, 24, StripHeight}));
    EXPECT_EQ(16 * 16, iconicStrip.Count(Red, RECT{4, StripHeight - 18, 20, StripHeight - 2}));
    EXPECT_EQ(0, iconicStrip.Count(Bright, RECT{0, StripHeight - 21, 24, StripHeight}));
    EXPECT_GT(iconicStrip.Count(Bright, RECT{0, 0, 24, StripHeight - 22}), 0);

    strip->ReleaseImage();
    EXPECT_FALSE(strip->Rendered());
}

TEST_F(DrawingTest, TiledPictureRunsOnFromItemToItem) {
    constexpr int PictureWidth = 5, PictureHeight = 7;
    MemoryBitmap picture(nullptr, PictureWidth, PictureHeight, platform::PixelFormat::TopDown32);
    auto shade = [](int x, int y) { return RGB(40 * x, 30 * y, 200); };
    for (int at = 0; at < PictureWidth * PictureHeight; ++at)
        ::SetPixelV(picture.dc(), at % PictureWidth, at / PictureWidth, shade(at % PictureWidth, at / PictureWidth));
    band.picture = picture.Unselect();
    for (int top : {0, 10, 10 + h}) {
        band.itemTop = top;
        const auto item = Draw(Tool(qlToolStyleNormal));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(shade(x % PictureWidth, (y + top) % PictureHeight), item->At(x, y)) << x << "," << y << " @" << top;
    }
}

TEST_F(DrawingTest, CustomDrawDecidesWhetherTheContentIsDrawn) {
    band.banner = AddBanner(L"Side", L"", 0, Blue, Red);
    ToolLook tool = Tool(qlToolStyleNormal, L"Open");
    const SIZE size = Measure(tool);
    int calls = 0;
    CustomDrawArgs seen;
    auto leaveIt = [&](CustomDrawArgs& args) { ++calls, seen = args; };
    Draw(tool, ODS_SELECTED, 0, 0, leaveIt);
    EXPECT_EQ(0, calls);

    tool.customDraw = true;
    const auto bare = Draw(tool, ODS_SELECTED, 0, 0, leaveIt);
    ASSERT_EQ(1, calls);
    EXPECT_EQ(std::make_tuple(26L, 0L, size.cx - 26, LONG{h}, true, true),
              std::make_tuple(seen.left, seen.top, seen.width, seen.height, seen.selected, seen.enabled));
    EXPECT_EQ(size.cx * h - 24 * h, bare->Count(Sys(COLOR_MENU), RECT{24, 0, size.cx, h}));
    EXPECT_TRUE(Near(Red, bare->At(12, 0), 2));

    // Drawn as the handler left it: no longer selected.
    auto drawUnselected = [](CustomDrawArgs& args) { args.draw = true, args.selected = false; };
    const auto drawn = Draw(tool, ODS_SELECTED, 0, 0, drawUnselected);
    EXPECT_EQ(0, drawn->Count(Sys(COLOR_HIGHLIGHT), RECT{26, 0, size.cx, h}));
    EXPECT_GT(drawn->Count(Sys(COLOR_MENUTEXT), RECT{26, 0, size.cx, h}), 0);
}

// The items blend an image with an alpha channel themselves, from the image
// list's pixels: what they show must be what the list's own drawing shows,
// row for row, whatever the alpha. An image without alpha is left to the list.
TEST_F(DrawingTest, AnImageWithAlphaShowsAsTheImageListDrawsIt) {
    constexpr int Side = 16;
    platform::UniqueHImageList alphaImages(::ImageList_Create(Side, Side, ILC_COLOR32 | ILC_MASK, 1, 0));
    {
        // Red fading in from the left, green from the top, alpha rising by column.
        MemoryBitmap colour(nullptr, Side, Side, platform::PixelFormat::TopDown32);
        DWORD* pixels = colour.Pixels();
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                pixels[y * Side + x] = (static_cast<DWORD>(x * 17) << 24) | (static_cast<DWORD>(x * 16) << 16) |
                                       (static_cast<DWORD>(y * 16) << 8) | 0x20;
        const std::vector<BYTE> maskBits(Side * Side / 8, 0);
        platform::UniqueBitmap mask(::CreateBitmap(Side, Side, 1, 1, maskBits.data()));
        ICONINFO info{TRUE, 0, 0, mask.get(), colour.Unselect()};
        platform::UniqueHIcon icon(::CreateIconIndirect(&info));
        ASSERT_TRUE(icon);
        ASSERT_EQ(0, ::ImageList_ReplaceIcon(alphaImages.get(), -1, icon.get()));
    }
    MemoryBitmap reference(nullptr, Side, Side, platform::PixelFormat::TopDown32);
    MemoryBitmap blended(nullptr, Side, Side, platform::PixelFormat::TopDown32);
    MemoryBitmap cell(nullptr, Side, Side, platform::PixelFormat::TopDown32);
    Fill(reference, Slate);
    Fill(blended, Slate);
    ASSERT_TRUE(::ImageList_Draw(alphaImages.get(), 0, reference.dc(), 0, 0, ILD_TRANSPARENT));
    ASSERT_TRUE(BlendImage(alphaImages.get(), 0, blended.dc(), POINT{0, 0}, &cell));
    int differing = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            EXPECT_TRUE(Near(blended.PixelAt(x, y), reference.PixelAt(x, y), 2)) << "pixel " << x << ", " << y;
            differing += !Near(reference.PixelAt(x, y), Slate, 8);
        }
    EXPECT_GT(differing, Side * Side / 2) << "the image drew next to nothing";

    // Drawn as an item: the icon square shows the same pixels on the menu colour.
    owner.imageList = alphaImages.get();
    Fill(reference, owner.palette.menu);
    ASSERT_TRUE(::ImageList_Draw(alphaImages.get(), 0, reference.dc(), 0, 0, ILD_TRANSPARENT));
    const auto drawn = Draw(Tool(qlToolStyleNormal, L"Blended", 1));
    const POINT at{(h - Scale(18, 96)) / 2 + 1, 1};
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            EXPECT_TRUE(Near(drawn->At(at.x + x, at.y + y), reference.PixelAt(x, y), 2)) << "item pixel " << x << ", " << y;

    // The fixture's list holds 24-bit images without alpha: the list draws those.
    EXPECT_FALSE(BlendImage(images.get(), 0, blended.dc(), POINT{0, 0}, &cell));
}

TEST_F(DrawingTest, DrawingLeavesNoGdiObjectsBehind) {
    MemoryBitmap picture(nullptr, 8, 8);
    Banner* strip = AddBanner(L"Side", L"Pelkin", 1, Blue, Red);
    ToolLook checked = Tool(qlToolStyleNormal, L"Checked");
    checked.checked = true;
    ToolLook greyIcon = Tool(qlToolStyleNormal, L"Grey", 2), greyCheck = checked;
    greyIcon.enabled = greyCheck.enabled = false;
    greyIcon.shortcut = L"Ctrl+G";
    greyIcon.isDefault = true;
    const std::vector<ToolLook> tools = {checked, greyIcon, greyCheck, Tool(qlToolStyleSeparator, L"Section"),
                                         Tool(qlToolStyleSeparator), Tool(qlToolStyleHeader, L"Group"),
                                         Tool(qlToolStyleNormal, L"Icon", 1)};
    auto round = [&] {
        for (QLHighlightStyle style : {qlHighlightNormal, qlHighlightGradient}) {
            owner.highlight = style;
            band.banner = style == qlHighlightNormal ? strip : nullptr;
            band.picture = style == qlHighlightGradient ? picture.bitmap() : nullptr;
            for (const ToolLook& tool : tools)
                for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)}) Draw(tool, state, w);
        }
        band.style = qlBandMenuBar;
        band.banner = nullptr;
        Draw(Tool(qlToolStyleMenuBar, L"&File", 1), ODS_SELECTED);
        Draw(Tool(qlToolStyleMenuBarSeparator), 0, 10);
        band.style = qlBandPopup;
        MeasureBand(tools, qlBandPopup, window.get());
        strip->ReleaseImage();
        strip->Render(StripHeight, images.get(), DpiOf(window.get()));
    };
    picture.Unselect();
    round();  // what the system caches on first use is not a leak
    const int before = LiveGdiObjects();
    for (int i = 0; i < 15; ++i) round();
    EXPECT_EQ(before, LiveGdiObjects());
}

TEST_F(DrawingTest, BannersAreKeptByNameAndPosition) {
    ComPtr<_Banner> first, duplicate, found;
    ASSERT_EQ(S_OK, banners->Add(platform::Bstr(L"Main").get(), 24, platform::Bstr(L"Pelkin").get(), -1, Missing(),
                                 White, 0, 0, &first));
    ASSERT_TRUE(first);
    EXPECT_EQ(S_OK, banners->Add(platform::Bstr(L"MAIN").get(), 30, nullptr, -1, Missing(), 0, 0, 0, &duplicate));
    EXPECT_FALSE(duplicate);
    Banner* plain = AddBanner(L"Plain", L"", -1, 0, 0);

    // By name without regard to case, by 1-based position; absent is empty.
    EXPECT_EQ(S_OK, banners->Item(platform::Variant::FromText(L"main").get(), &found));
    EXPECT_EQ(first.Get(), found.Get());
    EXPECT_EQ(S_OK, banners->Item(platform::Variant::FromInt32(2).get(), &found));
    EXPECT_EQ(plain, Banner::From(found.Get()));
    EXPECT_EQ(plain, banners->Find(L"PLAIN"));
    EXPECT_EQ(S_OK, banners->Item(platform::Variant::FromInt32(3).get(), &found));
    EXPECT_FALSE(found);
    EXPECT_EQ(nullptr, Banner::From(static_cast<_Banners*>(banners.Get())));

    // A captioned banner given no font gets Tahoma, 9 pt, bold; one without a caption none.
    ComPtr<IFontDisp> fontDisp;
    first->get_Font(&fontDisp);
    ComPtr<IFont> font;
    ASSERT_TRUE(fontDisp && SUCCEEDED(fontDisp.As(&font)));
    platform::Bstr name;
    CY size{};
    BOOL bold = FALSE;
    ASSERT_TRUE(SUCCEEDED(font->get_Name(name.put())) && SUCCEEDED(font->get_Size(&size)) && SUCCEEDED(font->get_Bold(&bold)));
    EXPECT_EQ(std::make_tuple(std::wstring(L"Tahoma"), 90000LL, TRUE), std::make_tuple(name.Text(), size.int64, bold));
    plain->get_Font(&fontDisp);
    EXPECT_FALSE(fontDisp);

    // A host colour the system cannot translate is drawn as -1 (white channels).
    first->put_BackColor(0x7F000000);
    first->put_BackColor2(0x7F000000);
    Banner::From(first.Get())->Render(StripHeight, images.get(), DpiOf(window.get()));
    Drawn strip(24, StripHeight, 0);
    Banner::From(first.Get())->Slice(strip.dc(), 0, StripHeight);
    EXPECT_EQ(White, strip.At(23, 0));

    VARIANT_BOOL exists = VARIANT_TRUE;
    EXPECT_EQ(S_OK, banners->Remove(platform::Variant::FromText(L"nothing").get()));
    EXPECT_EQ(S_OK, banners->Remove(platform::Variant::FromInt32(1).get()));
    banners->Exists(platform::Variant::FromText(L"Main").get(), &exists);
    EXPECT_FALSE(exists);
}

}  // namespace
