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

int Scaled(int size96) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return ::MulDiv(size96, dpi, 96);
}

COLORREF ScreenPixel(POINT point) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return pixel;
}

std::wstring XWindowOf(HWND window) {
    return std::to_wstring(reinterpret_cast<UINT_PTR>(::GetPropW(window, L"__wine_x11_whole_window")));
}

class frmSwitcherProgramTest : public ProgramFixture {
protected:
    void TearDown() override {
        RunXdotool(L"keyup ctrl");
        if (program_ && program_->Running()) CloseProgram(main_, *program_);
        ProgramFixture::TearDown();
    }

    void Start() {
        program_ = std::make_unique<ChildProcess>(ProgramPath(), L"");
        ASSERT_TRUE(program_->Started());
        main_ = WaitForMainWindow(*program_);
        ASSERT_NE(main_, nullptr);
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
        if (!RunXdotool(L"windowfocus --sync " + XWindowOf(focus) + L" keydown ctrl key Tab")) return nullptr;
        HWND switcher = nullptr;
        WaitUntil([&] { return (switcher = ShownSwitcher()) != nullptr; });
        return switcher;
    }

    // The cell drawn with the raised selection frame; NoCell when none is.
    static int FramedCell(HWND switcher) {
        const int cell = Scaled(Cell96);
        const int offset = (Columns - TrackedWindows) * cell / 2 + Scaled(Margin96);
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        int framed = NoCell;
        for (int i = 0; i < TrackedWindows; ++i) {
            POINT edge{offset + i * cell, Scaled(Margin96) + cell / 2};
            ::ClientToScreen(switcher, &edge);
            if (ScreenPixel(edge) != face) framed = framed == NoCell ? i : NoCell - 1;
        }
        return framed;
    }

    static bool Framed(HWND switcher, int cell) {
        return WaitUntil([&] { return FramedCell(switcher) == cell; });
    }

    std::unique_ptr<ChildProcess> program_;
    HWND main_ = nullptr;
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
    ASSERT_NE(switcher, nullptr) << "Ctrl+Tab showed no switcher";
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

}  // namespace
