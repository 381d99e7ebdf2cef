#include "CRules.h"

#include <algorithm>
#include <map>

#include "CApplication.h"
#include "CClipboard.h"
#include "CRegistry.h"
#include "CWindow.h"
#include "CWindows.h"
#include "Guard.h"
#include "MainModule.h"
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

void ShowNameError(const wchar_t* caption, const std::wstring& text) { ShowMessage(text, MB_ICONSTOP | MB_OK, caption); }

std::wstring AddError(const std::wstring& name, const std::wstring& reason) {
    return L"Cannot add rule '" + name + L"': " + reason;
}
std::wstring RenameError(const std::wstring& oldName, const std::wstring& reason) {
    return L"Cannot rename " + oldName + L": " + reason;
}

}  // namespace

CRules::~CRules() {
    platform::GuardCallback(ClassName, L"Class_Terminate", [&] { Clear(); });
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

void CRules::EnterEditMode() {
    if (auto app = TheApp) app->SetEditMode(true);
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
        auto rule = CRule::Create();
        rule->Define(definition);
        rules_.Add(definition.name, rule);
        // A rule more may take windows the others turned away.
        ForgetPassedOverWindows();
        events_.Raise(&IRulesEvents::RuleAdd, rule, 0);
        // The change Undo takes back.
        if (auto app = TheApp) {
            app->Clipboard().SetUndoObject(rule);
            app->Clipboard().SetUndoAction(UndoAdded);
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
    for (const auto& entry : rules_) {
        if (entry.value->IsMatch(hWnd, text, windowClass, false, textPassed)) return true;
    }
    return false;
}

void CRules::FindMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass) {
    // Runs for every untracked window of every pass: no copy of the list.
    // Whatever a match sets off cannot disturb the walk, which ends with it.
    const TextMatch::TitleText text(title);
    for (const auto& entry : rules_) {
        const auto rule = entry.value;
        if (rule->IsMatch(hWnd, text, windowClass, true)) return;
    }
}

void CRules::Refresh(bool reset) {
    platform::Guard(ClassName, L"Refresh", [&] {
        auto app = TheApp;
        if (!app || app->EditMode()) return;
        // No event may reach a window half-way through the refresh: they
        // wait for its end. The hook stays, so none is lost meanwhile.
        BusyScope busy;
        for (const auto& window : app->Windows().Snapshot()) {
            if (reset)
                window->Delete();
            else
                window->Refresh(true, false);
        }
        // Tracking starts again with a full pass over every window.
        app->SetWinEventHook();
    });
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
            // Writing into a key keeps the key's spelling: a rule renamed only
            // in letter case gets its key anew.
            for (const auto& old : stored) {
                if (SameName(old, name) && !SameText(old, name)) registry.DeleteAllSettings(section + old);
            }
            written = entry.value->Save(registry, RulesSection) && written;
            written = registry.SaveSetting(section + name, IndexValue, index++, REG_DWORD) && written;
        }
        if (!written) {
            ShowMessage(std::wstring(L"The rules could not be saved: ") + platform::SystemMessage(registry.LastError()) +
                            L"\r\n\r\nThe rules stored before have been kept.",
                        MB_ICONEXCLAMATION);
            return false;
        }
        // Rules removed or renamed leave nothing behind.
        for (const auto& old : stored) {
            if (!rules_.Exists(old)) registry.DeleteAllSettings(section + old);
        }
        return true;
    });
}

bool CRules::Initialize(const CRegistry& registry, std::wstring_view section) {
    return platform::Guard(ClassName, L"Initialize", [&] {
        std::vector<std::wstring> names;
        if (!registry.GetAllSettings(section, &names, nullptr)) return rules_.Count() > 0;
        // Order the rules by their stored positions. A hand-edited registry may
        // hold missing, repeated or impossible positions: such rules follow the
        // ordered ones in the registry's order, and no rule is lost.
        const auto count = static_cast<int32_t>(names.size());
        std::vector<std::wstring> slots(names.size());
        std::vector<std::wstring> unplaced;
        for (const auto& name : names) {
            const std::wstring key = std::wstring(section) + L"\\" + name;
            // An unreadable position is logged and is no position: the rule still loads.
            int32_t index = 0;
            platform::SkipFailure(ClassName, L"Initialize", [&] {
                index = SettingToInt32(registry.GetSetting(key, IndexValue, 0), L"CRules.Initialize");
            });
            if (index >= 1 && index <= count && slots[static_cast<size_t>(index - 1)].empty())
                slots[static_cast<size_t>(index - 1)] = name;
            else
                unplaced.push_back(name);
        }
        std::vector<std::wstring> order;
        for (auto& name : slots) {
            if (!name.empty()) order.push_back(std::move(name));
        }
        order.insert(order.end(), unplaced.begin(), unplaced.end());
        for (const auto& name : order) LoadRule(registry, std::wstring(section) + L"\\" + name, name);
        return rules_.Count() > 0;
    });
}

// A value that cannot be read (a hand-edited type, text where a number
// belongs) is logged and the rule is loaded with that value's default.
void CRules::LoadRule(const CRegistry& registry, const std::wstring& key, const std::wstring& name) {
    const std::wstring source = std::wstring(ClassName) + L".Initialize";
    auto read = [&](auto convert, const wchar_t* value, auto fallback) {
        decltype(fallback) result = fallback;
        platform::SkipFailure(ClassName, L"Initialize",
                              [&] { result = convert(registry.GetSetting(key, value, fallback)); });
        return result;
    };
    auto number = [&](const wchar_t* value, int32_t fallback) {
        return read([&](const SettingValue& v) { return SettingToInt32(v, source); }, value, fallback);
    };
    auto text = [&](const wchar_t* value) {
        return read([](const SettingValue& v) { return SettingToText(v); }, value, std::wstring());
    };
    RuleDefinition definition;
    definition.name = name;
    definition.title = text(L"Title");
    definition.windowClass = text(L"Class");
    definition.searchMask = number(L"Search Options", 0);
    definition.action = number(L"Action", ActionHideInTray);
    definition.criteria = number(L"Criteria", CriteriaOnMinimize);
    definition.iconLocation = number(L"Icon Location", IconFromWindow);
    definition.iconFilename = text(L"Icon Filename");
    definition.iconPosition = number(L"Icon Position", NoIconPosition);
    definition.alpha = number(L"Alpha", DefaultAlpha);
    definition.autoHideDelay = number(L"AutoHide Delay", 0);
    definition.enabled = read([&](const SettingValue& v) { return SettingToBool(v, source); }, L"Enabled", true);
    Add(definition, true);
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
