// What the program owes the windows it changed when it goes, however it goes:
// every exit gives them back and takes its tray icons along; after a kill the
// next start gives back what the dead instance had hidden; and a storm of
// window events neither brings it down nor costs it memory. The windows are
// testwin's, a separate process, as a user's other programs would be.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Dialogs.h"
#include "ProcessMemory.h"
#include "ProgramFixture.h"
#include "Strings.h"
#include "TestWindows.h"
#include "WineTray.h"

#include <shellapi.h>

using namespace testing_support;
using namespace program_test;

namespace {

enum RuleAction : DWORD { HideInTray = 0, Hide = 1, OnTop = 2, Transparency = 3 };

const std::wstring RecoveryKey = ProgramKey + L"\\Recovery";
// The tray component's windows: one of them owns the program's tray icons.
constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr UINT ProgramIconId = 0;
constexpr DWORD ClearAlpha = 77;
constexpr UINT AnswerTimeoutMs = DefaultTimeoutMs;

UINT TrayId(HWND window) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(window)); }

LONG_PTR ExtendedStyle(HWND window) { return ::GetWindowLongPtrW(window, GWL_EXSTYLE); }
bool Visible(HWND window) { return ::IsWindowVisible(window) != FALSE; }
bool Topmost(HWND window) { return (ExtendedStyle(window) & WS_EX_TOPMOST) != 0; }
bool Layered(HWND window) { return (ExtendedStyle(window) & WS_EX_LAYERED) != 0; }
bool AsItWas(HWND window) { return Visible(window) && !Topmost(window) && !Layered(window); }

std::optional<BYTE> Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return std::nullopt;
    return alpha;
}

// A rule that always takes windows whose title holds its name.
StoredRule RuleFor(const std::wstring& title, DWORD action) {
    StoredRule rule;
    rule.name = title;
    rule.title = title;
    rule.action = action;
    rule.alpha = ClearAlpha;
    return rule;
}

bool InForce(HWND window, DWORD action) {
    switch (action) {
        case HideInTray:
        case Hide: return !Visible(window);
        case OnTop: return Topmost(window);
        case Transparency: return Layered(window);
        default: return false;
    }
}

std::wstring ActionName(DWORD action) {
    switch (action) {
        case HideInTray: return L"in the tray";
        case Hide: return L"hidden";
        case OnTop: return L"on top";
        case Transparency: return L"transparent";
        default: return L"?";
    }
}

// The recovery record as it is stored: entry name to text.
std::map<std::wstring, std::wstring> RecoveryRecord() {
    std::map<std::wstring, std::wstring> entries;
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, RecoveryKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[MAX_PATH];
        DWORD nameLength = MAX_PATH;
        if (::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring entry(name, nameLength);
        entries[entry] = ReadValue(HKEY_CURRENT_USER, RecoveryKey, entry).text;
    }
    return entries;
}

// What the record says of a window whose action is in force.
std::wstring RecordOf(DWORD action, DWORD windowProcess) {
    return std::to_wstring(action) + L" " + std::to_wstring(windowProcess);
}

bool AnyHasTrayIcon(const std::vector<HWND>& owners, UINT id) {
    for (HWND owner : owners)
        if (TrayIconExists(owner, id)) return true;
    return false;
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result) != 0;
}

// The notification area as Windows' shell keeps it: an icon stays until its
// owner deletes it, even after the owner is gone. Wine's shell drops a
// window's icons the moment the window is destroyed, so after the program
// has ended it could never show an icon the program forgot. Its window is
// placed where the shell's notification functions find it first.
class IconLedger {
public:
    IconLedger() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = TrayClassName;
        ::RegisterClassW(&windowClass);  // fails harmlessly from the second ledger on
        window_.reset(::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TrayClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, windowClass.hInstance, nullptr));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        // The class may be another stand-in's, with its procedure.
        ::SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
        ::SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    IconLedger(const IconLedger&) = delete;
    IconLedger& operator=(const IconLedger&) = delete;

    bool Ready() const noexcept { return static_cast<bool>(window_); }

    // How many icons these windows own.
    size_t CountOwnedBy(const std::vector<HWND>& owners) const {
        size_t count = 0;
        for (HWND owner : owners)
            for (const auto& [iconOwner, id] : icons_) count += iconOwner == HandleValue(owner);
        return count;
    }

private:
    static constexpr wchar_t TrayClassName[] = L"Shell_TrayWnd";
    // Windows' shell wraps the request in a record with this signature
    // (then the request, then the icon record with its 32-bit owner); Wine's
    // puts the request in dwData and starts its record with owner and ID.
    static constexpr ULONG_PTR WindowsTrayData = 1;
    static constexpr DWORD WindowsTraySignature = 0x34753423;
    static constexpr size_t WindowsOwnerOffset = 12;
    static constexpr size_t WineOwnerOffset = 0;

    static DWORD HandleValue(HWND window) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(window)); }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        auto* self = reinterpret_cast<IconLedger*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message != WM_COPYDATA || !self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto* bytes = static_cast<const BYTE*>(data->lpData);
        DWORD request = static_cast<DWORD>(data->dwData);
        size_t offset = WineOwnerOffset;
        DWORD signature = 0;
        if (data->cbData >= sizeof signature) std::memcpy(&signature, bytes, sizeof signature);
        if (data->dwData == WindowsTrayData && signature == WindowsTraySignature) {
            std::memcpy(&request, bytes + sizeof signature, sizeof request);
            offset = WindowsOwnerOffset;
        }
        std::pair<DWORD, UINT> icon{};
        if (data->cbData < offset + sizeof icon.first + sizeof icon.second) return FALSE;
        std::memcpy(&icon.first, bytes + offset, sizeof icon.first);
        std::memcpy(&icon.second, bytes + offset + sizeof icon.first, sizeof icon.second);
        return self->Request(request, icon);
    }

    BOOL Request(DWORD request, const std::pair<DWORD, UINT>& icon) {
        switch (request) {
            case NIM_ADD: return icons_.insert(icon).second;
            case NIM_DELETE: return icons_.erase(icon) > 0;
            default: return icons_.count(icon) > 0;
        }
    }

    platform::UniqueWindow window_;
    std::set<std::pair<DWORD, UINT>> icons_;
};

// The text of the box the answering thread found, once it has pressed its
// button. Pumping meanwhile: looking for the box, that thread asks every
// window for its title, this thread's windows too.
std::wstring Answered(std::future<std::wstring>& answer) {
    WaitUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return answer.get();
}

const std::wstring ExitQuestion = L"Are you sure you want to close Pelkin!?";

enum class ExitPath { ConfirmedExit, TaskManager, WindowsShutdown };

const char* PathName(ExitPath path) {
    switch (path) {
        case ExitPath::ConfirmedExit: return "the user's Exit, confirmed";
        case ExitPath::TaskManager: return "closed by the task manager";
        case ExitPath::WindowsShutdown: return "Windows shutting down";
    }
    return "?";
}

void Exit(ExitPath path, HWND main, const ChildProcess& program) {
    DWORD_PTR result = 0;
    switch (path) {
        case ExitPath::ConfirmedExit: {
            auto answer = AnswerDialog(Title, IDYES, program.Id());
            ::PostMessageW(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(Answered(answer), ExitQuestion);
            break;
        }
        case ExitPath::TaskManager:
            ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ExitTimeoutMs, &result);
            break;
        case ExitPath::WindowsShutdown:
            ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                                              ExitTimeoutMs, &result));
            EXPECT_EQ(result, static_cast<DWORD_PTR>(TRUE));
            ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, ExitTimeoutMs,
                                  &result);
            break;
    }
}

class RecoveryProgramTest : public ProgramFixture {
protected:
    // One window per action, each with a rule that takes it as soon as the program starts.
    struct Taken {
        DWORD action;
        HWND window;
    };

    std::vector<Taken> TakeOnePerAction(TestWindowProgram& testwin, const std::wstring& prefix,
                                        std::initializer_list<DWORD> actions) {
        std::vector<Taken> taken;
        DWORD index = 1;
        for (DWORD action : actions) {
            const std::wstring title = prefix + L" " + ActionName(action);
            StoreRule(RuleFor(title, action), index++);
            taken.push_back({action, testwin.Create(title)});
            EXPECT_NE(taken.back().window, nullptr);
        }
        return taken;
    }

    static bool AllInForce(const std::vector<Taken>& taken) {
        for (const auto& [action, window] : taken)
            if (!InForce(window, action)) return false;
        return true;
    }

    static bool AllAsTheyWere(const std::vector<Taken>& taken) {
        for (const auto& [action, window] : taken)
            if (!AsItWas(window)) return false;
        return true;
    }

    static void ExpectEachAsItWas(const std::vector<Taken>& taken) {
        for (const auto& [action, window] : taken) {
            SCOPED_TRACE(platform::Narrow(ActionName(action)));
            EXPECT_TRUE(Visible(window));
            EXPECT_FALSE(Topmost(window));
            EXPECT_FALSE(Layered(window));
        }
    }
};

TEST_F(RecoveryProgramTest, EveryWayOfExitingGivesEveryWindowBackAndLeavesNoTrayIcon) {
    TestWindowProgram testwin;
    IconLedger tray;
    ASSERT_TRUE(tray.Ready());
    const auto taken = TakeOnePerAction(testwin, L"exit", {HideInTray, Hide, OnTop, Transparency});
    const HWND trayed = taken.front().window;
    for (ExitPath path : {ExitPath::ConfirmedExit, ExitPath::TaskManager, ExitPath::WindowsShutdown}) {
        SCOPED_TRACE(PathName(path));
        ChildProcess program(ProgramPath(), L"");
        const HWND main = WaitForMainWindow(program);
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitUntil([&] {
            return AllInForce(taken) && ProcessHasTrayIcon(program.Id(), TrayOwnerClass, TrayId(trayed));
        }));
        // The style is set before the opacity: the window reads as layered a moment before it has its alpha.
        EXPECT_TRUE(WaitUntil([&] { return Alpha(taken.back().window) == static_cast<BYTE>(ClearAlpha); }))
            << "alpha " << static_cast<int>(Alpha(taken.back().window).value_or(0));
        EXPECT_EQ(RecoveryRecord().size(), taken.size());
        const auto owners = TopLevelWindows(L"", program.Id(), TrayOwnerClass);
        // The trayed window's icon and the program's own, both in the ledger,
        // where the probe finds them.
        ASSERT_EQ(tray.CountOwnedBy(owners), 2u);
        ASSERT_TRUE(AnyHasTrayIcon(owners, TrayId(trayed)));
        ASSERT_TRUE(AnyHasTrayIcon(owners, ProgramIconId));

        Exit(path, main, program);
        // Pumping: the program deletes its icons through this thread's ledger on its way out.
        ASSERT_TRUE(WaitUntil([&] { return !program.Running(); }, ExitTimeoutMs));

        // The shows were asked of testwin's thread without waiting.
        EXPECT_TRUE(WaitUntil([&] { return AllAsTheyWere(taken); }));
        ExpectEachAsItWas(taken);
        EXPECT_EQ(tray.CountOwnedBy(owners), 0u);
        EXPECT_FALSE(AnyHasTrayIcon(owners, TrayId(trayed)));
        EXPECT_FALSE(AnyHasTrayIcon(owners, ProgramIconId));
        // Nothing is left for a next start to "give back" that the user may have changed since.
        EXPECT_TRUE(RecoveryRecord().empty());
    }
}

TEST_F(RecoveryProgramTest, AfterAKillTheNextStartGivesBackWhatTheKilledOneHid) {
    TestWindowProgram testwin;
    const auto taken = TakeOnePerAction(testwin, L"killed", {Hide, HideInTray});
    const DWORD windowProcess = testwin.ProcessId();
    {
        ChildProcess first(ProgramPath(), L"");
        ASSERT_NE(WaitForMainWindow(first), nullptr);
        ASSERT_TRUE(WaitUntil([&] {
            return AllInForce(taken) && RecoveryRecord().size() == taken.size() &&
                   ProcessHasTrayIcon(first.Id(), TrayOwnerClass, TrayId(taken.back().window));
        }));
        std::map<std::wstring, std::wstring> expected;
        for (const auto& [action, window] : taken) expected[HandleText(window)] = RecordOf(action, windowProcess);
        EXPECT_EQ(RecoveryRecord(), expected);
        first.Terminate();
        ASSERT_TRUE(first.WaitForExit(ExitTimeoutMs));
    }
    ASSERT_TRUE(AllInForce(taken));

    // Meanwhile the user dropped the rules: nothing may take the windows again
    // at the next start, so only the record can bring them back. One rule
    // that matches nothing keeps the program switched on.
    DeleteTree(HKEY_CURRENT_USER, ProgramKey + L"\\Rules");
    StoreRule(RuleFor(L"no window has this title", Hide), 1);
    // Entries the dead instance could not have cleaned up, or never wrote: a
    // window that is gone, a window that now belongs to another process (its
    // handle was reused), and values that are no entries at all.
    const HWND gone = testwin.Create(L"gone");
    ASSERT_TRUE(testwin.Destroy(gone));
    TestWindowSpec reusedSpec{L"hidden by its own program"};
    reusedSpec.visible = false;
    const HWND reused = testwin.Create(reusedSpec);
    ASSERT_NE(reused, nullptr);
    WriteText(HKEY_CURRENT_USER, RecoveryKey, HandleText(gone), RecordOf(Hide, windowProcess));
    WriteText(HKEY_CURRENT_USER, RecoveryKey, HandleText(reused), RecordOf(Hide, ::GetCurrentProcessId()));
    WriteText(HKEY_CURRENT_USER, RecoveryKey, L"not a handle", RecordOf(Hide, windowProcess));
    WriteText(HKEY_CURRENT_USER, RecoveryKey, L"12345", L"garbage");
    WriteNumber(HKEY_CURRENT_USER, RecoveryKey, L"54321", Hide);

    ChildProcess second(ProgramPath(), L"");
    const HWND main = WaitForMainWindow(second);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return AllAsTheyWere(taken); }));
    ExpectEachAsItWas(taken);
    EXPECT_TRUE(WaitUntil([] { return RecoveryRecord().empty(); })) << RecoveryRecord().size() << " entries left";
    // A command answered by testwin comes after any show the program asked of
    // it before emptying the record.
    EXPECT_EQ(testwin.CloseRequests(reused), 0);
    EXPECT_FALSE(Visible(reused)) << "a window of another program was shown";
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(Answers(main));
    EXPECT_TRUE(CloseProgram(main, second));
}

TEST_F(RecoveryProgramTest, AfterAKillAStartWithTheRulesUnchangedTakesTheWindowsAgain) {
    TestWindowProgram testwin;
    const auto taken = TakeOnePerAction(testwin, L"retaken", {Hide, HideInTray});
    {
        ChildProcess first(ProgramPath(), L"");
        ASSERT_NE(WaitForMainWindow(first), nullptr);
        ASSERT_TRUE(WaitUntil([&] { return AllInForce(taken) && RecoveryRecord().size() == taken.size(); }));
        first.Terminate();
        ASSERT_TRUE(first.WaitForExit(ExitTimeoutMs));
    }
    ChildProcess second(ProgramPath(), L"");
    const HWND main = WaitForMainWindow(second);
    ASSERT_NE(main, nullptr);
    const HWND trayed = taken.back().window;
    EXPECT_TRUE(WaitUntil([&] {
        return AllInForce(taken) && RecoveryRecord().size() == taken.size() &&
               ProcessHasTrayIcon(second.Id(), TrayOwnerClass, TrayId(trayed));
    })) << RecoveryRecord().size() << " recorded";
    EXPECT_TRUE(CloseProgram(main, second));
    EXPECT_TRUE(WaitUntil([&] { return AllAsTheyWere(taken); }));
}

TEST_F(RecoveryProgramTest, AStormOfRetitlesNeitherBringsTheProgramDownNorCostsItMemory) {
    // Retitling a shown window costs about a millisecond under Wine's X11
    // driver: 2,000 retitles a storm keep the test short.
    constexpr int StormWindows = 50;
    constexpr int RoundsPerStorm = 40;
    constexpr int MeasuredStorms = 3;
    // Private bytes are whole pages, and the platform's own buffers move by a
    // page or four between storms. The measured storms take a window 3,000
    // times and let one go as often: a leak of one heap block (32 bytes or
    // more) each time would take more than 64 KiB.
    constexpr SIZE_T LeakTolerance = 64 * 1024;
    const std::wstring StormPrefix = L"storm";
    const std::wstring SentinelIdle = L"sentinel idle";
    const std::wstring SentinelTaken = L"sentinel taken";
    TestWindowProgram storming;
    // The sentinel's testwin is out of the storm's reach.
    TestWindowProgram quiet;
    StoreRule(RuleFor(StormPrefix + L" tick", HideInTray), 1);
    StoreRule(RuleFor(SentinelTaken, Hide), 2);
    std::vector<HWND> windows;
    for (int n = 0; n < StormWindows; ++n) {
        windows.push_back(storming.Create(StormPrefix + L" idle " + std::to_wstring(n)));
        ASSERT_NE(windows.back(), nullptr);
    }
    // testwin numbers the storm's windows in handle order.
    std::sort(windows.begin(), windows.end(), std::less<HWND>());
    const HWND sentinel = quiet.Create(SentinelIdle);
    ASSERT_NE(sentinel, nullptr);

    ChildProcess program(ProgramPath(), L"");
    const HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    // The start-up scans and hooks before the message loop runs, and only the
    // loop reads a posted exit request: once the question is up, tracking
    // runs on events alone.
    auto refusal = AnswerDialog(Title, IDNO, program.Id());
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(Answered(refusal), ExitQuestion);
    ASSERT_TRUE(PrivateBytes(program.Id()).has_value()) << "the platform does not tell another process's memory";

    auto storm = [&] {
        EXPECT_EQ(storming.Storm(RoundsPerStorm, StormPrefix), StormWindows * RoundsPerStorm);
        // Events reach the program in the order they were raised: once the
        // sentinel is hidden, every retitle of the storm has been handled.
        EXPECT_TRUE(quiet.Retitle(sentinel, SentinelTaken));
        EXPECT_TRUE(WaitUntil([&] { return !Visible(sentinel); }));
        EXPECT_TRUE(quiet.Retitle(sentinel, SentinelIdle));
        EXPECT_TRUE(WaitUntil([&] { return Visible(sentinel); }));
        return PrivateBytes(program.Id()).value_or(0);
    };
    // The first storm brings caches, heaps and the shell's icon list to their working size.
    const SIZE_T warm = storm();
    SIZE_T after = warm;
    for (int i = 0; i < MeasuredStorms && !HasFailure(); ++i) after = storm();
    ASSERT_TRUE(program.Running());
    EXPECT_TRUE(Answers(main));
    EXPECT_LE(after, warm + LeakTolerance) << "warm " << warm << ", after " << MeasuredStorms << " storms " << after;

    // Every window is where its last title puts it: the storm's last round
    // left every second window on "tick".
    std::map<std::wstring, std::wstring> trayed;
    std::vector<bool> ticking;
    for (int n = 0; n < StormWindows; ++n) {
        ticking.push_back((RoundsPerStorm - 1 + n) % 2 == 0);
        if (ticking.back()) trayed[HandleText(windows[n])] = RecordOf(HideInTray, storming.ProcessId());
    }
    EXPECT_TRUE(WaitUntil([&] {
        for (int n = 0; n < StormWindows; ++n)
            if (Visible(windows[n]) == ticking[n]) return false;
        return true;
    }));
    for (int n = 0; n < StormWindows; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Visible(windows[n]), !ticking[n]);
        EXPECT_EQ(ProcessHasTrayIcon(program.Id(), TrayOwnerClass, TrayId(windows[n])), ticking[n]);
    }
    EXPECT_EQ(RecoveryRecord(), trayed);

    EXPECT_TRUE(CloseProgram(main, program));
    EXPECT_TRUE(WaitUntil([&] {
        return std::all_of(windows.begin(), windows.end(), [](HWND window) { return Visible(window); });
    }));
    EXPECT_TRUE(RecoveryRecord().empty());
}

}  // namespace
