#include "CHotkeys.h"

#include <algorithm>
#include <utility>

#include "ComError.h"
#include "Error.h"

namespace {

// Failures keep the source they were always reported under.
constexpr wchar_t ClassName[] = L"CApplication";
constexpr int32_t HotkeyAlreadyActive = platform::errors::ComponentCode(1000);
constexpr wchar_t HotkeyAlreadyActiveText[] = L"Hotkey already active";

[[noreturn]] void RaiseAlreadyActive(const wchar_t* property) {
    platform::Raise(HotkeyAlreadyActive, HotkeyAlreadyActiveText, std::wstring(ClassName) + L"." + property);
}

// The names of the keys that have no character of their own.
std::wstring KeyName(int32_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::wstring(1, static_cast<wchar_t>(key));
    constexpr int ScanCodeShift = 16;
    constexpr int ExtendedKeyBit = 1 << 24;
    constexpr int KeyNameCapacity = 64;
    LONG scanCode = static_cast<LONG>(::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << ScanCodeShift;
    // The navigation keys share their scan codes with the number pad's.
    if ((key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE) scanCode |= ExtendedKeyBit;
    wchar_t name[KeyNameCapacity] = {};
    if (::GetKeyNameTextW(scanCode, name, KeyNameCapacity) > 0) return name;
    return L"key " + std::to_wstring(key);
}

}  // namespace

std::wstring CHotkeys::HotkeyName(int32_t key, int32_t modifiers) {
    std::wstring name;
    if (modifiers & qlHotkeyModifierCtrl) name += L"Ctrl+";
    if (modifiers & qlHotkeyModifierAlt) name += L"Alt+";
    if (modifiers & qlHotkeyModifierShift) name += L"Shift+";
    if (modifiers & qlHotkeyModifierWindows) name += L"Win+";
    return name + KeyName(key);
}

LONG CHotkeys::RegisterHotKey(int32_t key, int32_t modifiers) {
    LONG id = 0;
    platform::ThrowIfFailed(quillet_->SetHotKey(key, static_cast<QLHotKeyModifiers>(modifiers), &id),
                            L"Quillet.SetHotKey");
    return id;
}

bool CHotkeys::RegisterSwitcherHotKeys(int32_t key, int32_t modifiers) {
    // Without the first the second would only be held for nothing.
    const LONG forward = RegisterHotKey(key, modifiers);
    if (forward == 0) return false;
    switcherIds_[0] = forward;
    switcherIds_[1] = RegisterHotKey(key, modifiers | SwitcherBackwardsModifier);
    return true;
}

void CHotkeys::ClearSwitcherHotKeys() {
    for (LONG& id : switcherIds_) {
        if (id != 0) platform::ThrowIfFailed(quillet_->ClearHotKey(std::exchange(id, 0)), L"Quillet.ClearHotKey");
    }
}

void CHotkeys::ChangeSwitcherHotKeys(int32_t key, int32_t modifiers, const wchar_t* property) {
    if (!switcher_ || !quillet_) return;
    ClearSwitcherHotKeys();
    if (RegisterSwitcherHotKeys(key, modifiers)) return;
    // The keys in use before come back, so that Switcher stays true to what is held.
    switcher_ = RegisterSwitcherHotKeys(options_.switcherHotkey, options_.switcherHotkeyModifiers);
    RaiseAlreadyActive(property);
}

void CHotkeys::SetSwitcher(bool value) {
    if (value == switcher_) return;
    if (quillet_ && value && !RegisterSwitcherHotKeys(options_.switcherHotkey, options_.switcherHotkeyModifiers))
        RaiseAlreadyActive(L"Switcher");
    if (quillet_ && !value) ClearSwitcherHotKeys();
    switcher_ = value;
}

void CHotkeys::SetSwitcherHotkey(int32_t value) {
    ChangeSwitcherHotKeys(value, options_.switcherHotkeyModifiers, L"SwitcherHotkey");
    options_.switcherHotkey = value;
}

void CHotkeys::SetSwitcherHotkeyModifiers(int32_t value) {
    ChangeSwitcherHotKeys(options_.switcherHotkey, value, L"SwitcherHotkeyModifiers");
    options_.switcherHotkeyModifiers = value;
}

namespace {
std::wstring RefusedLine(int32_t key, int32_t modifiers, const wchar_t* purpose) {
    return L"\r\n" + CHotkeys::HotkeyName(key, modifiers) + L" for \"" + purpose + L"\"";
}
}  // namespace

std::wstring CHotkeys::StartSwitcher(bool on, const wchar_t* purpose) {
    if (!on || switcher_) return {};
    if (quillet_ && !RegisterSwitcherHotKeys(options_.switcherHotkey, options_.switcherHotkeyModifiers))
        return RefusedLine(options_.switcherHotkey, options_.switcherHotkeyModifiers, purpose);
    switcher_ = true;
    return {};
}

std::wstring CHotkeys::RegisterCommandHotKeys(const std::array<const wchar_t*, HotkeyCommandCount>& purposes) {
    std::wstring refused;
    for (size_t i = 0; i < commandIds_.size(); ++i) {
        const auto& choice = options_.commandHotkeys[i];
        if (!choice.enabled || commandIds_[i] != 0) continue;
        commandIds_[i] = RegisterHotKey(choice.key, choice.modifiers);
        if (commandIds_[i] == 0) refused += RefusedLine(choice.key, choice.modifiers, purposes[i]);
    }
    return refused;
}

void CHotkeys::ClearCommandHotKeys() {
    for (LONG& id : commandIds_) {
        if (id != 0 && quillet_) platform::ThrowIfFailed(quillet_->ClearHotKey(std::exchange(id, 0)), L"Quillet.ClearHotKey");
    }
}

void CHotkeys::SetCommandHotkey(size_t index, bool enabled, int32_t key, int32_t modifiers) {
    auto& choice = options_.commandHotkeys[index];
    LONG& id = commandIds_[index];
    const bool unchanged = choice.enabled == enabled && choice.key == key && choice.modifiers == modifiers;
    if (!quillet_ || (unchanged && (id != 0 || !enabled))) {
        choice = {enabled, key, modifiers};
        return;
    }
    const LONG held = std::exchange(id, 0);
    if (enabled) {
        id = RegisterHotKey(key, modifiers);
        if (id == 0) {
            // The key held before stays, and with it the choice that holds it.
            id = held;
            RaiseAlreadyActive(L"CommandHotkey");
        }
    }
    if (held != 0) platform::ThrowIfFailed(quillet_->ClearHotKey(held), L"Quillet.ClearHotKey");
    choice = {enabled, key, modifiers};
}

CHotkeys::Press CHotkeys::Pressed(LONG id, LONG keyCode, LONG modifiers) const noexcept {
    if (id == 0) return Press::None;
    if (id == commandIds_[HotkeyHideActive]) return Press::HideActive;
    if (id == commandIds_[HotkeyRestoreAll]) return Press::RestoreAll;
    if (std::find(switcherIds_.begin(), switcherIds_.end(), id) == switcherIds_.end()) return Press::None;
    if (keyCode != options_.switcherHotkey) return Press::None;
    if (modifiers == options_.switcherHotkeyModifiers) return Press::Switcher;
    if (modifiers == (options_.switcherHotkeyModifiers | SwitcherBackwardsModifier)) return Press::SwitcherBackwards;
    return Press::None;
}
