// The program's own hot keys and its command line, as a user and a script
// meet them: Ctrl+Alt+Shift+H typed on the X keyboard trays the focused
// window of another program, Ctrl+Alt+Shift+R gives back every hidden window;
// a key another program holds is told once at start-up; "Pelkin.exe /command"
// is carried out by the running instance and answered by the exit code.
#include <string>

#include "Dialogs.h"
#include "HotKeyHolder.h"
#include "ProgramFixture.h"
#include "TestWindows.h"
#include "WineTray.h"
#include "Xdotool.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr wchar_t HideActiveKeys[] = L"ctrl+alt+shift+h";
constexpr wchar_t RestoreAllKeys[] = L"ctrl+alt+shift+r";
constexpr UINT ControlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
// Exit codes of a start that hands a command over.
constexpr DWORD Done = 0, NotRunning = 2, UnknownCommand = 3;
// A rule that trays every window with this title at once.
const StoredRule TrayAlways{L"Tray always", L"Trayed by rule", 0, 1, 128, L"", 0};

UINT TrayId(HWND window) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(window)); }
bool Visible(HWND window) { return ::IsWindowVisible(window) != FALSE; }

bool KeyHeldElsewhere(UINT virtualKey) {
    constexpr int ProbeId = 0xC0DE;
    if (!::RegisterHotKey(nullptr, ProbeId, ControlAltShift, virtualKey)) return true;
    ::UnregisterHotKey(nullptr, ProbeId);
    return false;
}

class HotkeysProgramTest : public ProgramFixture {
protected:
    bool HasIcon(HWND window) const { return ProcessHasTrayIcon(program_->Id(), TrayOwnerClass, TrayId(window)); }

    // Pelkin.exe started with these arguments: its exit code, or ~0 when it did not end.
    static DWORD RunCommand(const std::wstring& arguments) {
        ChildProcess command(ProgramPath(), arguments);
        DWORD exitCode = ~0u;
        if (!command.WaitForExit(ExitTimeoutMs, &exitCode)) return ~0u;
        return exitCode;
    }

    // The window is the foreground one and has the X focus while the keys go
    // down; the keys of the press before are all up again first. The windows
    // given back by the press before are settled first: one restored from
    // minimized takes the activation when its program gets to it.
    bool PressOn(HWND window, const wchar_t* keys) {
        if (!testwin_.CatchUp()) return false;
        ::SetForegroundWindow(window);
        const auto down = [](int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; };
        return WaitUntil([&] { return ::GetForegroundWindow() == window; }) &&
               WaitUntil([&] { return !down(VK_CONTROL) && !down(VK_MENU) && !down(VK_SHIFT); }) &&
               PressKeys(window, keys);
    }

    TestWindowProgram testwin_;
};

TEST_F(HotkeysProgramTest, HotKeysTrayTheFocusedWindowAndRestoreEveryHiddenOne) {
    StoreRule(TrayAlways, 1);
    Start();
    HWND byRule = testwin_.Create(TrayAlways.title);
    HWND focused = testwin_.Create(L"Typed at");
    HWND keyboard = testwin_.Create(L"Keyboard");
    ASSERT_TRUE(byRule && focused && keyboard);
    ASSERT_TRUE(WaitUntil([&] { return !Visible(byRule) && HasIcon(byRule); }));

    // The window with the focus goes into the tray with its own icon and tip.
    ASSERT_TRUE(PressOn(focused, HideActiveKeys));
    ASSERT_TRUE(WaitUntil([&] { return !Visible(focused) && HasIcon(focused); })) << "the hot key trayed nothing";
    EXPECT_TRUE(WaitUntil([&] { return FindTrayIcon(L"Typed at") != nullptr; }));
    EXPECT_TRUE(Visible(keyboard)) << "only the focused window goes";

    // Restore all: both come back, the hot key's as it was before, and their icons go.
    ASSERT_TRUE(PressOn(keyboard, RestoreAllKeys));
    EXPECT_TRUE(WaitUntil([&] { return Visible(focused) && !::IsIconic(focused) && !HasIcon(focused); }));
    EXPECT_TRUE(WaitUntil([&] { return Visible(byRule) && !HasIcon(byRule); }));

    // The command line does what the key does.
    ASSERT_TRUE(PressOn(keyboard, HideActiveKeys));
    ASSERT_TRUE(WaitUntil([&] { return !Visible(keyboard); }));
    EXPECT_EQ(RunCommand(L"/restoreall"), Done);
    EXPECT_TRUE(WaitUntil([&] { return Visible(keyboard) && !HasIcon(keyboard); }));
}

TEST_F(HotkeysProgramTest, KeysAnotherProgramHoldsAreToldInOneBoxAtStartUpAndTheOtherStillWorks) {
    // The switcher's key among them: Ctrl+Alt+S, held elsewhere too.
    StoreOption(L"Switcher", L"Hotkey", std::to_wstring('S'));
    StoreOption(L"Switcher", L"Hotkey Modifier", L"3");
    HotKeyHolder holder('H', ControlAltShift);
    HotKeyHolder switcherHolder('S', MOD_CONTROL | MOD_ALT);
    ASSERT_TRUE(holder.Held() && switcherHolder.Held());
    Start();
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindDialog(Title, program_->Id())) != nullptr; }));
    const std::wstring told = DialogText(box);
    EXPECT_NE(told.find(L"Ctrl+Alt+Shift+H for \"Hide the active window in the tray\""), std::wstring::npos) << told;
    EXPECT_NE(told.find(L"Ctrl+Alt+S for \"Switch between windows\""), std::wstring::npos) << told;
    EXPECT_EQ(told.find(L"Ctrl+Alt+Shift+R"), std::wstring::npos) << told;
    ASSERT_TRUE(PressButton(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return FindDialog(Title, program_->Id()) == nullptr; }));
    EXPECT_TRUE(KeyHeldElsewhere('R')) << "the program holds the key it was not refused";
    // Told once: nothing more comes while the program runs on.
    EXPECT_TRUE(program_->Running());
    EXPECT_EQ(FindDialog(Title, program_->Id()), nullptr);
}

TEST_F(HotkeysProgramTest, AStartTakingOverWaitsForTheInstanceItFollowsThenTakesTheWindowsAfresh) {
    StoreRule(TrayAlways, 1);
    HWND trayed = testwin_.Create(TrayAlways.title);
    ASSERT_NE(trayed, nullptr);
    Start();
    ASSERT_TRUE(WaitUntil([&] { return !Visible(trayed) && HasIcon(trayed); }));

    // As the elevated start does: it waits instead of handing itself over.
    auto successor = std::make_unique<ChildProcess>(ProgramPath(), L"/after " + std::to_wstring(program_->Id()));
    ASSERT_TRUE(successor->Started());
    EXPECT_EQ(FindProcessWindow(MainCaption, successor->Id()), nullptr);
    ASSERT_TRUE(CloseProgram(main_, *program_));
    EXPECT_TRUE(successor->Running()) << "the successor gave up instead of taking over";

    // The window was given back once and is taken again by the successor.
    program_ = std::move(successor);
    main_ = WaitForMainWindow(*program_);
    ASSERT_NE(main_, nullptr) << "the successor never became the running instance";
    EXPECT_TRUE(WaitUntil([&] { return !Visible(trayed) && HasIcon(trayed); }));
}

TEST_F(HotkeysProgramTest, CommandsReachTheRunningInstanceAndTheExitCodeSaysWhetherTheyWereCarriedOut) {
    // Nothing runs: nothing is done, and a person is told why.
    EXPECT_EQ(RunCommand(L"/restoreall /quiet"), NotRunning);
    {
        ChildProcess command(ProgramPath(), L"/EXIT");
        auto told = AnswerDialog(Title, IDOK, command.Id());
        DWORD exitCode = ~0u;
        ASSERT_TRUE(command.WaitForExit(ExitTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, NotRunning);
        EXPECT_NE(told.get().find(L"not running"), std::wstring::npos);
    }
    EXPECT_EQ(CountWindows(MainCaption), 0) << "a command alone starts no program";

    StoreRule(TrayAlways, 1);
    Start();
    HWND byRule = testwin_.Create(TrayAlways.title);
    ASSERT_TRUE(WaitUntil([&] { return !Visible(byRule) && HasIcon(byRule); }));
    EXPECT_EQ(RunCommand(L"/nonsense /quiet"), UnknownCommand);
    EXPECT_TRUE(program_->Running()) << "a word the program does not know changes nothing";
    EXPECT_EQ(RunCommand(L"/RestoreAll"), Done);
    EXPECT_TRUE(Visible(byRule) || WaitUntil([&] { return Visible(byRule); }));
    EXPECT_TRUE(WaitUntil([&] { return !HasIcon(byRule); }));

    // Exit is done when the program has gone, without a question even with
    // the exit confirmation on.
    EXPECT_EQ(RunCommand(L"/exit /quiet"), Done);
    EXPECT_FALSE(program_->Running());
    EXPECT_EQ(CountWindows(MainCaption), 0);
    program_.reset();
}

}  // namespace
