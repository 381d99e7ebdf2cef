// The rule list: adding, editing, renaming, moving and removing rules with
// their events and messages, and the rules' record in the registry, also
// when a hand-edited registry holds odd positions or unreadable values.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CApplication.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "Dialogs.h"
#include "Error.h"
#include "Guard.h"
#include "Handles.h"
#include "MainModule.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "TextMatch.h"
#include "Wait.h"

using namespace testing_support;

namespace {

const std::wstring RulesKey = L"Software\\Pelkin!\\Rules";
constexpr wchar_t AddCaption[] = L"Error Adding Rule";
constexpr wchar_t RenameCaption[] = L"Error Renaming Rule";
const std::wstring TakenReason = L"A rule with the name you specified already exists. Specify a different name.";
constexpr wchar_t DialogClass[] = L"#32770";
// The longest name one registry key can have.
constexpr size_t LongestName = 255;
constexpr int32_t NoIcon = -1;
// How long a message box may take to close after its button is pressed.
constexpr DWORD BoxCloseTimeoutMs = 5000;

std::wstring Describe(const RuleDefinition& rule) {
    return L"name=" + rule.name + L" title=" + rule.title + L" class=" + rule.windowClass +
           L" mask=" + std::to_wstring(rule.searchMask) + L" action=" + std::to_wstring(rule.action) +
           L" criteria=" + std::to_wstring(rule.criteria) + L" location=" + std::to_wstring(rule.iconLocation) +
           L" file=" + rule.iconFilename + L" position=" + std::to_wstring(rule.iconPosition) +
           L" alpha=" + std::to_wstring(rule.alpha) + L" delay=" + std::to_wstring(rule.autoHideDelay) +
           L" enabled=" + std::to_wstring(rule.enabled);
}

// A message box as the user saw it.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool stopIcon = false;
    std::vector<int> buttons;
};

BOOL CALLBACK CollectBox(HWND hWnd, LPARAM found) noexcept {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hWnd, &processId);
    wchar_t className[16] = {};
    ::GetClassNameW(hWnd, className, 16);
    if (processId == ::GetCurrentProcessId() && ::IsWindowVisible(hWnd) && std::wstring(className) == DialogClass)
        *reinterpret_cast<HWND*>(found) = hWnd;
    return TRUE;
}

BOOL CALLBACK FindIcon(HWND hWnd, LPARAM icon) noexcept {
    if ((::GetWindowLongW(hWnd, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *reinterpret_cast<HICON*>(icon) = reinterpret_cast<HICON>(::SendMessageW(hWnd, STM_GETICON, 0, 0));
    return FALSE;
}

SeenBox Inspect(HWND box) {
    SeenBox seen;
    wchar_t caption[256] = {};
    ::GetWindowTextW(box, caption, 256);
    seen.caption = caption;
    seen.text = DialogText(box);
    HICON icon = nullptr;
    ::EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
    seen.stopIcon = icon && icon == ::LoadIconW(nullptr, IDI_HAND);
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE}) {
        HWND button = ::GetDlgItem(box, id);
        if (button && ::IsWindowVisible(button)) seen.buttons.push_back(id);
    }
    return seen;
}

// While it lives, every message box of this process is read and answered
// with OK, so an operation that shows one returns, and one that should not
// cannot hang the test.
class BoxWatch {
public:
    BoxWatch() : worker_(std::async(std::launch::async, [this] { Run(); })) {}
    ~BoxWatch() {
        stop_ = true;
        worker_.wait();
    }
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

    // The boxes answered since the last call.
    std::vector<SeenBox> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(seen_, {});
    }

private:
    void Run() {
        while (!stop_) {
            HWND box = nullptr;
            WaitUntil([&] {
                ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&box));
                return stop_ || box != nullptr;
            });
            if (!box) continue;
            SeenBox seen = Inspect(box);
            // Recorded before the box closes: the operation that showed it
            // cannot have returned yet.
            {
                std::lock_guard lock(mutex_);
                seen_.push_back(std::move(seen));
            }
            PressButton(box, IDOK);
            WaitUntil([&] { return !::IsWindow(box); }, BoxCloseTimeoutMs);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::future<void> worker_;
};

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
void RecordFailure(const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
    g_failures.push_back(std::wstring(module) + L"." + std::wstring(procedure) + L" " +
                         std::to_wstring(failure.Number()));
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
        TheApp = std::make_shared<CApplication>();
        rules_.Events().Add(&events_);
        g_failures.clear();
    }
    void TearDown() override {
        rules_.Events().Remove(&events_);
        TheApp.reset();
        platform::SetFailureLogger(nullptr);
        EXPECT_TRUE(boxes_.Take().empty()) << "a message box nobody looked at";
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

    // Whether the application is in edit mode; leaves it off for the next step.
    bool TookEditMode() {
        const bool was = TheApp->EditMode();
        TheApp->SetEditMode(false);
        return was;
    }

    // Exactly one box came, with this caption and text, a stop icon and an OK button.
    void ExpectOneBox(const std::wstring& caption, const std::wstring& text) {
        const auto seen = boxes_.Take();
        ASSERT_EQ(seen.size(), 1u) << platform::Narrow(text);
        EXPECT_EQ(seen[0].caption, caption);
        EXPECT_EQ(seen[0].text, text);
        EXPECT_TRUE(seen[0].stopIcon) << platform::Narrow(text);
        EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
    }

    // The registry must outlive the application, whose teardown writes a flag.
    ScratchRegistry registry_;
    BoxWatch boxes_;
    CRules rules_;
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
    CRules refused;
    ASSERT_TRUE(refused.Add(Named(L"Kept"), true));
    ASSERT_TRUE(refused.Add(Named(L"New"), true));
    CRegistry registry(HKEY_LOCAL_MACHINE, base);
    EXPECT_FALSE(refused.Save(registry));
    const auto seen = boxes_.Take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, L"Pelkin!");
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
    EXPECT_EQ(Names(), (Texts{L"Third", L"Second", L"First"}));
    EXPECT_FALSE(TheApp->EditMode()) << "loading is no edit";

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

    // An unreadable value is logged and only that value takes its default.
    auto unreadable = rules_.Item(L"Third");
    EXPECT_EQ(unreadable->Action(), ActionHideInTray);
    EXPECT_EQ(unreadable->Title(), L"still read");
    EXPECT_EQ(unreadable->Criteria(), CriteriaAlways);
    EXPECT_EQ(g_failures, Texts{L"CRules.Initialize 13"});
    EXPECT_TRUE(boxes_.Take().empty());
    EXPECT_EQ(events_.Take(), (Texts{L"Add Third 0", L"Add Second 0", L"Add First 0"}));
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
    EXPECT_FALSE(TheApp->EditMode());

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
    EXPECT_TRUE(boxes_.Take().empty());
}
