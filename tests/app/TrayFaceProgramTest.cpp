// The program's tray face as a user meets it: a right click on its icon in
// Wine's tray with the real pointer opens the main menu with its banner, and
// each command chosen there does its job, down to Exit.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ColorScheme.h"
#include "Dialogs.h"
#include "Gdi.h"
#include "MenuKeyboard.h"
#include "ProgramFixture.h"
#include "TestWindows.h"
#include "WineTray.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr int RightButton = 3;
const std::wstring AboutCaption = L"About " + Title;
constexpr wchar_t OptionsCaption[] = L"Options";
constexpr wchar_t TargetTitle[] = L"Tray face target";

// The banner's gradient runs between these two colours.
constexpr COLORREF BannerTop = RGB(171, 66, 11);
constexpr COLORREF BannerBottom = RGB(42, 0, 75);

bool Between(BYTE value, BYTE a, BYTE b) { return value >= std::min(a, b) && value <= std::max(a, b); }

// Whether a pixel could be one of the banner's gradient.
bool InBannerGradient(COLORREF pixel) {
    return Between(GetRValue(pixel), GetRValue(BannerTop), GetRValue(BannerBottom)) &&
           Between(GetGValue(pixel), GetGValue(BannerTop), GetGValue(BannerBottom)) &&
           Between(GetBValue(pixel), GetBValue(BannerTop), GetBValue(BannerBottom));
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return pixel;
}

const std::wstring PersonalizeKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t AppsUseLightTheme[] = L"AppsUseLightTheme";
constexpr wchar_t ColorSetChange[] = L"ImmersiveColorSet";
constexpr int OptionsThemeCombo = 3020;
constexpr int ThemeLight = 1;

// What a shown menu looks like: its most common colour (the items'
// background) and the colour farthest from it (their text), read from the
// screen beside the banner.
struct MenuColours {
    COLORREF background = CLR_INVALID;
    COLORREF text = CLR_INVALID;
    bool Dark() const {
        return GetRValue(background) < 80 && GetGValue(background) < 80 && GetBValue(background) < 80 &&
               GetRValue(text) > 175 && GetGValue(text) > 175 && GetBValue(text) > 175;
    }
    bool Light() const {
        return GetRValue(background) > 175 && GetGValue(background) > 175 && GetBValue(background) > 175 &&
               GetRValue(text) < 80 && GetGValue(text) < 80 && GetBValue(text) < 80;
    }
};

int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

MenuColours ReadMenuColours(HWND menu) {
    RECT bounds{};
    ::GetWindowRect(menu, &bounds);
    // Past the frame and the banner on the left.
    const RECT items{bounds.left + 40, bounds.top + 4, bounds.right - 4, bounds.bottom - 4};
    if (items.right <= items.left || items.bottom <= items.top) return {};
    platform::MemoryBitmap shot(nullptr, items.right - items.left, items.bottom - items.top,
                                platform::PixelFormat::TopDown32);
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(shot.dc(), 0, 0, shot.Width(), shot.Height(), screen, items.left, items.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    std::map<COLORREF, int> counts;
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x) ++counts[shot.PixelAt(x, y)];
    MenuColours colours;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) most = count, colours.background = colour;
    colours.text = colours.background;
    for (const auto& [colour, count] : counts)
        if (count > 20 && Distance(colour, colours.background) > Distance(colours.text, colours.background))
            colours.text = colour;
    return colours;
}

std::ostream& operator<<(std::ostream& out, const MenuColours& colours) {
    return out << std::hex << "background " << colours.background << ", text " << colours.text << std::dec;
}

class TrayFaceProgramTest : public ProgramFixture {
protected:
    void Start() {
        ProgramFixture::Start();
        menuThread_ = ::GetWindowThreadProcessId(main_, nullptr);
    }

    static HWND ShownIcon(const std::wstring& tip) {
        HWND icon = nullptr;
        WaitUntil([&] { return (icon = FindTrayIcon(tip)) != nullptr; });
        return icon;
    }

    // Right-clicks the program's icon and waits for the menu it opens.
    HWND OpenMainMenu(const std::wstring& tip = Title) {
        HWND icon = ShownIcon(tip);
        if (!icon || !ClickProgramTrayIcon(icon, RightButton)) return nullptr;
        HWND menu = nullptr;
        WaitUntil([&] { return (menu = ShownMenu(menuThread_)) != nullptr; });
        return menu;
    }

    // Opens the menu and chooses the command with this letter, as typed.
    bool Choose(wchar_t letter, const std::wstring& tip = Title) {
        if (!OpenMainMenu(tip)) return false;
        MenuKeyboard keyboard({Typed(letter)}, menuThread_);
        return keyboard.Worked();
    }

    HWND WaitForDialog(const std::wstring& caption) {
        HWND dialog = nullptr;
        WaitUntil([&] { return (dialog = FindDialog(caption, program_->Id())) != nullptr; });
        return dialog;
    }

    // Starts the program with a rule that puts the target window in the tray
    // (with no rule at all it would open its editor first), once it has;
    // the target, or nullptr when it was not taken.
    HWND StartWithTrayedTarget(TestWindowProgram& testwin) {
        StoredRule rule;
        rule.name = rule.title = TargetTitle;
        rule.action = 0;  // hide in tray
        rule.criteria = 1;
        StoreRule(rule, 1);
        HWND target = testwin.Create(TargetTitle);
        if (!target) return nullptr;
        Start();
        return WaitUntil([&] { return !::IsWindowVisible(target); }) ? target : nullptr;
    }
    // Opens the main menu and waits until it is painted as `wanted` says.
    MenuColours MenuAfterOpening(bool (MenuColours::*wanted)() const) {
        MenuColours seen;
        HWND menu = OpenMainMenu();
        if (!menu) return seen;
        WaitUntil([&] { return ((seen = ReadMenuColours(menu)).*wanted)(); });
        MenuKeyboard dismiss({KeyDown(VK_ESCAPE)}, menuThread_);
        EXPECT_TRUE(dismiss.Worked());
        return seen;
    }
    // What the system sends every window when the user switches the app mode.
    void AnnounceColorSetChange() const {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(main_, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(ColorSetChange), SMTO_ABORTIFHUNG,
                              DefaultTimeoutMs, &answer);
    }

    DWORD menuThread_ = 0;
};

TEST_F(TrayFaceProgramTest, TheMenusFollowTheAppModeAndTheThemeOption) {
    ScopedUserNumber appMode(PersonalizeKey, AppsUseLightTheme, 0);
    TestWindowProgram testwin;
    const HWND target = StartWithTrayedTarget(testwin);
    ASSERT_NE(target, nullptr);

    // Apps set to dark: light text on a dark menu, readable.
    HWND menu = OpenMainMenu();
    ASSERT_NE(menu, nullptr);
    MenuColours dark;
    EXPECT_TRUE(WaitUntil([&] { return (dark = ReadMenuColours(menu)).Dark(); })) << dark;
    EXPECT_GE(platform::ContrastRatio(dark.text, dark.background), 4.5) << dark;

    {
        MenuKeyboard dismiss({KeyDown(VK_ESCAPE)}, menuThread_);
        dismiss.Worked();
    }
    EXPECT_TRUE(WaitUntil([&] { return ShownMenu(menuThread_) == nullptr; }));

    // Switched to light while the program runs: the next menu is light.
    appMode.Set(1);
    AnnounceColorSetChange();
    const MenuColours light = MenuAfterOpening(&MenuColours::Light);
    EXPECT_TRUE(light.Light()) << light;

    // Back to dark, with Light chosen in the options: the choice wins.
    appMode.Set(0);
    AnnounceColorSetChange();
    const MenuColours darkAgain = MenuAfterOpening(&MenuColours::Dark);
    EXPECT_TRUE(darkAgain.Dark()) << darkAgain;
    ASSERT_TRUE(Choose(L'o'));
    HWND options = WaitForDialog(OptionsCaption);
    ASSERT_NE(options, nullptr);
    HWND theme = ::GetDlgItem(options, OptionsThemeCombo);
    ASSERT_NE(theme, nullptr);
    ::SendMessageW(theme, CB_SETCURSEL, ThemeLight, 0);
    ::SendMessageW(options, WM_COMMAND, MAKEWPARAM(OptionsThemeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(theme));
    EXPECT_TRUE(PressButton(options, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(options); }));
    const MenuColours chosen = MenuAfterOpening(&MenuColours::Light);
    EXPECT_TRUE(chosen.Light()) << chosen;
    EXPECT_EQ(L"1", ReadValue(HKEY_CURRENT_USER, ProgramKey + L"\\Options", L"Theme").text);
}

TEST_F(TrayFaceProgramTest, TheMainMenuOpensOnARightClickWithItsBannerAndEachCommandDoesItsJob) {
    TestWindowProgram testwin;
    const HWND target = StartWithTrayedTarget(testwin);
    ASSERT_NE(target, nullptr);

    // The banner runs down the menu's left edge in its two colours.
    HWND menu = OpenMainMenu();
    ASSERT_NE(menu, nullptr) << "no menu came on the right click";
    RECT bounds{};
    ::GetWindowRect(menu, &bounds);
    const int bannerX = bounds.left + 8;
    COLORREF high = CLR_INVALID, low = CLR_INVALID;
    // The menu window shows before its items are painted.
    const bool painted = WaitUntil([&] {
        high = ScreenPixel(bannerX, bounds.top + 8);
        low = ScreenPixel(bannerX, bounds.bottom - 8);
        return InBannerGradient(high) && InBannerGradient(low) && high != low;
    });
    RECT now{};
    ::GetWindowRect(menu, &now);
    EXPECT_TRUE(painted) << "no banner gradient: " << std::hex << high << " above, " << low << " below" << std::dec
                         << "; the menu opened at " << bounds.left << "," << bounds.top << " and is now at " << now.left
                         << "," << now.top << ", " << now.bottom - now.top << " high, "
                         << (ShownMenu(menuThread_) == menu ? "the only one shown" : "no longer the one shown");
    {
        MenuKeyboard dismiss({KeyDown(VK_ESCAPE)}, menuThread_);
        EXPECT_TRUE(dismiss.Worked());
    }

    // Refresh takes the window again after the user brought it back.
    ASSERT_TRUE(ClickProgramTrayIcon(ShownIcon(TargetTitle)));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(target) != FALSE; }));
    ASSERT_TRUE(Choose(L'r'));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(target); })) << "Refresh did not match the window again";

    // About and Options open their dialogs.
    ASSERT_TRUE(Choose(L'a'));
    HWND about = WaitForDialog(AboutCaption);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(PressButton(about, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
    ASSERT_TRUE(Choose(L'o'));
    HWND options = WaitForDialog(OptionsCaption);
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(PressButton(options, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(options); }));

    // Disable shows in the icon's tip, and a second Disable takes it back.
    ASSERT_TRUE(Choose(L'd'));
    EXPECT_NE(ShownIcon(DisabledTitle), nullptr) << "the tip does not say the program is disabled";
    ASSERT_TRUE(Choose(L'd', DisabledTitle));
    EXPECT_NE(ShownIcon(Title), nullptr);

    // Exit asks first, then ends the program, which gives the window back.
    auto confirmation = AnswerDialog(Title, IDYES, program_->Id());
    ASSERT_TRUE(Choose(L'x'));
    EXPECT_NE(confirmation.get().find(L"Are you sure you want to close"), std::wstring::npos);
    EXPECT_TRUE(program_->WaitForExit(ExitTimeoutMs));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(target) != FALSE; }));
}

}  // namespace
