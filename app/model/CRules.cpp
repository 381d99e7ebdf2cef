#include "CRules.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

#include "CClipboard.h"
#include "CRegistry.h"
#include "CWindow.h"
#include "CWindows.h"
#include "Guard.h"
#include "IPrompt.h"
#include "IRuleHost.h"
#include "Strings.h"
#include "TextMatch.h"

namespace {

constexpr wchar_t ClassName[] = L"CRules";
constexpr wchar_t AddCaption[] = L"Error Adding Rule";
constexpr wchar_t RenameCaption[] = L"Error Renaming Rule";
constexpr wchar_t TakenName[] = L"A rule with the name you specified already exists. Specify a different name.";
constexpr wchar_t IndexValue[] = L"Index";
// The registry's limit for the name of one key.
constexpr size_t MaxNameLength = 255;
// What a rule read from the registry has where a value is missing.
constexpr int32_t NoIconPosition = -1;
constexpr int32_t DefaultAlpha = 128;

// Names differ "in any way" when they are not the very same text.
bool SameText(const std::wstring& a, const std::wstring& b) { return a == b; }
bool SameName(const std::wstring& a, const std::wstring& b) { return TextMatch::EqualsIgnoringCase(a, b); }

std::wstring AddError(const std::wstring& name, const std::wstring& reason) {
    return L"Cannot add rule '" + name + L"': " + reason;
}
std::wstring RenameError(const std::wstring& oldName, const std::wstring& reason) {
    return L"Cannot rename " + oldName + L": " + reason;
}

// Stored keys are the same when the registry takes them for one.
bool SameKey(std::wstring_view a, std::wstring_view b) { return platform::EqualsNoCase(a, b); }

constexpr wchar_t LoadSource[] = L"CRules.Initialize";
constexpr wchar_t RefusedOutcome[] = L"What is stored for it is kept as it is.";
constexpr wchar_t UnplacedOutcome[] = L"The rule follows those in their stored order.";
// A name the registry would never hold is cut where the log shows it.
constexpr size_t MaxLoggedLength = 300;

// Names go into the log as they are, but for control characters, which would
// break its lines (or forge entries): those are shown by their codes.
std::wstring Printable(std::wstring_view text) {
    std::wstring shown;
    for (const wchar_t c : text.substr(0, MaxLoggedLength)) {
        if (c >= L' ' && c != L'\x7F') {
            shown += c;
            continue;
        }
        wchar_t code[8] = {};
        std::swprintf(code, std::size(code), L"\\x%02X", static_cast<unsigned>(c));
        shown += code;
    }
    if (text.size() > MaxLoggedLength) shown += L"...";
    return shown;
}

std::wstring TypeName(DWORD type) {
    static constexpr const wchar_t* Names[] = {
        L"REG_NONE", L"REG_SZ", L"REG_EXPAND_SZ", L"REG_BINARY", L"REG_DWORD", L"REG_DWORD_BIG_ENDIAN", L"REG_LINK",
        L"REG_MULTI_SZ", L"REG_RESOURCE_LIST", L"REG_FULL_RESOURCE_DESCRIPTOR", L"REG_RESOURCE_REQUIREMENTS_LIST",
        L"REG_QWORD",
    };
    return type < std::size(Names) ? Names[type] : L"type " + std::to_wstring(type);
}

std::wstring QuotedKey(const CRegistry& registry, const std::wstring& key) {
    return L"\"" + Printable(registry.SectionPath(key)) + L"\"";
}

[[noreturn]] void RefuseRule(int32_t number, const CRegistry& registry, const std::wstring& key, std::wstring why) {
    if (!why.empty() && why.back() == L'.') why.pop_back();
    platform::Raise(number, L"Rule " + QuotedKey(registry, key) + L" not loaded: " + why + L". " + RefusedOutcome,
                    LoadSource);
}

std::wstring OutOfRange(int32_t number, FieldRange range) {
    return L"the number " + std::to_wstring(number) + L", outside " + std::to_wstring(range.lowest) + L" to " +
           std::to_wstring(range.highest);
}

// One stored record's values, judged as they are read. A missing or empty
// value is the field's default; one the program would not have written, and
// that no hand edit makes plain, raises a failure naming the key, the value
// and what is wrong with it.
class StoredRecord {
public:
    StoredRecord(const CRegistry& registry, std::wstring key, std::wstring lead, const wchar_t* outcome)
        : registry_(registry), key_(std::move(key)), lead_(std::move(lead)), outcome_(outcome) {}

    // A number stands for its decimal text, as the settings store has it.
    std::wstring Text(const wchar_t* value) const {
        const auto data = Read(value);
        if (!data) return {};
        if (IsStoredNumberType(data->type)) return std::to_wstring(NumberOf(value, *data));
        if (!IsStoredTextType(data->type))
            Refuse(platform::errors::TypeMismatch, value, TypeName(data->type) + L" data, which is no text");
        return TextOf(value, *data);
    }

    int32_t Number(const wchar_t* value, int32_t fallback, FieldRange range = rule_ranges::IconPosition) const {
        const auto data = Read(value);
        if (!data) return fallback;
        const int32_t number = NumberOf(value, *data);
        if (!range.Holds(number))
            Refuse(platform::errors::InvalidPropertyValue, value, OutOfRange(number, range));
        return number;
    }

    bool Flag(const wchar_t* value, bool fallback) const { return Number(value, fallback ? 1 : 0) != 0; }

private:
    std::optional<CRegistry::StoredData> Read(const wchar_t* value) const {
        auto data = registry_.GetStoredData(key_, value);
        if (!data || data->bytes.empty()) return std::nullopt;
        return data;
    }

    std::wstring TextOf(const wchar_t* value, const CRegistry::StoredData& data) const {
        if (data.bytes.size() % sizeof(wchar_t) != 0)
            Refuse(platform::errors::TypeMismatch, value,
                   L"an odd number of bytes (" + std::to_wstring(data.bytes.size()) + L"), which is no text");
        std::wstring text = TextFromStoredBytes(data.bytes.data(), data.bytes.size());
        if (text.find(L'\0') != std::wstring::npos)
            Refuse(platform::errors::TypeMismatch, value, L"text with a zero character inside it");
        return text;
    }

    int32_t NumberOf(const wchar_t* value, const CRegistry::StoredData& data) const {
        if (IsStoredNumberType(data.type)) {
            int32_t number = 0;
            if (data.bytes.size() != sizeof number)
                Refuse(platform::errors::TypeMismatch, value,
                       TypeName(data.type) + L" data of " + std::to_wstring(data.bytes.size()) +
                           L" bytes, which is no 32-bit number");
            std::memcpy(&number, data.bytes.data(), sizeof number);
            return number;
        }
        if (!IsStoredTextType(data.type))
            Refuse(platform::errors::TypeMismatch, value, TypeName(data.type) + L" data, which is no number");
        if (auto number = SettingTextToInt32(TextOf(value, data))) return *number;
        Refuse(platform::errors::TypeMismatch, value, L"text that is no 32-bit number");
    }

    [[noreturn]] void Refuse(int32_t number, const wchar_t* value, const std::wstring& why) const {
        platform::Raise(number, lead_ + L": its value \"" + value + L"\" holds " + why + L". " + outcome_, LoadSource);
    }

    const CRegistry& registry_;
    std::wstring key_;
    std::wstring lead_;
    const wchar_t* outcome_;
};

// How a stored rule is read: as the loader takes it, failing on the first
// value it cannot take; or for the user to mend, with such a value read as
// its field's default.
enum class Reading { Strict, Mendable };

template <class T, class Read>
T Field(Reading reading, T fallback, Read&& read) {
    if (reading == Reading::Strict) return read();
    try {
        return read();
    } catch (const platform::Error&) {
        return fallback;
    }
}

// The rule stored under `key`, or a failure that says why it cannot load.
RuleDefinition ReadStoredRule(const CRegistry& registry, const std::wstring& key, const std::wstring& name,
                              Reading reading = Reading::Strict) {
    if (reading == Reading::Strict) {
        if (auto problem = CRules::NameProblem(name); !problem.empty())
            RefuseRule(platform::errors::InvalidPropertyValue, registry, key, problem);
        // What a name with a backslash leaves behind, a key that only leads to
        // another, is no rule the user made: as one, it would take every window.
        std::vector<std::wstring> below;
        if (!registry.HasValues(key) && registry.GetAllSettings(key, &below, nullptr))
            RefuseRule(platform::errors::InvalidPropertyValue, registry, key,
                       L"it holds no values, only the key \"" + Printable(below.front()) + L"\" below it");
    }
    const StoredRecord stored(registry, key, L"Rule " + QuotedKey(registry, key) + L" not loaded", RefusedOutcome);
    const auto text = [&](const wchar_t* value) {
        return Field(reading, std::wstring(), [&] { return stored.Text(value); });
    };
    const auto number = [&](const wchar_t* value, int32_t fallback, FieldRange range = rule_ranges::IconPosition) {
        return Field(reading, fallback, [&] { return stored.Number(value, fallback, range); });
    };
    RuleDefinition definition;
    definition.name = name;
    definition.title = text(L"Title");
    definition.windowClass = text(L"Class");
    definition.program = text(L"Program");
    definition.searchMask = number(L"Search Options", 0, rule_ranges::SearchOptions);
    definition.action = number(L"Action", ActionHideInTray, rule_ranges::Action);
    definition.criteria = number(L"Criteria", CriteriaOnMinimize, rule_ranges::Criteria);
    definition.iconLocation = number(L"Icon Location", IconFromWindow, rule_ranges::IconLocation);
    definition.iconFilename = text(L"Icon Filename");
    definition.iconPosition = number(L"Icon Position", NoIconPosition, rule_ranges::IconPosition);
    definition.alpha = number(L"Alpha", DefaultAlpha, rule_ranges::Alpha);
    definition.autoHideDelay = number(L"AutoHide Delay", 0, rule_ranges::AutoHideDelay);
    definition.enabled = Field(reading, true, [&] { return stored.Flag(L"Enabled", true); });
    return definition;
}

// An unreadable position is logged and is no position: the rule still loads.
int32_t ReadStoredPosition(const CRegistry& registry, const std::wstring& key) {
    int32_t index = 0;
    platform::SkipFailure(ClassName, L"Initialize", [&] {
        const StoredRecord stored(registry, key, L"The position of rule " + QuotedKey(registry, key) + L" is not used",
                                  UnplacedOutcome);
        index = stored.Number(IndexValue, 0);
    });
    return index;
}


}  // namespace

CRules::~CRules() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { Clear(); });
}

void CRules::Clear() noexcept {
    // Rules still held elsewhere (the rule clipboard) keep tracking nothing.
    for (const auto& rule : rules_.Snapshot())
        platform::SkipFailure(ClassName, L"Clear", [&] { rule->Windows().RemoveAll(); });
    rules_.Clear();
}

std::wstring CRules::NameProblem(std::wstring_view name) {
    if (name.empty()) return L"A rule must have a name.";
    if (name.find(L'\\') != std::wstring_view::npos) return L"A rule's name cannot contain a backslash (\\).";
    if (name.size() > MaxNameLength) return L"A rule's name cannot be longer than 255 characters.";
    return {};
}

std::wstring CRules::DefinitionProblem(const RuleDefinition& definition) {
    if (auto problem = NameProblem(definition.name); !problem.empty()) return problem;
    const std::pair<const wchar_t*, const std::wstring*> texts[] = {
        {L"title", &definition.title},       {L"class", &definition.windowClass},
        {L"program", &definition.program},   {L"icon file", &definition.iconFilename},
    };
    for (const auto& [field, text] : texts) {
        if (text->find(L'\0') != std::wstring::npos) return std::wstring(L"Its ") + field + L" holds a zero character.";
    }
    const std::tuple<const wchar_t*, int32_t, FieldRange> numbers[] = {
        {L"search options", definition.searchMask, rule_ranges::SearchOptions},
        {L"action", definition.action, rule_ranges::Action},
        {L"criteria", definition.criteria, rule_ranges::Criteria},
        {L"icon source", definition.iconLocation, rule_ranges::IconLocation},
        {L"icon index", definition.iconPosition, rule_ranges::IconPosition},
        {L"opacity", definition.alpha, rule_ranges::Alpha},
        {L"auto-hide delay", definition.autoHideDelay, rule_ranges::AutoHideDelay},
    };
    for (const auto& [field, value, range] : numbers) {
        if (!range.Holds(value)) return std::wstring(L"Its ") + field + L" is " + OutOfRange(value, range) + L".";
    }
    return {};
}

CRules::CRules(IRuleHost* host, IPrompt* prompt) : host_(host), prompt_(prompt) {}

void CRules::EnterEditMode() {
    if (host_) host_->RulesEdited();
}

void CRules::ForgetPassedOverWindows() noexcept {
    if (host_) host_->MatchingChanged();
}

void CRules::ShowNameError(const wchar_t* caption, const std::wstring& text) const {
    if (prompt_) prompt_->Refuse(text, caption);
}

const std::shared_ptr<CRule>* CRules::Find(const RuleKey& key) const {
    if (const auto* name = std::get_if<std::wstring>(&key)) return rules_.Find(*name);
    const int32_t position = std::get<int32_t>(key);
    if (position < 1 || position > rules_.Count()) return nullptr;
    return &rules_.Item(position);
}

std::shared_ptr<CRule> CRules::Item(const RuleKey& key) const {
    const auto* rule = Find(key);
    return rule ? *rule : nullptr;
}

int32_t CRules::IndexOf(const std::shared_ptr<CRule>& rule) const {
    int32_t position = 1;
    for (const auto& entry : rules_) {
        if (entry.value == rule) return position;
        ++position;
    }
    return 0;
}

std::shared_ptr<CRule> CRules::Add(const RuleDefinition& definition, bool noEditMode) {
    return platform::Guard(ClassName, L"Add", [&]() -> std::shared_ptr<CRule> {
        if (!noEditMode) EnterEditMode();
        if (Exists(definition.name)) {
            ShowNameError(AddCaption, AddError(definition.name, TakenName));
            return nullptr;
        }
        // A name the registry cannot hold as one key would be stored under a
        // nested key (or not at all) and lost at the next start.
        if (auto problem = NameProblem(definition.name); !problem.empty()) {
            ShowNameError(AddCaption, AddError(definition.name, problem));
            return nullptr;
        }
        auto rule = CRule::Create(host_);
        rule->Define(definition);
        rules_.Add(definition.name, rule);
        // A rule more may take windows the others turned away.
        ForgetPassedOverWindows();
        events_.Raise(&IRulesEvents::RuleAdd, rule, 0);
        // The change Undo takes back.
        if (undo_) {
            undo_->SetUndoObject(rule);
            undo_->SetUndoAction(UndoAdded);
        }
        return rule;
    });
}

bool CRules::NameTakenByAnother(const std::wstring& oldName, const std::wstring& newName, const wchar_t* caption,
                                const std::wstring& text) const {
    if (!Exists(newName) || SameName(newName, oldName)) return false;
    ShowNameError(caption, text);
    return true;
}

void CRules::PutBack(int32_t position, const std::wstring& name, std::shared_ptr<CRule> rule) {
    ForgetPassedOverWindows();
    if (position == 1 || rules_.Empty()) {
        if (rules_.Empty())
            rules_.Add(name, std::move(rule));
        else
            rules_.AddBefore(1, name, std::move(rule));
    } else {
        rules_.AddAfter(position - 1, name, std::move(rule));
    }
}

std::shared_ptr<CRule> CRules::Edit(const std::wstring& oldName, const RuleDefinition& definition) {
    return platform::Guard(ClassName, L"Edit", [&]() -> std::shared_ptr<CRule> {
        EnterEditMode();
        if (NameTakenByAnother(oldName, definition.name, RenameCaption, RenameError(oldName, TakenName))) return nullptr;
        const int32_t position = rules_.IndexOf(oldName);
        if (position == 0) return nullptr;
        if (auto problem = NameProblem(definition.name); !problem.empty()) {
            ShowNameError(RenameCaption, RenameError(oldName, problem));
            return nullptr;
        }
        auto rule = rules_.Item(position);
        RuleDefinition changed = definition;
        changed.enabled = rule->Enabled();
        rule->Define(changed);
        if (!SameText(definition.name, oldName)) {
            rules_.Remove(position);
            PutBack(position, definition.name, rule);
        }
        events_.Raise(&IRulesEvents::RuleChange, rule);
        return rule;
    });
}

bool CRules::Rename(const std::wstring& oldName, const std::wstring& newName) {
    return platform::Guard(ClassName, L"Rename", [&] {
        EnterEditMode();
        if (NameTakenByAnother(oldName, newName, RenameCaption, RenameError(oldName, TakenName))) return false;
        const int32_t position = rules_.IndexOf(oldName);
        if (position == 0) return false;
        if (SameText(newName, oldName)) return true;
        if (auto problem = NameProblem(newName); !problem.empty()) {
            ShowNameError(RenameCaption, RenameError(oldName, problem));
            return false;
        }
        auto rule = rules_.Item(position);
        rules_.Remove(position);
        rule->SetName(newName);
        PutBack(position, newName, rule);
        events_.Raise(&IRulesEvents::RuleChange, rule);
        return true;
    });
}

void CRules::Move(const RuleKey& key, int32_t direction) {
    platform::Guard(ClassName, L"Move", [&] {
        EnterEditMode();
        auto rule = Item(key);
        if (!rule) return;
        int32_t position = IndexOf(rule);
        const int32_t count = rules_.Count();
        const std::wstring name = rules_.Key(position);
        if (direction == MoveUp && position > 1) {
            rules_.Remove(position);
            rules_.AddBefore(position - 1, name, rule);
            --position;
        } else if (direction == MoveDown && position < count) {
            rules_.Remove(position);
            rules_.AddAfter(position, name, rule);
            ++position;
        }
        events_.Raise(&IRulesEvents::RuleMove, rule, position);
    });
}

void CRules::Remove(const RuleKey& key) {
    platform::Guard(ClassName, L"Remove", [&] {
        EnterEditMode();
        auto rule = Item(key);
        if (!rule) return;
        events_.Raise(&IRulesEvents::RuleRemove, rule);
        // The event's receiver may have taken it out already.
        if (const int32_t position = IndexOf(rule)) rules_.Remove(position);
        rule->Windows().RemoveAll();
    });
}

bool CRules::Matches(HWND hWnd, std::wstring_view title, std::wstring_view windowClass, bool* textPassed) const {
    const TextMatch::TitleText text(title);
    WindowProgram program(hWnd);
    for (const auto& entry : rules_) {
        if (entry.value->IsMatch(hWnd, text, windowClass, false, textPassed, &program)) return true;
    }
    return false;
}

void CRules::FindMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass) {
    // Runs for every untracked window of every pass: no copy of the list.
    // Whatever a match sets off cannot disturb the walk, which ends with it.
    const TextMatch::TitleText text(title);
    WindowProgram program(hWnd);
    for (const auto& entry : rules_) {
        const auto rule = entry.value;
        if (rule->IsMatch(hWnd, text, windowClass, true, nullptr, &program)) return;
    }
}

void CRules::Reset() {
    platform::Guard(ClassName, L"Reset", [&] {
        for (int32_t position = rules_.Count(); position >= 1; --position) Remove(position);
        rules_.Clear();
        Initialize(CRegistry(), RulesSection);
    });
}

bool CRules::Save() {
    CRegistry registry;
    return Save(registry);
}

bool CRules::IsRefused(std::wstring_view name) const {
    return std::any_of(refused_.begin(), refused_.end(), [&](const auto& refused) { return SameKey(refused.name, name); });
}

std::vector<RefusedRule> CRules::RefusedRules() const {
    std::vector<RefusedRule> shown;
    for (const auto& refused : refused_) {
        if (!rules_.Exists(refused.name)) shown.push_back(refused);
    }
    return shown;
}

const RefusedRule* CRules::FindRefused(std::wstring_view name) const {
    const auto found =
        std::find_if(refused_.begin(), refused_.end(), [&](const auto& refused) { return SameKey(refused.name, name); });
    return found == refused_.end() ? nullptr : &*found;
}

void CRules::ForgetRefused(std::wstring_view name) {
    std::erase_if(refused_, [&](const auto& refused) { return SameKey(refused.name, name); });
    EnterEditMode();
}

void CRules::KeepRefused(const CRegistry& registry, const std::wstring& key, const std::wstring& name,
                         std::wstring reason) {
    RuleDefinition readable;
    readable.name = name;
    platform::Guard(ClassName, L"Initialize", platform::Trap::Silently,
                    [&] { readable = ReadStoredRule(registry, key, name, Reading::Mendable); });
    refused_.push_back({name, std::move(reason), std::move(readable)});
}

void CRules::NoteReplaced(CRegistry& registry, const std::wstring& key) {
    platform::SkipFailure(ClassName, L"Save", [&] {
        platform::Raise(platform::errors::DuplicateKey,
                        L"Rule " + QuotedKey(registry, std::wstring(RulesSection) + L"\\" + key) +
                            L", which could not be loaded, is replaced by the saved rule of that name.",
                        L"CRules.Save");
    });
    std::erase_if(refused_, [&](const auto& refused) { return SameKey(refused.name, key); });
}

// Every rule is written before anything stored is deleted, so a registry that
// refuses writes never costs the rules stored before.
bool CRules::Save(CRegistry& registry) {
    return platform::Guard(ClassName, L"Save", [&] {
        std::vector<std::wstring> stored;
        registry.GetAllSettings(RulesSection, &stored, nullptr);
        const std::wstring section = std::wstring(RulesSection) + L"\\";
        bool written = true;
        int32_t index = 1;
        for (const auto& entry : rules_) {
            const std::wstring& name = entry.value->Name();
            for (const auto& old : stored) {
                if (!SameKey(old, name)) continue;
                if (IsRefused(old)) NoteReplaced(registry, old);
                // Writing into a key keeps the key's spelling: a rule renamed
                // only in letter case gets its key anew.
                if (!SameText(old, name)) registry.DeleteAllSettings(section + old);
            }
            written = entry.value->Save(registry, RulesSection) && written;
            written = registry.SaveSetting(section + name, IndexValue, index++, REG_DWORD) && written;
        }
        if (!written) {
            if (prompt_)
                prompt_->Warn(std::wstring(L"The rules could not be saved: ") +
                              platform::SystemMessage(registry.LastError()) +
                              L"\r\n\r\nThe rules stored before have been kept.");
            return false;
        }
        // Rules removed or renamed leave nothing behind.
        for (const auto& old : stored) {
            if (!rules_.Exists(old) && !IsRefused(old)) registry.DeleteAllSettings(section + old);
        }
        return true;
    });
}

bool CRules::Initialize(const CRegistry& registry, std::wstring_view section) {
    return platform::Guard(ClassName, L"Initialize", [&] {
        refused_.clear();
        std::vector<std::wstring> names;
        if (!registry.GetAllSettings(section, &names, nullptr)) return rules_.Count() > 0;
        // Order the rules by their stored positions. A hand-edited registry may
        // hold missing, repeated or impossible positions: such rules follow the
        // ordered ones in the registry's order, and no rule is lost.
        const auto count = static_cast<int32_t>(names.size());
        std::map<int32_t, RuleDefinition> placed;
        std::vector<RuleDefinition> unplaced;
        for (const auto& name : names) {
            const std::wstring key = std::wstring(section) + L"\\" + name;
            std::optional<RuleDefinition> rule;
            std::wstring reason;
            platform::SkipFailure(ClassName, L"Initialize", [&] {
                try {
                    rule = ReadStoredRule(registry, key, name);
                } catch (const platform::Error& failure) {
                    reason = failure.Description();
                    throw;
                }
            });
            if (!rule) {
                KeepRefused(registry, key, name, std::move(reason));
                continue;
            }
            const int32_t index = ReadStoredPosition(registry, key);
            if (index >= 1 && index <= count && !placed.contains(index))
                placed.emplace(index, std::move(*rule));
            else
                unplaced.push_back(std::move(*rule));
        }
        const std::wstring prefix = std::wstring(section) + L"\\";
        for (const auto& [index, rule] : placed) AddStored(registry, prefix + rule.name, rule);
        for (const auto& rule : unplaced) AddStored(registry, prefix + rule.name, rule);
        return rules_.Count() > 0;
    });
}

void CRules::AddStored(const CRegistry& registry, const std::wstring& key, const RuleDefinition& definition) {
    bool added = false;
    std::wstring reason;
    platform::SkipFailure(ClassName, L"Initialize", [&] {
        try {
            // Checked here, not left to Add: a loader has no one to show a message to.
            if (const auto* other = rules_.Find(definition.name))
                RefuseRule(platform::errors::DuplicateKey, registry, key,
                           L"the rule \"" + Printable((*other)->Name()) + L"\" has the same name but for letter case");
            added = Add(definition, true) != nullptr;
        } catch (const platform::Error& failure) {
            reason = failure.Description();
            throw;
        }
    });
    if (!added) refused_.push_back({definition.name, std::move(reason), definition});
}

std::shared_ptr<CRule> CRules::Insert(const std::shared_ptr<CRule>& rule) {
    return platform::Guard(ClassName, L"Insert", [&]() -> std::shared_ptr<CRule> {
        if (!rule) return nullptr;
        const std::wstring original = rule->Name();
        std::wstring name = original;
        for (int retry = 1; Exists(name); ++retry)
            name = retry == 1 ? L"Copy of " + original : L"Copy (" + std::to_wstring(retry) + L") of " + original;
        if (name == original) {
            rules_.Add(name, rule);
            ForgetPassedOverWindows();
            events_.Raise(&IRulesEvents::RuleAdd, rule, 0);
            return rule;
        }
        RuleDefinition copy = rule->Definition();
        copy.name = name;
        return Add(copy, false);
    });
}
