// The window switcher as a user meets it: Ctrl+Tab typed on the X keyboard
// while another program's window has the focus opens the grid of tracked
// windows in the middle of the screen; Tab and Shift+Tab move the frame
// around it, wrapping through Cancel; letting go of Ctrl brings the framed
// window forward (a trayed one comes back); Cancel switches to nothing.
#include <algorithm>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "ProgramFixture.h"
#include "TestWindows.h"
#include "Xdotool.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr wchar_t SwitcherClass[] = L"PelkinSwitcher";
constexpr int NoCell = -1;
constexpr int Columns = 7;
constexpr int TrackedWindows = 3;
// The grid's layout at 96 DPI.
constexpr int Cell96 = 42, Margin96 = 4, ExtraWidth96 = 4, ExtraHeight96 = 34;

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

int Scaled(int size96, int dpi = ScreenDpi()) { return ::MulDiv(size96, dpi, 96); }

COLORREF ScreenPixel(POINT point) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return pixel;
}

class frmSwitcherProgramTest : public ProgramFixture {
protected:
    void TearDown() override {
        RunXdotool(L"keyup ctrl");
        ProgramFixture::TearDown();
    }

    HWND ShownSwitcher() const {
        HWND found = ::FindWindowW(SwitcherClass, nullptr);
        DWORD process = 0;
        if (found) ::GetWindowThreadProcessId(found, &process);
        return found && process == program_->Id() && ::IsWindowVisible(found) ? found : nullptr;
    }

    // Ctrl goes down and stays down, Tab is typed, as a user opening the switcher.
    HWND OpenSwitcher(HWND focus) {
        ::SetForegroundWindow(focus);
        if (!WaitUntil([&] { return ::GetForegroundWindow() == focus; })) return nullptr;
        if (!RunXdotool(L"windowfocus --sync " + std::to_wstring(XWindowOf(focus)) + L" keydown ctrl key Tab")) return nullptr;
        HWND switcher = nullptr;
        WaitUntil([&] { return (switcher = ShownSwitcher()) != nullptr; });
        return switcher;
    }

    // What was seen when Ctrl+Tab brought no switcher.
    static std::string NoSwitcher(HWND focus) {
        return std::string("Ctrl+Tab showed no switcher; in front: ") +
               (::GetForegroundWindow() == focus ? "the focused window" : "another window") + ", Ctrl " +
               ((::GetAsyncKeyState(VK_CONTROL) & 0x8000) ? "down" : "up");
    }

    // The cell drawn with the raised selection frame; NoCell when none is.
    static int FramedCell(HWND switcher, int windows = TrackedWindows, int dpi = ScreenDpi()) {
        const int cell = Scaled(Cell96, dpi);
        const int offset = (Columns - windows) * cell / 2 + Scaled(Margin96, dpi);
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        int framed = NoCell;
        for (int i = 0; i < windows; ++i) {
            POINT edge{offset + i * cell, Scaled(Margin96, dpi) + cell / 2};
            ::ClientToScreen(switcher, &edge);
            if (ScreenPixel(edge) != face) framed = framed == NoCell ? i : NoCell - 1;
        }
        return framed;
    }

    static bool Framed(HWND switcher, int cell, int windows = TrackedWindows, int dpi = ScreenDpi()) {
        return WaitUntil([&] { return FramedCell(switcher, windows, dpi) == cell; });
    }

};

TEST_F(frmSwitcherProgramTest, CtrlTabShowsTheGridStepsBothWaysAndReleasingCtrlSwitches) {
    const std::wstring titles[TrackedWindows] = {L"Switch trayed", L"Switch first", L"Switch second"};
    for (int i = 0; i < TrackedWindows; ++i) {
        StoredRule rule;
        rule.name = rule.title = titles[i];
        rule.action = i == 0 ? 0 : 2;  // hide in tray; keep on top
        StoreRule(rule, static_cast<DWORD>(i + 1));
    }
    StoreOption(L"Switcher", L"Alt+Tab Mode", L"False");
    TestWindowProgram testwin;
    HWND tracked[TrackedWindows];
    for (int i = 0; i < TrackedWindows; ++i) ASSERT_NE(tracked[i] = testwin.Create(titles[i]), nullptr);
    HWND focus = testwin.Create(L"Switch focus holder");
    ASSERT_NE(focus, nullptr);
    Start();
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(tracked[0]); })) << "the rule never trayed the window";

    // Centred, one row of seven cells, the three icons in the middle.
    HWND switcher = OpenSwitcher(focus);
    ASSERT_NE(switcher, nullptr) << NoSwitcher(focus);
    RECT bounds{};
    ::GetWindowRect(switcher, &bounds);
    const int width = Columns * Scaled(Cell96) + Scaled(Margin96) + 2 * ::GetSystemMetrics(SM_CXDLGFRAME) +
                      Scaled(ExtraWidth96);
    const int height = Scaled(Cell96) + Scaled(Margin96) + 2 * ::GetSystemMetrics(SM_CYDLGFRAME) +
                       Scaled(ExtraHeight96);
    EXPECT_EQ(bounds.right - bounds.left, width);
    EXPECT_EQ(bounds.bottom - bounds.top, height);
    EXPECT_NEAR(bounds.left, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2, 1);
    EXPECT_NEAR(bounds.top, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 1);

    // Forward, back, back through Cancel to the last cell.
    EXPECT_TRUE(Framed(switcher, 0)) << FramedCell(switcher);
    ASSERT_TRUE(RunXdotool(L"key Tab"));
    EXPECT_TRUE(Framed(switcher, 1)) << FramedCell(switcher);
    ASSERT_TRUE(RunXdotool(L"key shift+Tab"));
    EXPECT_TRUE(Framed(switcher, 0)) << FramedCell(switcher);
    ASSERT_TRUE(RunXdotool(L"key shift+Tab"));
    EXPECT_TRUE(Framed(switcher, NoCell)) << "Cancel frames no cell";
    ASSERT_TRUE(RunXdotool(L"key shift+Tab"));
    EXPECT_TRUE(Framed(switcher, TrackedWindows - 1)) << FramedCell(switcher);

    // Each cell switches to a window of its own; the trayed one comes back.
    std::set<HWND> chosen;
    for (int cell = TrackedWindows - 1; cell >= 0; --cell) {
        if (cell != TrackedWindows - 1) {
            ASSERT_NE(switcher = OpenSwitcher(focus), nullptr);
            for (int step = 0; step < cell; ++step) ASSERT_TRUE(RunXdotool(L"key Tab"));
            ASSERT_TRUE(Framed(switcher, cell));
        }
        ASSERT_TRUE(RunXdotool(L"keyup ctrl"));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(switcher); })) << "releasing Ctrl left the switcher up";
        HWND foreground = nullptr;
        WaitUntil([&] {
            foreground = ::GetForegroundWindow();
            return foreground != focus && foreground != switcher;
        });
        const bool isTracked = std::find(std::begin(tracked), std::end(tracked), foreground) != std::end(tracked);
        EXPECT_TRUE(isTracked) << "cell " << cell << " brought no tracked window forward";
        chosen.insert(foreground);
    }
    EXPECT_EQ(chosen.size(), static_cast<size_t>(TrackedWindows));
    EXPECT_TRUE(::IsWindowVisible(tracked[0])) << "the trayed window did not come back";

    // Cancel: the window that had the keyboard keeps it.
    ASSERT_NE(switcher = OpenSwitcher(focus), nullptr);
    ASSERT_TRUE(RunXdotool(L"key shift+Tab"));
    ASSERT_TRUE(Framed(switcher, NoCell));
    ASSERT_TRUE(RunXdotool(L"keyup ctrl"));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(switcher); }));
    // The program hands the foreground back just after its window has gone.
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == focus; }))
        << "the foreground went to " << ::GetForegroundWindow();
}

// A screen of 144 DPI: every size is half as large again, a cell 63 pixels.
TEST_F(frmSwitcherProgramTest, AtHighDensityTheGridIsLaidOutInLargerCells) {
    constexpr int HighDpi = 144;
    constexpr int Windows = 2;
    ASSERT_EQ(Scaled(Cell96, HighDpi), 63);
    const ScopedScreenDpi density(HighDpi);
    StoredRule rule;
    rule.name = L"Switch dense";
    rule.title = L"Switch dense*";
    rule.searchMask = 4;  // the title is a pattern
    rule.action = 2;      // keep on top
    StoreRule(rule, 1);
    StoreOption(L"Switcher", L"Alt+Tab Mode", L"False");
    TestWindowProgram testwin;
    HWND dense[Windows];
    for (int i = 0; i < Windows; ++i) ASSERT_NE(dense[i] = testwin.Create(L"Switch dense " + std::to_wstring(i)), nullptr);
    HWND focus = testwin.Create(L"Switch focus holder");
    ASSERT_NE(focus, nullptr);
    Start();
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(std::begin(dense), std::end(dense),
                           [](HWND window) { return (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; });
    })) << "the rule never took the windows";

    HWND switcher = OpenSwitcher(focus);
    ASSERT_NE(switcher, nullptr) << NoSwitcher(focus);
    RECT client{};
    ::GetClientRect(switcher, &client);
    EXPECT_EQ(client.right, Columns * 63 + Scaled(Margin96, HighDpi) + Scaled(ExtraWidth96, HighDpi));
    EXPECT_EQ(client.bottom, 63 + Scaled(Margin96, HighDpi) + Scaled(ExtraHeight96, HighDpi));
    EXPECT_TRUE(Framed(switcher, 0, Windows, HighDpi)) << FramedCell(switcher, Windows, HighDpi);
    ASSERT_TRUE(RunXdotool(L"key Tab"));
    EXPECT_TRUE(Framed(switcher, 1, Windows, HighDpi)) << FramedCell(switcher, Windows, HighDpi);
}

}  // namespace
