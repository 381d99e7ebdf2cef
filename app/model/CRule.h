#pragma once
// One rule: which windows it takes (title, class, minimized or always) and
// what it does with them (the action and its settings).
#include <windows.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Handles.h"
#include "TextMatch.h"

class CRegistry;
class CWindows;
class IRuleHost;
class WindowProgram;

// Action codes.
enum RuleAction : int32_t {
    ActionNone = -1,
    ActionHideInTray = 0,
    ActionHide = 1,
    ActionOnTop = 2,
    ActionTransparency = 3,
    ActionIgnore = 4,
    ActionClose = 5,
    ActionBringToFront = 6,
};

// Criteria codes.
enum RuleCriteria : int32_t { CriteriaNone = -1, CriteriaOnMinimize = 0, CriteriaAlways = 1 };

// Where the tray icon of a rule's windows comes from.
enum IconSource : int32_t { IconFromWindow = 0, IconFromFile = 1 };

// Every field of a rule at once, as the rule list creates and edits rules.
struct RuleDefinition {
    std::wstring name;
    std::wstring title;
    std::wstring windowClass;
    int32_t searchMask = 0;
    int32_t action = ActionHideInTray;
    int32_t criteria = CriteriaOnMinimize;
    int32_t iconLocation = IconFromWindow;
    std::wstring iconFilename;
    int32_t iconPosition = 0;
    int32_t alpha = 0;
    int32_t autoHideDelay = 0;
    bool enabled = false;
    // Last, so that definitions written out field by field need not name it.
    // The program's file name, or its full path when it holds a backslash;
    // empty for any program.
    std::wstring program;
};

// A rule's program as it is compared: without the quotes or spaces around
// it, with backslashes for forward slashes, and without "." and ".."
// segments or doubled separators. The rule keeps the text as written.
std::wstring NormalizedProgramPath(std::wstring_view program);

class CRule : public std::enable_shared_from_this<CRule> {
public:
    // A new, empty rule with its view of the windows it tracks. The host
    // hears of its edits and keeps the windows it takes; a rule without one
    // takes none.
    static std::shared_ptr<CRule> Create(IRuleHost* host = nullptr);
    ~CRule();
    CRule(const CRule&) = delete;
    CRule& operator=(const CRule&) = delete;

    const std::wstring& Name() const noexcept { return fields_.name; }
    void SetName(std::wstring value) { fields_.name = std::move(value); }
    const std::wstring& Title() const noexcept { return fields_.title; }
    void SetTitle(std::wstring value);
    const std::wstring& Class() const noexcept { return fields_.windowClass; }
    void SetClass(std::wstring value);
    const std::wstring& Program() const noexcept { return fields_.program; }
    void SetProgram(std::wstring value);
    int32_t Action() const noexcept { return fields_.action; }
    void SetAction(int32_t value) noexcept { fields_.action = value; }
    int32_t Criteria() const noexcept { return fields_.criteria; }
    void SetCriteria(int32_t value) noexcept { fields_.criteria = value; }
    int32_t Alpha() const noexcept { return fields_.alpha; }
    void SetAlpha(int32_t value) noexcept { fields_.alpha = value; }

    bool Enabled() const noexcept { return fields_.enabled; }
    // Also puts the program into edit mode, as every rule change does.
    void SetEnabled(bool value);

    int32_t AutoHideDelay() const noexcept { return fields_.autoHideDelay; }
    // Only "Hide in System Tray" hides its icon later: other actions store 0.
    void SetAutoHideDelay(int32_t value) noexcept;

    const std::wstring& IconFilename() const noexcept { return fields_.iconFilename; }
    // A path differing only in letter case names the same file: kept as it was.
    void SetIconFilename(std::wstring value);
    int32_t IconPosition() const noexcept { return fields_.iconPosition; }
    void SetIconPosition(int32_t value);
    int32_t IconLocation() const noexcept { return fields_.iconLocation; }
    void SetIconLocation(int32_t value);

    // True when every bit of `option` is set.
    bool SearchOptions(int32_t option) const noexcept { return (fields_.searchMask & option) == option; }
    void SetSearchOptions(int32_t option, bool value) noexcept;
    int32_t SearchMask() const noexcept { return fields_.searchMask; }
    void SetSearchMask(int32_t value) noexcept;

    std::wstring ActionString() const { return ActionText(fields_.action); }
    std::wstring CriteriaString() const { return CriteriaText(fields_.criteria); }
    static std::wstring ActionText(int32_t action);
    static std::wstring CriteriaText(int32_t criteria);

    // The custom icon from the file (0 small, 1 large); none when the rule uses
    // the window's own icon or the file has none. The rule owns it.
    HICON IconHandle(int32_t index);

    CWindows& Windows() noexcept { return *windows_; }

    // Whether the window falls under the rule; with `add` a matching window
    // starts being tracked by it.
    bool IsMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass, bool add);
    // The same, for a title that many rules test in turn. `textPassed` is set
    // when the rule's tests of what never changes but with the text (class,
    // title and program) let the window through, whatever the window's state
    // makes of it. `program` is the window's, asked for once for all rules.
    bool IsMatch(HWND hWnd, const TextMatch::TitleText& title, std::wstring_view windowClass, bool add,
                 bool* textPassed = nullptr, WindowProgram* program = nullptr);

    // Writes the rule's record into the key `section\Name`; false when a
    // value could not be written.
    bool Save(CRegistry& registry, std::wstring_view section) const;

    // Every field at once; the icon settings go through their setters.
    void Define(const RuleDefinition& definition);
    const RuleDefinition& Definition() const noexcept { return fields_; }

    void DestroyIcons() noexcept;

private:
    explicit CRule(IRuleHost* host);
    // A rule changed so that it may take windows every rule turned away.
    void ForgetPassedOverWindows() noexcept;
    bool TitleMatches(const TextMatch::TitleText& title);
    bool ProgramMatches(WindowProgram& program);

    // The rule list's host, which outlives its rules; none for a rule of no list.
    IRuleHost* host_;
    RuleDefinition fields_;
    platform::UniqueHIcon smallIcon_;
    platform::UniqueHIcon largeIcon_;
    // Whether the current icon settings were tried, with or without success.
    bool iconsExtracted_ = false;
    std::unique_ptr<CWindows> windows_;
    // The title made ready for the title test, until the title or the
    // search options change.
    std::optional<TextMatch::PreparedTitle> preparedTitle_;
    // The program folded as window programs are, or made a pattern, with
    // the text and options it was made from.
    struct PreparedProgram {
        std::wstring text;
        bool pattern = false;
        bool wholePath = false;
        std::wstring folded;
        std::optional<TextMatch::CompiledPattern> compiled;
    };
    std::optional<PreparedProgram> preparedProgram_;
};
