// Pelkin.exe started and driven from outside, the way a user meets it: its
// message boxes are found on screen and answered by pressing their buttons.
// These tests use the current user's hive of the throwaway test prefix.
#include <objbase.h>

#include "Dialogs.h"
#include "ProgramFixture.h"
#include "Strings.h"

using namespace testing_support;
using namespace program_test;

namespace {

class ProgramTest : public ProgramFixture {
protected:
    static void PrepareInstalledSettings() {
        WriteText(HKEY_CURRENT_USER, ProgramKey, L"Enabled", L"True");
        WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Mouse", L"Main Left Single Click", L"3");
        WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Notepad", L"Title", L"Notepad");
        WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Notepad\\Deeper", L"Value", L"x");
        WriteText(HKEY_CURRENT_USER, RunKey, L"Pelkin!", L"\"C:\\Pelkin\\Pelkin.exe\"");
        WriteText(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!", L"\"C:\\Pelkin\\Pelkin.exe\"");
        WriteText(HKEY_CURRENT_USER, SiblingKey, L"Keep", L"me");
    }

    static void ExpectShutdownCloses(bool questionOpen) {
        ClearSettings();
        ChildProcess program(ProgramPath(), L"");
        HWND main = WaitForMainWindow(program);
        ASSERT_NE(main, nullptr);
        if (questionOpen) {
            ::PostMessageW(main, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitUntil([&] { return FindDialog(Title, program.Id()) != nullptr; }));
        }
        DWORD_PTR mayEnd = 0;
        ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, ExitTimeoutMs,
                                          &mayEnd));
        EXPECT_EQ(mayEnd, static_cast<DWORD_PTR>(TRUE));
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, ExitTimeoutMs, &ignored);
        ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs));
        EXPECT_EQ(FindDialog(Title), nullptr);
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled").text, L"False");
    }

    // Ctrl+Tab, the switcher's stored default, with and without Shift.
    static bool SwitcherKeyHeld() {
        constexpr int ProbeId = 0xBEEF;
        bool held = false;
        for (UINT modifiers : {MOD_CONTROL, MOD_CONTROL | MOD_SHIFT}) {
            if (::RegisterHotKey(nullptr, ProbeId, modifiers, VK_TAB))
                ::UnregisterHotKey(nullptr, ProbeId);
            else
                held = held || ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
        }
        return held;
    }

    static bool SettingsPresent() {
        return KeyExists(HKEY_CURRENT_USER, ProgramKey) &&
               ReadValue(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Notepad\\Deeper", L"Value").exists &&
               ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists &&
               ReadValue(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!").exists;
    }
};

TEST_F(ProgramTest, UninstallSwitchAnsweredYesDeletesEveryEntryAndStartsNothing) {
    for (const std::wstring arguments : {L"/U", L"/Uninstall", L"-quiet /UX"}) {
        SCOPED_TRACE(arguments);
        PrepareInstalledSettings();
        ChildProcess program(ProgramPath(), arguments);
        ASSERT_TRUE(program.Started());
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (dialog = FindDialog(L"Confirm Registry Delete", program.Id())) != nullptr; }));
        EXPECT_EQ(DialogText(dialog), L"Are you sure you want to delete all 'Pelkin!' registry entries?");
        EXPECT_EQ(CountWindows(MainCaption, program.Id()), 0);
        PressButton(dialog, IDYES);
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProgramKey));
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists);
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!").exists);
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, SiblingKey, L"Keep").text, L"me");
    }
}

TEST_F(ProgramTest, QuietUninstallDeletesEveryEntryWithoutAskingAndALoneQuietDoesNothing) {
    for (const std::wstring arguments : {L"/uninstall /quiet", L"/QUIET /Uninstall", L"/u \"/Quiet\""}) {
        SCOPED_TRACE(arguments);
        PrepareInstalledSettings();
        ChildProcess program(ProgramPath(), arguments);
        ASSERT_TRUE(program.Started());
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs, &exitCode)) << "it ends by itself, nobody asked";
        EXPECT_EQ(exitCode, 0u);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProgramKey));
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists);
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!").exists);
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, SiblingKey, L"Keep").text, L"me");
    }
    // Without the uninstall switch the program simply starts, whatever words
    // it does not know come with it.
    PrepareInstalledSettings();
    ChildProcess program(ProgramPath(), L"/quiet /minimized");
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(FindDialog(L"Confirm Registry Delete", program.Id()), nullptr);
    EXPECT_TRUE(CloseProgram(main, program));
    EXPECT_TRUE(SettingsPresent());
}

TEST_F(ProgramTest, UninstallSwitchAnsweredNoLeavesTheRegistryAndStartsNothing) {
    PrepareInstalledSettings();
    ChildProcess program(ProgramPath(), L"/uninstall");
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindDialog(L"Confirm Registry Delete", program.Id())) != nullptr; }));
    PressButton(dialog, IDNO);
    ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs));
    EXPECT_TRUE(SettingsPresent());
    EXPECT_EQ(CountWindows(MainCaption), 0);
}

TEST_F(ProgramTest, ASwitchInTheProgramsOwnPathIsNotAnUninstallRequest) {
    PrepareInstalledSettings();
    ChildProcess program(ProgramPath(), L"", L"\"C:/utils/Pelkin.exe\"");
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(FindDialog(L"Confirm Registry Delete", program.Id()), nullptr);
    // Closed the way the task manager closes a program: no question asked.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ExitTimeoutMs, &result);
    ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs));
    EXPECT_TRUE(SettingsPresent());
}

TEST_F(ProgramTest, SecondStartEndsAtOnceAndLeavesOneMainWindow) {
    ChildProcess first(ProgramPath(), L"");
    HWND main = WaitForMainWindow(first);
    ASSERT_NE(main, nullptr);
    ChildProcess second(ProgramPath(), L"");
    DWORD exitCode = 1;
    ASSERT_TRUE(second.WaitForExit(ExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(CountWindows(MainCaption), 1);
    EXPECT_TRUE(first.Running());
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ExitTimeoutMs, &result);
    EXPECT_TRUE(first.WaitForExit(ExitTimeoutMs));
}

// Nothing is registered in the prefix: the program finds both components
// beside itself. The switcher's hot key it registers through the menu
// component is held for the whole desktop, so this process is refused it.
TEST_F(ProgramTest, StartUpLoadsBothComponentsFromTheProgramsFolderAndHoldsTheSwitcherKey) {
    for (const wchar_t* progId : {L"Kestrix.Kestrix", L"Quillet.Quillet"}) {
        CLSID registered{};
        ASSERT_NE(S_OK, ::CLSIDFromProgID(progId, &registered)) << platform::Narrow(progId) << " is registered";
    }
    ASSERT_FALSE(SwitcherKeyHeld()) << "another program holds the switcher's key";
    ChildProcess program(ProgramPath(), L"");
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    // The component's callback window and its event queue's window, made
    // once the main window has started the application.
    EXPECT_TRUE(WaitUntil([&] { return TopLevelWindows(L"", program.Id(), L"frmSubclass").size() == 2; }));
    // The probe takes the key for a moment, and a program asking for it in
    // that moment is refused: it asks once the program's start-up is over,
    // which on a first start ends with the editor coming up.
    EXPECT_TRUE(WaitUntil([&] {
        HWND editor = FindProcessWindow(DisabledTitle, program.Id());
        return editor && ::IsWindowVisible(editor);
    })) << "a first start opens the editor once it is started";
    EXPECT_TRUE(SwitcherKeyHeld());
    for (const wchar_t* dll : {L"Kestrix.dll", L"Quillet.dll"}) {
        const std::wstring component = platform::ToLower(BesideTests(dll));
        bool loaded = false;
        for (const auto& module : LoadedModules(program.Id())) loaded = loaded || platform::ToLower(module) == component;
        EXPECT_TRUE(loaded) << platform::Narrow(dll) << " beside the program is not loaded";
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, ExitTimeoutMs, &result);
    EXPECT_TRUE(program.WaitForExit(ExitTimeoutMs));
    EXPECT_FALSE(SwitcherKeyHeld());
}

TEST_F(ProgramTest, ExitAsksForConfirmationAndEndsOnYesStoringEnabled) {
    ChildProcess program(ProgramPath(), L"");
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);

    auto answeredNo = AnswerDialog(Title, IDNO, program.Id());
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(answeredNo.get(), L"Are you sure you want to close Pelkin!?");
    EXPECT_FALSE(program.WaitForExit(200));
    EXPECT_EQ(FindProcessWindow(MainCaption, program.Id()), main);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled").exists);

    auto answeredYes = AnswerDialog(Title, IDYES, program.Id());
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(answeredYes.get(), L"Are you sure you want to close Pelkin!?");
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(ExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    // No rules yet, so the program ran disabled, and says so at the root of its key.
    auto enabled = ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled");
    EXPECT_EQ(enabled.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(enabled.text, L"False");
}

TEST_F(ProgramTest, WindowsShutdownClosesWithoutAsking) {
    for (bool questionOpen : {false, true}) {
        SCOPED_TRACE(questionOpen ? "while the exit question is open" : "from the running program");
        ExpectShutdownCloses(questionOpen);
    }
}

}  // namespace
