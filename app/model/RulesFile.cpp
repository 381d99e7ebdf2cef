#include "RulesFile.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>

#include "CRules.h"
#include "Handles.h"
#include "Strings.h"
#include "TextMatch.h"

namespace rules_file {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The document's own fields and each rule's, as the file spells them.
namespace keys {
constexpr char Format[] = "format";
constexpr char Version[] = "version";
constexpr char Rules[] = "rules";
constexpr char Name[] = "name";
constexpr char Enabled[] = "enabled";
constexpr char Title[] = "title";
constexpr char Class[] = "class";
constexpr char Program[] = "program";
constexpr char WholeWord[] = "wholeWord";
constexpr char MatchCase[] = "matchCase";
constexpr char Pattern[] = "pattern";
constexpr char Action[] = "action";
constexpr char Criteria[] = "criteria";
constexpr char IconSource[] = "iconSource";
constexpr char IconFile[] = "iconFile";
constexpr char IconIndex[] = "iconIndex";
constexpr char Opacity[] = "opacity";
constexpr char AutoHideDelay[] = "autoHideDelay";
}  // namespace keys

// The icon sources by name; the actions and criteria go by their own texts.
constexpr const char* IconSourceNames[] = {"window", "file"};
// Far more than any rule set; a bigger file is something else.
constexpr ULONGLONG LargestFile = 16ull * 1024 * 1024;
constexpr int Indent = 2;
// What a rule has where the file leaves a field out: what the loader gives a
// stored rule that lacks the value.
constexpr int32_t NoIconPosition = -1;
constexpr int32_t DefaultAlpha = 128;

std::string Utf8(std::wstring_view text) { return platform::Narrow(text, CP_UTF8); }
std::wstring Utf16(std::string_view text) { return platform::Widen(text, CP_UTF8); }

int32_t LineAt(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<int32_t>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(offset), '\n'));
}

// Where each rule and each of its fields starts, found by reading the text
// again when a rule is refused: the document model keeps no positions.
class Positions {
public:
    explicit Positions(std::string_view text) : text_(text) {
        const char* furthest = text.data();
        Handler handler{*this, &furthest, 0, false, {}};
        Json::sax_parse(Counting{text.data(), &furthest}, Counting{text.data() + text.size(), &furthest}, &handler);
    }

    int32_t Rule(size_t index) const { return index < rules_.size() ? rules_[index].line : 0; }
    int32_t Field(size_t index, const std::string& key) const {
        if (index >= rules_.size()) return 0;
        const auto found = rules_[index].fields.find(key);
        return found == rules_[index].fields.end() ? rules_[index].line : found->second;
    }
    int32_t TopField(const std::string& key) const {
        const auto found = top_.find(key);
        return found == top_.end() ? 0 : found->second;
    }

private:
    // Reads the text for the parser and keeps how far it has read: a key's
    // position is known once its closing quote is read.
    struct Counting {
        using iterator_category = std::forward_iterator_tag;
        using value_type = char;
        using difference_type = std::ptrdiff_t;
        using pointer = const char*;
        using reference = const char&;
        const char* at;
        const char** furthest;
        reference operator*() const { return *at; }
        Counting& operator++() {
            if (++at > *furthest) *furthest = at;
            return *this;
        }
        Counting operator++(int) {
            Counting before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Counting& other) const { return at == other.at; }
        bool operator!=(const Counting& other) const { return at != other.at; }
    };

    struct RuleLines {
        int32_t line = 0;
        std::map<std::string, int32_t> fields;
    };

    struct Handler {
        Positions& positions;
        const char** furthest;
        int depth = 0;
        bool inRules = false;
        std::string topKey;

        // The line of the last character read: a number is known to end only
        // once the character after it is read, which may be a line break.
        int32_t Line() const {
            const auto read = static_cast<size_t>(*furthest - positions.text_.data());
            return LineAt(positions.text_, read > 0 ? read - 1 : 0);
        }
        // The parser may have read past a plain value's end to the next
        // token: its line is that of its last character.
        int32_t ValueLine() const {
            auto read = static_cast<size_t>(*furthest - positions.text_.data());
            while (read > 0 && std::string_view(" \t\r\n,]}").find(positions.text_[read - 1]) != std::string_view::npos)
                --read;
            return LineAt(positions.text_, read > 0 ? read - 1 : 0);
        }
        // Any value met directly in the list is one rule, whatever it holds.
        bool Element(bool plain = true) {
            if (inRules && depth == 2) positions.rules_.push_back({plain ? ValueLine() : Line(), {}});
            return true;
        }
        bool null() { return Element(); }
        bool boolean(bool) { return Element(); }
        bool number_integer(Json::number_integer_t) { return Element(); }
        bool number_unsigned(Json::number_unsigned_t) { return Element(); }
        bool number_float(Json::number_float_t, const std::string&) { return Element(); }
        bool string(std::string&) { return Element(); }
        bool binary(Json::binary_t&) { return Element(); }
        bool start_object(std::size_t) {
            Element(false);
            ++depth;
            return true;
        }
        bool end_object() {
            --depth;
            return true;
        }
        bool start_array(std::size_t) {
            Element(false);
            ++depth;
            if (depth == 2) inRules = topKey == keys::Rules;
            return true;
        }
        bool end_array() {
            if (depth == 2) inRules = false;
            --depth;
            return true;
        }
        bool key(std::string& name) {
            if (depth == 1) {
                topKey = name;
                positions.top_.emplace(name, Line());
            } else if (inRules && depth == 3 && !positions.rules_.empty()) {
                positions.rules_.back().fields.emplace(name, Line());
            }
            return true;
        }
        bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
    };

    std::string_view text_;
    std::vector<RuleLines> rules_;
    std::map<std::string, int32_t> top_;
};

// A rule's field that cannot be taken: the line comes from where the field is.
struct FieldProblem {
    std::string key;
    std::wstring what;
};

[[noreturn]] void Refuse(const char* key, std::wstring what) { throw FieldProblem{key, std::move(what)}; }

std::wstring Quoted(const char* key) { return L"\"" + Utf16(key) + L"\""; }

// Each reader answers the field's value, or the loader's default when the
// file leaves it out (or writes null).
const Json* Present(const Json& rule, const char* key) {
    const auto found = rule.find(key);
    return found == rule.end() || found->is_null() ? nullptr : &*found;
}

std::wstring TextField(const Json& rule, const char* key) {
    const Json* value = Present(rule, key);
    if (!value) return {};
    if (!value->is_string()) Refuse(key, Quoted(key) + L" must be text.");
    return Utf16(value->get_ref<const std::string&>());
}

bool FlagField(const Json& rule, const char* key, bool fallback) {
    const Json* value = Present(rule, key);
    if (!value) return fallback;
    if (!value->is_boolean()) Refuse(key, Quoted(key) + L" must be true or false.");
    return value->get<bool>();
}

int32_t NumberField(const Json& rule, const char* key, int32_t fallback) {
    const Json* value = Present(rule, key);
    if (!value) return fallback;
    if (value->is_number_unsigned()) {
        if (const auto number = value->get<uint64_t>(); number <= static_cast<uint64_t>(INT32_MAX))
            return static_cast<int32_t>(number);
    } else if (value->is_number_integer()) {
        if (const auto number = value->get<int64_t>(); number >= INT32_MIN && number <= INT32_MAX)
            return static_cast<int32_t>(number);
    }
    Refuse(key, Quoted(key) + L" must be a whole number from " + std::to_wstring(INT32_MIN) + L" to " +
                    std::to_wstring(INT32_MAX) + L", not " + Utf16(value->dump()) + L".");
}

// A field written as one of the given texts; its position among them is its value.
template <class Text>
int32_t NamedField(const Json& rule, const char* key, int32_t fallback, int32_t count, Text&& textOf) {
    const Json* value = Present(rule, key);
    if (!value) return fallback;
    std::wstring known;
    for (int32_t code = 0; code < count; ++code) {
        const std::wstring text = textOf(code);
        if (value->is_string() && TextMatch::EqualsIgnoringCase(Utf16(value->get_ref<const std::string&>()), text))
            return code;
        known += (code ? L", \"" : L"\"") + text + L"\"";
    }
    Refuse(key, Quoted(key) + L" is " + Utf16(value->dump()) + L"; this Pelkin knows " + known + L".");
}

RuleDefinition ReadRule(const Json& rule) {
    if (!rule.is_object()) throw FieldProblem{{}, L"A rule must be an object in braces, not " + Utf16(rule.dump()) + L"."};
    RuleDefinition definition;
    definition.name = TextField(rule, keys::Name);
    definition.enabled = FlagField(rule, keys::Enabled, true);
    definition.title = TextField(rule, keys::Title);
    definition.windowClass = TextField(rule, keys::Class);
    definition.program = TextField(rule, keys::Program);
    definition.searchMask = (FlagField(rule, keys::WholeWord, false) ? TextMatch::WholeWord : 0) |
                            (FlagField(rule, keys::MatchCase, false) ? TextMatch::MatchCase : 0) |
                            (FlagField(rule, keys::Pattern, false) ? TextMatch::Pattern : 0);
    const auto actions = rule_ranges::Action.highest + 1;
    definition.action = NamedField(rule, keys::Action, ActionHideInTray, actions, CRule::ActionText);
    const auto criteria = rule_ranges::Criteria.highest + 1;
    definition.criteria = NamedField(rule, keys::Criteria, CriteriaOnMinimize, criteria, CRule::CriteriaText);
    definition.iconLocation = NamedField(rule, keys::IconSource, IconFromWindow,
                                         static_cast<int32_t>(std::size(IconSourceNames)),
                                         [](int32_t code) { return Utf16(IconSourceNames[code]); });
    definition.iconFilename = TextField(rule, keys::IconFile);
    definition.iconPosition = NumberField(rule, keys::IconIndex, NoIconPosition);
    definition.alpha = NumberField(rule, keys::Opacity, DefaultAlpha);
    definition.autoHideDelay = NumberField(rule, keys::AutoHideDelay, 0);
    return definition;
}

// The field of a rule the loader's judgement names, for the line to show.
const char* FieldOfProblem(const RuleDefinition& rule) {
    if (!CRules::NameProblem(rule.name).empty()) return keys::Name;
    const std::pair<const std::wstring*, const char*> texts[] = {
        {&rule.title, keys::Title},
        {&rule.windowClass, keys::Class},
        {&rule.program, keys::Program},
        {&rule.iconFilename, keys::IconFile},
    };
    for (const auto& [text, key] : texts)
        if (text->find(L'\0') != std::wstring::npos) return key;
    if (!rule_ranges::Alpha.Holds(rule.alpha)) return keys::Opacity;
    if (!rule_ranges::AutoHideDelay.Holds(rule.autoHideDelay)) return keys::AutoHideDelay;
    return keys::Name;
}

// The parser's own words without its code and position, which the problem
// gives in the program's form.
std::wstring ParserWords(const std::string& message) {
    const size_t colon = message.find(": ");
    return Utf16(colon == std::string::npos ? message : message.substr(colon + 2));
}

std::wstring Named(const std::wstring& name) { return L"The rule \"" + name + L"\": "; }

bool SameName(std::wstring_view a, std::wstring_view b) { return TextMatch::EqualsIgnoringCase(a, b); }

bool Taken(const CRules& rules, const std::wstring& name, const std::vector<std::wstring>& alsoTaken) {
    return rules.Exists(name) || rules.FindRefused(name) ||
           std::any_of(alsoTaken.begin(), alsoTaken.end(), [&](const auto& other) { return SameName(other, name); });
}

// The longest name the loader takes.
constexpr size_t LongestName = 255;

}  // namespace

std::string Write(const std::vector<RuleDefinition>& rules) {
    OrderedJson list = OrderedJson::array();
    for (const auto& rule : rules) {
        OrderedJson entry;
        entry[keys::Name] = Utf8(rule.name);
        entry[keys::Enabled] = rule.enabled;
        entry[keys::Title] = Utf8(rule.title);
        entry[keys::Class] = Utf8(rule.windowClass);
        entry[keys::Program] = Utf8(rule.program);
        entry[keys::WholeWord] = (rule.searchMask & TextMatch::WholeWord) != 0;
        entry[keys::MatchCase] = (rule.searchMask & TextMatch::MatchCase) != 0;
        entry[keys::Pattern] = (rule.searchMask & TextMatch::Pattern) != 0;
        entry[keys::Action] = Utf8(CRule::ActionText(rule.action));
        entry[keys::Criteria] = Utf8(CRule::CriteriaText(rule.criteria));
        const bool fromFile = rule.iconLocation == IconFromFile;
        entry[keys::IconSource] = IconSourceNames[fromFile ? 1 : 0];
        entry[keys::IconFile] = Utf8(rule.iconFilename);
        entry[keys::IconIndex] = rule.iconPosition;
        entry[keys::Opacity] = rule.alpha;
        entry[keys::AutoHideDelay] = rule.autoHideDelay;
        list.push_back(std::move(entry));
    }
    OrderedJson document;
    document[keys::Format] = FormatName;
    document[keys::Version] = FormatVersion;
    document[keys::Rules] = std::move(list);
    // Text that is not UTF-16 (a lone surrogate in a title) is written as the
    // replacement character rather than failing the whole file.
    return document.dump(Indent, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::variant<std::vector<RuleDefinition>, Problem> Read(std::string_view text) {
    Json document;
    try {
        document = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& failure) {
        const size_t at = failure.byte > 0 ? failure.byte - 1 : 0;
        return Problem{LineAt(text, at), L"It is not JSON: " + ParserWords(failure.what())};
    }
    if (!document.is_object()) return Problem{1, L"It is no rules file: its text is not an object in braces."};
    std::optional<Positions> positions;
    const auto lines = [&]() -> const Positions& {
        if (!positions) positions.emplace(text);
        return *positions;
    };
    const auto format = document.find(keys::Format);
    if (format == document.end() || !format->is_string() || format->get_ref<const std::string&>() != FormatName)
        return Problem{lines().TopField(keys::Format),
                       L"It is no rules file: its \"format\" is not \"" + Utf16(FormatName) + L"\"."};
    const auto version = document.find(keys::Version);
    if (version == document.end() || !version->is_number_integer() || version->get<int64_t>() != FormatVersion) {
        const std::wstring written = version == document.end() ? L"missing" : Utf16(version->dump());
        return Problem{lines().TopField(keys::Version),
                       L"Its version (" + written + L") is not one this Pelkin reads; it reads version " +
                           std::to_wstring(FormatVersion) + L"."};
    }
    const auto list = document.find(keys::Rules);
    if (list == document.end() || !list->is_array())
        return Problem{lines().TopField(keys::Rules), L"It has no list of rules (\"rules\" in brackets)."};
    std::vector<RuleDefinition> rules;
    for (size_t index = 0; index < list->size(); ++index) {
        const std::wstring ordinal = L"Rule " + std::to_wstring(index + 1) + L": ";
        RuleDefinition rule;
        try {
            rule = ReadRule((*list)[index]);
        } catch (const FieldProblem& problem) {
            const int32_t line = problem.key.empty() ? lines().Rule(index) : lines().Field(index, problem.key);
            return Problem{line, ordinal + problem.what};
        }
        const std::wstring lead = rule.name.empty() ? ordinal : Named(rule.name);
        if (auto problem = CRules::DefinitionProblem(rule); !problem.empty())
            return Problem{lines().Field(index, FieldOfProblem(rule)), lead + problem};
        // The loader keeps one rule of a name, whatever its letter case.
        const auto twin = std::find_if(rules.begin(), rules.end(), [&](const auto& other) { return SameName(other.name, rule.name); });
        if (twin != rules.end())
            return Problem{lines().Field(index, keys::Name), lead + L"the file holds a rule of this name before it (\"" +
                                                                 twin->name + L"\")."};
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::variant<std::string, std::wstring> LoadFile(const std::wstring& path) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return platform::SystemMessage(::GetLastError());
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return platform::SystemMessage(::GetLastError());
    if (static_cast<ULONGLONG>(size.QuadPart) > LargestFile)
        return std::wstring(L"The file is too large to be a rules file.");
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        return platform::SystemMessage(::GetLastError());
    return text;
}

std::wstring SaveFile(const std::wstring& path, std::string_view text) {
    // Written beside the target and moved over it at the end, so that a disk
    // that fills up half-way never costs the file that was there.
    const std::wstring partial = path + L".partial";
    {
        platform::UniqueFile file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return platform::SystemMessage(::GetLastError());
        DWORD written = 0;
        const bool whole = ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                           written == text.size() && ::FlushFileBuffers(file.get());
        if (!whole) {
            const DWORD error = ::GetLastError();
            file.reset();
            ::DeleteFileW(partial.c_str());
            return platform::SystemMessage(error);
        }
    }
    if (!::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(partial.c_str());
        return platform::SystemMessage(error);
    }
    return {};
}

std::wstring Describe(const std::wstring& path, const Problem& problem) {
    std::wstring where = L"\"" + path + L"\"";
    if (problem.line > 0) where += L", line " + std::to_wstring(problem.line);
    return where + L": " + problem.what;
}

std::variant<std::vector<RuleDefinition>, std::wstring> Load(const std::wstring& path) {
    auto text = LoadFile(path);
    if (auto* failure = std::get_if<std::wstring>(&text)) return Describe(path, {0, *failure});
    auto rules = Read(std::get<std::string>(text));
    if (auto* problem = std::get_if<Problem>(&rules)) return Describe(path, *problem);
    return std::move(std::get<std::vector<RuleDefinition>>(rules));
}

std::wstring Save(const std::wstring& path, const std::vector<RuleDefinition>& rules) {
    const std::wstring failure = SaveFile(path, Write(rules));
    return failure.empty() ? failure : Describe(path, {0, failure});
}

std::vector<std::wstring> ClashingNames(const CRules& rules, const std::vector<RuleDefinition>& imported) {
    std::vector<std::wstring> clashes;
    for (const auto& rule : imported)
        if (Taken(rules, rule.name, {})) clashes.push_back(rule.name);
    return clashes;
}

std::wstring FreeName(const CRules& rules, const std::wstring& name, const std::vector<std::wstring>& alsoTaken) {
    for (int number = 2;; ++number) {
        const std::wstring suffix = L" (" + std::to_wstring(number) + L")";
        // A long name gives up its end to the number rather than fail to load.
        const std::wstring candidate = name.substr(0, LongestName - suffix.size()) + suffix;
        if (!Taken(rules, candidate, alsoTaken)) return candidate;
    }
}

std::optional<std::wstring> Import(CRules& rules, const std::vector<RuleDefinition>& imported, Clashes clashes) {
    // Every name is settled before the list changes.
    struct Step {
        RuleDefinition rule;
        std::wstring replaces;
    };
    std::vector<Step> steps;
    std::vector<std::wstring> given;
    for (RuleDefinition rule : imported) {
        if (auto problem = CRules::DefinitionProblem(rule); !problem.empty()) return Named(rule.name) + problem;
        Step step;
        const bool givenAlready =
            std::any_of(given.begin(), given.end(), [&](const auto& other) { return SameName(other, rule.name); });
        // Replacing takes a refused rule's name too: saving then puts the
        // imported rule where the refused one was stored.
        if (clashes == Clashes::Replace && !givenAlready && rules.Exists(rule.name))
            step.replaces = rules.Item(rule.name)->Name();
        else if (givenAlready || rules.Exists(rule.name) || (clashes == Clashes::KeepBoth && rules.FindRefused(rule.name)))
            rule.name = FreeName(rules, rule.name, given);
        given.push_back(rule.name);
        step.rule = std::move(rule);
        steps.push_back(std::move(step));
    }
    std::vector<std::wstring> added;
    // Each replaced rule under the name it has now, with what it was.
    std::vector<std::pair<std::wstring, RuleDefinition>> before;
    const auto undo = [&] {
        for (auto name = added.rbegin(); name != added.rend(); ++name) rules.Remove(*name);
        for (auto old = before.rbegin(); old != before.rend(); ++old) {
            if (auto rule = rules.Edit(old->first, old->second)) rule->SetEnabled(old->second.enabled);
        }
    };
    for (const auto& step : steps) {
        if (!step.replaces.empty()) {
            RuleDefinition old = rules.Item(step.replaces)->Definition();
            auto rule = rules.Edit(step.replaces, step.rule);
            if (!rule) {
                undo();
                return Named(step.rule.name) + L"the rule of this name could not be replaced.";
            }
            rule->SetEnabled(step.rule.enabled);
            before.emplace_back(step.rule.name, std::move(old));
            continue;
        }
        if (!rules.Add(step.rule)) {
            undo();
            return Named(step.rule.name) + L"the rule could not be added.";
        }
        added.push_back(step.rule.name);
    }
    return std::nullopt;
}

std::vector<RuleDefinition> Definitions(const CRules& rules, const std::vector<std::wstring>& names) {
    std::vector<RuleDefinition> chosen;
    for (const auto& entry : rules) {
        const auto& rule = entry.value;
        const bool wanted = names.empty() || std::any_of(names.begin(), names.end(), [&](const auto& name) {
                                return SameName(name, rule->Name());
                            });
        if (wanted) chosen.push_back(rule->Definition());
    }
    return chosen;
}

}  // namespace rules_file
