#include "CRule.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "CRegistry.h"
#include "CWindow.h"
#include "CWindows.h"
#include "Guard.h"
#include "IRuleHost.h"
#include "TextMatch.h"

namespace {

constexpr wchar_t ClassName[] = L"CRule";

constexpr const wchar_t* ActionTexts[] = {
    L"Hide in System Tray", L"Hide", L"On Top", L"Transparency", L"Ignore", L"Close", L"Bring to Front",
};
constexpr const wchar_t* CriteriaTexts[] = {L"On Minimize Only", L"Always"};

template <size_t N>
std::wstring TextOf(const wchar_t* const (&texts)[N], int32_t code) {
    return code >= 0 && static_cast<size_t>(code) < N ? texts[code] : L"";
}

std::wstring_view Trimmed(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool IsDriveRoot(std::wstring_view segment) { return segment.size() == 2 && segment[1] == L':'; }

}  // namespace

std::wstring NormalizedProgramPath(std::wstring_view program) {
    std::wstring_view text = Trimmed(program);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = Trimmed(text.substr(1, text.size() - 2));
    std::wstring path(text);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.find(L'\\') == std::wstring::npos) return path;
    // A share's name keeps the two separators it starts with.
    const bool share = path.starts_with(L"\\\\");
    std::vector<std::wstring_view> segments;
    const std::wstring_view whole(path);
    for (size_t start = share ? 2 : 0; start <= whole.size();) {
        size_t end = whole.find(L'\\', start);
        if (end == std::wstring_view::npos) end = whole.size();
        const std::wstring_view segment = whole.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == L".") continue;
        if (segment == L".." && !segments.empty() && segments.back() != L"..") {
            // Nothing lies above a drive's root, nor above a share's name.
            if (!IsDriveRoot(segments.back()) && !(share && segments.size() == 1)) segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::wstring normalized = share ? L"\\\\" : (path.starts_with(L'\\') ? L"\\" : L"");
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) normalized += L'\\';
        normalized += segments[i];
    }
    return normalized;
}

std::shared_ptr<CRule> CRule::Create(IRuleHost* host) {
    std::shared_ptr<CRule> rule(new CRule(host));
    rule->windows_->SetParent(rule, host);
    return rule;
}

CRule::CRule(IRuleHost* host) : host_(host), windows_(std::make_unique<CWindows>()) {}

void CRule::ForgetPassedOverWindows() noexcept {
    if (host_) host_->MatchingChanged();
}

// The view goes first, so the rule's windows are let go while the rule's
// icons still exist; then the icons.
CRule::~CRule() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { windows_.reset(); });
    DestroyIcons();
}

// The tests of the text may now let windows through that they turned away.
void CRule::SetTitle(std::wstring value) {
    fields_.title = std::move(value);
    ForgetPassedOverWindows();
}

void CRule::SetClass(std::wstring value) {
    fields_.windowClass = std::move(value);
    ForgetPassedOverWindows();
}

void CRule::SetProgram(std::wstring value) {
    fields_.program = std::move(value);
    ForgetPassedOverWindows();
}

void CRule::SetSearchMask(int32_t value) noexcept {
    fields_.searchMask = value;
    ForgetPassedOverWindows();
}

void CRule::SetEnabled(bool value) {
    fields_.enabled = value;
    ForgetPassedOverWindows();
    if (host_) host_->RulesEdited();
}

void CRule::SetAutoHideDelay(int32_t value) noexcept { fields_.autoHideDelay = fields_.action == ActionHideInTray ? value : 0; }

void CRule::SetIconFilename(std::wstring value) {
    if (TextMatch::EqualsIgnoringCase(value, fields_.iconFilename)) return;
    fields_.iconFilename = std::move(value);
    DestroyIcons();
}

void CRule::SetIconPosition(int32_t value) {
    if (value == fields_.iconPosition) return;
    fields_.iconPosition = value;
    DestroyIcons();
}

void CRule::SetIconLocation(int32_t value) {
    if (value == fields_.iconLocation) return;
    fields_.iconLocation = value;
    DestroyIcons();
}

void CRule::SetSearchOptions(int32_t option, bool value) noexcept {
    if (value)
        fields_.searchMask |= option;
    else if (SearchOptions(option))
        fields_.searchMask &= ~option;
    ForgetPassedOverWindows();
}

std::wstring CRule::ActionText(int32_t action) { return TextOf(ActionTexts, action); }
std::wstring CRule::CriteriaText(int32_t criteria) { return TextOf(CriteriaTexts, criteria); }

HICON CRule::IconHandle(int32_t index) {
    if (fields_.iconLocation == IconFromWindow) return nullptr;
    // Once per setting: windows ask at every refresh, a missing file is not
    // searched for again, and a handle already given out is never replaced.
    if (!iconsExtracted_ && fields_.iconPosition >= 0) {
        iconsExtracted_ = true;
        // Not "small": the RPC headers define that word as a macro.
        HICON largeHandle = nullptr;
        HICON smallHandle = nullptr;
        const UINT extracted = ::ExtractIconExW(fields_.iconFilename.c_str(), fields_.iconPosition, &largeHandle, &smallHandle, 1);
        // Without an icon the outputs are not handles: some systems leave
        // arbitrary values in them.
        if (extracted != 0 && extracted != UINT_MAX) {
            largeIcon_.reset(largeHandle);
            smallIcon_.reset(smallHandle);
        }
    }
    switch (index) {
        case 0: return smallIcon_.get();
        case 1: return largeIcon_.get();
        default: return nullptr;
    }
}

void CRule::DestroyIcons() noexcept {
    smallIcon_.reset();
    largeIcon_.reset();
    iconsExtracted_ = false;
}

// A scan tests each rule against every window: the title is made ready once
// per setting, not once per window.
bool CRule::TitleMatches(const TextMatch::TitleText& title) {
    if (!preparedTitle_ || preparedTitle_->RuleTitle() != fields_.title ||
        preparedTitle_->SearchOptions() != fields_.searchMask)
        preparedTitle_.emplace(fields_.title, fields_.searchMask);
    return preparedTitle_->Matches(title);
}

// A name without a folder is the program's file name, wherever it lies. A
// scan tests every window's program: the rule's side is made ready once per
// setting, the window's once for all rules.
bool CRule::ProgramMatches(WindowProgram& program) {
    const bool pattern = SearchOptions(TextMatch::Pattern);
    if (!preparedProgram_ || preparedProgram_->text != fields_.program || preparedProgram_->pattern != pattern) {
        // Made ready once per setting: the path as the system writes it.
        const std::wstring program = NormalizedProgramPath(fields_.program);
        PreparedProgram prepared{fields_.program, pattern, program.find(L'\\') != std::wstring::npos, {}, {}};
        if (pattern)
            prepared.compiled.emplace(program);
        else
            prepared.folded = TextMatch::TitleText(program).Folded();
        preparedProgram_ = std::move(prepared);
    }
    if (program.Path().empty()) return false;
    const TextMatch::TitleText& target = preparedProgram_->wholePath ? program.FullPath() : program.FileName();
    if (preparedProgram_->compiled) return preparedProgram_->compiled->Matches(target);
    return target.Folded() == preparedProgram_->folded;
}

bool CRule::IsMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass, bool add) {
    return IsMatch(hWnd, TextMatch::TitleText(title), windowClass, add);
}

bool CRule::IsMatch(HWND hWnd, const TextMatch::TitleText& title, std::wstring_view windowClass, bool add,
                    bool* textPassed, WindowProgram* program) {
    bool matched = false;
    platform::Guard(ClassName, L"IsMatch", [&] {
        if (!fields_.enabled) return;
        if (!fields_.windowClass.empty() && !TextMatch::EqualsIgnoringCase(fields_.windowClass, windowClass)) return;
        if (!TitleMatches(title)) return;
        // After the text: asking a window's process costs more than any
        // text test, and most windows are turned away before it.
        if (!fields_.program.empty()) {
            std::optional<WindowProgram> own;
            if (!program) program = &own.emplace(hWnd);
            if (!ProgramMatches(*program)) return;
        }
        if (textPassed) *textPassed = true;
        // Asked last: it is the one test that asks the system, and a scan
        // puts it to every rule for every window.
        if (fields_.criteria == CriteriaOnMinimize && !::IsIconic(hWnd)) return;
        matched = true;
        if (add) windows_->Add(hWnd, fields_.action, fields_.criteria, fields_.alpha, fields_.autoHideDelay);
    });
    return matched;
}

bool CRule::Save(CRegistry& registry, std::wstring_view section) const {
    const std::wstring key = std::wstring(section) + L"\\" + fields_.name;
    bool written = true;
    auto save = [&](const wchar_t* name, const SettingValue& value, DWORD type) {
        written = registry.SaveSetting(key, name, value, type) && written;
    };
    save(L"Enabled", fields_.enabled, REG_SZ);
    save(L"Action", fields_.action, REG_DWORD);
    save(L"Criteria", fields_.criteria, REG_DWORD);
    save(L"Icon Location", fields_.iconLocation, REG_DWORD);
    save(L"Search Options", fields_.searchMask, REG_DWORD);
    save(L"Icon Position", fields_.iconPosition, REG_DWORD);
    save(L"Class", fields_.windowClass, REG_SZ);
    save(L"Icon FileName", fields_.iconFilename, REG_SZ);
    save(L"Title", fields_.title, REG_SZ);
    // Only a rule that names a program stores one: the key of any other rule
    // stays exactly as programs that know nothing of programs wrote it.
    if (!fields_.program.empty())
        save(L"Program", fields_.program, REG_SZ);
    else if (registry.IsKey(key, L"Program"))
        written = registry.DeleteSetting(key, L"Program") && written;
    save(L"Alpha", fields_.alpha, REG_DWORD);
    save(L"AutoHide Delay", fields_.autoHideDelay, REG_DWORD);
    return written;
}

void CRule::Define(const RuleDefinition& definition) {
    // The icon settings go through their setters, which drop the extracted
    // icons when a setting really changes (and keep a file name that differs
    // only in letter case); the rest is taken as it is.
    SetIconLocation(definition.iconLocation);
    SetIconFilename(definition.iconFilename);
    SetIconPosition(definition.iconPosition);
    std::wstring iconFilename = std::move(fields_.iconFilename);
    fields_ = definition;
    fields_.iconFilename = std::move(iconFilename);
    ForgetPassedOverWindows();
}
