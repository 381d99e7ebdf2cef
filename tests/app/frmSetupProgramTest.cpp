// The rules editor of Pelkin.exe as a user meets it: it opens by itself on a
// first start, a second start of the program brings it up, and its edits are
// dropped when the user closes it but kept when the program exits.
#include <string>

#include "ProgramFixture.h"

using namespace testing_support;
using namespace program_test;

namespace {

// The editor's menu commands, as its menu bar sends them.
constexpr WPARAM ExitCommand = 103;
constexpr WPARAM DeleteCommand = 207;

class frmSetupProgramTest : public ProgramFixture {
protected:
    HWND Editor(const std::wstring& caption) const { return ShownWindow(caption); }
    // A second start of the program: it hands over to the running one and ends.
    bool StartAgain() const {
        ChildProcess second(ProgramPath(), L"");
        return second.Started() && second.WaitForExit(ExitTimeoutMs);
    }
};

}  // namespace

TEST_F(frmSetupProgramTest, AFirstStartOpensTheEditorAndASecondStartBringsItBack) {
    Start();
    HWND editor = Editor(DisabledTitle);
    ASSERT_NE(editor, nullptr) << "with no rule the editor opens, the program switched off";

    ASSERT_TRUE(StartAgain());
    EXPECT_EQ(CountWindows(DisabledTitle, program_->Id()), 1) << "the open editor is the one shown";
    EXPECT_EQ(CountWindows(MainCaption), 1) << "no second instance stays";

    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(editor); }));
    ASSERT_TRUE(StartAgain());
    EXPECT_NE(Editor(DisabledTitle), nullptr);
}

TEST_F(frmSetupProgramTest, EditsAreDroppedWhenTheEditorClosesAndKeptWhenTheProgramExits) {
    StoredRule keep;
    keep.name = L"Keep";
    keep.title = L"Setup program keep";
    StoreRule(keep, 1);
    StoredRule other = keep;
    other.name = L"Other";
    other.title = L"Setup program other";
    StoreRule(other, 2);
    for (const wchar_t* confirmation : {L"Delete", L"Exit", L"Save on Exit"})
        StoreOption(L"Options\\Confirmation", confirmation, L"False");
    Start();

    // The first rule deleted, then the window closed: nothing is stored.
    ASSERT_TRUE(StartAgain());
    HWND editor = Editor(Title);
    ASSERT_NE(editor, nullptr);
    ::PostMessageW(editor, WM_COMMAND, DeleteCommand, 0);
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(editor); }));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Keep"));

    // The same edit, then Exit: the program stores it on its way out. Had the
    // first edit stayed, this one would have deleted "Other".
    ASSERT_TRUE(StartAgain());
    editor = Editor(Title);
    ASSERT_NE(editor, nullptr);
    ::PostMessageW(editor, WM_COMMAND, DeleteCommand, 0);
    ::PostMessageW(editor, WM_COMMAND, ExitCommand, 0);
    ASSERT_TRUE(program_->WaitForExit(ExitTimeoutMs));
    program_.reset();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Keep"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, ProgramKey + L"\\Rules\\Other", L"Index").number, 1u);
}
