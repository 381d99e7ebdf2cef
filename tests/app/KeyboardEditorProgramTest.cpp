// The rules editor of Pelkin.exe driven by a user who never touches the
// mouse: every step is keys typed on the X keyboard into the focused window,
// and what they did is read from the program's windows and the registry.
#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

#include "MenuKeyboard.h"
#include "ProgramFixture.h"
#include "Xdotool.h"
#include "frmRuleInspectorIds.h"
#include "frmSetupIds.h"

using namespace testing_support;
using namespace program_test;

namespace {

const std::wstring WizardCaption = L"New Rule Wizard";
const std::wstring ConfirmDeleteCaption = L"Confirm Rule Delete";
const std::wstring CustomizeCaption = L"Customize Toolbar";
constexpr wchar_t TypedName[] = L"Typed rule";
constexpr wchar_t TypedTitle[] = L"Typed title";
constexpr DWORD AnswerTimeoutMs = DefaultTimeoutMs;

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND control) {
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          AnswerTimeoutMs, &copied);
    return text;
}

class KeyboardEditorProgramTest : public ProgramFixture {
protected:
    // A second start brings up the editor of the running program.
    HWND OpenEditor() {
        ChildProcess second(ProgramPath(), L"");
        if (!second.Started() || !second.WaitForExit(ExitTimeoutMs)) return nullptr;
        return ShownWindow(Title);
    }
    // Typed into the window once it has the X focus, as keys or as text.
    static bool Keys(HWND window, const std::wstring& keys) { return PressKeys(window, keys); }
    static bool Type(HWND window, const std::wstring& text) {
        return RunXdotool(L"windowfocus --sync " + std::to_wstring(XWindowOf(window)) + L" type --delay 40 '" + text +
                          L"'");
    }
    int RuleCount() const { return static_cast<int>(Send(rules_, LVM_GETITEMCOUNT)); }
    DWORD ListView() const { return static_cast<DWORD>(Send(rules_, LVM_GETVIEW)); }
    int ButtonCount(HWND editor) const {
        return static_cast<int>(Send(::GetDlgItem(editor, IDC_SETUP_TBRSTANDARD), TB_BUTTONCOUNT));
    }
    // The control with the keyboard focus in the program's window thread.
    static HWND Focused(DWORD thread) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    }
    // Tab, as a user presses it, until the rules list has the focus.
    bool TabToRules(HWND editor, DWORD thread) const {
        constexpr int MostTabs = 8;
        for (int tabs = 0; tabs < MostTabs; ++tabs) {
            if (Focused(thread) == rules_) return true;
            if (!Keys(editor, L"Tab")) return false;
            WaitUntil([&] { return Focused(thread) != nullptr; });
        }
        return Focused(thread) == rules_;
    }
    bool Stored(const std::wstring& rule) const { return KeyExists(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\" + rule); }

    HWND rules_ = nullptr;
};

}  // namespace

TEST_F(KeyboardEditorProgramTest, EveryEditorStepWorksFromTheKeyboardAlone) {
    StoredRule first;
    first.name = L"First";
    first.title = L"Keyboard first";
    StoreRule(first, 1);
    Start();
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    rules_ = ::GetDlgItem(editor, IDC_SETUP_LVWRULES);
    const DWORD thread = ::GetWindowThreadProcessId(editor, nullptr);

    // Ctrl+N, the name and the title typed, Enter for Next and for Finish.
    ASSERT_TRUE(Keys(editor, L"ctrl+n"));
    HWND wizard = ShownWindow(WizardCaption);
    ASSERT_NE(wizard, nullptr) << "Ctrl+N opened no wizard";
    HWND name = ::GetDlgItem(wizard, IDC_RI_txtName);
    ASSERT_TRUE(Keys(wizard, L"Tab"));
    ASSERT_TRUE(Type(wizard, TypedName));
    ASSERT_TRUE(WaitUntil([&] { return TextOf(name) == TypedName; })) << "the name box never had the focus";
    ASSERT_TRUE(Keys(wizard, L"Tab"));
    ASSERT_TRUE(Type(wizard, TypedTitle));
    ASSERT_TRUE(WaitUntil([&] { return TextOf(::GetDlgItem(wizard, IDC_RI_txtTitle)) == TypedTitle; }));
    ASSERT_TRUE(Keys(wizard, L"Return"));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(wizard, IDC_RI_cboCriteria)) != FALSE; }))
        << "Enter did not go to the wizard's next page";
    ASSERT_TRUE(Keys(wizard, L"Return"));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(wizard); })) << "Enter did not finish the wizard";
    ASSERT_TRUE(WaitUntil([&] { return RuleCount() == 2; }));
    // Alt+A applies: the rule is stored.
    ASSERT_TRUE(Keys(editor, L"alt+a"));
    ASSERT_TRUE(WaitUntil([&] { return Stored(TypedName); })) << "Alt+A stored nothing";

    // The menu key of the list: Shift+F10 opens the Edit menu, Escape closes it.
    ASSERT_TRUE(TabToRules(editor, thread)) << "Tab never reached the rules list";
    ASSERT_TRUE(Keys(editor, L"shift+F10"));
    EXPECT_TRUE(WaitUntil([&] { return ShownMenu(thread) != nullptr; })) << "Shift+F10 opened no menu";
    ASSERT_TRUE(Keys(editor, L"Escape"));
    ASSERT_TRUE(WaitUntil([&] { return ShownMenu(thread) == nullptr; }));

    // Delete asks first; Enter says yes. Ctrl+Z brings the rule back.
    ASSERT_TRUE(Keys(editor, L"Delete"));
    HWND confirm = ShownWindow(ConfirmDeleteCaption);
    ASSERT_NE(confirm, nullptr) << "Delete asked nothing";
    ASSERT_TRUE(Keys(confirm, L"Return"));
    ASSERT_TRUE(WaitUntil([&] { return RuleCount() == 1; })) << "the rule was not deleted";
    ASSERT_TRUE(Keys(editor, L"ctrl+z"));
    EXPECT_TRUE(WaitUntil([&] { return RuleCount() == 2; })) << "Ctrl+Z did not bring the rule back";

    // The view mode from the View menu: List, then Details again.
    ASSERT_TRUE(Keys(editor, L"alt+v"));
    ASSERT_TRUE(WaitUntil([&] { return ShownMenu(thread) != nullptr; }));
    ASSERT_TRUE(Keys(editor, L"l"));
    EXPECT_TRUE(WaitUntil([&] { return ListView() == LV_VIEW_LIST; })) << "View, List left the view as it was";
    ASSERT_TRUE(Keys(editor, L"alt+v"));
    ASSERT_TRUE(WaitUntil([&] { return ShownMenu(thread) != nullptr; }));
    ASSERT_TRUE(Keys(editor, L"d"));
    EXPECT_TRUE(WaitUntil([&] { return ListView() == LV_VIEW_DETAILS; }));

    // View, Toolbars, Customize: the separator at the head of the available
    // buttons added with Alt+A, and the box closed with Escape.
    const int buttons = ButtonCount(editor);
    ASSERT_TRUE(Keys(editor, L"alt+v"));
    ASSERT_TRUE(WaitUntil([&] { return ShownMenu(thread) != nullptr; }));
    ASSERT_TRUE(Keys(editor, L"t"));
    ASSERT_TRUE(WaitUntil([&] { return ShownMenu(thread) != nullptr; }));
    ASSERT_TRUE(Keys(editor, L"c"));
    HWND customize = ShownWindow(CustomizeCaption);
    ASSERT_NE(customize, nullptr) << "Customize opened nothing";
    ASSERT_TRUE(Keys(customize, L"alt+a"));
    ASSERT_TRUE(WaitUntil([&] { return ButtonCount(editor) == buttons + 1; })) << "Alt+A added no button";
    ASSERT_TRUE(Keys(customize, L"Escape"));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(customize); }));

    // Enter is OK: the editor closes with its edits; opened again, the
    // toolbar is as it was customized and the rule Ctrl+Z brought back is there.
    ASSERT_TRUE(Keys(editor, L"Return"));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(editor); }));
    EXPECT_TRUE(Stored(TypedName));
    editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(ButtonCount(editor), buttons + 1) << "the customized toolbar did not last";
}
