#include "CRule.h"

#include <shellapi.h>

#include "CApplication.h"
#include "CRegistry.h"
#include "CWindows.h"
#include "Guard.h"
#include "MainModule.h"
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

}  // namespace

std::shared_ptr<CRule> CRule::Create() {
    std::shared_ptr<CRule> rule(new CRule());
    rule->windows_->SetParent(rule);
    return rule;
}

CRule::CRule() : windows_(std::make_unique<CWindows>()) {}

// The view goes first, so the rule's windows are let go while the rule's
// icons still exist; then the icons.
CRule::~CRule() {
    platform::GuardCallback(ClassName, L"Class_Terminate", [&] { windows_.reset(); });
    DestroyIcons();
}

void CRule::SetEnabled(bool value) {
    enabled_ = value;
    if (auto app = TheApp) app->SetEditMode(true);
}

void CRule::SetAutoHideDelay(int32_t value) noexcept { autoHideDelay_ = action_ == ActionHideInTray ? value : 0; }

void CRule::SetIconFilename(std::wstring value) {
    if (TextMatch::EqualsIgnoringCase(value, iconFilename_)) return;
    iconFilename_ = std::move(value);
    DestroyIcons();
}

void CRule::SetIconPosition(int32_t value) {
    if (value == iconPosition_) return;
    iconPosition_ = value;
    DestroyIcons();
}

void CRule::SetIconLocation(int32_t value) {
    if (value == iconLocation_) return;
    iconLocation_ = value;
    DestroyIcons();
}

void CRule::SetSearchOptions(int32_t option, bool value) noexcept {
    if (value)
        searchMask_ |= option;
    else if (SearchOptions(option))
        searchMask_ &= ~option;
}

std::wstring CRule::ActionText(int32_t action) { return TextOf(ActionTexts, action); }
std::wstring CRule::CriteriaText(int32_t criteria) { return TextOf(CriteriaTexts, criteria); }

HICON CRule::IconHandle(int32_t index) {
    if (iconLocation_ == IconFromWindow) return nullptr;
    // Once per setting: windows ask at every refresh, a missing file is not
    // searched for again, and a handle already given out is never replaced.
    if (!iconsExtracted_ && iconPosition_ >= 0) {
        iconsExtracted_ = true;
        // Not "small": the RPC headers define that word as a macro.
        HICON largeHandle = nullptr;
        HICON smallHandle = nullptr;
        const UINT extracted = ::ExtractIconExW(iconFilename_.c_str(), iconPosition_, &largeHandle, &smallHandle, 1);
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

bool CRule::IsMatch(HWND hWnd, std::wstring_view title, std::wstring_view windowClass, bool add) {
    bool matched = false;
    platform::Guard(ClassName, L"IsMatch", [&] {
        if (!enabled_) return;
        if (criteria_ == CriteriaOnMinimize && !::IsIconic(hWnd)) return;
        if (!class_.empty() && !TextMatch::EqualsIgnoringCase(class_, windowClass)) return;
        if (!TextMatch::TitleMatches(title, title_, searchMask_)) return;
        matched = true;
        if (add) windows_->Add(hWnd, action_, criteria_, alpha_, autoHideDelay_);
    });
    return matched;
}

void CRule::Save(CRegistry& registry, std::wstring_view section) const {
    const std::wstring key = std::wstring(section) + L"\\" + name_;
    registry.SaveSetting(key, L"Enabled", enabled_, REG_SZ);
    registry.SaveSetting(key, L"Action", action_, REG_DWORD);
    registry.SaveSetting(key, L"Criteria", criteria_, REG_DWORD);
    registry.SaveSetting(key, L"Icon Location", iconLocation_, REG_DWORD);
    registry.SaveSetting(key, L"Search Options", searchMask_, REG_DWORD);
    registry.SaveSetting(key, L"Icon Position", iconPosition_, REG_DWORD);
    registry.SaveSetting(key, L"Class", class_, REG_SZ);
    registry.SaveSetting(key, L"Icon FileName", iconFilename_, REG_SZ);
    registry.SaveSetting(key, L"Title", title_, REG_SZ);
    registry.SaveSetting(key, L"Alpha", alpha_, REG_DWORD);
    registry.SaveSetting(key, L"AutoHide Delay", autoHideDelay_, REG_DWORD);
}

void CRule::Define(const RuleDefinition& definition) {
    name_ = definition.name;
    title_ = definition.title;
    class_ = definition.windowClass;
    searchMask_ = definition.searchMask;
    action_ = definition.action;
    criteria_ = definition.criteria;
    SetIconLocation(definition.iconLocation);
    SetIconFilename(definition.iconFilename);
    SetIconPosition(definition.iconPosition);
    alpha_ = definition.alpha;
    autoHideDelay_ = definition.autoHideDelay;
    enabled_ = definition.enabled;
}

RuleDefinition CRule::Definition() const {
    return RuleDefinition{name_,          title_,        class_, searchMask_,   action_,        criteria_,
                          iconLocation_, iconFilename_, iconPosition_, alpha_, autoHideDelay_, enabled_};
}
