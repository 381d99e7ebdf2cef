// The Tray Manager as a user meets it: a click on the program's icon opens
// it, it follows windows going into and out of the tray without taking the
// focus, its pin keeps it open (translucent while another window is active),
// a click on a slot brings that window back, and its title strip drags it.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ProgramFixture.h"
#include "Strings.h"
#include "TestWindows.h"
#include "WineTray.h"
#include "Xdotool.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr wchar_t TrayManagerCaption[] = L"Tray Manager";
constexpr wchar_t TargetPrefix[] = L"Tray manager target ";
constexpr BYTE StoredAlpha = 100;
// The row's width: one 18-pixel slot per window, never under 90, plus 4.
constexpr int SlotWidth = 18;
constexpr int MinRowWidth = 90;
constexpr int RowPadding = 4;
constexpr int ClientHeight = 38;
constexpr int TrayedLater = 5;
// Points of the form in client pixels: the title, the pin, the first slot.
constexpr POINT TitlePoint{20, 8};
constexpr int PinFromRight = 8;
constexpr int PinY = 7;
// The top-left corner of the close button's frame.
constexpr int CloseFrameFromRight = 14;
constexpr int CloseFrameY = 2;
constexpr POINT FirstSlot{12, 27};
constexpr POINT DragBy{40, 30};

int RowWidth(int windows) { return std::max(windows * SlotWidth, MinRowWidth) + RowPadding; }
int Scaled(int size96, int dpi) { return ::MulDiv(size96, dpi, 96); }

RECT Bounds(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

SIZE ClientSize(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    return SIZE{rect.right, rect.bottom};
}

POINT OnScreen(HWND window, POINT client) {
    ::ClientToScreen(window, &client);
    return client;
}

COLORREF ScreenPixel(POINT at) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, at.x, at.y);
    ::ReleaseDC(nullptr, screen);
    return pixel;
}

std::wstring At(POINT point) { return std::to_wstring(point.x) + L" " + std::to_wstring(point.y); }

bool ClickAt(POINT point) { return RunXdotool(L"mousemove " + At(point) + L" click 1"); }

class frmTrayManagerProgramTest : public ProgramFixture {
protected:
    // Clicks the program's icon and waits for the Tray Manager; the icon's
    // rectangle is where the click was made.
    HWND OpenTrayManager(RECT& icon) {
        HWND tray = nullptr;
        WaitUntil([&] { return (tray = FindTrayIcon(Title)) != nullptr; });
        if (!tray) return nullptr;
        icon = Bounds(tray);
        if (!ClickProgramTrayIcon(tray, 1)) return nullptr;
        HWND form = nullptr;
        WaitUntil([&] { return (form = FindProcessWindow(TrayManagerCaption, program_->Id())) != nullptr; });
        return form;
    }

    bool WaitForRow(HWND form, int windows) {
        return WaitUntil([&] { return ClientSize(form).cx == RowWidth(windows); });
    }

};

// A window of the test's own, to take the activation away from the form.
struct OtherWindow {
    OtherWindow()
        : window(::CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 400, 400, 100, 50, nullptr,
                                   nullptr, nullptr, nullptr)) {}
    ~OtherWindow() { ::DestroyWindow(window); }
    // Wine follows the X focus: a window that takes the foreground without
    // it may lose it again at the next focus event.
    void TakeFocus() const {
        ::SetForegroundWindow(window);
        const auto xWindow = XWindowOf(window);
        if (xWindow) RunXdotool(L"windowfocus " + std::to_wstring(xWindow));
    }
    bool Activate() const {
        TakeFocus();
        return WaitUntil([&] { return ::GetForegroundWindow() == window; });
    }
    HWND window;
};

TEST_F(frmTrayManagerProgramTest, OpensAtTheClickFollowsTheTrayKeepsOpenWhenPinnedRestoresAndDrags) {
    StoreOption(L"Options\\Mouse", L"Main Left Single Click", L"5");
    StoreOption(L"Options\\Mouse", L"Main Left Double Click", L"0");
    StoreOption(L"", L"TrayManager Alpha", std::to_wstring(StoredAlpha));
    StoredRule rule;
    rule.name = L"Tray manager targets";
    rule.title = std::wstring(TargetPrefix) + L"*";
    rule.action = 0;    // hide in tray
    rule.criteria = 0;  // on minimize: restoring ends the tracking
    rule.searchMask = 4;  // the title is a pattern
    StoreRule(rule, 1);
    TestWindowProgram testwin;
    std::vector<HWND> targets;
    for (int i = 0; i <= TrayedLater; ++i) targets.push_back(testwin.Create(TargetPrefix + std::to_wstring(i)));
    for (HWND target : targets) ASSERT_NE(target, nullptr);
    Start();
    ASSERT_TRUE(testwin.Minimize(targets[0]));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(targets[0]); })) << "the rule never trayed the window";

    // It opens at the click with its bottom-left corner there, sized for one window.
    RECT icon{};
    HWND form = OpenTrayManager(icon);
    ASSERT_NE(form, nullptr) << "no Tray Manager came on the click";
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(form) != FALSE; }));
    RECT bounds = Bounds(form);
    const int height = bounds.bottom - bounds.top;
    EXPECT_GE(bounds.left, icon.left);
    EXPECT_LE(bounds.left, icon.right);
    // Near the top of the screen the form is kept on it instead.
    if (icon.top >= height) {
        EXPECT_GE(bounds.bottom, icon.top);
        EXPECT_LE(bounds.bottom, icon.bottom);
    } else {
        EXPECT_EQ(bounds.top, 0);
    }
    EXPECT_EQ(ClientSize(form).cx, RowWidth(1));
    EXPECT_EQ(ClientSize(form).cy, ClientHeight);
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == form; })) << "the form is not active";

    // Pinned, it stays when another window is activated, translucent.
    const SIZE client = ClientSize(form);
    ASSERT_TRUE(ClickAt(OnScreen(form, POINT{client.cx - PinFromRight, PinY})));
    // Pinned, the pin turns into a framed close button. (The click arrives
    // later: no other window may take the activation before it.)
    const POINT closeFrame = OnScreen(form, POINT{client.cx - CloseFrameFromRight, CloseFrameY});
    ASSERT_TRUE(WaitUntil([&] { return ScreenPixel(closeFrame) == ::GetSysColor(COLOR_BTNSHADOW); }))
        << "the pin did not become a close button";
    OtherWindow other;
    ASSERT_TRUE(other.Activate());
    // Layered first, then given its opacity: the opacity is what to wait for.
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_TRUE(WaitUntil([&] {
        return (::GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_LAYERED) != 0 &&
               ::GetLayeredWindowAttributes(form, nullptr, &alpha, &flags) && alpha == StoredAlpha;
    })) << "the pinned form did not turn translucent; alpha " << static_cast<int>(alpha);
    EXPECT_TRUE(::IsWindowVisible(form));

    // More windows going to the tray widen it in place, leaving the focus where it is.
    for (int i = 1; i <= TrayedLater; ++i) ASSERT_TRUE(testwin.Minimize(targets[i]));
    EXPECT_TRUE(WaitForRow(form, TrayedLater + 1)) << "width " << ClientSize(form).cx;
    EXPECT_EQ(Bounds(form).left, bounds.left);
    EXPECT_EQ(::GetForegroundWindow(), other.window);

    // A click on the first slot brings that window back, and the row shrinks.
    ASSERT_TRUE(ClickAt(OnScreen(form, FirstSlot)));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(targets[0]) != FALSE; })) << "the slot did not restore";
    EXPECT_TRUE(WaitForRow(form, TrayedLater)) << "width " << ClientSize(form).cx;
    ASSERT_TRUE(::IsWindow(form)) << "the pinned form closed";

    // Dragging the title strip moves it by as much as the pointer.
    bounds = Bounds(form);
    const POINT from = OnScreen(form, TitlePoint);
    const POINT to{from.x + DragBy.x, from.y + DragBy.y};
    ASSERT_TRUE(RunXdotool(L"mousemove " + At(from) + L" mousedown 1 mousemove " + At(to) + L" mouseup 1"));
    EXPECT_TRUE(WaitUntil([&] {
        const RECT moved = Bounds(form);
        return moved.left == bounds.left + DragBy.x && moved.top == bounds.top + DragBy.y;
    })) << "moved to " << Bounds(form).left << "," << Bounds(form).top;

    // The pinned form's close button closes it; opened again it is unpinned,
    // and losing the activation closes it.
    const SIZE pinnedClient = ClientSize(form);
    ASSERT_TRUE(ClickAt(OnScreen(form, POINT{pinnedClient.cx - PinFromRight, PinY})));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(form); })) << "the close button did not close it";
    form = OpenTrayManager(icon);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == form; }));
    // Wine makes the form the foreground window before the program's request
    // for the X focus has reached the X server. Taken away before then, the
    // focus comes back to the form when that request lands, and the form,
    // active again, rightly stays.
    const auto formXWindow = XWindowOf(form);
    ASSERT_TRUE(WaitUntil([&] { return formXWindow && FocusedXWindow() == formXWindow; }))
        << "the form never got the X focus";
    // Where the activation ends is not the form's to say: with no window
    // manager, X gives the focus to the root once the focused form is gone.
    other.TakeFocus();
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(form); }))
        << "the unpinned form stayed open; in front: "
        << (::GetForegroundWindow() == form ? "the form" : ::GetForegroundWindow() == other.window ? "the other window" : "another window");
}

// A screen of 144 DPI: the strip and its slots are half as large again.
TEST_F(frmTrayManagerProgramTest, AtHighDensityTheRowIsLaidOutInLargerSlots) {
    constexpr int HighDpi = 144;
    const ScopedScreenDpi density(HighDpi);
    StoreOption(L"Options\\Mouse", L"Main Left Single Click", L"5");
    StoreOption(L"Options\\Mouse", L"Main Left Double Click", L"0");
    StoredRule rule;
    rule.name = rule.title = L"Tray manager dense";
    rule.criteria = 0;
    StoreRule(rule, 1);
    TestWindowProgram testwin;
    HWND target = testwin.Create(rule.title);
    ASSERT_NE(target, nullptr);
    Start();
    ASSERT_TRUE(testwin.Minimize(target));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(target); })) << "the rule never trayed the window";

    RECT icon{};
    HWND form = OpenTrayManager(icon);
    ASSERT_NE(form, nullptr) << "no Tray Manager came on the click";
    EXPECT_TRUE(WaitUntil([&] { return ClientSize(form).cx == Scaled(RowWidth(1), HighDpi); }))
        << "width " << ClientSize(form).cx;
    EXPECT_EQ(ClientSize(form).cy, Scaled(ClientHeight, HighDpi));
    // An unpinned form that lost the front would have closed, and the click would find nothing.
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == form; })) << "the form is not in front";
    // The slot, half as large again, still brings its window back.
    ASSERT_TRUE(ClickAt(OnScreen(form, POINT{Scaled(FirstSlot.x, HighDpi), Scaled(FirstSlot.y, HighDpi)})));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(target) != FALSE; })) << "the slot did not restore";
}

}  // namespace

// Without a mouse: Tab moves through the icons and the form takes the name of
// the window it reached (what a screen reader says), Enter brings it back.
TEST_F(frmTrayManagerProgramTest, TabMovesThroughTheIconsNamingEachAndEnterRestoresTheChosenOne) {
    StoreOption(L"Options\\Mouse", L"Main Left Single Click", L"5");
    StoreOption(L"Options\\Mouse", L"Main Left Double Click", L"0");
    StoredRule rule;
    rule.name = L"Tray manager targets";
    rule.title = std::wstring(TargetPrefix) + L"*";
    rule.searchMask = 4;  // the title is a pattern
    StoreRule(rule, 1);
    TestWindowProgram testwin;
    const std::vector<HWND> targets{testwin.Create(TargetPrefix + std::wstring(L"one")),
                                    testwin.Create(TargetPrefix + std::wstring(L"two"))};
    for (HWND target : targets) ASSERT_NE(target, nullptr);
    Start();
    for (HWND target : targets) ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(target); }));
    RECT icon{};
    HWND form = OpenTrayManager(icon);
    ASSERT_NE(form, nullptr);
    auto text = [&] {
        wchar_t buffer[256] = {};
        ::GetWindowTextW(form, buffer, 256);
        return std::wstring(buffer);
    };
    const std::wstring named = std::wstring(TrayManagerCaption) + L": " + TargetPrefix;
    std::vector<std::wstring> heard;
    for (int step = 0; step < 2; ++step) {
        const std::wstring before = text();
        ::PostMessageW(form, WM_KEYDOWN, VK_TAB, 0);
        ASSERT_TRUE(WaitUntil([&] { return text() != before && text().rfind(named, 0) == 0; })) << platform::Narrow(text());
        heard.push_back(text());
    }
    EXPECT_NE(heard[0], heard[1]) << "the second Tab reached the same window";
    const std::wstring chosenTitle = heard[1].substr(std::wstring(TrayManagerCaption).size() + 2);
    HWND chosen = chosenTitle == TargetPrefix + std::wstring(L"one") ? targets[0] : targets[1];
    ::PostMessageW(form, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(chosen) != FALSE; })) << "Enter did not bring it back";
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(form); })) << "the unpinned form stayed open";
    EXPECT_FALSE(::IsWindowVisible(chosen == targets[0] ? targets[1] : targets[0]));
}
