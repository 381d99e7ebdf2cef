// Rules that travel: Pelkin.exe /export and /import, against the running
// program and with none running. A rule set exported on one profile and
// imported into a fresh one is stored value for value as it was and takes
// windows the same; a bad file changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "Dialogs.h"
#include "ProgramFixture.h"
#include "RulesFile.h"
#include "Strings.h"
#include "TestWindows.h"

using namespace testing_support;
using namespace program_test;

namespace {

const std::wstring RulesKey = ProgramKey + L"\\Rules";
constexpr wchar_t AutoStartMarker[] = L"C:\\autostart-of-this-pc\\Pelkin.exe";

std::wstring TempFile(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"Pelkin " + std::to_wstring(::GetCurrentProcessId()) + L" " + name;
}

// The stored rules as the registry holds them: each key's values by name
// (the registry's names ignore case), the keys in their stored order.
using StoredValues = std::map<std::wstring, RawValue>;
std::vector<std::pair<std::wstring, StoredValues>> StoredRules() {
    std::vector<std::pair<DWORD, std::pair<std::wstring, StoredValues>>> found;
    platform::UniqueHKey rules;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, RulesKey.c_str(), 0, KEY_READ, rules.put()) != ERROR_SUCCESS) return {};
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (::RegEnumKeyExW(rules.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        StoredValues values;
        for (const auto& value : ReadKey(RulesKey + L"\\" + name)) values[platform::ToLower(value.name)] = value;
        const DWORD position = ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\" + name, L"Index").number;
        found.push_back({position, {name, std::move(values)}});
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::wstring, StoredValues>> ordered;
    for (auto& entry : found) ordered.push_back(std::move(entry.second));
    return ordered;
}

std::vector<std::wstring> StoredNames() {
    std::vector<std::wstring> names;
    for (const auto& rule : StoredRules()) names.push_back(rule.first);
    return names;
}

std::wstring StoredTitle(const std::wstring& rule) { return ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\" + rule, L"Title").text; }

RuleDefinition Definition(const std::wstring& name, const std::wstring& title, int32_t action = ActionHide) {
    RuleDefinition rule;
    rule.name = name;
    rule.title = title;
    rule.action = action;
    rule.criteria = CriteriaAlways;
    rule.alpha = 128;
    rule.iconPosition = -1;
    rule.enabled = true;
    return rule;
}

void WriteFile(const std::wstring& path, const std::string& text) {
    ASSERT_EQ(rules_file::SaveFile(path, text), L"") << platform::Narrow(path);
}

std::string ReadText(const std::wstring& path) {
    auto text = rules_file::LoadFile(path);
    return std::holds_alternative<std::string>(text) ? std::get<std::string>(text) : std::string();
}

// The editor's File menu commands, as its menu bar sends them.
constexpr WPARAM ExportCommand = 104;
constexpr WPARAM ImportCommand = 105;
constexpr WPARAM ExitCommand = 103;
// The file name box of the system's file dialogs: a combo box in the
// explorer style, an edit box in the old one.
constexpr int FileNameCombo = 0x47c;
constexpr int FileNameEdit = 0x480;

// Types the path into the file dialog of that caption and presses its OK button.
bool ChooseFile(const std::wstring& caption, DWORD processId, const std::wstring& path) {
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = FindDialog(caption, processId)) != nullptr; })) return false;
    HWND name = ::GetDlgItem(dialog, FileNameCombo);
    if (!name) name = ::GetDlgItem(dialog, FileNameEdit);
    if (!name) return false;
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                          DefaultTimeoutMs, &ignored);
    return PressButton(dialog, IDOK) && WaitUntil([&] { return !::IsWindow(dialog); });
}

// The editor's caption is the program's title too: the box is the other
// window of that caption. Answered on another thread, as a user would.
std::future<std::wstring> AnswerBoxOver(HWND editor, DWORD processId, int button) {
    return std::async(std::launch::async, [=] {
        HWND box = nullptr;
        const bool shown = WaitUntil([&] {
            for (HWND window : TopLevelWindows(Title, processId, L"#32770"))
                if (window != editor && ::IsWindowVisible(window)) box = window;
            return box != nullptr;
        });
        if (!shown) return std::wstring(L"<no box>");
        std::wstring text = DialogText(box);
        PressButton(box, button);
        return text;
    });
}

// Once true, the box is gone and the command that showed it has returned: a
// message sent now is handled only after it, outside any box's own loop.
bool Settled(HWND editor, DWORD processId) {
    const bool gone = WaitUntil([&] {
        for (HWND window : TopLevelWindows(Title, processId, L"#32770"))
            if (window != editor && ::IsWindowVisible(window)) return false;
        return true;
    });
    DWORD_PTR ignored = 0;
    return gone && ::SendMessageTimeoutW(editor, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, DefaultTimeoutMs, &ignored);
}

class RulesFileProgramTest : public ProgramFixture {
protected:
    void TearDown() override {
        for (const auto& path : files_) ::DeleteFileW(path.c_str());
        ProgramFixture::TearDown();
    }

    std::wstring File(const std::wstring& name) {
        files_.push_back(TempFile(name));
        return files_.back();
    }

    // A later start with these arguments; its exit code.
    static DWORD Run(const std::wstring& arguments) {
        ChildProcess command(ProgramPath(), arguments);
        EXPECT_TRUE(command.Started());
        DWORD exitCode = 99;
        EXPECT_TRUE(command.WaitForExit(ExitTimeoutMs, &exitCode)) << platform::Narrow(arguments);
        return exitCode;
    }
    static std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

    std::vector<std::wstring> files_;
    TestWindowProgram testwin_;
};

}  // namespace

TEST_F(RulesFileProgramTest, RulesExportedFromOneProfileWorkTheSameInAFreshOne) {
    // The first PC: a rule stored by hand, and rules of every field and
    // action imported there, Unicode names and titles among them.
    const std::wstring title = L"Путешествие ✈ " + std::to_wstring(::GetCurrentProcessId());
    StoreRule({L"Stored by hand", L"by hand", 2, 0, 200, L"HandClass", 3}, 1);
    std::vector<RuleDefinition> seed{Definition(L"Travelling ✈ rule", title)};
    RuleDefinition full = Definition(L"Полный — every field", L"*[0-9]#?", ActionHideInTray);
    full.windowClass = L"FullClass";
    full.program = L"C:\\Programme\\Ü\\full.exe";
    full.searchMask = 7;
    full.criteria = CriteriaOnMinimize;
    full.iconLocation = IconFromFile;
    full.iconFilename = L"C:\\Icons\\ö.ico";
    full.iconPosition = 2;
    full.alpha = 17;
    full.autoHideDelay = 30;
    full.enabled = false;
    seed.push_back(full);
    for (int32_t action = ActionOnTop; action <= ActionBringToFront; ++action)
        seed.push_back(Definition(L"Action " + std::to_wstring(action), L"never matches " + title, action));
    const std::wstring seedFile = File(L"seed.json");
    WriteFile(seedFile, rules_file::Write(seed));
    WriteText(HKEY_CURRENT_USER, RunKey, L"Pelkin!", AutoStartMarker);
    ASSERT_EQ(Run(L"/import " + Quoted(seedFile) + L" /quiet"), 0u) << "imported with no instance running";
    const auto first = StoredRules();
    ASSERT_EQ(first.size(), seed.size() + 1);
    EXPECT_EQ(first[0].first, L"Stored by hand");
    EXPECT_EQ(first[1].first, L"Travelling ✈ rule");

    const std::wstring exported = File(L"moved rules.json");
    ASSERT_EQ(Run(L"/export " + Quoted(exported) + L" /quiet"), 0u);
    const std::string text = ReadText(exported);
    EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(text.find("autostart-of-this-pc"), std::string::npos) << "settings of this PC stay here";

    // The fresh PC.
    ClearSettings();
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, ProgramKey));
    ASSERT_EQ(Run(L"/import " + Quoted(exported) + L" /quiet"), 0u);
    const auto second = StoredRules();
    ASSERT_EQ(second.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE(platform::Narrow(first[i].first));
        EXPECT_EQ(second[i].first, first[i].first);
        EXPECT_EQ(second[i].second, first[i].second) << "stored value for value as on the first PC";
    }
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists);

    // And they take windows there.
    HWND window = testwin_.Create(title);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::IsWindowVisible(window));
    Start();
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(window); })) << "the imported rule hides its window";
}

TEST_F(RulesFileProgramTest, TheRunningProgramImportsAndExportsAndABadFileChangesNothing) {
    StoreRule({L"Notepad", L"old", 1, 1, 128, L"", 0}, 1);
    StoreRule({L"Mail", L"mail", 1, 1, 128, L"", 0}, 2);
    Start();
    const std::wstring file = File(L"two rules.json");
    WriteFile(file, rules_file::Write({Definition(L"NOTEPAD", L"new"), Definition(L"Other", L"other")}));

    // A clash gets the next free number; with /replace the rule of that name is replaced where it stands.
    ASSERT_EQ(Run(L"/import " + Quoted(file) + L" /quiet"), 0u);
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"Notepad", L"Mail", L"NOTEPAD (2)", L"Other"}));
    EXPECT_EQ(StoredTitle(L"Notepad"), L"old");
    EXPECT_EQ(StoredTitle(L"NOTEPAD (2)"), L"new");
    WriteFile(file, rules_file::Write({Definition(L"Notepad", L"replaced")}));
    EXPECT_EQ(Run(L"/replace /import " + Quoted(file) + L" /quiet"), 3u) << "/replace is an import's word after it";
    ASSERT_EQ(Run(L"/import " + Quoted(file) + L" /replace /quiet"), 0u);
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"Notepad", L"Mail", L"NOTEPAD (2)", L"Other"}));
    EXPECT_EQ(StoredTitle(L"Notepad"), L"replaced");

    // Files that cannot be taken, a path written with forward slashes (which
    // holds "/u") among them: each is refused and nothing changes.
    const auto before = StoredRules();
    const std::wstring bad = File(L"bad.json");
    const std::string goodRule = "{\"name\": \"Good\"}";
    for (const std::string& text :
         {std::string("{\"format\": \"Pelkin rules\", \"version\": 1, \"rules\": [") + goodRule + ",]}",
          std::string("{\"format\": \"Pelkin rules\", \"version\": 2, \"rules\": []}"),
          std::string("{\"format\": \"Pelkin rules\", \"version\": 1, \"rules\": [") + goodRule +
              ", {\"name\": \"Bad\", \"criteria\": \"Sometimes\"}]}"}) {
        WriteFile(bad, text);
        EXPECT_EQ(Run(L"/import " + Quoted(bad) + L" /quiet"), 1u) << text;
    }
    EXPECT_EQ(Run(L"/import C:/users/nobody/none.json /quiet"), 1u);
    EXPECT_EQ(Run(L"/export /quiet"), 3u) << "no file named";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ProgramKey)) << "no path is taken for the uninstall switch";
    EXPECT_EQ(StoredRules(), before);

    // The running program writes its list, in its order.
    const std::wstring out = File(L"out.json");
    ASSERT_EQ(Run(L"/export " + Quoted(out) + L" /quiet"), 0u);
    auto exported = rules_file::Load(out);
    ASSERT_TRUE(std::holds_alternative<std::vector<RuleDefinition>>(exported));
    std::vector<std::wstring> names;
    for (const auto& rule : std::get<0>(exported)) names.push_back(rule.name);
    EXPECT_EQ(names, StoredNames());
    EXPECT_EQ(std::get<0>(exported)[0].title, L"replaced");
}

// The editor's File menu: the list written into a file, a bad file refused
// with its line, and a file's rules added with one question for the clash.
TEST_F(RulesFileProgramTest, TheEditorExportsAndImportsThroughItsFileMenu) {
    StoreRule({L"Notepad", L"old", 1, 1, 128, L"", 0}, 1);
    for (const wchar_t* confirmation : {L"Delete", L"Exit", L"Save on Exit"})
        StoreOption(L"Options\\Confirmation", confirmation, L"False");
    Start();
    ASSERT_EQ(Run(L"/setup"), 0u);
    HWND editor = ShownWindow(Title);
    ASSERT_TRUE(editor);

    const std::wstring exported = File(L"from the editor.json");
    ::PostMessageW(editor, WM_COMMAND, ExportCommand, 0);
    ASSERT_TRUE(ChooseFile(L"Export Rules", program_->Id(), exported));
    // Written once the dialog has gone, all at once: it is whole once it is there.
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesW(exported.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    auto written = rules_file::Load(exported);
    ASSERT_TRUE(std::holds_alternative<std::vector<RuleDefinition>>(written)) << platform::Narrow(std::get<1>(written));
    ASSERT_EQ(std::get<0>(written).size(), 1u);
    EXPECT_EQ(std::get<0>(written)[0].title, L"old");

    const std::wstring bad = File(L"bad for the editor.json");
    WriteFile(bad, "{\n  \"format\": \"Pelkin rules\",\n  \"version\": 7\n}\n");
    ::PostMessageW(editor, WM_COMMAND, ImportCommand, 0);
    auto refusal = AnswerBoxOver(editor, program_->Id(), IDOK);
    ASSERT_TRUE(ChooseFile(L"Import Rules", program_->Id(), bad));
    const std::wstring said = refusal.get();
    ASSERT_TRUE(Settled(editor, program_->Id()));
    EXPECT_NE(said.find(L"line 3: Its version (7) is not one this Pelkin reads"), std::wstring::npos)
        << platform::Narrow(said);

    const std::wstring two = File(L"two for the editor.json");
    WriteFile(two, rules_file::Write({Definition(L"Notepad", L"new"), Definition(L"Other", L"other")}));
    ::PostMessageW(editor, WM_COMMAND, ImportCommand, 0);
    auto question = AnswerBoxOver(editor, program_->Id(), IDNO);
    ASSERT_TRUE(ChooseFile(L"Import Rules", program_->Id(), two));
    const std::wstring asked = question.get();
    ASSERT_TRUE(Settled(editor, program_->Id()));
    EXPECT_NE(asked.find(L"Replace your rules of these names"), std::wstring::npos) << platform::Narrow(asked);
    EXPECT_NE(asked.find(L"\"Notepad (2)\""), std::wstring::npos) << platform::Narrow(asked);

    // While the editor holds edits not applied, a command-line import would
    // store them with it: it is refused.
    EXPECT_EQ(Run(L"/import " + Quoted(two) + L" /quiet"), 1u);
    EXPECT_EQ(StoredNames(), std::vector<std::wstring>{L"Notepad"});

    // Exit stores the edits on its way out, as Apply would.
    ::PostMessageW(editor, WM_COMMAND, ExitCommand, 0);
    ASSERT_TRUE(program_->WaitForExit(ExitTimeoutMs));
    program_.reset();
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"Notepad", L"Notepad (2)", L"Other"}));
    EXPECT_EQ(StoredTitle(L"Notepad"), L"old");
    EXPECT_EQ(StoredTitle(L"Notepad (2)"), L"new");
}
