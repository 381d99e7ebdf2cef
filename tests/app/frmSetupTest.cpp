// The rules editor over the running application, driven as a user would:
// menu commands sent as the menu bar sends them, list items edited and
// checked in place, message boxes answered, and the result read where it
// lands (the list, the registry, the tracked windows, the caption).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CApplication.h"
#include "CTracker.h"
#include "CClipboard.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "Dialogs.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "Process.h"
#include "Strings.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "Variant.h"
#include "Wait.h"
#include "frmMain.h"
#include "frmSetup.h"
#include "frmRuleInspector.h"
#include "frmRuleInspectorIds.h"
#include "frmSetupIds.h"

using namespace testing_support;

namespace {

const std::wstring ProgramKey = L"Software\\Pelkin!";
const std::wstring RulesKey = ProgramKey + L"\\Rules\\";
// The editor's menu commands, as its menu bar reports them.
enum Command { OpenCommand = 202, HelpTopicsCommand = 601, CopyCommand = 205, PasteCommand = 206, DeleteCommand = 207, MoveDownCommand = 210 };
constexpr wchar_t ConfirmDeleteCaption[] = L"Confirm Rule Delete";
constexpr wchar_t RenameErrorCaption[] = L"Error Renaming Rule";
// The windows page refreshes every half second (the option is in tenths);
// a window destroyed goes from it at a refresh.
constexpr wchar_t HalfSecondRefresh[] = L"5";
// Where the lists show the programs of rules and of windows.
constexpr int ProgramColumn = 3;
constexpr int WindowProgramColumn = 4;
// A browser the shell started would have written its record by then.
constexpr DWORD NothingStartedMs = 2000;

void StoreRule(const std::wstring& name, const std::wstring& title, DWORD index) {
    const std::wstring key = RulesKey + name;
    WriteText(HKEY_CURRENT_USER, key, L"Enabled", L"True");
    WriteText(HKEY_CURRENT_USER, key, L"Title", title);
    WriteNumber(HKEY_CURRENT_USER, key, L"Action", static_cast<DWORD>(ActionIgnore));
    WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", static_cast<DWORD>(CriteriaAlways));
    WriteNumber(HKEY_CURRENT_USER, key, L"Index", index);
}

std::wstring Stored(const std::wstring& rule, const wchar_t* value) {
    const auto read = ReadValue(HKEY_CURRENT_USER, RulesKey + rule, value);
    if (!read.exists) return L"(none)";
    return read.type == REG_DWORD ? std::to_wstring(read.number) : read.text;
}

class frmSetupTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (main_) main_->Close(frmMain::UnloadMode::WindowsShutdown);
        main_.reset();
        TheApp.reset();
    }

    // Starts the application and opens the editor as the program does.
    bool Start() {
        main_ = std::make_unique<frmMain>();
        const bool loaded = main_->Initialize();
        app_ = TheApp;
        // As the program's start does.
        if (!loaded) app_->DisplaySetup();
        return loaded;
    }
    void OpenEditor() {
        app_->DisplaySetup();
        editor_ = app_->SetupWindow();
        ASSERT_NE(editor_, nullptr);
    }

    HWND At(int id) const { return ::GetDlgItem(editor_, id); }
    HWND Rules() const { return At(IDC_SETUP_LVWRULES); }
    void Run(int command) const { ::SendMessageW(editor_, WM_COMMAND, command, 0); }
    void Click(int id) const { ::SendMessageW(At(id), BM_CLICK, 0, 0); }
    bool ApplyEnabled() const { return ::IsWindowEnabled(At(IDC_SETUP_CMDAPPLY)) != FALSE; }

    static std::wstring Text(HWND list, int item, int column = 0) {
        wchar_t buffer[256] = {};
        ListView_GetItemText(list, item, column, buffer, 256);
        return buffer;
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (int item = 0; item < ListView_GetItemCount(Rules()); ++item) names.push_back(Text(Rules(), item));
        return names;
    }
    int Find(HWND list, const std::wstring& text) const {
        for (int item = 0; item < ListView_GetItemCount(list); ++item)
            if (Text(list, item) == text) return item;
        return -1;
    }
    void Select(const std::wstring& name) const {
        const int item = Find(Rules(), name);
        ASSERT_GE(item, 0) << "no item " << testing::PrintToString(name);
        ListView_SetItemState(Rules(), item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // F2 on the item, the new name typed, Enter.
    void Rename(const std::wstring& name, const std::wstring& typed) const {
        Select(name);
        ::SetFocus(Rules());
        HWND edit = ListView_EditLabel(Rules(), Find(Rules(), name));
        ASSERT_NE(edit, nullptr);
        ::SetWindowTextW(edit, typed.c_str());
        ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    }
    void ShowWindowsPage() const {
        TabCtrl_SetCurSel(At(IDC_SETUP_TBSVIEW), 1);
        NMHDR change{At(IDC_SETUP_TBSVIEW), IDC_SETUP_TBSVIEW, static_cast<UINT>(TCN_SELCHANGE)};
        ::SendMessageW(editor_, WM_NOTIFY, IDC_SETUP_TBSVIEW, reinterpret_cast<LPARAM>(&change));
    }
    ScratchRegistry registry_;
    std::unique_ptr<frmMain> main_;
    std::shared_ptr<CApplication> app_;
    HWND editor_ = nullptr;
};

using List = std::vector<std::wstring>;

}  // namespace

TEST_F(frmSetupTest, EditsGoToTheListApplyStoresThemAndCancelBringsTheStoredOnesBack) {
    StoreRule(L"Alpha", L"Setup test alpha", 1);
    StoreRule(L"Beta", L"Setup test beta", 2);
    StoreRule(L"Gamma", L"Setup test gamma", 3);
    ASSERT_TRUE(Start());
    OpenEditor();
    EXPECT_EQ(Names(), (List{L"Alpha", L"Beta", L"Gamma"}));
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(app_->Clipboard().CanUndo()) << "loading the rules is nothing the user could undo";

    // Renaming checks the name as every other path does: a name taken in
    // another letter case, or one with a backslash, is refused and the item
    // keeps its text.
    auto refused = AnswerDialog(RenameErrorCaption, IDOK);
    Rename(L"Alpha", L"bETA");
    EXPECT_NE(refused.get(), L"<no dialog>");
    auto split = AnswerDialog(RenameErrorCaption, IDOK);
    Rename(L"Alpha", L"Al\\pha");
    EXPECT_NE(split.get(), L"<no dialog>");
    EXPECT_EQ(Names(), (List{L"Alpha", L"Beta", L"Gamma"}));
    Rename(L"Alpha", L"First");
    EXPECT_EQ(Names(), (List{L"First", L"Beta", L"Gamma"}));
    EXPECT_TRUE(ApplyEnabled()) << "a rename is an edit";
    EXPECT_TRUE(app_->EditMode());
    EXPECT_FALSE(app_->Tracking()) << "tracking pauses while rules are edited";

    Select(L"First");
    Run(MoveDownCommand);
    EXPECT_EQ(Names(), (List{L"Beta", L"First", L"Gamma"}));
    ListView_SetCheckState(Rules(), Find(Rules(), L"Gamma"), FALSE);
    EXPECT_FALSE(app_->Rules().Item(std::wstring(L"Gamma"))->Enabled());

    Select(L"Beta");
    Run(CopyCommand);
    Run(PasteCommand);
    EXPECT_EQ(Names(), (List{L"Beta", L"First", L"Gamma", L"Copy of Beta"}));
    Select(L"Copy of Beta");
    auto keep = AnswerDialog(ConfirmDeleteCaption, IDNO);
    Run(DeleteCommand);
    EXPECT_EQ(keep.get(), L"Are you sure you want to delete 'Copy of Beta'?");
    EXPECT_EQ(Names().size(), 4u);
    auto remove = AnswerDialog(ConfirmDeleteCaption, IDYES);
    Run(DeleteCommand);
    remove.get();
    EXPECT_EQ(Names(), (List{L"Beta", L"First", L"Gamma"}));

    Click(IDC_SETUP_CMDAPPLY);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(app_->EditMode());
    EXPECT_EQ(Stored(L"Beta", L"Index"), L"1");
    EXPECT_EQ(Stored(L"First", L"Index"), L"2");
    EXPECT_EQ(Stored(L"Gamma", L"Index"), L"3");
    EXPECT_EQ(Stored(L"Gamma", L"Enabled"), L"False");
    EXPECT_EQ(Stored(L"First", L"Title"), L"Setup test alpha");
    EXPECT_EQ(Stored(L"Alpha", L"Index"), L"(none)");
    EXPECT_EQ(Stored(L"Copy of Beta", L"Index"), L"(none)");

    // Cancel: the list and the registry as they were, tracking running again.
    TestWindowProgram testwin;
    ASSERT_TRUE(testwin.Running());
    Select(L"Beta");
    Run(MoveDownCommand);
    EXPECT_TRUE(ApplyEnabled()) << "a move alone is an edit";
    auto yes = AnswerDialog(ConfirmDeleteCaption, IDYES);
    Run(DeleteCommand);
    yes.get();
    EXPECT_EQ(Names(), (List{L"First", L"Gamma"}));
    HWND beta = testwin.Create(L"Setup test beta window");
    ASSERT_NE(beta, nullptr);
    Click(IDCANCEL);
    EXPECT_FALSE(::IsWindow(editor_));
    EXPECT_EQ(app_->SetupWindow(), nullptr);
    EXPECT_FALSE(app_->EditMode());
    EXPECT_TRUE(app_->Tracking());
    EXPECT_EQ(Stored(L"Beta", L"Index"), L"1");
    std::vector<std::wstring> order;
    for (const auto& entry : app_->Rules()) order.push_back(entry.value->Name());
    EXPECT_EQ(order, (List{L"Beta", L"First", L"Gamma"}));
    EXPECT_TRUE(WaitUntil([&] { return TheApp->Tracker().Find(WindowKey(beta)) != nullptr; }))
        << "the restored rule takes its window";
}

TEST_F(frmSetupTest, TheWindowsPageListsWatchedWindowsTheirStateAndDropsDestroyedOnes) {
    StoreRule(L"Watch", L"Setup test watched", 1);
    WriteText(HKEY_CURRENT_USER, RulesKey + L"Watch", L"Program", L"TestWin.exe");
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options", L"Windows Refresh Interval", HalfSecondRefresh);
    // A stored filter out of range means "watched windows only".
    WriteText(HKEY_CURRENT_USER, ProgramKey, L"View", L"7");
    TestWindowProgram testwin;
    ASSERT_TRUE(testwin.Running());
    ASSERT_NE(testwin.Create(L"Setup test watched one"), nullptr);
    HWND second = testwin.Create(L"Setup test watched two");
    ASSERT_NE(testwin.Create(L"Setup test not watched"), nullptr);
    ASSERT_TRUE(Start());
    OpenEditor();
    EXPECT_EQ(::SendMessageW(At(IDC_SETUP_CBOVIEWS), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(Rules(), Find(Rules(), L"Watch"), ProgramColumn), L"TestWin.exe");
    ShowWindowsPage();
    HWND list = At(IDC_SETUP_LVWWINDOWS);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 2; }));
    for (const wchar_t* title : {L"Setup test watched one", L"Setup test watched two"}) {
        const int item = Find(list, title);
        ASSERT_GE(item, 0) << testing::PrintToString(std::wstring(title));
        EXPECT_EQ(Text(list, item, 1), L"Running");
        EXPECT_EQ(Text(list, item, 3), L"Watch");
        EXPECT_TRUE(platform::EqualsNoCase(Text(list, item, WindowProgramColumn), L"testwin.exe"));
    }
    EXPECT_LT(Find(list, L"Setup test not watched"), 0);
    // All windows: the task list joins the watched ones.
    HWND filter = At(IDC_SETUP_CBOVIEWS);
    ::SendMessageW(filter, CB_SETCURSEL, 0, 0);
    ::SendMessageW(editor_, WM_COMMAND, MAKEWPARAM(IDC_SETUP_CBOVIEWS, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(filter));
    EXPECT_TRUE(WaitUntil([&] { return Find(list, L"Setup test not watched") >= 0; }));
    EXPECT_EQ(Text(list, Find(list, L"Setup test not watched"), 3), L"");

    ASSERT_TRUE(testwin.Destroy(second));
    EXPECT_TRUE(WaitUntil([&] { return Find(list, L"Setup test watched two") < 0; }));
    ASSERT_TRUE(testwin.Hang(3000));
    EXPECT_TRUE(WaitUntil([&] {
        const int item = Find(list, L"Setup test watched one");
        return item >= 0 && Text(list, item, 1) == L"Not Responding";
    }));
    EXPECT_TRUE(WaitUntil([&] {
        const int item = Find(list, L"Setup test watched one");
        return item >= 0 && Text(list, item, 1) == L"Running";
    }));
}

TEST_F(frmSetupTest, AFirstStartOpensTheEditorAndTheFirstRuleAppliedSwitchesTheProgramOn) {
    EXPECT_FALSE(Start());
    editor_ = app_->SetupWindow();
    ASSERT_NE(editor_, nullptr) << "with no rule the editor opens";
    EXPECT_FALSE(app_->Enabled());
    wchar_t caption[64] = {};
    ::GetWindowTextW(editor_, caption, 64);
    EXPECT_STREQ(caption, L"Pelkin! (Disabled)");

    // The rule as the inspector adds it.
    RuleDefinition definition;
    definition.name = L"First rule";
    definition.title = L"Setup test first";
    definition.action = ActionIgnore;
    definition.criteria = CriteriaAlways;
    definition.enabled = true;
    ASSERT_TRUE(app_->Rules().Add(definition));
    EXPECT_EQ(Names(), (List{L"First rule"}));
    EXPECT_TRUE(ListView_GetCheckState(Rules(), 0));
    EXPECT_TRUE(ApplyEnabled());
    Click(IDOK);
    EXPECT_FALSE(::IsWindow(editor_));
    EXPECT_TRUE(app_->Enabled());
    EXPECT_TRUE(app_->Tracking());
    platform::ComPtr<_KestrixItem> icon;
    ASSERT_HRESULT_SUCCEEDED(app_->Kestrix()->Item(ProgramIconId, &icon));
    platform::Bstr tip;
    icon->get_ToolTipText(tip.put());
    EXPECT_EQ(tip.Text(), L"Pelkin!");
    app_->Dispose();
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled").text, L"True")
        << "the next start is switched on too";
}

namespace {

// While it lives, this process opens .html files with the recorder instead
// of a browser: the file type is registered in the scratch user hive, and the
// classes root is pointed there too, whether or not the system merges the
// user's file types into it.
class RecordingBrowser {
public:
    explicit RecordingBrowser(const std::wstring& record) : record_(record) {
        const std::wstring command =
            L"\"" + BesideTests(L"open_recorder.exe") + L"\" \"" + record + L"\" \"%1\"";
        WriteText(HKEY_CURRENT_USER, ClassesKey + L".html", L"", ProgId);
        WriteText(HKEY_CURRENT_USER, ClassesKey + ProgId + L"\\shell\\open\\command", L"", command);
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, ClassesKey.c_str(), 0, KEY_ALL_ACCESS, classes_.put()) == ERROR_SUCCESS)
            ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get());
    }
    ~RecordingBrowser() {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::DeleteFileW(record_.c_str());
    }
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;

    // The file the browser was last asked to open; empty when it was not.
    // The recorder renames its finished record into place and closes it a
    // moment later: until then the record can be seen but not read, nor
    // deleted, so both are waited for (a record left behind would answer
    // the next question).
    std::wstring Opened(DWORD timeoutMs = DefaultTimeoutMs) const {
        std::string text;
        if (!WaitUntil([&] { return Read(text); }, timeoutMs)) return L"";
        WaitUntil([&] { return ::DeleteFileW(record_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; });
        return platform::Widen(text);
    }

private:
    bool Read(std::string& text) const {
        std::ifstream file(std::filesystem::path(record_), std::ios::binary);
        if (!file) return false;
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }

    static inline const std::wstring ClassesKey = L"Software\\Classes\\";
    static constexpr wchar_t ProgId[] = L"PelkinTest.HelpPage";
    std::wstring record_;
    platform::UniqueHKey classes_;
};

std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

TEST_F(frmSetupTest, ARefusedRuleShowsGreyedWithItsReasonKeepsWhatIsStoredAndOnceMendedLoads) {
    StoreRule(L"Good", L"good title", 1);
    StoreRule(L"Bad", L"bad title", 2);
    WriteNumber(HKEY_CURRENT_USER, RulesKey + L"Bad", L"Action", 99);
    const RawKey stored = ReadKey(RulesKey + L"Bad");
    ASSERT_TRUE(Start());
    OpenEditor();
    ASSERT_EQ(Names(), (List{L"Good", L"Bad"})) << "the refused rule is listed after the loaded ones";
    const int bad = Find(Rules(), L"Bad");

    // Drawn in the grey of what cannot be used, and the tip says why.
    const auto textColour = [&](int item) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr = {Rules(), IDC_SETUP_LVWRULES, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(item);
        draw.clrText = CLR_DEFAULT;
        ::SendMessageW(editor_, WM_NOTIFY, IDC_SETUP_LVWRULES, reinterpret_cast<LPARAM>(&draw));
        return draw.clrText;
    };
    EXPECT_EQ(textColour(bad), ::GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(textColour(Find(Rules(), L"Good")), CLR_DEFAULT);
    wchar_t tipText[512] = {};
    NMLVGETINFOTIPW tip{};
    tip.hdr = {Rules(), IDC_SETUP_LVWRULES, static_cast<UINT>(LVN_GETINFOTIPW)};
    tip.pszText = tipText;
    tip.cchTextMax = static_cast<int>(std::size(tipText));
    tip.iItem = bad;
    ::SendMessageW(editor_, WM_NOTIFY, IDC_SETUP_LVWRULES, reinterpret_cast<LPARAM>(&tip));
    const std::wstring why = tipText;
    EXPECT_EQ(why.rfind(L"Not loaded: ", 0), 0u) << platform::Narrow(why);
    EXPECT_NE(why.find(L"\"Action\""), std::wstring::npos) << platform::Narrow(why);

    // Another edit applied: what is stored for it stays to the byte.
    ListView_SetCheckState(Rules(), Find(Rules(), L"Good"), FALSE);
    ASSERT_TRUE(ApplyEnabled());
    Click(IDC_SETUP_CMDAPPLY);
    EXPECT_EQ(ReadKey(RulesKey + L"Bad"), stored);
    EXPECT_EQ(Stored(L"Good", L"Enabled"), L"False");

    // Opened, it shows what could be read and why it did not load; given an
    // action, it is a rule of the list that loads from then on.
    Select(L"Bad");
    Run(OpenCommand);
    HWND mend = FindDialog(L"Mend Rule: Bad", ::GetCurrentProcessId());
    ASSERT_NE(mend, nullptr);
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(mend, IDC_RI_lblRefused)));
    wchar_t reason[512] = {};
    ::GetDlgItemTextW(mend, IDC_RI_lblRefused, reason, 512);
    EXPECT_EQ(std::wstring(reason), why) << "the inspector says what the tip says";
    wchar_t title[64] = {};
    ::GetDlgItemTextW(mend, IDC_RI_txtTitle, title, 64);
    EXPECT_STREQ(title, L"bad title");
    HWND action = ::GetDlgItem(mend, IDC_RI_cboAction);
    ::SendMessageW(action, CB_SETCURSEL, frmRuleInspector::GetIndexFromAction(ActionHide), 0);
    ::SendMessageW(mend, WM_COMMAND, MAKEWPARAM(IDC_RI_cboAction, CBN_SELCHANGE), reinterpret_cast<LPARAM>(action));
    ::SendMessageW(::GetDlgItem(mend, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(Names(), (List{L"Good", L"Bad"}));
    EXPECT_EQ(textColour(Find(Rules(), L"Bad")), CLR_DEFAULT);
    Click(IDC_SETUP_CMDAPPLY);
    EXPECT_EQ(Stored(L"Bad", L"Action"), std::to_wstring(ActionHide));
    app_->Rules().Reset();
    ASSERT_TRUE(app_->Rules().Exists(std::wstring(L"Bad"))) << "the mended rule loads";
    EXPECT_EQ(app_->Rules().Item(std::wstring(L"Bad"))->Title(), L"bad title");
    EXPECT_TRUE(app_->Rules().RefusedRules().empty());
}

TEST_F(frmSetupTest, HelpOpensThePageBesideTheProgramAndSaysSoWhenThereIsNone) {
    StoreRule(L"Alpha", L"Setup test alpha", 1);
    ASSERT_TRUE(Start());
    OpenEditor();
    const std::wstring page = platform::ModuleFolder() + L"\\Pelkin.html";
    ASSERT_NE(::GetFileAttributesW(page.c_str()), INVALID_FILE_ATTRIBUTES) << "the build puts the page beside the program";
    RecordingBrowser browser(TempFolder(L"pelkin-help-test") + L"\\opened.txt");

    Run(HelpTopicsCommand);
    std::wstring opened = browser.Opened();
    EXPECT_TRUE(platform::EqualsNoCase(opened, page)) << "opened \"" << opened << "\"";
    ::SetFocus(Rules());
    ::SendMessageW(Rules(), WM_KEYDOWN, VK_F1, 0);
    opened = browser.Opened();
    EXPECT_TRUE(platform::EqualsNoCase(opened, page)) << "F1 is Help Topics; opened \"" << opened << "\"";

    // The message box has the editor's caption: close the editor first so
    // that the box is the one window answered.
    Click(IDCANCEL);
    ASSERT_FALSE(::IsWindow(editor_));
    auto box = AnswerDialog(L"Pelkin!", IDOK);
    ShowHelpTopics(nullptr, TempFolder(L"pelkin-no-help"));
    EXPECT_EQ(box.get(), L"Unable to display Help Topics. There is no Help associated with this application.");
    EXPECT_EQ(browser.Opened(NothingStartedMs), L"") << "nothing is opened without the page";
}

// The Windows page's columns fit the list as the editor first opens; a move
// to a denser screen gives the controls a font and the columns widths for it.
TEST_F(frmSetupTest, TheWindowsColumnsFitTheListAndFollowADensityChange) {
    StoreRule(L"Watch", L"Setup test watched", 1);
    ASSERT_TRUE(Start());
    OpenEditor();
    ShowWindowsPage();
    HWND list = At(IDC_SETUP_LVWWINDOWS);
    RECT client{};
    ::GetClientRect(list, &client);
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    ASSERT_GE(columns, 5);
    auto total = [&] {
        int sum = 0;
        for (int column = 0; column < columns; ++column) sum += ListView_GetColumnWidth(list, column);
        return sum;
    };
    EXPECT_LE(total(), client.right) << "a horizontal scroll bar is needed";
    EXPECT_GE(total(), client.right - ::GetSystemMetrics(SM_CXVSCROLL) - columns) << "the columns leave room unused";

    const int firstColumn = ListView_GetColumnWidth(list, 0);
    LOGFONTW before{}, after{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)), sizeof before, &before);
    RECT window{};
    ::GetWindowRect(editor_, &window);
    const UINT dpi = platform::WindowDpi(editor_);
    const UINT denser = dpi * 3 / 2;
    RECT suggested{window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                   window.top + (window.bottom - window.top) * 3 / 2};
    ::SendMessageW(editor_, WM_DPICHANGED, MAKEWPARAM(denser, denser), reinterpret_cast<LPARAM>(&suggested));
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)), sizeof after, &after);
    EXPECT_EQ(std::abs(after.lfHeight), ::MulDiv(std::abs(before.lfHeight), 3, 2));
    EXPECT_NEAR(ListView_GetColumnWidth(list, 0), firstColumn * 3 / 2, 1);
    HFONT rulesFont = reinterpret_cast<HFONT>(::SendMessageW(Rules(), WM_GETFONT, 0, 0));
    EXPECT_EQ(rulesFont, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0))) << "every control takes it";
}
