// testwin.exe, the other program of the tests, does what its client promises,
// as seen from another process: the windows it makes, the changes it makes
// and the events it raises for them, its hangs and its answers to close requests.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "Handles.h"
#include "TestWindows.h"
#include "Wait.h"

namespace testing_support {
namespace {

constexpr DWORD KindStyles = WS_POPUP | WS_CHILD | WS_CAPTION | WS_OVERLAPPEDWINDOW;
constexpr DWORD TaskbarStyles = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)); }
DWORD ExStyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)); }

std::wstring TitleOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process;
}

// Records the events a process raises for its windows, through an
// out-of-context hook as the program under test installs it. One at a time.
class EventRecorder {
public:
    explicit EventRecorder(DWORD processId)
        : hook_(::SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, Record, processId, 0, WINEVENT_OUTOFCONTEXT)) {
        received_.clear();
    }

    bool Hooked() const noexcept { return static_cast<bool>(hook_); }

    // Waits until the window has raised these events, in this order, since
    // the last call for it; other events may come between them.
    void Expect(HWND window, std::initializer_list<DWORD> expected) {
        EXPECT_TRUE(WaitUntil([&] {
            auto next = expected.begin();
            for (const auto& [event, source] : received_)
                if (next != expected.end() && source == window && event == *next) ++next;
            return next == expected.end();
        })) << "window " << HandleText(window) << ", the first event expected: " << *expected.begin();
        std::erase_if(received_, [&](const auto& received) { return received.second == window; });
    }

private:
    static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                DWORD) noexcept {
        if (object == OBJID_WINDOW && child == CHILDID_SELF) received_.emplace_back(event, window);
    }

    static inline std::vector<std::pair<DWORD, HWND>> received_;
    platform::UniqueWinEventHook hook_;
};

TEST(TestWindowsTest, MakesWindowsOfEveryKindAndDestroysThemWhenItEnds) {
    std::vector<HWND> made;
    std::optional<EventRecorder> events;
    {
        TestWindowProgram testwin;
        events.emplace(testwin.ProcessId());
        ASSERT_TRUE(events->Hooked());
        HWND plain = testwin.Create(L"Plain window");
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(ProcessOf(plain), testwin.ProcessId());
        EXPECT_EQ(TitleOf(plain), L"Plain window");
        EXPECT_EQ(ClassOf(plain), L"PelkinTestWindow");
        EXPECT_EQ(StyleOf(plain) & KindStyles, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
        EXPECT_EQ(ExStyleOf(plain) & TaskbarStyles, 0u);
        EXPECT_TRUE(::IsWindowVisible(plain));
        EXPECT_TRUE(::IsWindowEnabled(plain));
        EXPECT_NE(testwin.IconOf(plain), nullptr);

        HWND tool = testwin.Create({.title = L"Tool window", .kind = TestWindowKind::Tool});
        EXPECT_EQ(StyleOf(tool) & KindStyles, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
        EXPECT_EQ(ExStyleOf(tool) & TaskbarStyles, static_cast<DWORD>(WS_EX_TOOLWINDOW));

        HWND app = testwin.Create({.title = L"App window", .kind = TestWindowKind::App});
        EXPECT_EQ(StyleOf(app) & KindStyles, WS_POPUP);
        EXPECT_EQ(ExStyleOf(app) & TaskbarStyles, TaskbarStyles);

        HWND owned =
            testwin.Create({.title = L"Owned pop-up", .kind = TestWindowKind::OwnedPopup, .relative = plain});
        EXPECT_EQ(StyleOf(owned) & KindStyles, static_cast<DWORD>(WS_POPUPWINDOW | WS_CAPTION));
        EXPECT_EQ(::GetWindow(owned, GW_OWNER), plain);

        HWND child = testwin.Create({.title = L"Child window", .kind = TestWindowKind::Child, .relative = plain});
        EXPECT_EQ(StyleOf(child) & KindStyles, static_cast<DWORD>(WS_CHILD | WS_CAPTION));
        EXPECT_EQ(::GetAncestor(child, GA_PARENT), plain);
        EXPECT_TRUE(::IsWindowVisible(child));

        HWND bare = testwin.Create({.title = L"Bare window", .kind = TestWindowKind::Bare});
        EXPECT_EQ(StyleOf(bare) & KindStyles, WS_POPUP);
        EXPECT_EQ(ExStyleOf(bare) & TaskbarStyles, 0u);

        // One class name, with and without the icon.
        HWND hidden = testwin.Create({.title = L"Hidden window",
                                      .className = L"Other Class",
                                      .icon = false,
                                      .visible = false,
                                      .disabled = true});
        HWND shown = testwin.Create(TestWindowSpec{.title = L"Shown window", .className = L"Other Class"});
        EXPECT_EQ(ClassOf(hidden), L"Other Class");
        EXPECT_EQ(ClassOf(shown), L"Other Class");
        EXPECT_FALSE(::IsWindowVisible(hidden));
        EXPECT_FALSE(::IsWindowEnabled(hidden));
        EXPECT_EQ(testwin.IconOf(hidden), nullptr);
        EXPECT_EQ(testwin.IconOf(shown), testwin.IconOf(plain));

        // Windows that are not testwin's are refused.
        EXPECT_FALSE(testwin.Minimize(::GetDesktopWindow()));
        EXPECT_EQ(testwin.CloseRequests(::GetDesktopWindow()), -1);
        EXPECT_EQ(testwin.Create({.title = L"Orphan", .kind = TestWindowKind::Child}), nullptr);
        made = {plain, tool, app, owned, child, bare, hidden, shown};
    }
    // Destroyed, not just gone with the process: the program under test hears of it.
    for (HWND window : made) {
        EXPECT_FALSE(::IsWindow(window)) << HandleText(window);
        events->Expect(window, {EVENT_OBJECT_DESTROY});
    }
}

TEST(TestWindowsTest, MakesChangesAndAnnouncesThemToOtherProcesses) {
    TestWindowProgram testwin;
    EventRecorder events(testwin.ProcessId());
    ASSERT_TRUE(events.Hooked());
    HWND window = testwin.Create(L"Changing window");
    ASSERT_NE(window, nullptr);
    events.Expect(window, {EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW});

    ASSERT_TRUE(testwin.Minimize(window));
    EXPECT_TRUE(::IsIconic(window));
    events.Expect(window, {EVENT_SYSTEM_MINIMIZESTART, EVENT_OBJECT_STATECHANGE});

    ASSERT_TRUE(testwin.Restore(window));
    EXPECT_FALSE(::IsIconic(window));
    events.Expect(window, {EVENT_SYSTEM_MINIMIZEEND, EVENT_OBJECT_STATECHANGE});

    ASSERT_TRUE(testwin.Maximize(window));
    EXPECT_TRUE(::IsZoomed(window));
    events.Expect(window, {EVENT_OBJECT_STATECHANGE});

    // Tabs, line breaks and backslashes are escaped on the way; the rest is UTF-8.
    const std::wstring title = L"Fen\u00eatre\ttab\\back\nslash \u4e2d";
    ASSERT_TRUE(testwin.Retitle(window, title));
    EXPECT_EQ(TitleOf(window), title);
    events.Expect(window, {EVENT_OBJECT_NAMECHANGE});

    ASSERT_TRUE(testwin.Hide(window));
    EXPECT_FALSE(::IsWindowVisible(window));
    events.Expect(window, {EVENT_OBJECT_HIDE});

    ASSERT_TRUE(testwin.Show(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    events.Expect(window, {EVENT_OBJECT_SHOW});

    // Announced without a change, as often as asked.
    EXPECT_EQ(testwin.Announce(2, EVENT_OBJECT_SHOW), 2);
    events.Expect(window, {EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW});
    EXPECT_EQ(testwin.Announce(1, 0), -1) << "no event numbered 0";

    ASSERT_TRUE(testwin.Destroy(window));
    EXPECT_FALSE(::IsWindow(window));
    events.Expect(window, {EVENT_OBJECT_DESTROY});
    EXPECT_FALSE(testwin.Show(window));
}

TEST(TestWindowsTest, HangsForTheTimeAskedAfterAnswering) {
    constexpr DWORD HangMs = 500;
    constexpr UINT ProbeTimeoutMs = 100;
    // GetTickCount64 advances in steps of up to this much.
    constexpr ULONGLONG TickStepMs = 20;
    TestWindowProgram testwin;
    HWND window = testwin.Create(L"Hanging window");
    ASSERT_NE(window, nullptr);
    auto answers = [&] {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ProbeTimeoutMs, &result) != 0;
    };
    ASSERT_TRUE(answers());

    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(testwin.Hang(HangMs));
    EXPECT_FALSE(answers());
    EXPECT_TRUE(WaitUntil(answers));
    EXPECT_GE(::GetTickCount64() - start + TickStepMs, HangMs);
    // Commands sent during the hang are answered after it.
    EXPECT_TRUE(testwin.Hang(HangMs));
    EXPECT_TRUE(testwin.Retitle(window, L"After the hang"));
    EXPECT_GE(::GetTickCount64() - start + TickStepMs, 2 * HangMs);
}

TEST(TestWindowsTest, CountsCloseRequestsAndRefusesThemWhenTold) {
    TestWindowProgram testwin;
    HWND window = testwin.Create(L"Closing window");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(testwin.CloseRequests(window), 0);

    ASSERT_TRUE(testwin.RefuseClose(window, true));
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return testwin.CloseRequests(window) == 2; }));
    EXPECT_TRUE(::IsWindow(window));

    ASSERT_TRUE(testwin.RefuseClose(window, false));
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(window); }));
    EXPECT_EQ(testwin.CloseRequests(window), 3);
}

}  // namespace
}  // namespace testing_support
