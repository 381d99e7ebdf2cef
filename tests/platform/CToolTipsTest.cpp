// The tooltip wrapper on a real control over a form of this process: tips
// added, shown under the mouse, read back, changed and removed, and nothing
// at all before the control exists.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>

#include "CToolTips.h"
#include "Handles.h"
#include "Wait.h"

namespace {

constexpr UINT_PTR AreaId = 7;
constexpr POINT InArea{30, 15};
constexpr int32_t AutomaticDelay = 100;
constexpr int Left = 0, Top = 1, Right = 2, Bottom = 3;

platform::UniqueWindow MakeWindow(const wchar_t* className, DWORD style, int x, HWND parent) {
    return platform::UniqueWindow(::CreateWindowExW(0, className, L"Tooltip form", style, x, x, 300, 200, parent,
                                                    nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

// The tool the control shows now; 0 when it shows none.
UINT_PTR ShownTool(HWND control) {
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    if (!::IsWindowVisible(control)) return 0;
    return ::SendMessageW(control, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info)) ? info.uId : 0;
}

}  // namespace

TEST(CToolTipsTest, TipsAreAddedShownReadChangedAndRemovedAndNothingHappensBeforeTheControlExists) {
    // SS_NOTIFY: a static window is otherwise transparent to the mouse.
    auto form = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW | SS_NOTIFY, 100, nullptr);
    auto button = MakeWindow(L"BUTTON", WS_CHILD | WS_VISIBLE, 100, form.get());
    const auto buttonId = reinterpret_cast<UINT_PTR>(button.get());
    HWND control = nullptr;
    {
        CToolTips tips;
        EXPECT_FALSE(tips.AddArea(form.get(), AreaId, 0, 0, 10, 10, L"Too early"));
        EXPECT_FALSE(tips.AddWindow(form.get(), button.get(), L"Too early"));
        tips.SetText(AreaId, L"Too early");
        tips.SetMargin(Right, 5);
        EXPECT_FALSE(tips.Remove(AreaId) || tips.RemoveAll());
        EXPECT_EQ(tips.GetText(AreaId), L"");
        EXPECT_EQ(tips.Count() + tips.Margin(Right), 0);

        ASSERT_TRUE(tips.Initialize(form.get(), AutomaticDelay * 2));
        control = tips.hWnd();
        ASSERT_TRUE(tips.Initialize(form.get(), AutomaticDelay));
        EXPECT_EQ(tips.hWnd(), control) << "a second Initialize keeps the control";
        EXPECT_EQ(tips.Delay(TTDT_INITIAL), AutomaticDelay);
        EXPECT_TRUE(tips.RemoveAll());
        EXPECT_EQ(tips.Count(), 0);

        EXPECT_TRUE(tips.AddArea(form.get(), AreaId, 0, 0, 60, 30, L"First area"));
        EXPECT_FALSE(tips.AddArea(form.get(), AreaId, 200, 0, 250, 30, L"Second area"));
        EXPECT_TRUE(tips.AddWindow(form.get(), button.get(), L"Presses the button"));
        EXPECT_EQ(tips.Count(), 2);
        EXPECT_EQ(tips.GetText(AreaId), L"First area");
        EXPECT_EQ(tips.GetText(buttonId), L"Presses the button");

        // The mouse coming to rest on the area shows the first tip, not the
        // refused one. (Each further move would start the delay again.)
        ::ShowWindow(form.get(), SW_SHOWNOACTIVATE);
        POINT screen = InArea;
        ::ClientToScreen(form.get(), &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(form.get(), WM_MOUSEMOVE, 0, MAKELPARAM(InArea.x, InArea.y));
        EXPECT_TRUE(testing_support::WaitUntil([&] { return ShownTool(control) == AreaId; }));

        // A long text comes back whole, not cut to a small buffer.
        const std::wstring longText = std::wstring(1000, L'x') + L" end";
        tips.SetText(buttonId, longText);
        EXPECT_EQ(tips.GetText(buttonId), longText);

        tips.SetMargin(Left, 1);
        tips.SetMargin(Top, 2);
        tips.SetMargin(Bottom, 4);
        tips.SetMargin(Right, 5);
        const std::array<int32_t, 4> margins{tips.Margin(Left), tips.Margin(Top), tips.Margin(Right),
                                             tips.Margin(Bottom)};
        EXPECT_EQ(margins, (std::array<int32_t, 4>{1, 2, 5, 4}));

        EXPECT_TRUE(tips.Remove(AreaId));
        EXPECT_FALSE(tips.Remove(AreaId));
        EXPECT_EQ(tips.GetText(AreaId), L"");
        EXPECT_EQ(tips.Count(), 1);
        EXPECT_TRUE(tips.RemoveAll());
        EXPECT_EQ(tips.Count(), 0);
    }
    EXPECT_FALSE(::IsWindow(control)) << "the control goes with its object";
}
