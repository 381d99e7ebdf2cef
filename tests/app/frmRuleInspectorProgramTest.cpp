// The New Rule wizard of Pelkin.exe as a user meets it: opened from the rules
// editor (which a second start of the program brings up), filled in by dragging the window finder with the X mouse over
// another program's window (and never over the wizard itself), finished, and
// the rule stored on exit takes that window at the next start.
#include <cstdio>
#include <iterator>
#include <string>

#include "ProgramFixture.h"
#include "TestWindows.h"
#include "Xdotool.h"
#include "frmRuleInspectorIds.h"

using namespace testing_support;
using namespace program_test;

namespace {

const std::wstring WizardCaption = L"New Rule Wizard";
// The editor's menu commands, as its menu bar sends them.
constexpr WPARAM NewRuleCommand = 101;
constexpr WPARAM ExitCommand = 103;
constexpr wchar_t TargetTitle[] = L"Wizard Target";
constexpr wchar_t TargetClass[] = L"PelkinWizardTarget";
constexpr wchar_t TargetProgram[] = L"testwin.exe";
enum FinderIndex { ClassFinder = 1, ProgramFinder = 2 };
constexpr int TargetWidth = 300, TargetHeight = 200;
constexpr DWORD AnswerTimeoutMs = DefaultTimeoutMs;
enum ListPosition { HidePosition = 2, IgnorePosition = 4 };
enum CriteriaPosition { OnMinimizePosition = 0, AlwaysPosition = 1 };
constexpr DWORD HideAction = 1, IgnoreAction = 4, AlwaysCriteria = 1;

std::wstring At(POINT point) { return std::to_wstring(point.x) + L" " + std::to_wstring(point.y); }

POINT CenterOf(HWND window) {
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    return {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

// A control's text, read from the program that owns it.
std::wstring TextOf(HWND control) {
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          AnswerTimeoutMs, &copied);
    return text;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

class frmRuleInspectorProgramTest : public ProgramFixture {
protected:
    void TearDown() override {
        RunXdotool(L"mouseup 1");
        ProgramFixture::TearDown();
    }
    // Pressed down on the finder, dragged onto the point and let go.
    static void DragFinder(HWND wizard, int finder, POINT onto) {
        RunXdotool(L"mousemove " + At(CenterOf(::GetDlgItem(wizard, IDC_RI_cmdFind + finder))) +
                   L" mousedown 1 mousemove " + At(onto) + L" mouseup 1");
    }
    static void Choose(HWND wizard, int id, int position) {
        HWND combo = ::GetDlgItem(wizard, id);
        Send(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        Send(wizard, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
};

}  // namespace

TEST_F(frmRuleInspectorProgramTest, TheWizardMakesARuleForTheWindowTheFinderIsDraggedOver) {
    for (const wchar_t* confirmation : {L"Delete", L"Exit", L"Save on Exit"})
        StoreOption(L"Options\\Confirmation", confirmation, L"False");
    // Owned windows count as well: only the program's own are never captured.
    StoreOption(L"Options", L"Search Top Level Windows Only", L"False");
    TestWindowProgram testwin;
    HWND target = testwin.Create(TestWindowSpec{TargetTitle, TestWindowKind::Plain, TargetClass});
    ASSERT_TRUE(target);
    StoredRule other;
    other.name = L"Other";
    other.title = L"No window is titled so";
    other.action = IgnoreAction;
    StoreRule(other, 1);
    Start();
    // A second start of the program brings up its rules editor.
    ChildProcess second(ProgramPath(), L"");
    ASSERT_TRUE(second.Started() && second.WaitForExit(ExitTimeoutMs));
    HWND editor = ShownWindow(Title);
    ASSERT_NE(editor, nullptr);
    ::PostMessageW(editor, WM_COMMAND, NewRuleCommand, 0);
    HWND wizard = ShownWindow(WizardCaption);
    ASSERT_NE(wizard, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(editor); })) << "the editor waits while its wizard is open";

    // In a corner of its own, where neither the editor nor the wizard covers it.
    RECT wizardBounds{};
    ::GetWindowRect(wizard, &wizardBounds);
    const int left = wizardBounds.left - TargetWidth;
    ::SetWindowPos(target, HWND_TOP, left, wizardBounds.top, TargetWidth, TargetHeight, SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] {
        RECT bounds{};
        ::GetWindowRect(target, &bounds);
        return bounds.left == left && ::GetAncestor(::WindowFromPoint(CenterOf(target)), GA_ROOT) == target;
    }));

    Send(::GetDlgItem(wizard, IDC_RI_txtName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Wizard rule"));
    HWND title = ::GetDlgItem(wizard, IDC_RI_txtTitle);
    HWND windowClass = ::GetDlgItem(wizard, IDC_RI_txtClass);
    // The title finder shows the handle under it while it is dragged, takes
    // the target's title, and nothing over the wizard itself.
    const POINT onTarget = CenterOf(target);
    const POINT onWizard{(wizardBounds.left + wizardBounds.right) / 2,
                         wizardBounds.top + ::GetSystemMetrics(SM_CYCAPTION) / 2};
    RunXdotool(L"mousemove " + At(CenterOf(::GetDlgItem(wizard, IDC_RI_cmdFind))) + L" mousedown 1 mousemove " +
               At(onTarget));
    ASSERT_TRUE(WaitUntil([&] { return TextOf(title) == TargetTitle; }));
    wchar_t handle[32] = {};
    std::swprintf(handle, std::size(handle), L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(target)));
    EXPECT_EQ(TextOf(::GetDlgItem(wizard, IDC_RI_lblHandle)), handle);
    RunXdotool(L"mousemove " + At(onWizard));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(title).empty(); }));
    RunXdotool(L"mousemove " + At(onTarget) + L" mouseup 1");
    ASSERT_TRUE(WaitUntil([&] { return TextOf(title) == TargetTitle; }));
    DragFinder(wizard, ClassFinder, onTarget);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(windowClass) == TargetClass; }));
    // The program by its file name, wherever it was started from.
    HWND program = ::GetDlgItem(wizard, IDC_RI_txtProgram);
    EXPECT_EQ(TextOf(::GetDlgItem(wizard, IDC_RI_lblProgram)), L"&Program:");
    DragFinder(wizard, ProgramFinder, onTarget);
    ASSERT_TRUE(WaitUntil([&] { return _wcsicmp(TextOf(program).c_str(), TargetProgram) == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(::GetDlgItem(wizard, IDC_RI_lblHandle)); }));

    ::PostMessageW(::GetDlgItem(wizard, IDC_RI_cmdNext), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(wizard, IDC_RI_cboAction)) != FALSE; }));
    Choose(wizard, IDC_RI_cboAction, IgnorePosition);
    HWND criteria = ::GetDlgItem(wizard, IDC_RI_cboCriteria);
    EXPECT_EQ(Send(criteria, CB_GETCURSEL, 0, 0), AlwaysPosition);
    EXPECT_FALSE(::IsWindowEnabled(criteria));
    Choose(wizard, IDC_RI_cboAction, HidePosition);
    EXPECT_EQ(Send(criteria, CB_GETCURSEL, 0, 0), OnMinimizePosition);
    EXPECT_TRUE(::IsWindowEnabled(criteria));
    Choose(wizard, IDC_RI_cboCriteria, AlwaysPosition);
    ::PostMessageW(::GetDlgItem(wizard, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(wizard); }));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(editor) != FALSE; }));

    // Exit stores the editor's rules.
    ::PostMessageW(editor, WM_COMMAND, ExitCommand, 0);
    ASSERT_TRUE(program_->WaitForExit(ExitTimeoutMs));
    program_.reset();
    const std::wstring key = ProgramKey + L"\\Rules\\Wizard rule";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Title").text, TargetTitle);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Class").text, TargetClass);
    const StoredValue stored = ReadValue(HKEY_CURRENT_USER, key, L"Program");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(_wcsicmp(stored.text.c_str(), TargetProgram), 0);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Action").number, HideAction);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Criteria").number, AlwaysCriteria);

    // Started again, the program hides the window the rule was made for.
    Start();
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(target); }));
}
