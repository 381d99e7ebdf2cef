// One rule on its own: its fields and their rules, the custom icon taken from
// a file, the matching steps against a window of this process, and its record.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string>

#include "CRegistry.h"
#include "CRule.h"
#include "CWindow.h"
#include "CWindows.h"
#include "Handles.h"
#include "ModelDoubles.h"
#include "Process.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "TextMatch.h"
#include "Wait.h"

using namespace testing_support;

namespace {

const std::wstring RulesKey = L"Software\\Pelkin!\\Rules";
constexpr wchar_t MatchWindowClass[] = L"PelkinRuleMatchWindow";

// A window of this process, of the class the matching tests name.
platform::UniqueWindow MatchWindow(const wchar_t* title) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = MatchWindowClass;
    ::RegisterClassExW(&windowClass);
    return platform::UniqueWindow(::CreateWindowExW(0, MatchWindowClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                                    nullptr, nullptr, windowClass.hInstance, nullptr));
}
// Asks ExtractIconExW for the number of icons instead of an icon.
constexpr int CountIcons = -1;
constexpr int32_t NoIcon = -1;
// Which of a rule's two icons IconHandle gives.
constexpr int32_t Small = 0;
constexpr int32_t Large = 1;

// Whether the handle is a live icon, and its width.
struct IconState {
    bool alive = false;
    LONG width = 0;
};
IconState InspectIcon(HICON icon) {
    IconState state;
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return state;
    platform::UniqueGdiObject<HBITMAP> color(info.hbmColor);
    platform::UniqueGdiObject<HBITMAP> mask(info.hbmMask);
    BITMAP bitmap{};
    ::GetObjectW(color ? color.get() : mask.get(), sizeof bitmap, &bitmap);
    state.alive = true;
    state.width = bitmap.bmWidth;
    return state;
}

std::wstring Upper(std::wstring text) {
    ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

class CRuleTest : public ::testing::Test {
protected:
    ScratchRegistry registry_;
    model_test::RecordingHost host_;
};

}  // namespace

TEST_F(CRuleTest, NewRuleIsEmptyAndItsSettersKeepTheirRules) {
    auto rule = CRule::Create(&host_);
    EXPECT_EQ(rule->Name(), L"");
    EXPECT_EQ(rule->Title(), L"");
    EXPECT_EQ(rule->Class(), L"");
    EXPECT_EQ(rule->IconFilename(), L"");
    EXPECT_EQ(rule->SearchMask(), 0);
    EXPECT_EQ(rule->Action(), ActionHideInTray);
    EXPECT_EQ(rule->Criteria(), CriteriaOnMinimize);
    EXPECT_EQ(rule->IconLocation(), IconFromWindow);
    EXPECT_EQ(rule->IconPosition(), 0);
    EXPECT_EQ(rule->Alpha(), 0);
    EXPECT_EQ(rule->AutoHideDelay(), 0);
    EXPECT_FALSE(rule->Enabled());
    EXPECT_EQ(rule->Windows().Parent(), rule) << "the view knows its rule";

    // Switching a rule on or off is an edit like any other: tracking pauses.
    ASSERT_FALSE(host_.TookEdit());
    rule->SetEnabled(true);
    EXPECT_TRUE(rule->Enabled());
    EXPECT_TRUE(host_.TookEdit());
    rule->SetEnabled(false);
    EXPECT_TRUE(host_.TookEdit()) << "switching off is an edit too";

    // Only a window hidden into the tray can have its icon taken away later.
    rule->SetAutoHideDelay(30);
    EXPECT_EQ(rule->AutoHideDelay(), 30);
    rule->SetAction(ActionHide);
    rule->SetAutoHideDelay(30);
    EXPECT_EQ(rule->AutoHideDelay(), 0);

    // Search options are set and cleared as whole groups of bits.
    rule->SetSearchOptions(TextMatch::WholeWord, true);
    rule->SetSearchOptions(TextMatch::Pattern, true);
    EXPECT_EQ(rule->SearchMask(), TextMatch::WholeWord | TextMatch::Pattern);
    EXPECT_TRUE(rule->SearchOptions(TextMatch::Pattern));
    EXPECT_FALSE(rule->SearchOptions(TextMatch::WholeWord | TextMatch::MatchCase)) << "only when every bit is set";
    rule->SetSearchOptions(TextMatch::WholeWord | TextMatch::MatchCase, false);
    EXPECT_EQ(rule->SearchMask(), TextMatch::WholeWord | TextMatch::Pattern) << "not all of them were set";
    rule->SetSearchOptions(TextMatch::WholeWord | TextMatch::Pattern, false);
    EXPECT_EQ(rule->SearchMask(), 0);

    const wchar_t* const actions[] = {L"Hide in System Tray", L"Hide",  L"On Top",        L"Transparency",
                                      L"Ignore",              L"Close", L"Bring to Front"};
    for (int32_t action = ActionHideInTray; action <= ActionBringToFront; ++action) {
        rule->SetAction(action);
        EXPECT_EQ(rule->ActionString(), actions[action]);
    }
    for (int32_t other : {int32_t{ActionNone}, int32_t{ActionBringToFront + 1}, int32_t{100}}) {
        rule->SetAction(other);
        EXPECT_EQ(rule->ActionString(), L"") << other;
    }
    rule->SetCriteria(CriteriaOnMinimize);
    EXPECT_EQ(rule->CriteriaString(), L"On Minimize Only");
    rule->SetCriteria(CriteriaAlways);
    EXPECT_EQ(rule->CriteriaString(), L"Always");
    for (int32_t other : {int32_t{CriteriaNone}, int32_t{CriteriaAlways + 1}}) {
        rule->SetCriteria(other);
        EXPECT_EQ(rule->CriteriaString(), L"") << other;
    }
}

TEST_F(CRuleTest, CustomIconIsExtractedOnceAndDroppedWhenItsSettingChanges) {
    const std::wstring file = BesideTests(L"Pelkin.exe");
    const UINT icons = ::ExtractIconExW(file.c_str(), CountIcons, nullptr, nullptr, 0);
    ASSERT_GE(icons, 2u) << "the program file carries several icons";

    auto rule = CRule::Create();
    rule->SetIconFilename(file);
    EXPECT_EQ(rule->IconHandle(Small), nullptr) << "the window's own icon is used";

    rule->SetIconLocation(IconFromFile);
    HICON smallIcon = rule->IconHandle(Small);
    HICON largeIcon = rule->IconHandle(Large);
    ASSERT_TRUE(InspectIcon(smallIcon).alive);
    ASSERT_TRUE(InspectIcon(largeIcon).alive);
    EXPECT_EQ(InspectIcon(smallIcon).width, ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(InspectIcon(largeIcon).width, ::GetSystemMetrics(SM_CXICON));
    for (int32_t neither : {Large + 1, Small - 1}) EXPECT_EQ(rule->IconHandle(neither), nullptr) << neither;
    EXPECT_EQ(rule->IconHandle(Small), smallIcon) << "extracted once, then kept";
    EXPECT_EQ(rule->IconHandle(Large), largeIcon);

    // The same settings again: tracked windows may still show these icons.
    rule->SetIconFilename(Upper(file));
    rule->SetIconPosition(0);
    rule->SetIconLocation(IconFromFile);
    EXPECT_EQ(rule->IconFilename(), file) << "a change of letter case is not taken over";
    EXPECT_EQ(rule->IconHandle(Small), smallIcon);
    EXPECT_EQ(rule->IconHandle(Large), largeIcon);

    // Each real change lets the old icons go and extracts anew.
    rule->SetIconPosition(1);
    EXPECT_FALSE(InspectIcon(smallIcon).alive);
    EXPECT_FALSE(InspectIcon(largeIcon).alive);
    smallIcon = rule->IconHandle(Small);
    EXPECT_TRUE(InspectIcon(smallIcon).alive);
    EXPECT_TRUE(InspectIcon(rule->IconHandle(Large)).alive);

    rule->SetIconLocation(IconFromWindow);
    EXPECT_FALSE(InspectIcon(smallIcon).alive);
    EXPECT_EQ(rule->IconHandle(Small), nullptr);
    rule->SetIconLocation(IconFromFile);
    smallIcon = rule->IconHandle(Small);
    EXPECT_TRUE(InspectIcon(smallIcon).alive);

    rule->SetIconFilename(BesideTests(L"Kestrix.dll"));
    EXPECT_FALSE(InspectIcon(smallIcon).alive);

    rule->SetIconFilename(file);
    rule->SetIconPosition(NoIcon);
    EXPECT_EQ(rule->IconHandle(Small), nullptr);
    EXPECT_EQ(rule->IconHandle(Large), nullptr);

    rule->SetIconPosition(static_cast<int32_t>(icons));
    EXPECT_EQ(rule->IconHandle(Small), nullptr) << "past the last icon";
    EXPECT_EQ(rule->IconHandle(Large), nullptr);

    // A missing file is tried once per setting, not at every use.
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring later = std::wstring(temp) + L"PelkinRuleTestIcons.exe";
    ::DeleteFileW(later.c_str());
    rule->SetIconPosition(0);
    rule->SetIconFilename(later);
    EXPECT_EQ(rule->IconHandle(Small), nullptr);
    EXPECT_EQ(rule->IconHandle(Large), nullptr);
    ASSERT_TRUE(::CopyFileW(file.c_str(), later.c_str(), FALSE));
    EXPECT_EQ(rule->IconHandle(Small), nullptr);
    rule->SetIconPosition(1);
    EXPECT_TRUE(InspectIcon(rule->IconHandle(Small)).alive) << "a new setting tries again";
    rule->SetIconFilename(file);
    ::DeleteFileW(later.c_str());

    // The rule owns its icons: they go with it.
    rule->SetIconPosition(0);
    smallIcon = rule->IconHandle(Small);
    largeIcon = rule->IconHandle(Large);
    rule.reset();
    EXPECT_FALSE(InspectIcon(smallIcon).alive);
    EXPECT_FALSE(InspectIcon(largeIcon).alive);
}

TEST_F(CRuleTest, MatchingTestsEnabledMinimizedClassAndTitle) {
    platform::UniqueWindow window = MatchWindow(L"Untitled - Notepad");
    ASSERT_TRUE(window);
    const HWND hWnd = window.get();
    const std::wstring title = L"Untitled - Notepad";

    auto rule = CRule::Create(&host_);
    rule->SetCriteria(CriteriaAlways);
    EXPECT_FALSE(rule->IsMatch(hWnd, title, MatchWindowClass, false)) << "a disabled rule takes nothing";
    rule->SetEnabled(true);
    EXPECT_TRUE(rule->IsMatch(hWnd, title, MatchWindowClass, false)) << "no class, no title: every window";

    // The class is compared whole, ignoring case.
    rule->SetClass(L"pelkinrulematchWINDOW");
    EXPECT_TRUE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    rule->SetClass(L"PelkinRuleMatch");
    EXPECT_FALSE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    rule->SetClass(L"");

    // The title goes through the search options.
    rule->SetTitle(L"notepad");
    EXPECT_TRUE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    rule->SetSearchMask(TextMatch::MatchCase);
    EXPECT_FALSE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    rule->SetTitle(L"*notepad");
    rule->SetSearchMask(TextMatch::Pattern | TextMatch::MatchCase);
    EXPECT_TRUE(rule->IsMatch(hWnd, title, MatchWindowClass, false)) << "patterns ignore case";
    rule->SetTitle(L"Notepad");
    rule->SetSearchMask(TextMatch::Pattern);
    EXPECT_FALSE(rule->IsMatch(hWnd, title, MatchWindowClass, false)) << "a pattern covers the whole title";
    rule->SetTitle(L"");
    rule->SetSearchMask(0);

    // "On Minimize Only" waits for the window to be minimized.
    rule->SetCriteria(CriteriaOnMinimize);
    EXPECT_FALSE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    ::ShowWindow(hWnd, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(hWnd) != FALSE; }));
    EXPECT_TRUE(rule->IsMatch(hWnd, title, MatchWindowClass, false));
    EXPECT_EQ(host_.windows.Count(), 0) << "without `add` nothing is tracked";
}

TEST_F(CRuleTest, AProgramWrittenWithForwardSlashesDotsOrQuotesMatchesItsWindowsAndStaysAsWritten) {
    platform::UniqueWindow window = MatchWindow(L"Mine");
    ASSERT_TRUE(window);
    const std::wstring path = CWindow::ProgramPath(window.get());
    const size_t nameStart = path.find_last_of(L'\\');
    ASSERT_NE(nameStart, std::wstring::npos) << platform::Narrow(path);
    std::wstring folder = path.substr(0, nameStart);
    const std::wstring name = path.substr(nameStart + 1);
    const std::wstring lastFolder = folder.substr(folder.find_last_of(L'\\') + 1);
    std::replace(folder.begin(), folder.end(), L'\\', L'/');

    auto rule = CRule::Create(&host_);
    rule->SetCriteria(CriteriaAlways);
    rule->SetEnabled(true);
    const auto matches = [&](const std::wstring& program) {
        rule->SetProgram(program);
        return rule->IsMatch(window.get(), L"Mine", MatchWindowClass, false);
    };
    const std::wstring written = L" \"" + folder + L"/./../" + lastFolder + L"//" + name + L"\" ";
    EXPECT_TRUE(matches(written)) << platform::Narrow(written);
    EXPECT_EQ(rule->Program(), written) << "the rule keeps what the user wrote";
    EXPECT_TRUE(matches(L"\"" + name + L"\""));
    EXPECT_FALSE(matches(folder + L"/../" + name)) << "a folder above is another path";

    EXPECT_EQ(NormalizedProgramPath(L"C:/Tools/../app.exe"), L"C:\\app.exe");
    EXPECT_EQ(NormalizedProgramPath(L"C:\\..\\..\\app.exe"), L"C:\\app.exe") << "nothing lies above a root";
    EXPECT_EQ(NormalizedProgramPath(L"..\\tools\\.\\app.exe"), L"..\\tools\\app.exe");
    EXPECT_EQ(NormalizedProgramPath(L"//server/share/app.exe"), L"\\\\server\\share\\app.exe");
    EXPECT_EQ(NormalizedProgramPath(L"\"\""), L"");
}

TEST_F(CRuleTest, SaveWritesTheWholeRecordUnderItsName) {
    auto rule = CRule::Create();
    rule->SetName(L"Notepad");
    rule->SetTitle(L"Untitled - Notepad");
    rule->SetClass(L"Notepad");
    rule->SetSearchMask(TextMatch::WholeWord | TextMatch::MatchCase);
    rule->SetAction(ActionTransparency);
    rule->SetCriteria(CriteriaAlways);
    rule->SetIconLocation(IconFromFile);
    rule->SetIconFilename(L"C:\\Icons\\note.ico");
    rule->SetIconPosition(3);
    rule->SetAlpha(200);
    rule->SetEnabled(true);
    CRegistry store;
    rule->Save(store, L"Rules");

    const std::wstring key = RulesKey + L"\\Notepad";
    struct Number {
        const wchar_t* name;
        DWORD value;
    };
    for (const Number& expected : {Number{L"Action", ActionTransparency}, Number{L"Criteria", CriteriaAlways},
                                   Number{L"Icon Location", IconFromFile}, Number{L"Search Options", 3},
                                   Number{L"Icon Position", 3}, Number{L"Alpha", 200}, Number{L"AutoHide Delay", 0}}) {
        SCOPED_TRACE(platform::Narrow(expected.name));
        const StoredValue stored = ReadValue(HKEY_CURRENT_USER, key, expected.name);
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(stored.number, expected.value);
    }
    struct Text {
        const wchar_t* name;
        const wchar_t* value;
    };
    for (const Text& expected : {Text{L"Enabled", L"True"}, Text{L"Class", L"Notepad"},
                                 Text{L"Icon FileName", L"C:\\Icons\\note.ico"},
                                 Text{L"Title", L"Untitled - Notepad"}}) {
        SCOPED_TRACE(platform::Narrow(expected.name));
        const StoredValue stored = ReadValue(HKEY_CURRENT_USER, key, expected.name);
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(stored.text, expected.value);
    }

    // Saving again overwrites the record; a negative number keeps its bits.
    rule->SetEnabled(false);
    rule->SetIconPosition(NoIcon);
    rule->Save(store, L"Rules");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"Enabled").text, L"False");
    EXPECT_EQ(static_cast<int32_t>(ReadValue(HKEY_CURRENT_USER, key, L"Icon Position").number), NoIcon);
}
