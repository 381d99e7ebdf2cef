// The rules file: a rule set written out and read back into an empty list is
// the same, value for value, also once stored; a file that cannot be taken
// changes nothing and says where and why; names that clash are settled.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "RulesFile.h"
#include "ScratchRegistry.h"
#include "Strings.h"

using namespace testing_support;

namespace {

std::vector<RuleDefinition> EveryField() {
    RuleDefinition tray;
    tray.name = L"Блокнот — notes ✓";
    tray.title = L"*ノート [0-9]#?";
    tray.windowClass = L"Notepad";
    tray.program = L"C:\\Program Files\\Ünïcode\\notepad.exe";
    tray.searchMask = 7;
    tray.action = ActionHideInTray;
    tray.criteria = CriteriaAlways;
    tray.iconLocation = IconFromFile;
    tray.iconFilename = L"C:\\Icons\\😀.ico";
    tray.iconPosition = 3;
    tray.alpha = 0;
    tray.autoHideDelay = 45;
    tray.enabled = false;
    RuleDefinition seeThrough;
    seeThrough.name = L"Glass \"quoted\" \\/\t";
    seeThrough.title = L"Line\r\nbreak";
    seeThrough.action = ActionTransparency;
    seeThrough.criteria = CriteriaOnMinimize;
    seeThrough.iconPosition = -1;
    seeThrough.alpha = 255;
    seeThrough.enabled = true;
    seeThrough.searchMask = 2;
    std::vector<RuleDefinition> rules{tray, seeThrough};
    for (int32_t action = ActionHide; action <= ActionBringToFront; ++action) {
        RuleDefinition other;
        other.name = L"Action " + std::to_wstring(action);
        other.action = action;
        other.enabled = true;
        other.iconPosition = INT32_MIN;
        other.alpha = 128;
        rules.push_back(other);
    }
    // Glass's name holds a backslash and a tab, which no stored name may: it
    // is the only one the loader would refuse, so it becomes a good one here.
    rules[1].name = L"Glass \"quoted\" /";
    return rules;
}

void ExpectSame(const std::vector<RuleDefinition>& expected, const std::vector<RuleDefinition>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto &a = expected[i], &b = actual[i];
        SCOPED_TRACE(platform::Narrow(a.name));
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.title, b.title);
        EXPECT_EQ(a.windowClass, b.windowClass);
        EXPECT_EQ(a.program, b.program);
        EXPECT_EQ(a.searchMask, b.searchMask);
        EXPECT_EQ(a.action, b.action);
        EXPECT_EQ(a.criteria, b.criteria);
        EXPECT_EQ(a.iconLocation, b.iconLocation);
        EXPECT_EQ(a.iconFilename, b.iconFilename);
        EXPECT_EQ(a.iconPosition, b.iconPosition);
        EXPECT_EQ(a.alpha, b.alpha);
        EXPECT_EQ(a.autoHideDelay, b.autoHideDelay);
        EXPECT_EQ(a.enabled, b.enabled);
    }
}

std::vector<RuleDefinition> Parsed(const std::string& text) {
    auto read = rules_file::Read(text);
    if (auto* problem = std::get_if<rules_file::Problem>(&read))
        ADD_FAILURE() << "line " << problem->line << ": " << platform::Narrow(problem->what);
    auto* rules = std::get_if<std::vector<RuleDefinition>>(&read);
    return rules ? *rules : std::vector<RuleDefinition>{};
}

rules_file::Problem Refused(const std::string& text) {
    auto read = rules_file::Read(text);
    auto* problem = std::get_if<rules_file::Problem>(&read);
    if (!problem) {
        ADD_FAILURE() << "the file was taken:\n" << text;
        return {};
    }
    return *problem;
}

std::vector<std::wstring> Names(const CRules& rules) {
    std::vector<std::wstring> names;
    for (const auto& entry : rules) names.push_back(entry.value->Name());
    return names;
}

std::string WithRules(const std::string& rules) {
    return "{\n  \"format\": \"Pelkin rules\",\n  \"version\": 1,\n  \"rules\": [\n" + rules + "\n  ]\n}\n";
}

}  // namespace

// Exported, imported into an empty list, stored and loaded again: the same
// rules in the same order; the text is plain UTF-8 a person can read.
TEST(RulesFileTest, EveryFieldSurvivesTheRoundTripThroughFileListAndRegistry) {
    ScratchRegistry scratch;
    const auto rules = EveryField();
    const std::string text = rules_file::Write(rules);
    ASSERT_FALSE(text.starts_with("\xEF\xBB\xBF")) << "no byte-order mark";
    EXPECT_NE(text.find("\"Hide in System Tray\""), std::string::npos);
    EXPECT_NE(text.find(platform::Narrow(L"Блокнот")), std::string::npos) << "names as text, not escapes";

    CRules imported;
    ASSERT_FALSE(rules_file::Import(imported, Parsed(text), rules_file::Clashes::KeepBoth));
    ExpectSame(rules, rules_file::Definitions(imported));

    CRegistry registry;
    ASSERT_TRUE(imported.Save(registry));
    CRules loaded;
    ASSERT_TRUE(loaded.Initialize(registry, RulesSection));
    ExpectSame(rules, rules_file::Definitions(loaded));
    EXPECT_TRUE(loaded.RefusedRules().empty());

    // Through the disk, and only the rules asked for.
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"Pelkin rules test ✓.json";
    ASSERT_EQ(rules_file::Save(path, rules_file::Definitions(loaded, {L"action 5", rules[0].name})), L"");
    auto back = rules_file::Load(path);
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(std::holds_alternative<std::vector<RuleDefinition>>(back)) << platform::Narrow(std::get<1>(back));
    ExpectSame({rules[0], rules[6]}, std::get<0>(back));
}

// A newer program's fields are passed over; what this one leaves out is the
// loader's default.
TEST(RulesFileTest, UnknownFieldsAreIgnoredAndMissingOnesTakeTheLoadersDefaults) {
    const auto rules = Parsed(
        "{\"format\":\"Pelkin rules\",\"version\":1,\"future\":{\"x\":[1,2]},"
        "\"rules\":[{\"name\":\"Only a name\",\"hotKey\":\"Ctrl+Alt+N\",\"more\":{\"deep\":[{}]}}]}");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].name, L"Only a name");
    EXPECT_TRUE(rules[0].enabled);
    EXPECT_EQ(rules[0].action, ActionHideInTray);
    EXPECT_EQ(rules[0].criteria, CriteriaOnMinimize);
    EXPECT_EQ(rules[0].iconPosition, -1);
    EXPECT_EQ(rules[0].alpha, 128);
}

// Each refusal names the line at fault and what is wrong with it; the list
// is not touched. The checks are the loader's own: what it refuses in the
// registry is refused here.
TEST(RulesFileTest, ABadFileIsRefusedWithItsLineAndChangesNothing) {
    const std::string good = "    {\n      \"name\": \"Good\",\n      \"title\": \"ok\"\n    }";
    struct Case {
        std::string text;
        int32_t line;
        std::wstring says;
    };
    const Case cases[] = {
        {"{\n  \"format\": \"Pelkin rules\",\n  \"version\": 1,\n  \"rules\": [\n    { \"name\": \"x\", }\n  ]\n}", 5,
         L"It is not JSON"},
        {"", 1, L"It is not JSON"},
        {"{\n  \"format\": \"Pelkin rules\",\n  \"version\": 2,\n  \"rules\": []\n}", 3,
         L"version (2) is not one this Pelkin reads; it reads version 1"},
        {"{\n  \"format\": \"something else\",\n  \"version\": 1\n}", 2, L"It is no rules file"},
        {"[1, 2]", 1, L"It is no rules file"},
        {WithRules(good + ",\n    {\n      \"name\": \"Bad\",\n      \"opacity\": 300\n    },\n" + good), 11,
         L"The rule \"Bad\": Its opacity is the number 300, outside 0 to 255."},
        {WithRules(good + ",\n    {\n      \"name\": \"Bad\",\n      \"action\": \"Explode\"\n    }"), 11,
         L"Rule 2: \"action\" is \"Explode\"; this Pelkin knows \"Hide in System Tray\""},
        {WithRules(good + ",\n    {\n      \"title\": \"nameless\"\n    }"), 9, L"Rule 2: A rule must have a name."},
        {WithRules(good + ",\n    {\n      \"name\": \"a\\\\b\"\n    }"), 10, L"cannot contain a backslash"},
        {WithRules(good + ",\n    {\n      \"name\": \"x\",\n      \"class\": \"a\\u0000b\"\n    }"), 11,
         L"Its class holds a zero character."},
        {WithRules(good + ",\n    {\n      \"name\": \"x\",\n      \"iconIndex\": 4294967296\n    }"), 11,
         L"\"iconIndex\" must be a whole number"},
        {WithRules(good + ",\n    {\n      \"name\": \"x\",\n      \"enabled\": \"yes\"\n    }"), 11,
         L"\"enabled\" must be true or false."},
        {WithRules(good + ",\n    {\n      \"name\": \"GOOD\"\n    }"), 10,
         L"the file holds a rule of this name before it (\"Good\")"},
        {WithRules(good + ",\n    42"), 9, L"Rule 2: A rule must be an object in braces, not 42."},
    };
    ScratchRegistry scratch;
    CRules rules;
    RuleDefinition kept;
    kept.name = L"Good";
    ASSERT_TRUE(rules.Add(kept));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto problem = Refused(c.text);
        EXPECT_EQ(problem.line, c.line);
        EXPECT_NE(problem.what.find(c.says), std::wstring::npos) << platform::Narrow(problem.what);
        const std::wstring shown = rules_file::Describe(L"C:\\rules.json", problem);
        EXPECT_TRUE(shown.starts_with(L"\"C:\\rules.json\", line " + std::to_wstring(c.line) + L": "))
            << platform::Narrow(shown);
    }
    // A rule the loader would refuse is refused by Import too, and nothing of
    // the rules before it goes in.
    RuleDefinition fine, bad;
    fine.name = L"Fine";
    bad.name = L"Bad";
    bad.criteria = 7;
    const auto problem = rules_file::Import(rules, {fine, bad}, rules_file::Clashes::KeepBoth);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(L"criteria"), std::wstring::npos);
    EXPECT_EQ(Names(rules), std::vector<std::wstring>{L"Good"});
    // A missing file is said with the system's words.
    auto missing = rules_file::Load(L"C:\\no such folder\\rules.json");
    ASSERT_TRUE(std::holds_alternative<std::wstring>(missing));
    EXPECT_TRUE(std::get<1>(missing).starts_with(L"\"C:\\no such folder\\rules.json\": "));
}

// Clashing names get the next free "(n)" after the list's rules; replacing
// keeps the replaced rule's place. A long name gives way to its number.
TEST(RulesFileTest, ClashingNamesAreNumberedOrReplacedInPlace) {
    ScratchRegistry scratch;
    CRules rules;
    for (const wchar_t* name : {L"Notepad", L"Notepad (2)", L"Mail"}) {
        RuleDefinition rule;
        rule.name = name;
        rule.title = L"old";
        ASSERT_TRUE(rules.Add(rule));
    }
    RuleDefinition notepad, mail, fresh, longName;
    notepad.name = L"NOTEPAD";
    notepad.title = L"new";
    notepad.enabled = true;
    mail.name = L"Mail";
    mail.title = L"new";
    fresh.name = L"Fresh";
    longName.name = std::wstring(255, L'x');
    const std::vector<RuleDefinition> file{notepad, mail, fresh, longName};

    EXPECT_EQ(rules_file::ClashingNames(rules, file), (std::vector<std::wstring>{L"NOTEPAD", L"Mail"}));
    ASSERT_FALSE(rules_file::Import(rules, file, rules_file::Clashes::KeepBoth));
    ASSERT_FALSE(rules_file::Import(rules, {longName}, rules_file::Clashes::KeepBoth));
    const std::wstring cut = std::wstring(251, L'x') + L" (2)";
    EXPECT_EQ(Names(rules), (std::vector<std::wstring>{L"Notepad", L"Notepad (2)", L"Mail", L"NOTEPAD (3)", L"Mail (2)",
                                                       L"Fresh", longName.name, cut}));

    ASSERT_FALSE(rules_file::Import(rules, {notepad, mail}, rules_file::Clashes::Replace));
    EXPECT_EQ(Names(rules), (std::vector<std::wstring>{L"NOTEPAD", L"Notepad (2)", L"Mail", L"NOTEPAD (3)", L"Mail (2)",
                                                       L"Fresh", longName.name, cut}));
    EXPECT_EQ(rules.Item(std::wstring(L"Notepad"))->Title(), L"new");
    EXPECT_TRUE(rules.Item(std::wstring(L"Notepad"))->Enabled()) << "the file's own value, not the replaced one's";
    EXPECT_EQ(rules.Item(std::wstring(L"Mail"))->Title(), L"new");
    EXPECT_EQ(rules.Item(std::wstring(L"Notepad (2)"))->Title(), L"old");
}
