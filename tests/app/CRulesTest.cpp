// The rule list: adding, editing, renaming, moving and removing rules with
// their events and messages, and the rules' record in the registry, also
// when a hand-edited or damaged registry holds odd positions, foreign types,
// malformed data and names the list cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "Error.h"
#include "ErrorModule.h"
#include "ExceptionLog.h"
#include "ExceptionLogReader.h"
#include "Guard.h"
#include "Handles.h"
#include "ModelDoubles.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "TextMatch.h"
#include "Wait.h"

using namespace testing_support;
using namespace model_test;

namespace {

const std::wstring RulesKey = L"Software\\Pelkin!\\Rules";
constexpr wchar_t AddCaption[] = L"Error Adding Rule";
constexpr wchar_t RenameCaption[] = L"Error Renaming Rule";
const std::wstring TakenReason = L"A rule with the name you specified already exists. Specify a different name.";
// The longest name one registry key can have.
constexpr size_t LongestName = 255;
constexpr int32_t NoIcon = -1;

std::wstring Describe(const RuleDefinition& rule) {
    return L"name=" + rule.name + L" title=" + rule.title + L" class=" + rule.windowClass + L" program=" + rule.program +
           L" mask=" + std::to_wstring(rule.searchMask) + L" action=" + std::to_wstring(rule.action) +
           L" criteria=" + std::to_wstring(rule.criteria) + L" location=" + std::to_wstring(rule.iconLocation) +
           L" file=" + rule.iconFilename + L" position=" + std::to_wstring(rule.iconPosition) +
           L" alpha=" + std::to_wstring(rule.alpha) + L" delay=" + std::to_wstring(rule.autoHideDelay) +
           L" enabled=" + std::to_wstring(rule.enabled);
}

struct RuleEvents : IRulesEvents {
    explicit RuleEvents(const CRules& rules) : rules(rules) {}
    void RuleAdd(const std::shared_ptr<CRule>& rule, int32_t index) override {
        seen.push_back(L"Add " + rule->Name() + L" " + std::to_wstring(index));
    }
    void RuleChange(const std::shared_ptr<CRule>& rule) override { seen.push_back(L"Change " + rule->Name()); }
    void RuleMove(const std::shared_ptr<CRule>& rule, int32_t index) override {
        seen.push_back(L"Move " + rule->Name() + L" " + std::to_wstring(index));
    }
    void RuleRemove(const std::shared_ptr<CRule>& rule) override {
        seen.push_back(L"Remove " + rule->Name() + L" (inList=" + std::to_wstring(rules.IndexOf(rule) != 0) + L")");
    }
    std::vector<std::wstring> Take() { return std::exchange(seen, {}); }

    const CRules& rules;
    std::vector<std::wstring> seen;
};

std::vector<std::wstring> g_failures;
std::vector<std::wstring> g_descriptions;
void RecordFailure(const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
    g_failures.push_back(std::wstring(module) + L"." + std::wstring(procedure) + L" " +
                         std::to_wstring(failure.Number()));
    g_descriptions.push_back(failure.Description());
}

void CreateKey(const std::wstring& path) {
    platform::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
}

// Subkey names in the registry's own order.
std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[LongestName + 1];
    for (DWORD i = 0;; ++i) {
        DWORD length = LongestName + 1;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

RuleDefinition Named(const std::wstring& name) {
    RuleDefinition rule;
    rule.name = name;
    rule.title = name + L" window";
    return rule;
}

using Texts = std::vector<std::wstring>;

class CRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        rules_.Events().Add(&events_);
        g_failures.clear();
        g_descriptions.clear();
    }
    void TearDown() override {
        rules_.Events().Remove(&events_);
        platform::SetFailureLogger(nullptr);
        EXPECT_TRUE(prompt_.Take().empty()) << "a message nobody looked at";
    }

    // Rules as a loader adds them: no edit mode, no messages.
    void AddRules(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) ASSERT_TRUE(rules_.Add(Named(name), true)) << platform::Narrow(name);
        events_.Take();
    }

    // The keys of the list in order; each must be its rule's own name.
    Texts Names() const {
        Texts names;
        for (const auto& entry : rules_) {
            EXPECT_EQ(entry.key, entry.value->Name()) << "the key and the name part";
            names.push_back(entry.key);
        }
        return names;
    }

    // Whether a rule was edited (which puts the program into edit mode) since the last call.
    bool TookEditMode() { return host_.TookEdit(); }

    // Exactly one refusal came, with this caption and text.
    void ExpectOneBox(const std::wstring& caption, const std::wstring& text) {
        const auto seen = prompt_.Take();
        ASSERT_EQ(seen.size(), 1u) << platform::Narrow(text);
        EXPECT_EQ(seen[0].kind, ScriptedPrompt::Kind::Refuse) << platform::Narrow(text);
        EXPECT_EQ(seen[0].caption, caption);
        EXPECT_EQ(seen[0].text, text);
    }

    ScratchRegistry registry_;
    RecordingHost host_;
    ScriptedPrompt prompt_;
    CRules rules_{&host_, &prompt_};
    RuleEvents events_{rules_};
};

}  // namespace

TEST_F(CRulesTest, AddAppendsAndRefusesNamesThatCannotBeKept) {
    RuleDefinition notepad = Named(L"Notepad");
    notepad.windowClass = L"Notepad";
    notepad.searchMask = TextMatch::WholeWord | TextMatch::Pattern;
    notepad.action = ActionHideInTray;
    notepad.criteria = CriteriaAlways;
    notepad.iconLocation = IconFromFile;
    notepad.iconFilename = L"C:\\Icons\\note.ico";
    notepad.iconPosition = 2;
    notepad.alpha = 90;
    notepad.autoHideDelay = 15;
    notepad.enabled = true;
    auto first = rules_.Add(notepad, true);
    ASSERT_TRUE(first);
    EXPECT_FALSE(TookEditMode()) << "the loader's adds are no edits";
    EXPECT_EQ(Describe(first->Definition()), Describe(notepad));
    ASSERT_TRUE(rules_.Add(Named(L"Calculator")));
    EXPECT_TRUE(TookEditMode());
    EXPECT_EQ(Names(), (Texts{L"Notepad", L"Calculator"}));
    EXPECT_EQ(events_.Take(), (Texts{L"Add Notepad 0", L"Add Calculator 0"}));

    struct Refused {
        std::wstring name, reason;
    };
    const Refused refusals[] = {
        {L"NOTEPAD", TakenReason},
        {L"", L"A rule must have a name."},
        {L"Tools\\Notepad", L"A rule's name cannot contain a backslash (\\)."},
        {std::wstring(LongestName + 1, L'x'), L"A rule's name cannot be longer than 255 characters."},
    };
    for (const auto& refused : refusals) {
        EXPECT_EQ(rules_.Add(Named(refused.name)), nullptr) << platform::Narrow(refused.name);
        ExpectOneBox(AddCaption, L"Cannot add rule '" + refused.name + L"': " + refused.reason);
    }
    EXPECT_EQ(Names(), (Texts{L"Notepad", L"Calculator"}));
    EXPECT_TRUE(events_.Take().empty());
    EXPECT_EQ(Describe(first->Definition()), Describe(notepad)) << "the refused twin changed nothing";

    EXPECT_TRUE(rules_.Add(Named(std::wstring(LongestName, L'x'))));
    EXPECT_EQ(rules_.Count(), 3);
}

TEST_F(CRulesTest, LookupByNameOrPositionAnswersNoneForAbsentRules) {
    AddRules({L"A", L"B", L"C"});
    EXPECT_EQ(rules_.Count(), 3);
    EXPECT_EQ(Names(), (Texts{L"A", L"B", L"C"}));
    ASSERT_TRUE(rules_.Item(L"b"));
    EXPECT_EQ(rules_.Item(L"b"), rules_.Item(2));
    EXPECT_EQ(rules_.Item(3)->Name(), L"C");
    EXPECT_TRUE(rules_.Exists(L"c"));
    EXPECT_TRUE(rules_.Exists(1));
    for (int32_t absent : {0, -1, 4}) {
        EXPECT_EQ(rules_.Item(absent), nullptr) << absent;
        EXPECT_FALSE(rules_.Exists(absent)) << absent;
    }
    for (const wchar_t* absent : {L"D", L"", L"A "}) {
        EXPECT_EQ(rules_.Item(absent), nullptr) << platform::Narrow(absent);
        EXPECT_FALSE(rules_.Exists(absent)) << platform::Narrow(absent);
    }

    // Positions are of the very object, not of a rule with the same name.
    EXPECT_EQ(rules_.IndexOf(rules_.Item(L"C")), 3);
    auto twin = CRule::Create();
    twin->SetName(L"B");
    EXPECT_EQ(rules_.IndexOf(twin), 0);
    EXPECT_EQ(rules_.IndexOf(nullptr), 0);
}

TEST_F(CRulesTest, EditChangesEveryFieldButEnabledAndKeepsThePosition) {
    AddRules({L"A", L"B", L"C"});
    auto b = rules_.Item(L"B");
    b->SetEnabled(true);
    TookEditMode();

    RuleDefinition changed = Named(L"Bee");
    changed.windowClass = L"BeeClass";
    changed.searchMask = TextMatch::MatchCase;
    changed.action = ActionTransparency;
    changed.criteria = CriteriaAlways;
    changed.iconLocation = IconFromFile;
    changed.iconFilename = L"bee.ico";
    changed.iconPosition = 4;
    changed.alpha = 100;
    changed.autoHideDelay = 5;
    changed.enabled = false;
    EXPECT_EQ(rules_.Edit(L"b", changed), b);
    EXPECT_TRUE(TookEditMode());
    EXPECT_EQ(Names(), (Texts{L"A", L"Bee", L"C"}));
    EXPECT_FALSE(rules_.Exists(L"B"));
    changed.enabled = true;
    EXPECT_EQ(Describe(b->Definition()), Describe(changed)) << "Enabled is not the editor's";
    EXPECT_EQ(events_.Take(), Texts{L"Change Bee"});

    // A new letter case is a new key, at the same place.
    changed.name = L"BEE";
    EXPECT_EQ(rules_.Edit(L"Bee", changed), b);
    EXPECT_EQ(Names(), (Texts{L"A", L"BEE", L"C"}));
    EXPECT_EQ(rules_.Item(L"bee")->Name(), L"BEE");
    EXPECT_EQ(events_.Take(), Texts{L"Change BEE"});

    // The ends of the list keep their places too.
    EXPECT_TRUE(rules_.Edit(L"A", Named(L"First")));
    EXPECT_TRUE(rules_.Edit(L"C", Named(L"Last")));
    EXPECT_EQ(Names(), (Texts{L"First", L"BEE", L"Last"}));
    EXPECT_EQ(events_.Take(), (Texts{L"Change First", L"Change Last"}));

    // Refused edits change nothing.
    EXPECT_EQ(rules_.Edit(L"BEE", Named(L"first")), nullptr);
    ExpectOneBox(RenameCaption, L"Cannot rename BEE: " + TakenReason);
    EXPECT_EQ(rules_.Edit(L"BEE", Named(L"Bee\\Hive")), nullptr);
    ExpectOneBox(RenameCaption, L"Cannot rename BEE: A rule's name cannot contain a backslash (\\).");
    EXPECT_EQ(rules_.Edit(L"Missing", Named(L"Other")), nullptr);
    EXPECT_TRUE(TookEditMode());
    EXPECT_EQ(Names(), (Texts{L"First", L"BEE", L"Last"}));
    EXPECT_EQ(Describe(b->Definition()), Describe(changed));
    EXPECT_TRUE(events_.Take().empty());

    // The only rule of the list.
    rules_.Remove(L"First");
    rules_.Remove(L"Last");
    events_.Take();
    EXPECT_EQ(rules_.Edit(L"BEE", Named(L"Only")), b);
    EXPECT_EQ(Names(), Texts{L"Only"});
}

TEST_F(CRulesTest, RenameKeepsThePositionAndAnnouncesOnlyRealChanges) {
    AddRules({L"A", L"Notepad", L"C"});
    auto notepad = rules_.Item(L"Notepad");
    EXPECT_TRUE(rules_.Rename(L"Notepad", L"NOTEPAD"));
    EXPECT_TRUE(TookEditMode());
    EXPECT_EQ(Names(), (Texts{L"A", L"NOTEPAD", L"C"}));
    EXPECT_EQ(rules_.Item(2), notepad);
    EXPECT_EQ(events_.Take(), Texts{L"Change NOTEPAD"});

    EXPECT_TRUE(rules_.Rename(L"NOTEPAD", L"NOTEPAD")) << "nothing to do is no failure";
    EXPECT_TRUE(TookEditMode());
    EXPECT_TRUE(events_.Take().empty());

    EXPECT_TRUE(rules_.Rename(L"A", L"Alpha"));
    EXPECT_TRUE(rules_.Rename(L"c", L"Charlie"));
    EXPECT_EQ(Names(), (Texts{L"Alpha", L"NOTEPAD", L"Charlie"}));
    EXPECT_EQ(events_.Take(), (Texts{L"Change Alpha", L"Change Charlie"}));

    EXPECT_FALSE(rules_.Rename(L"NOTEPAD", L"alpha"));
    ExpectOneBox(RenameCaption, L"Cannot rename NOTEPAD: " + TakenReason);
    EXPECT_FALSE(rules_.Rename(L"NOTEPAD", L""));
    ExpectOneBox(RenameCaption, L"Cannot rename NOTEPAD: A rule must have a name.");
    EXPECT_FALSE(rules_.Rename(L"Missing", L"Other"));
    EXPECT_EQ(Names(), (Texts{L"Alpha", L"NOTEPAD", L"Charlie"}));
    EXPECT_TRUE(events_.Take().empty());
}

TEST_F(CRulesTest, MoveShiftsOnePlaceAndAlwaysAnnouncesThePosition) {
    AddRules({L"A", L"B", L"C"});
    rules_.Move(L"A", MoveUp);
    EXPECT_TRUE(TookEditMode());
    rules_.Move(3, MoveDown);
    EXPECT_EQ(Names(), (Texts{L"A", L"B", L"C"}));
    EXPECT_EQ(events_.Take(), (Texts{L"Move A 1", L"Move C 3"}));

    rules_.Move(L"a", MoveDown);
    EXPECT_EQ(Names(), (Texts{L"B", L"A", L"C"}));
    rules_.Move(3, MoveUp);
    EXPECT_EQ(Names(), (Texts{L"B", L"C", L"A"}));
    rules_.Move(L"A", MoveUp);
    rules_.Move(L"A", MoveUp);
    EXPECT_EQ(Names(), (Texts{L"A", L"B", L"C"}));
    rules_.Move(L"B", MoveDown);
    EXPECT_EQ(Names(), (Texts{L"A", L"C", L"B"}));
    EXPECT_EQ(events_.Take(), (Texts{L"Move A 2", L"Move C 2", L"Move A 2", L"Move A 1", L"Move B 3"}));

    const int32_t sideways = MoveDown + 1;
    rules_.Move(2, sideways);
    rules_.Move(L"Missing", MoveUp);
    rules_.Move(0, MoveDown);
    EXPECT_EQ(Names(), (Texts{L"A", L"C", L"B"}));
    EXPECT_EQ(events_.Take(), Texts{L"Move C 2"});
}

TEST_F(CRulesTest, RemoveAnnouncesWhileTheRuleIsStillListed) {
    AddRules({L"A", L"B", L"C", L"D"});
    auto b = rules_.Item(L"B");
    rules_.Remove(L"b");
    EXPECT_TRUE(TookEditMode());
    EXPECT_EQ(events_.Take(), Texts{L"Remove B (inList=1)"});
    EXPECT_EQ(Names(), (Texts{L"A", L"C", L"D"}));
    EXPECT_EQ(rules_.IndexOf(b), 0);

    rules_.Remove(3);
    rules_.Remove(L"Missing");
    rules_.Remove(0);
    rules_.Remove(3);
    EXPECT_EQ(Names(), (Texts{L"A", L"C"}));
    EXPECT_EQ(events_.Take(), Texts{L"Remove D (inList=1)"});
}

TEST_F(CRulesTest, InsertPutsBackTheRuleItselfOrACopyUnderAFreeName) {
    EXPECT_EQ(rules_.Insert(nullptr), nullptr);

    RuleDefinition notepad = Named(L"Notepad");
    notepad.windowClass = L"Notepad";
    notepad.searchMask = TextMatch::WholeWord | TextMatch::MatchCase | TextMatch::Pattern;
    notepad.action = ActionOnTop;
    notepad.criteria = CriteriaAlways;
    notepad.iconLocation = IconFromFile;
    notepad.iconFilename = L"note.ico";
    notepad.iconPosition = 1;
    notepad.alpha = 77;
    notepad.autoHideDelay = 12;
    notepad.enabled = true;
    AddRules({L"A"});
    auto cut = rules_.Add(notepad, true);
    rules_.Remove(L"Notepad");
    AddRules({L"B"});
    TookEditMode();

    EXPECT_EQ(rules_.Insert(cut), cut) << "a free name takes the object itself";
    EXPECT_EQ(Names(), (Texts{L"A", L"B", L"Notepad"}));
    EXPECT_EQ(events_.Take(), Texts{L"Add Notepad 0"});

    auto copy = rules_.Insert(cut);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, cut);
    EXPECT_TRUE(TookEditMode());
    RuleDefinition expected = notepad;
    expected.name = L"Copy of Notepad";
    EXPECT_EQ(Describe(copy->Definition()), Describe(expected));
    EXPECT_TRUE(rules_.Insert(cut));
    EXPECT_TRUE(rules_.Insert(cut));
    EXPECT_EQ(Names(), (Texts{L"A", L"B", L"Notepad", L"Copy of Notepad", L"Copy (2) of Notepad",
                              L"Copy (3) of Notepad"}));
    EXPECT_EQ(events_.Take(),
              (Texts{L"Add Copy of Notepad 0", L"Add Copy (2) of Notepad 0", L"Add Copy (3) of Notepad 0"}));
    EXPECT_EQ(cut->Name(), L"Notepad") << "the original keeps its name";
}

TEST_F(CRulesTest, SaveRewritesTheStoredRulesFromScratch) {
    WriteNumber(HKEY_CURRENT_USER, RulesKey + L"\\Stale", L"Index", 1);
    AddRules({L"A", L"B", L"C"});
    rules_.Save();
    EXPECT_EQ(Subkeys(RulesKey).size(), 3u) << "the key is rebuilt, not merged";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RulesKey + L"\\Stale"));
    DWORD index = 1;
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        const StoredValue stored = ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\" + name, L"Index");
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD)) << platform::Narrow(name);
        EXPECT_EQ(stored.number, index++) << platform::Narrow(name);
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\" + name, L"Title").text, Named(name).title);
    }

    rules_.Remove(L"B");
    rules_.Rename(L"C", L"Charlie");
    rules_.Save();
    EXPECT_EQ(Subkeys(RulesKey).size(), 2u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RulesKey + L"\\B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RulesKey + L"\\C"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\A", L"Index").number, 1u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\Charlie", L"Index").number, 2u);
    events_.Take();
}

TEST_F(CRulesTest, SaveSpellsARenamedKeyAnewAndKeepsWhatARefusingRegistryHeld) {
    AddRules({L"notepad"});
    rules_.Save();
    rules_.Rename(L"notepad", L"NOTEPAD");
    rules_.Save();
    EXPECT_EQ(Subkeys(RulesKey), Texts{L"NOTEPAD"}) << "a key keeps its spelling unless made anew";
    events_.Take();

    // Below a volatile key no lasting key can be made: the registry refuses
    // the new rule but takes values into keys that exist.
    const std::wstring base = L"Software\\Refusing\\Pelkin!";
    for (const wchar_t* name : {L"Kept", L"Removed"}) {
        platform::UniqueHKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (base + L"\\Rules\\" + name).c_str(), 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    CRules refused(&host_, &prompt_);
    ASSERT_TRUE(refused.Add(Named(L"Kept"), true));
    ASSERT_TRUE(refused.Add(Named(L"New"), true));
    CRegistry registry(HKEY_LOCAL_MACHINE, base);
    EXPECT_FALSE(refused.Save(registry));
    const auto seen = prompt_.Take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, ScriptedPrompt::Kind::Warn);
    EXPECT_EQ(seen[0].text.rfind(L"The rules could not be saved: ", 0), 0u) << platform::Narrow(seen[0].text);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\Rules\\Removed")) << "nothing stored is deleted";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, base + L"\\Rules\\Kept", L"Title").text, Named(L"Kept").title);
}

TEST_F(CRulesTest, LoadingOrdersByIndexAndFillsMissingValuesWithDefaults) {
    platform::SetFailureLogger(RecordFailure);
    CRegistry store;
    EXPECT_FALSE(rules_.Initialize(store, RulesSection)) << "no key at all";
    CreateKey(RulesKey);
    EXPECT_FALSE(rules_.Initialize(store, RulesSection)) << "an empty key";
    EXPECT_EQ(rules_.Count(), 0);

    const std::wstring first = RulesKey + L"\\First";
    WriteNumber(HKEY_CURRENT_USER, first, L"Index", 3);
    WriteText(HKEY_CURRENT_USER, first, L"Title", L"Untitled - Notepad");
    WriteText(HKEY_CURRENT_USER, first, L"Class", L"Notepad");
    WriteNumber(HKEY_CURRENT_USER, first, L"Search Options", TextMatch::WholeWord);
    WriteNumber(HKEY_CURRENT_USER, first, L"Action", ActionClose);
    WriteText(HKEY_CURRENT_USER, first, L"Criteria", L"1");
    WriteNumber(HKEY_CURRENT_USER, first, L"Icon Location", IconFromFile);
    WriteText(HKEY_CURRENT_USER, first, L"Icon FileName", L"C:\\note.ico");
    WriteNumber(HKEY_CURRENT_USER, first, L"Icon Position", 0);
    WriteNumber(HKEY_CURRENT_USER, first, L"Alpha", 255);
    WriteNumber(HKEY_CURRENT_USER, first, L"AutoHide Delay", 9);
    WriteText(HKEY_CURRENT_USER, first, L"Enabled", L"False");
    WriteNumber(HKEY_CURRENT_USER, RulesKey + L"\\Second", L"Index", 2);
    const std::wstring third = RulesKey + L"\\Third";
    const BYTE binary[] = {1, 2, 3, 4};
    WriteRaw(HKEY_CURRENT_USER, third, L"Action", REG_BINARY, binary, sizeof binary);
    WriteText(HKEY_CURRENT_USER, third, L"Title", L"still read");
    WriteNumber(HKEY_CURRENT_USER, third, L"Criteria", CriteriaAlways);
    WriteNumber(HKEY_CURRENT_USER, third, L"Index", 1);
    ASSERT_EQ(Subkeys(RulesKey), (Texts{L"First", L"Second", L"Third"})) << "stored in another order than listed";

    EXPECT_TRUE(rules_.Initialize(store, RulesSection));
    EXPECT_EQ(Names(), (Texts{L"Second", L"First"}));
    EXPECT_FALSE(TookEditMode()) << "loading is no edit";

    RuleDefinition loaded;
    loaded.name = L"First";
    loaded.title = L"Untitled - Notepad";
    loaded.windowClass = L"Notepad";
    loaded.searchMask = TextMatch::WholeWord;
    loaded.action = ActionClose;
    loaded.criteria = CriteriaAlways;
    loaded.iconLocation = IconFromFile;
    loaded.iconFilename = L"C:\\note.ico";
    loaded.iconPosition = 0;
    loaded.alpha = 255;
    loaded.autoHideDelay = 9;
    loaded.enabled = false;
    EXPECT_EQ(Describe(rules_.Item(L"First")->Definition()), Describe(loaded));

    RuleDefinition defaults;
    defaults.name = L"Second";
    defaults.iconPosition = NoIcon;
    defaults.alpha = 128;
    defaults.enabled = true;
    EXPECT_EQ(Describe(rules_.Item(L"Second")->Definition()), Describe(defaults));

    // A rule with an unreadable value is left out, logged once, and takes no
    // position: the others close up. Loading it with a default in that
    // value's place would give it effects its owner never chose.
    EXPECT_FALSE(rules_.Exists(L"Third"));
    EXPECT_EQ(g_failures, Texts{L"CRules.Initialize 13"});
    EXPECT_TRUE(prompt_.Take().empty());
    EXPECT_EQ(events_.Take(), (Texts{L"Add Second 0", L"Add First 0"}));
}

TEST_F(CRulesTest, HandEditedPositionsLoseNoRule) {
    auto index = [](const wchar_t* name, DWORD value) {
        WriteNumber(HKEY_CURRENT_USER, RulesKey + L"\\" + name, L"Index", value);
    };
    const BYTE binary[] = {2, 0, 0, 0};
    index(L"Alpha", 2);
    index(L"Bravo", 1);
    WriteText(HKEY_CURRENT_USER, RulesKey + L"\\Charlie", L"Title", L"no position");
    index(L"Delta", 2);
    index(L"Echo", 0);
    index(L"Foxtrot", static_cast<DWORD>(-3));
    index(L"Golf", 99);
    WriteText(HKEY_CURRENT_USER, RulesKey + L"\\Hotel", L"Index", L"three");
    WriteText(HKEY_CURRENT_USER, RulesKey + L"\\India", L"Index", L"3");
    WriteRaw(HKEY_CURRENT_USER, RulesKey + L"\\Juliet", L"Index", REG_BINARY, binary, sizeof binary);
    index(L"Kilo", 11);
    const Texts stored = Subkeys(RulesKey);
    ASSERT_EQ(stored, (Texts{L"Alpha", L"Bravo", L"Charlie", L"Delta", L"Echo", L"Foxtrot", L"Golf", L"Hotel",
                             L"India", L"Juliet", L"Kilo"}))
        << "the registry lists keys in name order";

    EXPECT_TRUE(rules_.Initialize(CRegistry(), RulesSection));
    // The well-placed first, by position; the others after them as stored.
    EXPECT_EQ(Names(), (Texts{L"Bravo", L"Alpha", L"India", L"Kilo", L"Charlie", L"Delta", L"Echo", L"Foxtrot",
                              L"Golf", L"Hotel", L"Juliet"}));
    EXPECT_EQ(rules_.Item(L"Charlie")->Title(), L"no position");
    EXPECT_FALSE(TookEditMode());

    // Saving puts the positions right again.
    rules_.Save();
    CRules reloaded;
    reloaded.Initialize(CRegistry(), RulesSection);
    Texts names;
    for (const auto& entry : reloaded) names.push_back(entry.key);
    EXPECT_EQ(names, Names());
    events_.Take();
}

TEST_F(CRulesTest, SavedRulesComeBackTheSameAfterAReset) {
    const std::wstring accented = L"Caf\u00E9 \u00DCbersicht";  // "Cafe Ubersicht" with accents
    RuleDefinition full = Named(accented);
    full.windowClass = L"Shell_TrayWnd";
    full.searchMask = TextMatch::Pattern;
    full.action = ActionTransparency;
    full.criteria = CriteriaAlways;
    full.iconLocation = IconFromFile;
    full.iconFilename = L"C:\\Program Files\\Icons\\caf\u00E9.ico";
    full.iconPosition = 7;
    full.alpha = 33;
    full.enabled = false;
    RuleDefinition trayed = Named(L"  spaced  name  ");
    trayed.autoHideDelay = 45;
    trayed.enabled = true;
    RuleDefinition longest = Named(std::wstring(LongestName, L'n'));
    longest.title = L"";
    longest.iconPosition = NoIcon;
    longest.searchMask = TextMatch::WholeWord | TextMatch::MatchCase;
    longest.action = ActionBringToFront;
    for (const auto* definition : {&trayed, &full, &longest}) ASSERT_TRUE(rules_.Add(*definition));
    rules_.Move(L"  spaced  name  ", MoveDown);
    const Texts order = Names();
    ASSERT_EQ(order, (Texts{accented, L"  spaced  name  ", longest.name}));
    std::vector<std::shared_ptr<CRule>> before(rules_.Count());
    Texts described;
    for (int32_t position = 1; position <= rules_.Count(); ++position) {
        before[static_cast<size_t>(position - 1)] = rules_.Item(position);
        described.push_back(Describe(rules_.Item(position)->Definition()));
    }
    rules_.Save();
    events_.Take();

    rules_.Reset();
    EXPECT_EQ(events_.Take(), (Texts{L"Remove " + longest.name + L" (inList=1)", L"Remove   spaced  name   (inList=1)",
                                     L"Remove " + accented + L" (inList=1)", L"Add " + accented + L" 0",
                                     L"Add   spaced  name   0", L"Add " + longest.name + L" 0"}));
    EXPECT_EQ(Names(), order);
    for (int32_t position = 1; position <= rules_.Count(); ++position) {
        SCOPED_TRACE(position);
        EXPECT_NE(rules_.Item(position), before[static_cast<size_t>(position - 1)]) << "loaded anew";
        EXPECT_EQ(Describe(rules_.Item(position)->Definition()), described[static_cast<size_t>(position - 1)]);
    }
    EXPECT_TRUE(prompt_.Take().empty());
}

// ---- The loader against a registry edited by hand, by other programs, or damaged ----

namespace {

constexpr uint32_t FuzzSeed = 17;
constexpr int FuzzRuleCount = 400;
// One title in so many is a megabyte of text.
constexpr int HugeTitleEvery = 160;
constexpr size_t HugeTitleLength = 512 * 1024;
constexpr int BadRulePercent = 30;
constexpr int UnplacedPercent = 8;

using Bytes = std::vector<BYTE>;

Bytes BytesOf(const void* data, size_t size) {
    const auto* first = static_cast<const BYTE*>(data);
    return Bytes(first, first + size);
}
Bytes TextBytes(std::wstring_view text, size_t terminators = 1) {
    std::wstring stored(text);
    stored.append(terminators, L'\0');
    return BytesOf(stored.data(), stored.size() * sizeof(wchar_t));
}
Bytes NumberBytes(int32_t number) { return BytesOf(&number, sizeof number); }

void WriteKey(const std::wstring& path, const RawKey& values) {
    platform::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS) << platform::Narrow(path);
    for (const auto& value : values)
        ASSERT_EQ(::RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.bytes.data(),
                                   static_cast<DWORD>(value.bytes.size())),
                  ERROR_SUCCESS) << platform::Narrow(value.name);
}

RawKey Sorted(RawKey values) {
    std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return values;
}

// The stored fields of a rule, with the loader's defaults.
struct Field {
    const wchar_t* name;
    std::wstring RuleDefinition::*text = nullptr;
    int32_t RuleDefinition::*number = nullptr;
    bool RuleDefinition::*flag = nullptr;
    int32_t lowest = INT32_MIN;
    int32_t highest = INT32_MAX;
};
const Field Fields[] = {
    {L"Title", &RuleDefinition::title},
    {L"Class", &RuleDefinition::windowClass},
    {L"Program", &RuleDefinition::program},
    {L"Icon FileName", &RuleDefinition::iconFilename},
    {L"Search Options", nullptr, &RuleDefinition::searchMask, nullptr, 0,
     TextMatch::WholeWord | TextMatch::MatchCase | TextMatch::Pattern},
    {L"Action", nullptr, &RuleDefinition::action, nullptr, ActionHideInTray, ActionBringToFront},
    {L"Criteria", nullptr, &RuleDefinition::criteria, nullptr, CriteriaOnMinimize, CriteriaAlways},
    {L"Icon Location", nullptr, &RuleDefinition::iconLocation, nullptr, IconFromWindow, IconFromFile},
    {L"Icon Position", nullptr, &RuleDefinition::iconPosition},
    {L"Alpha", nullptr, &RuleDefinition::alpha, nullptr, 0, 255},
    {L"AutoHide Delay", nullptr, &RuleDefinition::autoHideDelay, nullptr, 0, INT32_MAX},
    {L"Enabled", nullptr, nullptr, &RuleDefinition::enabled},
};

RuleDefinition LoadDefaults(const std::wstring& name) {
    RuleDefinition rule;
    rule.name = name;
    rule.iconPosition = NoIcon;
    rule.alpha = 128;
    rule.enabled = true;
    return rule;
}

// One generated rule key and what the loader must make of it.
struct FuzzedRule {
    std::wstring name;
    std::string tag;  // "#0042#": stands in the name, survives the log's code page
    RawKey values;
    bool good = true;
    RuleDefinition expected;
    std::wstring badValue;        // the value that makes it bad
    std::string badNumber;        // the error number the log gives for it
    bool placed = true;           // has a usable position
    bool positionLogged = false;  // its position is unreadable and says so
    int32_t index = 0;
};

class RuleFuzzer {
public:
    explicit RuleFuzzer(uint32_t seed) : random_(seed) {}

    FuzzedRule Make(int serial, int32_t index) {
        FuzzedRule rule;
        char tag[16];
        std::snprintf(tag, sizeof tag, "#%04d#", serial);
        rule.tag = tag;
        rule.name = Decoration() + platform::Widen(tag) + Decoration();
        rule.expected = LoadDefaults(rule.name);
        rule.good = Percent() >= BadRulePercent;
        const size_t bad = rule.good ? std::size(Fields) : Below(std::size(Fields));
        for (size_t i = 0; i < std::size(Fields); ++i) {
            if (i == bad)
                AddBad(rule, Fields[i]);
            else
                AddGood(rule, Fields[i], serial);
        }
        AddStrangers(rule);
        AddPosition(rule, index);
        std::shuffle(rule.values.begin(), rule.values.end(), random_);
        return rule;
    }

private:
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    int Percent() { return static_cast<int>(Below(100)); }
    template <class T>
    const T& Pick(std::initializer_list<T> items) { return items.begin()[Below(items.size())]; }

    // Pieces that have broken programs before: blanks, control characters,
    // lone and paired surrogates, other scripts, pattern and format signs.
    std::wstring Piece() {
        static const wchar_t* const pieces[] = {
            L"Notepad", L" ", L"  ", L"\t", L"\x01", L"\x1F", L"\x7F", L"\r\n\t\tValue: 0", L"\xD800",
            L"\xDC00", L"\xD83D\xDE00", L"Caf\u00E9", L"\u65E5\u672C\u8A9E", L"\u05E9\u05DC\u05D5\u05DD", L"*?[!a-z]#",
            L"%PATH%", L"'\"", L"Copy of ", L"\u212A", L"\u0130", L".", L"\uFFFF", L"\u200B",
        };
        return pieces[Below(std::size(pieces))];
    }
    std::wstring Decoration() {
        std::wstring text;
        for (size_t n = Below(4); n > 0; --n) text += Piece();
        return text;
    }
    std::wstring Text(int serial) {
        if (serial % HugeTitleEvery == 0) return std::wstring(HugeTitleLength, L'x') + Piece();
        std::wstring text;
        for (size_t n = Below(6); n > 0; --n) text += Piece();
        return text;
    }
    int32_t NumberIn(const Field& field) {
        switch (Below(4)) {
            case 0: return field.lowest;
            case 1: return field.highest;
            default: return std::uniform_int_distribution<int32_t>(field.lowest, field.highest)(random_);
        }
    }

    // What the program writes, and what it must take as the same: other text
    // types, missing or extra terminators, numbers as text, empty values.
    void AddGood(FuzzedRule& rule, const Field& field, int serial) {
        RawValue value{field.name, REG_NONE, {}};
        const size_t way = Below(8);
        if (way == 0) return;  // missing: the default
        if (way == 1) {
            value.type = Pick<DWORD>({REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, static_cast<DWORD>(0x4F2)});
            rule.values.push_back(value);  // empty: the default
            return;
        }
        if (field.text) {
            const std::wstring text = Text(serial);
            rule.expected.*field.text = text;
            if (way == 2 && !text.empty()) {
                const int32_t number = std::uniform_int_distribution<int32_t>()(random_);
                rule.expected.*field.text = std::to_wstring(number);
                value = {field.name, Pick<DWORD>({REG_DWORD, REG_DWORD_BIG_ENDIAN}), NumberBytes(number)};
            } else {
                value.type = Pick<DWORD>({REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_NONE});
                value.bytes = TextBytes(text, Below(3));
            }
        } else {
            const int32_t number =
                field.flag ? std::uniform_int_distribution<int32_t>(-2, 2)(random_) : NumberIn(field);
            if (field.flag)
                rule.expected.*field.flag = number != 0;
            else
                rule.expected.*field.number = number;
            if (way == 2)
                value = {field.name, REG_SZ,
                         TextBytes(Pick<std::wstring>({L" ", L""}) + (number >= 0 && Below(2) ? L"+" : L"") +
                                   std::to_wstring(number) + L"\t")};
            else if (way == 3 && field.flag)
                value = {field.name, REG_SZ, TextBytes(number ? Pick<std::wstring>({L"True", L"TRUE"}) : L"false")};
            else
                value = {field.name, Pick<DWORD>({REG_DWORD, REG_DWORD, REG_DWORD_BIG_ENDIAN}), NumberBytes(number)};
        }
        rule.values.push_back(std::move(value));
    }

    // Everything the loader must refuse: foreign types, malformed data,
    // numbers out of the field's range; with the number the log gives.
    void AddBad(FuzzedRule& rule, const Field& field) {
        const std::string mismatch = "13", outOfRange = "380";
        const BYTE odd[] = {'a', 0, 'b'};
        const int64_t wide = 1LL << 40;
        const wchar_t multi[] = L"one\0two\0";
        const wchar_t inner[] = L"half\0hidden";
        std::vector<std::pair<RawValue, std::string>> choices = {
            {{field.name, REG_BINARY, BytesOf(odd, sizeof odd)}, mismatch},
            {{field.name, REG_BINARY, NumberBytes(7)}, mismatch},
            {{field.name, REG_MULTI_SZ, BytesOf(multi, sizeof multi)}, mismatch},
            {{field.name, REG_QWORD, BytesOf(&wide, sizeof wide)}, mismatch},
            {{field.name, Pick<DWORD>({REG_LINK, REG_RESOURCE_LIST, 0x4F2, 0x7FFFFFFF}), TextBytes(L"x")}, mismatch},
            {{field.name, REG_SZ, BytesOf(odd, sizeof odd)}, mismatch},
            {{field.name, REG_SZ, BytesOf(inner, sizeof inner)}, mismatch},
            {{field.name, REG_DWORD, BytesOf(odd, 2)}, mismatch},
            {{field.name, REG_DWORD, BytesOf(&wide, sizeof wide)}, mismatch},
            {{field.name, REG_BINARY, Bytes(Percent() < 5 ? HugeTitleLength * 2 + 1 : 1, 'z')}, mismatch},
        };
        if (!field.text) {
            const std::wstring notNumbers[] = {L"seven", L"12x", L"99999999999", L"  ", L"0x10", L"yes"};
            choices.push_back({{field.name, REG_SZ, TextBytes(notNumbers[Below(std::size(notNumbers))])}, mismatch});
        }
        std::vector<int32_t> outside;
        if (field.number && field.lowest > INT32_MIN) outside.insert(outside.end(), {field.lowest - 1, INT32_MIN});
        if (field.number && field.highest < INT32_MAX) outside.insert(outside.end(), {field.highest + 1, INT32_MAX});
        for (const int32_t number : outside) {
            choices.push_back({{field.name, REG_DWORD, NumberBytes(number)}, outOfRange});
            choices.push_back({{field.name, REG_SZ, TextBytes(std::to_wstring(number))}, outOfRange});
        }
        const auto& [value, number] = choices[Below(choices.size())];
        rule.good = false;
        rule.badValue = field.name;
        rule.badNumber = number;
        rule.values.push_back(value);
    }

    // Values the program does not know belong to someone else: left alone.
    void AddStrangers(FuzzedRule& rule) {
        if (Percent() >= 20) return;
        const int64_t wide = -1;
        rule.values.push_back({L"Comment " + Piece(), REG_QWORD, BytesOf(&wide, sizeof wide)});
        rule.values.push_back({std::wstring(Pick<size_t>({1, 300, 16000}), L'v'), REG_MULTI_SZ, TextBytes(L"a", 2)});
    }

    void AddPosition(FuzzedRule& rule, int32_t index) {
        rule.index = index;
        if (Percent() >= UnplacedPercent) {
            rule.values.push_back({L"Index", REG_DWORD, NumberBytes(index)});
            return;
        }
        rule.placed = false;
        const BYTE odd[] = {1, 2, 3};
        switch (Below(4)) {
            case 0: return;  // no position at all
            case 1: rule.values.push_back({L"Index", REG_DWORD, NumberBytes(FuzzRuleCount + 1)}); return;
            case 2: rule.values.push_back({L"Index", REG_DWORD, NumberBytes(-index)}); return;
            default:
                rule.values.push_back({L"Index", REG_BINARY, BytesOf(odd, sizeof odd)});
                rule.positionLogged = rule.good;
        }
    }

    std::mt19937 random_;
};

std::vector<std::wstring> LoadedNames(const CRules& rules) {
    std::vector<std::wstring> names;
    for (const auto& entry : rules) names.push_back(entry.key);
    return names;
}

}  // namespace

TEST_F(CRulesTest, FuzzedStoredRulesLoadTheGoodAndLogAndKeepTheBad) {
    const ExceptionLogMark log(ProgramExceptionLog().Path());
    InstallErrorLog();
    RuleFuzzer fuzzer(FuzzSeed);
    std::vector<int32_t> positions(FuzzRuleCount);
    std::iota(positions.begin(), positions.end(), 1);
    std::shuffle(positions.begin(), positions.end(), std::mt19937(FuzzSeed));
    std::vector<FuzzedRule> stored;
    for (int serial = 0; serial < FuzzRuleCount; ++serial) {
        stored.push_back(fuzzer.Make(serial, positions[static_cast<size_t>(serial)]));
        WriteKey(RulesKey + L"\\" + stored.back().name, stored.back().values);
        // As the registry keeps them: some systems add a terminator to text.
        stored.back().values = ReadKey(RulesKey + L"\\" + stored.back().name);
    }
    ASSERT_EQ(Subkeys(RulesKey).size(), stored.size()) << "every generated name is a key of its own";

    EXPECT_TRUE(rules_.Initialize(CRegistry(), RulesSection));

    // The good rules, the well-placed by position and the others after them.
    std::map<int32_t, const FuzzedRule*> placed;
    std::set<std::wstring> unplaced;
    size_t good = 0;
    for (const auto& rule : stored) {
        if (!rule.good) continue;
        ++good;
        if (rule.placed)
            placed.emplace(rule.index, &rule);
        else
            unplaced.insert(rule.name);
    }
    const Texts loaded = LoadedNames(rules_);
    ASSERT_EQ(loaded.size(), good);
    size_t at = 0;
    for (const auto& [index, rule] : placed) {
        ASSERT_EQ(loaded[at], rule->name) << "position " << at + 1;
        EXPECT_EQ(Describe(rules_.Item(loaded[at++])->Definition()), Describe(rule->expected)) << rule->tag;
    }
    for (; at < loaded.size(); ++at) EXPECT_EQ(unplaced.count(loaded[at]), 1u) << platform::Narrow(loaded[at]);
    for (const auto& rule : stored) {
        if (rule.good && !rule.placed) {
            EXPECT_EQ(Describe(rules_.Item(rule.name)->Definition()), Describe(rule.expected)) << rule.tag;
        }
    }
    EXPECT_FALSE(TookEditMode());

    // Each refusal is one entry that names the key and the value; an
    // unreadable position is one entry too; nothing else is logged.
    const auto entries = log.Appended();
    size_t expectedEntries = 0;
    for (const auto& rule : stored) {
        SCOPED_TRACE(rule.tag);
        std::vector<const LoggedFailure*> mentions;
        for (const auto& entry : entries)
            if (entry.description.find(platform::Widen(rule.tag)) != std::wstring::npos) mentions.push_back(&entry);
        if (!rule.good || rule.positionLogged) ++expectedEntries;
        if (rule.good && !rule.positionLogged) {
            EXPECT_TRUE(mentions.empty()) << mentions.front()->description;
            continue;
        }
        ASSERT_EQ(mentions.size(), 1u);
        // Value names are the registry's, which compares them without regard to case.
        const std::wstring valueName = rule.good ? L"Index" : rule.badValue;
        const std::string value = "value \"" + platform::Narrow(platform::ToLower(valueName)) + "\"";
        const std::string description = platform::Narrow(platform::ToLower(mentions[0]->description));
        EXPECT_NE(description.find("rules\\"), std::string::npos) << mentions[0]->description;
        EXPECT_NE(description.find(value), std::string::npos) << mentions[0]->description;
        if (!rule.good) {
            EXPECT_EQ(platform::Narrow(mentions[0]->value), rule.badNumber) << mentions[0]->description;
        }
    }
    EXPECT_EQ(entries.size(), expectedEntries) << "no entry is broken up or forged by a name";

    // A save keeps every good rule and leaves the refused ones as they were.
    ASSERT_TRUE(rules_.Save());
    for (const auto& rule : stored) {
        if (!rule.good) {
            EXPECT_TRUE(Sorted(ReadKey(RulesKey + L"\\" + rule.name)) == Sorted(rule.values)) << rule.tag;
        }
    }
    CRules reloaded;
    EXPECT_TRUE(reloaded.Initialize(CRegistry(), RulesSection));
    ASSERT_EQ(LoadedNames(reloaded), loaded);
    for (const auto& name : loaded)
        EXPECT_EQ(Describe(reloaded.Item(name)->Definition()), Describe(rules_.Item(name)->Definition()));
    events_.Take();
}

TEST_F(CRulesTest, RefusedStoredRulesAreLoggedAndKeptUntilTheUserTakesTheirName) {
    platform::SetFailureLogger(RecordFailure);
    WriteNumber(HKEY_CURRENT_USER, RulesKey + L"\\Good", L"Index", 1);
    // Names a comparison of text by its meaning takes for one: the registry
    // and the list tell them apart, and so must saving.
    const Texts twins = {L"Strasse", L"Stra\u00DFe", L"Twin", L"Twin\u00AD"};  // sharp s; soft hyphen
    for (const auto& twin : twins) WriteText(HKEY_CURRENT_USER, RulesKey + L"\\" + twin, L"Title", twin + L" window");
    // A rule refused for its data, whose name a later rule of the user's takes.
    const std::wstring broken = RulesKey + L"\\Broken";
    const BYTE binary[] = {6, 0, 0};
    WriteRaw(HKEY_CURRENT_USER, broken, L"Action", REG_BINARY, binary, sizeof binary);
    WriteText(HKEY_CURRENT_USER, broken, L"Title", L"the user's own");
    // What another program leaves of a rule named with a backslash: a key
    // that only leads to another.
    WriteText(HKEY_CURRENT_USER, RulesKey + L"\\Parent\\Child", L"Title", L"a title");
    ASSERT_EQ(Subkeys(RulesKey).size(), 7u);

    EXPECT_TRUE(rules_.Initialize(CRegistry(), RulesSection));
    EXPECT_EQ(Names(), (Texts{L"Good", twins[0], twins[1], twins[2], twins[3]}));
    EXPECT_EQ(g_failures, (Texts{L"CRules.Initialize 13", L"CRules.Initialize 380"}));
    ASSERT_EQ(g_descriptions.size(), 2u);
    EXPECT_EQ(g_descriptions[0],
              L"Rule \"" + RulesKey + L"\\Broken\" not loaded: its value \"Action\" holds REG_BINARY data, "
              L"which is no number. What is stored for it is kept as it is.");
    EXPECT_EQ(g_descriptions[1], L"Rule \"" + RulesKey + L"\\Parent\" not loaded: it holds no values, only the key "
                                 L"\"Child\" below it. What is stored for it is kept as it is.");

    rules_.Save();
    for (const auto& twin : twins) {
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\" + twin, L"Title").text, twin + L" window")
            << platform::Narrow(twin);
    }
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, broken, L"Action").type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\Parent\\Child", L"Title").text, L"a title");

    // Naming a new rule so is the user's choice; the log keeps what it replaced.
    ASSERT_TRUE(rules_.Add(Named(L"broken")));
    g_descriptions.clear();
    rules_.Save();
    EXPECT_EQ(Subkeys(RulesKey), (Texts{L"broken", L"Good", L"Parent", twins[0], twins[1], twins[2], twins[3]}));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\broken", L"Title").text, Named(L"broken").title);
    EXPECT_EQ(g_descriptions, Texts{L"Rule \"" + RulesKey + L"\\Broken\", which could not be loaded, is replaced by "
                                    L"the saved rule of that name."});
    events_.Take();
}

TEST_F(CRulesTest, OnlyARuleThatNamesAProgramStoresOneAndOtherKeysStayAsTheyWere) {
    // What any rule without a program stores: the values programs that knew
    // nothing of programs wrote and read.
    AddRules({L"Old"});
    rules_.Save();
    const std::wstring oldKey = RulesKey + L"\\Old";
    const RawKey written = Sorted(ReadKey(oldKey));
    Texts names;
    for (const auto& value : written) names.push_back(value.name);
    EXPECT_EQ(names, (Texts{L"Action", L"Alpha", L"AutoHide Delay", L"Class", L"Criteria", L"Enabled",
                            L"Icon FileName", L"Icon Location", L"Icon Position", L"Index", L"Search Options",
                            L"Title"}));

    RuleDefinition named = Named(L"New");
    named.title.clear();
    named.program = L"C:\\Tools\\TestWin.exe";
    ASSERT_TRUE(rules_.Add(named, true));
    rules_.Save();
    rules_.Reset();
    ASSERT_EQ(Names(), (Texts{L"Old", L"New"}));
    EXPECT_EQ(rules_.Item(L"Old")->Program(), L"");
    EXPECT_EQ(Describe(rules_.Item(L"New")->Definition()), Describe(named));
    const StoredValue program = ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\New", L"Program");
    EXPECT_EQ(program.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(program.text, named.program);

    // Loaded and saved again, the old key is what it was; a program given up
    // leaves no value behind.
    named.program.clear();
    named.title = L"now by its title";
    ASSERT_TRUE(rules_.Edit(L"New", named));
    rules_.Save();
    EXPECT_EQ(Sorted(ReadKey(oldKey)), written);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RulesKey + L"\\New", L"Program").exists);
    events_.Take();
}
