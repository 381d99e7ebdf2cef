#pragma once
// The ordered list of rules. Its order is precedence: a window goes to the
// first enabled rule that matches it. Every change is announced to the
// receivers (the rules editor) and puts the program into edit mode.
#include <windows.h>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "CRule.h"
#include "KeyedCollection.h"
#include "Observers.h"

class CClipboard;
class CRegistry;
class IPrompt;
class IRuleHost;

class IRulesEvents {
public:
    // `index` 0: the rule was added at the end.
    virtual void RuleAdd(const std::shared_ptr<CRule>& /*rule*/, int32_t /*index*/) {}
    virtual void RuleChange(const std::shared_ptr<CRule>& /*rule*/) {}
    // `index`: the rule's new 1-based position.
    virtual void RuleMove(const std::shared_ptr<CRule>& /*rule*/, int32_t /*index*/) {}
    // Raised while the rule is still in the list.
    virtual void RuleRemove(const std::shared_ptr<CRule>& /*rule*/) {}

protected:
    ~IRulesEvents() = default;
};

// A rule is found by its name or by its 1-based position.
using RuleKey = std::variant<std::wstring, int32_t>;

// Directions of Move.
enum MoveDirection : int32_t { MoveUp = 0, MoveDown = 1 };

// The values the loader takes for each stored number; one table for every
// reader of rules.
struct FieldRange {
    int32_t lowest;
    int32_t highest;
    bool Holds(int32_t value) const noexcept { return value >= lowest && value <= highest; }
};
namespace rule_ranges {
inline constexpr FieldRange SearchOptions{0, TextMatch::WholeWord | TextMatch::MatchCase | TextMatch::Pattern};
inline constexpr FieldRange Action{ActionHideInTray, ActionBringToFront};
inline constexpr FieldRange Criteria{CriteriaOnMinimize, CriteriaAlways};
inline constexpr FieldRange IconLocation{IconFromWindow, IconFromFile};
inline constexpr FieldRange IconPosition{INT32_MIN, INT32_MAX};
inline constexpr FieldRange Alpha{0, 255};
inline constexpr FieldRange AutoHideDelay{0, INT32_MAX};
}  // namespace rule_ranges

// The key under which the rules are stored.
inline constexpr wchar_t RulesSection[] = L"Rules";

// A stored rule the last load refused: why, and what of it could be read,
// each value that was refused read as its field's default, so that the user
// can see it and mend it.
struct RefusedRule {
    std::wstring name;  // its key under the rules section
    std::wstring reason;
    RuleDefinition readable;
};

class CRules {
public:
    // The host keeps the windows the rules take and hears of every edit; the
    // prompt is told when a name is refused or the rules cannot be saved.
    // Both outlive the list; without them the list tracks nothing and says nothing.
    explicit CRules(IRuleHost* host = nullptr, IPrompt* prompt = nullptr);
    ~CRules();
    CRules(const CRules&) = delete;
    CRules& operator=(const CRules&) = delete;

    platform::Observers<IRulesEvents>& Events() noexcept { return events_; }
    // Where a rule added is noted as the change Undo takes back.
    void SetUndoRecord(CClipboard* clipboard) noexcept { undo_ = clipboard; }

    // Appends a new rule; none when the name is taken or cannot be stored.
    std::shared_ptr<CRule> Add(const RuleDefinition& definition, bool noEditMode = false);
    // Changes every field but Enabled, keeping the rule's position.
    std::shared_ptr<CRule> Edit(const std::wstring& oldName, const RuleDefinition& definition);
    // True whenever the rule `oldName` exists, also when nothing had to change.
    bool Rename(const std::wstring& oldName, const std::wstring& newName);
    void Move(const RuleKey& key, int32_t direction);
    void Remove(const RuleKey& key);

    bool Exists(const RuleKey& key) const { return Find(key) != nullptr; }
    std::shared_ptr<CRule> Item(const RuleKey& key) const;
    int32_t Count() const noexcept { return rules_.Count(); }
    // 1-based position of that very object, 0 when it is not in the list.
    int32_t IndexOf(const std::shared_ptr<CRule>& rule) const;
    auto begin() const noexcept { return rules_.begin(); }
    auto end() const noexcept { return rules_.end(); }

    // Whether any rule would take the window.
    bool Matches(HWND hWnd, std::wstring_view title, std::wstring_view windowClass, bool* textPassed = nullptr) const;
    // Gives the window to the first rule that matches it.
    void FindMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass);
    // Discards every rule and loads the stored ones again.
    void Reset();
    // Stores the rules with their positions; what was stored for rules that
    // are gone is deleted, but not the keys the last load refused. False (and
    // the user is told) when the registry would not take them: then nothing
    // stored before is deleted.
    bool Save();
    bool Save(CRegistry& registry);
    // Loads the rules stored under `section`; true when there is at least one.
    // A stored rule with a value the program cannot take as it is (a foreign
    // type, malformed data, a number out of its field's range) or a name the
    // list cannot hold is left out and logged with its key, its value and why;
    // the others all load.
    bool Initialize(const CRegistry& registry, std::wstring_view section);
    // The stored rules the last load refused that no rule of the list has
    // taken the name of, in their stored order; and one of them by name.
    std::vector<RefusedRule> RefusedRules() const;
    const RefusedRule* FindRefused(std::wstring_view name) const;
    // The user gave up a refused rule: the next Save deletes what is stored for it.
    void ForgetRefused(std::wstring_view name);

    // Puts a rule object back (from the rule clipboard), as a copy under a
    // free name when its own is taken.
    std::shared_ptr<CRule> Insert(const std::shared_ptr<CRule>& rule);

    // Lets go of every rule and of the windows they track.
    void Clear() noexcept;

    // Why a name cannot be a rule's, or empty when it can.
    static std::wstring NameProblem(std::wstring_view name);
    // Why the loader would refuse a rule of these values (its name, a number
    // outside its field's range, a text with a zero character), or empty when
    // it would take it. Rules read from elsewhere than the registry pass this.
    static std::wstring DefinitionProblem(const RuleDefinition& definition);

private:
    const std::shared_ptr<CRule>* Find(const RuleKey& key) const;
    // Puts a rule back at a position after taking it out under another name.
    void PutBack(int32_t position, const std::wstring& name, std::shared_ptr<CRule> rule);
    bool NameTakenByAnother(const std::wstring& oldName, const std::wstring& newName, const wchar_t* caption,
                            const std::wstring& text) const;
    void EnterEditMode();
    void ForgetPassedOverWindows() noexcept;
    void ShowNameError(const wchar_t* caption, const std::wstring& text) const;
    // Adds a rule read from the registry, or logs why the list has no room
    // for its name.
    void AddStored(const CRegistry& registry, const std::wstring& key, const RuleDefinition& definition);
    void KeepRefused(const CRegistry& registry, const std::wstring& key, const std::wstring& name, std::wstring reason);
    bool IsRefused(std::wstring_view name) const;
    // Saving over a refused rule's key is the user's choice of that name; the log tells what it replaced.
    void NoteReplaced(CRegistry& registry, const std::wstring& key);

    platform::KeyedCollection<std::shared_ptr<CRule>> rules_;
    // Keys of stored rules that the last load refused. Saving keeps them as
    // they are: the list never knew their data, so it cannot write it again.
    std::vector<RefusedRule> refused_;
    platform::Observers<IRulesEvents> events_;
    IRuleHost* host_;
    IPrompt* prompt_;
    CClipboard* undo_ = nullptr;
};
