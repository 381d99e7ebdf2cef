// The switcher's grid in-process, over windows of another program that a
// rule hides: a selection past the last row scrolls by a row, only the cells
// drawn answer the mouse, and the platform's grid settings are kept within
// their least values.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include <string>
#include <utility>
#include <vector>

#include "Handles.h"
#include "ScratchRegistry.h"
#include "TrackingFixture.h"
#include "Strings.h"
#include "frmSwitcher.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

constexpr int Cell = 42, Margin = 4, ExtraWidth = 4, ExtraHeight = 34;
constexpr int32_t CtrlModifier = 2;
constexpr int Windows = 25, Columns = 7, Rows = 3;
const std::wstring DesktopKey = L"Control Panel\\Desktop";

// The windows the switcher's tooltips name, in the order of their cells.
// The switcher's tooltip control; null when it has none.
HWND TipsOf(HWND form) {
    HWND tips = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t name[32] = {};
            ::GetClassNameW(window, name, 32);
            if (std::wstring(name) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(found) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    return tips && ::GetWindow(tips, GW_OWNER) == form ? tips : nullptr;
}

std::vector<HWND> TippedWindows(HWND form) {
    const HWND tips = TipsOf(form);
    std::vector<HWND> windows;
    if (!tips) return windows;
    // In the order of the areas on the grid, row by row: a tip kept as the
    // grid scrolls must have moved with its cell.
    std::vector<std::pair<std::pair<LONG, LONG>, HWND>> placed;
    const auto count = ::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        if (::SendMessageW(tips, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool)))
            placed.push_back({{tool.rect.top, tool.rect.left}, reinterpret_cast<HWND>(tool.uId)});
    }
    std::sort(placed.begin(), placed.end());
    for (const auto& [at, window] : placed) windows.push_back(window);
    return windows;
}

// The accessibility events this process raised: what a screen reader hears.
std::vector<std::pair<DWORD, HWND>> g_heard;
void CALLBACK HearEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    g_heard.emplace_back(event, window);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

class frmSwitcherTest : public TrackingTest {
protected:
    std::shared_ptr<frmSwitcher> Show(const std::vector<std::shared_ptr<CWindow>>& windows) {
        auto form = frmSwitcher::Create(TheApp);
        form->Display(windows, VK_TAB, CtrlModifier, false, false, false, nullptr);
        return form;
    }
    static void Click(const std::shared_ptr<frmSwitcher>& form, int x, int y) {
        ::SendMessageW(form->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    }
    static SIZE ClientSize(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        return SIZE{client.right, client.bottom};
    }
};

}  // namespace

TEST_F(frmSwitcherTest, ScrollsByARowAndOnlyTheCellsDrawnAnswerTheMouse) {
    AddRule(L"Grid ", ActionHide, CriteriaAlways);
    std::vector<HWND> hidden;
    std::vector<std::shared_ptr<CWindow>> windows;
    for (int n = 1; n <= Windows; ++n) {
        HWND window = testwin_.Create(L"Grid " + std::to_wstring(n));
        auto wrapper = Offer(window);
        ASSERT_TRUE(wrapper) << n;
        ASSERT_TRUE(Invisible(window)) << n;
        hidden.push_back(window);
        windows.push_back(wrapper);
    }

    // Seven by three: the first 21 have tips; the 22nd scrolls one row.
    auto form = Show(windows);
    ASSERT_TRUE(form->hWnd());
    EXPECT_EQ(ClientSize(form->hWnd()).cx, Columns * Cell + Margin + ExtraWidth);
    EXPECT_EQ(ClientSize(form->hWnd()).cy, Rows * Cell + Margin + ExtraHeight);
    EXPECT_EQ(TippedWindows(form->hWnd()), std::vector<HWND>(hidden.begin(), hidden.begin() + Columns * Rows));
    form->SetCurrentSelection(Columns * Rows + 1);
    EXPECT_EQ(TippedWindows(form->hWnd()), std::vector<HWND>(hidden.begin() + Columns, hidden.end()));
    form->SetCurrentSelection(1);
    EXPECT_EQ(TippedWindows(form->hWnd()).front(), hidden.front()) << "stepping back did not scroll back";

    // The grid's bottom edge lies under no cell: the click picks nothing (the
    // 22nd window, scrolled away, stays hidden) and closes the switcher.
    Click(form, Margin + Cell / 2, Margin + Rows * Cell);
    EXPECT_FALSE(form->hWnd()) << "a click closes the switcher";
    for (HWND window : hidden) EXPECT_FALSE(::IsWindowVisible(window));

    // A click on the second cell carries out that window's action: it comes back.
    form = Show(windows);
    Click(form, Margin + Cell + Cell / 2, Margin + Cell / 2);
    EXPECT_TRUE(Visible(hidden[1]));
    EXPECT_FALSE(::IsWindowVisible(hidden[Columns * Rows]));

    // The platform's settings below their least values: three columns, one row.
    WriteText(HKEY_CURRENT_USER, DesktopKey, L"CoolSwitchColumns", L"2");
    WriteText(HKEY_CURRENT_USER, DesktopKey, L"CoolSwitchRows", L"0");
    form = Show(windows);
    EXPECT_EQ(ClientSize(form->hWnd()).cx, 3 * Cell + Margin + ExtraWidth);
    EXPECT_EQ(ClientSize(form->hWnd()).cy, Cell + Margin + ExtraHeight);
    EXPECT_EQ(TippedWindows(form->hWnd()).size(), 3u);
    ::SendMessageW(form->hWnd(), WM_KEYDOWN, 'X', 0);
    EXPECT_FALSE(form->hWnd()) << "another key closes the switcher";
}

// Tab moves the selection, and a screen reader is told each time: the
// switcher takes the selected window's name and raises the name-change and
// focus events for itself.
TEST_F(frmSwitcherTest, TheSelectionIsNamedForScreenReadersAsTabMovesIt) {
    AddRule(L"Spoken ", ActionHide, CriteriaAlways);
    std::vector<std::shared_ptr<CWindow>> windows;
    for (const wchar_t* title : {L"Spoken one", L"Spoken two", L"Spoken three"}) {
        auto wrapper = Offer(testwin_.Create(title));
        ASSERT_TRUE(wrapper);
        windows.push_back(wrapper);
    }
    const platform::UniqueWinEventHook hook(::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_NAMECHANGE, nullptr,
                                                              HearEvent, ::GetCurrentProcessId(), 0,
                                                              WINEVENT_OUTOFCONTEXT));
    ASSERT_TRUE(hook);
    g_heard.clear();
    auto form = Show(windows);
    ASSERT_TRUE(form->hWnd());
    HWND switcher = form->hWnd();
    EXPECT_EQ(TextOf(switcher), L"Spoken one");
    auto heardFor = [&](DWORD event) {
        return std::count(g_heard.begin(), g_heard.end(), std::pair{event, switcher});
    };
    EXPECT_TRUE(WaitUntil([&] { return heardFor(EVENT_OBJECT_NAMECHANGE) >= 1 && heardFor(EVENT_OBJECT_FOCUS) >= 1; }));
    for (const wchar_t* next : {L"Spoken two", L"Spoken three"}) {
        const auto before = heardFor(EVENT_OBJECT_NAMECHANGE);
        ::SendMessageW(switcher, WM_KEYDOWN, VK_TAB, 0);
        ASSERT_TRUE(::IsWindow(switcher)) << "the switcher closed before " << platform::Narrow(next);
        EXPECT_EQ(TextOf(switcher), next) << "Shift is " << ((::GetAsyncKeyState(VK_SHIFT) & 0x8000) ? "down" : "up");
        EXPECT_TRUE(WaitUntil([&] { return heardFor(EVENT_OBJECT_NAMECHANGE) > before; })) << platform::Narrow(next);
    }
    EXPECT_GE(heardFor(EVENT_OBJECT_FOCUS), 3);
    ::SendMessageW(switcher, WM_KEYDOWN, 'X', 0);
}
