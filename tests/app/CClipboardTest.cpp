// Cut, copy, paste, delete and the flip-flop undo of the rules editor.
#include <gtest/gtest.h>

#include "CApplication.h"
#include "CClipboard.h"
#include "CRules.h"
#include "Dialogs.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "ScratchRegistry.h"
#include "frmMain.h"

using namespace testing_support;

namespace {

constexpr wchar_t ConfirmCaption[] = L"Confirm Rule Delete";

class CClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheApp = std::make_shared<CApplication>();
        app_ = TheApp;
    }
    void TearDown() override {
        app_.reset();
        TheApp.reset();
    }

    std::shared_ptr<CRule> Add(const std::wstring& name) {
        RuleDefinition definition;
        definition.name = name;
        definition.title = name + L" title";
        definition.searchMask = 5;
        definition.action = ActionOnTop;
        definition.enabled = true;
        return app_->Rules().Add(definition);
    }

    // The rule names in list order.
    std::vector<std::wstring> Order() const {
        std::vector<std::wstring> names;
        for (const auto& entry : app_->Rules()) names.push_back(entry.value->Name());
        return names;
    }

    CRules& Rules() { return app_->Rules(); }
    CClipboard& Clipboard() { return app_->Clipboard(); }

    ScratchRegistry registry_;
    std::shared_ptr<CApplication> app_;
};

using Names = std::vector<std::wstring>;

}  // namespace

TEST_F(CClipboardTest, UndoFlipsAnAddedOrPastedRuleOutAndBackIn) {
    auto notepad = Add(L"Notepad");
    Add(L"Other");
    EXPECT_EQ(Clipboard().UndoObject()->Name(), L"Other") << "every added rule is the last change";
    EXPECT_FALSE(Clipboard().CanPaste());
    EXPECT_FALSE(Clipboard().Paste());

    Clipboard().Copy(L"notepad");
    EXPECT_EQ(Clipboard().ClipObject(), notepad);
    EXPECT_EQ(Clipboard().UndoObject()->Name(), L"Other") << "copying is no change";
    // What is pasted is the rule as it is then, not as it was copied.
    notepad->SetAlpha(77);
    ASSERT_TRUE(Clipboard().Paste());
    EXPECT_EQ(Order(), (Names{L"Notepad", L"Other", L"Copy of Notepad"}));
    auto copy = Rules().Item(std::wstring(L"Copy of Notepad"));
    EXPECT_NE(copy, notepad);
    EXPECT_EQ(copy->Alpha(), 77);
    EXPECT_EQ(copy->SearchMask(), 5);
    EXPECT_TRUE(copy->Enabled());
    ASSERT_TRUE(Clipboard().Paste());
    EXPECT_EQ(Order().back(), L"Copy (2) of Notepad");

    // Undo takes the last paste out; again, it comes back at the end.
    ASSERT_TRUE(Clipboard().Undo());
    EXPECT_EQ(Order(), (Names{L"Notepad", L"Other", L"Copy of Notepad"}));
    ASSERT_TRUE(Clipboard().Undo());
    EXPECT_EQ(Order(), (Names{L"Notepad", L"Other", L"Copy of Notepad", L"Copy (2) of Notepad"}));
}

TEST_F(CClipboardTest, ACutRuleIsPastedAsItselfThenAsACopy) {
    auto notepad = Add(L"Notepad");
    Add(L"Other");
    Clipboard().Cut(L"Notepad");
    EXPECT_EQ(Order(), (Names{L"Other"}));
    EXPECT_EQ(Clipboard().UndoAction(), UndoCut);
    ASSERT_TRUE(Clipboard().Paste());
    EXPECT_EQ(Order(), (Names{L"Other", L"Notepad"}));
    EXPECT_EQ(Rules().Item(std::wstring(L"Notepad")), notepad) << "the very object";
    ASSERT_TRUE(Clipboard().Paste());
    EXPECT_EQ(Order(), (Names{L"Other", L"Notepad", L"Copy of Notepad"}));

    // Undoing a cut puts the rule back at the end.
    Clipboard().Cut(L"Other");
    ASSERT_TRUE(Clipboard().Undo());
    EXPECT_EQ(Order(), (Names{L"Notepad", L"Copy of Notepad", L"Other"}));
    // Names that are no rule's change nothing.
    Clipboard().Cut(L"Nothing");
    Clipboard().Copy(L"Nothing");
    EXPECT_EQ(Clipboard().ClipObject()->Name(), L"Other");
    EXPECT_FALSE(Clipboard().Delete(L"Nothing"));
}

TEST_F(CClipboardTest, DeleteAsksFirstAndUndoBringsTheRuleBackAtTheEnd) {
    auto first = Add(L"First");
    Add(L"Second");
    Clipboard().Copy(L"First");

    auto no = AnswerDialog(ConfirmCaption, IDNO, ::GetCurrentProcessId());
    EXPECT_FALSE(Clipboard().Delete(L"First"));
    EXPECT_EQ(no.get(), L"Are you sure you want to delete 'First'?");
    EXPECT_EQ(Order(), (Names{L"First", L"Second"}));

    auto yes = AnswerDialog(ConfirmCaption, IDYES, ::GetCurrentProcessId());
    EXPECT_TRUE(Clipboard().Delete(L"First"));
    yes.get();
    EXPECT_EQ(Order(), (Names{L"Second"}));
    EXPECT_EQ(Clipboard().ClipObject(), first) << "deleting leaves the clipboard's rule";
    EXPECT_EQ(Clipboard().UndoAction(), UndoDeleted);

    ASSERT_TRUE(Clipboard().Undo());
    EXPECT_EQ(Order(), (Names{L"Second", L"First"}));
    ASSERT_TRUE(Clipboard().Undo());
    EXPECT_EQ(Order(), (Names{L"Second"}));

    // With the confirmation off, no question is asked.
    app_->SetConfirmations(ConfirmDelete, false);
    EXPECT_TRUE(Clipboard().Delete(L"Second"));
    EXPECT_TRUE(Order().empty());
}

// Loading the rules is no edit of the user's: right after start-up there is
// nothing to undo, and no rule the user never touched can be taken away.
TEST(CClipboardStartUpTest, AfterStartUpThereIsNothingToUndo) {
    ScratchRegistry registry;
    const std::wstring rules = L"Software\\Pelkin!\\Rules\\";
    WriteNumber(HKEY_CURRENT_USER, rules + L"Loaded first", L"Index", 1);
    WriteNumber(HKEY_CURRENT_USER, rules + L"Loaded last", L"Index", 2);
    frmMain form;
    ASSERT_TRUE(form.Initialize());
    auto app = TheApp;
    EXPECT_FALSE(app->Clipboard().CanUndo());
    EXPECT_FALSE(app->Clipboard().Undo());
    EXPECT_EQ(app->RuleCount(), 2);
    EXPECT_TRUE(app->Rules().Exists(std::wstring(L"Loaded last")));
    form.Close(frmMain::UnloadMode::WindowsShutdown);
    TheApp.reset();
}
