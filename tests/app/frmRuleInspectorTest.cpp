// The rule inspector over the running application, driven as a user would:
// fields set with the messages a user's clicks and keys send, Finish, Apply
// and OK pressed, message boxes answered, and the result read where it lands
// (the rule list, the icon preview's pixels). The window finder is dragged in
// the program's own test, over another program's window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <future>
#include <memory>
#include <string>

#include "CApplication.h"
#include "CRule.h"
#include "CRules.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Gdi.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "ScratchRegistry.h"
#include "Wait.h"
#include "frmMain.h"
#include "frmRuleInspector.h"
#include "frmRuleInspectorIds.h"

using namespace testing_support;

namespace {

constexpr int EditorWidth = 200, EditorHeight = 100;

class frmRuleInspectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        main_ = std::make_unique<frmMain>();
        main_->Initialize();
        ASSERT_TRUE(TheApp);
    }
    void TearDown() override {
        if (dialog_ && ::IsWindow(dialog_)) ::DestroyWindow(dialog_);
        main_->Close(frmMain::UnloadMode::WindowsShutdown);
        main_.reset();
        TheApp.reset();
    }

    HWND Open(std::shared_ptr<CRule> rule = nullptr, int32_t kind = frmRuleInspector::OwnedByProgram,
              HWND owner = nullptr) {
        auto form = frmRuleInspector::Create(TheApp);
        form->Display(std::move(rule), kind, owner ? owner : main_->hWnd());
        dialog_ = form->hWnd();
        return dialog_;
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const { return platform::ControlText(Item(id)); }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    void Click(int id) const { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void Type(int id, const std::wstring& text) const { ::SetWindowTextW(Item(id), text.c_str()); }
    void Choose(int id, int position) const {
        ::SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        ::SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    // Finish or OK pressed while a message box is expected: its text.
    std::wstring ClickExpectingBox(int id) const {
        auto box = AnswerDialog(L"Pelkin!", IDOK, ::GetCurrentProcessId());
        Click(id);
        return box.get();
    }
    // Whether anything but the background was drawn in the icon preview.
    bool PreviewDrawn() const {
        HWND picture = Item(IDC_RI_picIcon);
        RECT area{};
        ::GetClientRect(picture, &area);
        platform::MemoryBitmap bitmap(nullptr, area.right, area.bottom, platform::PixelFormat::TopDown32);
        DRAWITEMSTRUCT item{ODT_STATIC, IDC_RI_picIcon, 0, ODA_DRAWENTIRE, 0, picture, bitmap.dc(), area, 0};
        ::SendMessageW(dialog_, WM_DRAWITEM, IDC_RI_picIcon, reinterpret_cast<LPARAM>(&item));
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        for (int y = 0; y < area.bottom; ++y)
            for (int x = 0; x < area.right; ++x)
                if (bitmap.PixelAt(x, y) != face) return true;
        return false;
    }
    // A window standing in for the rules editor, which owns the inspectors it opens.
    static platform::UniqueWindow MakeEditor() {
        return platform::UniqueWindow(::CreateWindowExW(0, L"Static", L"Editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                                        0, 0, EditorWidth, EditorHeight, nullptr, nullptr, nullptr,
                                                        nullptr));
    }
    std::pair<int, int> ScrollRange() const {
        int minimum = 0, maximum = 0;
        ::GetScrollRange(Item(IDC_RI_scbIcon), SB_CTL, &minimum, &maximum);
        return {minimum, maximum};
    }

    ScratchRegistry registry_;
    std::unique_ptr<frmMain> main_;
    HWND dialog_ = nullptr;
};

}  // namespace

TEST_F(frmRuleInspectorTest, ARuleWithoutNameOrWindowIsRefusedAndTheSheetCommitsEachApply) {
    ASSERT_TRUE(Open());
    Click(IDC_RI_cmdNext);
    // An untouched wizard is refused too, not closed without a rule.
    EXPECT_EQ(ClickExpectingBox(IDOK), L"You must specify a rule name.");
    Type(IDC_RI_txtName, L"Nameless");
    Click(IDC_RI_cmdNext);
    EXPECT_EQ(ClickExpectingBox(IDOK), L"You must specify a title, class or program for this rule.");
    EXPECT_TRUE(::IsWindow(dialog_));
    EXPECT_TRUE(Visible(IDC_RI_txtTitle) && !Visible(IDC_RI_cboAction));
    EXPECT_EQ(::GetFocus(), Item(IDC_RI_txtTitle));
    EXPECT_EQ(TheApp->Rules().Count(), 0);
    Click(IDCANCEL);
    EXPECT_FALSE(::IsWindow(dialog_));

    // The sheet: the first Apply creates the rule, the second edits it.
    TheApp->SetWizardStyle(false);
    ASSERT_TRUE(Open());
    EXPECT_EQ(platform::ControlText(dialog_), L"New Rule");
    EXPECT_TRUE(Visible(IDC_RI_cmdApply) && !Visible(IDC_RI_cmdNext));
    Type(IDC_RI_txtName, L"First");
    Type(IDC_RI_txtClass, L"Notepad");
    Click(IDC_RI_chkMatchCase);
    Click(IDC_RI_chkPatternMatch);
    EXPECT_FALSE(platform::IsChecked(Item(IDC_RI_chkMatchCase)) || Enabled(IDC_RI_chkMatchCase));
    Click(IDC_RI_cmdApply);
    EXPECT_FALSE(Enabled(IDC_RI_cmdApply));
    Type(IDC_RI_txtName, L"Second");
    EXPECT_TRUE(Enabled(IDC_RI_cmdApply));
    Click(IDOK);
    EXPECT_FALSE(::IsWindow(dialog_));
    CRules& rules = TheApp->Rules();
    ASSERT_EQ(rules.Count(), 1);
    auto rule = rules.Item(std::wstring(L"Second"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->Class(), L"Notepad");
    EXPECT_EQ(rule->SearchMask(), TextMatch::Pattern);
    EXPECT_TRUE(rule->Enabled());

    // Its sheet: a program alone is enough to find windows by.
    ASSERT_TRUE(Open(rule));
    EXPECT_EQ(Text(IDC_RI_txtProgram), L"");
    Type(IDC_RI_txtClass, L"");
    Type(IDC_RI_txtProgram, L"notepad.exe");
    Click(IDOK);
    EXPECT_FALSE(::IsWindow(dialog_));
    EXPECT_EQ(rule->Class(), L"");
    EXPECT_EQ(rule->Program(), L"notepad.exe");
    ASSERT_TRUE(Open(rule));
    EXPECT_EQ(Text(IDC_RI_txtProgram), L"notepad.exe");
    Click(IDCANCEL);
}

TEST_F(frmRuleInspectorTest, TheIconPreviewScrollsThroughTheIconsOfAFileAndHasNoneToOfferFromATextFile) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring textFile = std::wstring(folder) + L"PelkinNoIcons.txt";
    std::ofstream(textFile.c_str()) << "no icons here\n";
    RuleDefinition definition{L"Iconless", L"Some Title", L"", 0, ActionHideInTray, CriteriaOnMinimize,
                              IconFromFile, textFile, 0, 128, 0, true, L""};
    CRules& rules = TheApp->Rules();
    ASSERT_TRUE(rules.Add(definition));
    // Opened by the rules editor, which waits disabled while it is open.
    auto editor = MakeEditor();
    ASSERT_TRUE(Open(rules.Item(std::wstring(L"Iconless")), frmRuleInspector::OwnedByEditor, editor.get()));
    EXPECT_EQ(platform::ControlText(dialog_), L"Open Rule: Iconless");
    EXPECT_FALSE(::IsWindowEnabled(editor.get()));
    Click(IDC_RI_cmdFind + 0);  // a click without a drag is no edit
    EXPECT_FALSE(Enabled(IDC_RI_cmdApply));
    TabCtrl_SetCurSel(Item(IDC_RI_tbsOptions), 1);
    NMHDR change{Item(IDC_RI_tbsOptions), IDC_RI_tbsOptions, static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageW(dialog_, WM_NOTIFY, IDC_RI_tbsOptions, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(Visible(IDC_RI_picIcon) && Visible(IDC_RI_scbIcon));
    EXPECT_FALSE(Enabled(IDC_RI_scbIcon));
    EXPECT_EQ(ScrollRange(), std::make_pair(0, 0));
    EXPECT_FALSE(PreviewDrawn());
    Click(IDCANCEL);
    EXPECT_TRUE(::IsWindowEnabled(editor.get()));

    // A new rule's icons come from the shell's library: the scroll bar runs
    // over them, and the icon scrolled to is the one saved.
    ASSERT_TRUE(Open());
    Click(IDC_RI_cmdNext);
    EXPECT_FALSE(Visible(IDC_RI_picIcon) || Enabled(IDC_RI_scbIcon) || Enabled(IDC_RI_cmdBrowse));
    Choose(IDC_RI_cboIcon, IconFromFile);
    EXPECT_TRUE(Visible(IDC_RI_picIcon) && Enabled(IDC_RI_scbIcon) && Enabled(IDC_RI_cmdBrowse));
    const auto [minimum, maximum] = ScrollRange();
    EXPECT_LT(minimum, -1);
    EXPECT_EQ(maximum, 0);
    EXPECT_TRUE(PreviewDrawn());
    ::SendMessageW(dialog_, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(Item(IDC_RI_scbIcon)));
    ::SendMessageW(dialog_, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(Item(IDC_RI_scbIcon)));
    ::SendMessageW(dialog_, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(Item(IDC_RI_scbIcon)));
    EXPECT_EQ(::GetScrollPos(Item(IDC_RI_scbIcon), SB_CTL), -2);
    // A digit on the cleared auto-hide check box checks it and starts the delay.
    ::SendMessageW(Item(IDC_RI_chkAutoHideDelay), WM_CHAR, L'5', 0);
    EXPECT_TRUE(platform::IsChecked(Item(IDC_RI_chkAutoHideDelay)));
    EXPECT_EQ(Text(IDC_RI_txtAutoHideDelay), L"5");
    Click(IDC_RI_cmdBack);
    Type(IDC_RI_txtName, L"Shell icon");
    Type(IDC_RI_txtTitle, L"Some Title");
    Click(IDOK);
    auto rule = rules.Item(std::wstring(L"Shell icon"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->IconLocation(), IconFromFile);
    EXPECT_EQ(rule->IconFilename(), L"Shell32.dll");
    EXPECT_EQ(rule->IconPosition(), 2);
    EXPECT_EQ(rule->AutoHideDelay(), 5);
    ::DeleteFileW(textFile.c_str());
}

namespace {

// A window's client area as it paints itself, and one pixel of it.
COLORREF PrintedPixel(HWND window, POINT at) {
    RECT client{};
    ::GetClientRect(window, &client);
    platform::MemoryBitmap picture(nullptr, client.right, client.bottom, platform::PixelFormat::TopDown32);
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.dc()), PRF_CLIENT | PRF_ERASEBKGND);
    return picture.PixelAt(at.x, at.y);
}

}  // namespace

// The labels and check boxes of both tab pages stand on the page as the tab
// control draws it, not in boxes of the dialog's face colour.
TEST_F(frmRuleInspectorTest, LabelsAndCheckBoxesStandOnTheirTabPage) {
    ASSERT_TRUE(Open());
    HWND tabs = Item(IDC_RI_tbsOptions);
    const auto page = [&](HWND control, POINT inControl) {
        ::MapWindowPoints(control, tabs, &inControl, 1);
        return PrintedPixel(tabs, inControl);
    };
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    for (int id : {IDC_RI_lblName, IDC_RI_chkPatternMatch, IDC_RI_lblCriteria}) {
        if (id == IDC_RI_lblCriteria) ::SendMessageW(Item(IDC_RI_cmdNext), BM_CLICK, 0, 0);
        HWND control = Item(id);
        RECT bounds{};
        ::GetClientRect(control, &bounds);
        // The far end of the control, past its text.
        const POINT blank{bounds.right - 2, bounds.bottom / 2};
        const COLORREF expected = page(control, blank);
        EXPECT_EQ(PrintedPixel(control, blank), expected) << id << std::hex << ": the page is " << expected;
        if (expected != face) {
            EXPECT_NE(PrintedPixel(control, blank), face) << id;
        }
    }
}
