#pragma once
// The program's system-wide hot keys, held through the menu component: the
// switcher's key with its Shift twin, and the keys that hide the active
// window and restore all windows. The choices are the options'; what is
// held is this class's.
#include <windows.h>
#include <array>
#include <cstdint>
#include <string>

#include "Options.h"
#include "QuilletInterfaces.h"

// What the switcher's second hot key adds to the first: it steps backwards.
inline constexpr int32_t SwitcherBackwardsModifier = qlHotkeyModifierShift;

class CHotkeys {
public:
    // `options` holds the choices and outlives the keys.
    explicit CHotkeys(Options& options) noexcept : options_(options) {}
    CHotkeys(const CHotkeys&) = delete;
    CHotkeys& operator=(const CHotkeys&) = delete;

    // The menu component that holds the keys; none before start-up and after teardown.
    void Attach(_Quillet* quillet) noexcept { quillet_ = quillet; }

    // The switcher's keys are held while it is on. Switching on a key
    // another program holds raises "Hotkey already active" and stays off.
    bool Switcher() const noexcept { return switcher_; }
    void SetSwitcher(bool value);
    // Moves switched-on keys to another key or modifiers; the old ones stay
    // (and the choice with them) when the new ones are refused.
    void SetSwitcherHotkey(int32_t value);
    void SetSwitcherHotkeyModifiers(int32_t value);

    // The switcher's keys at start-up, when it is chosen: held when they can
    // be; else the switcher stays off and the key is named as a refused
    // command key is (the choice stays stored, for the next start).
    std::wstring StartSwitcher(bool on, const wchar_t* purpose);
    // The hide and restore keys at start-up: those another program holds are
    // left out, named one per line ("Ctrl+Alt+Shift+H for ..."), with what
    // each does; empty when every key is held.
    std::wstring RegisterCommandHotKeys(const std::array<const wchar_t*, HotkeyCommandCount>& purposes);
    void ClearCommandHotKeys();
    bool CommandHotkeyHeld(size_t index) const noexcept { return commandIds_[index] != 0; }
    // A refused key raises "Hotkey already active"; the key held before stays.
    void SetCommandHotkey(size_t index, bool enabled, int32_t key, int32_t modifiers);

    // What a hot key the menu component reported stands for.
    enum class Press { None, HideActive, RestoreAll, Switcher, SwitcherBackwards };
    Press Pressed(LONG id, LONG keyCode, LONG modifiers) const noexcept;

    // "Ctrl+Alt+Shift+H": a key and modifier bits of the menu component as a user reads them.
    static std::wstring HotkeyName(int32_t key, int32_t modifiers);

private:
    // The switcher's key and its Shift twin; false (and nothing left
    // registered) when the first is refused.
    bool RegisterSwitcherHotKeys(int32_t key, int32_t modifiers);
    void ClearSwitcherHotKeys();
    void ChangeSwitcherHotKeys(int32_t key, int32_t modifiers, const wchar_t* property);
    LONG RegisterHotKey(int32_t key, int32_t modifiers);

    Options& options_;
    _Quillet* quillet_ = nullptr;
    bool switcher_ = false;
    // Identifiers the menu component gave the switcher's two keys; 0: none.
    std::array<LONG, 2> switcherIds_{};
    // Identifiers of the command keys held; 0: not held.
    std::array<LONG, HotkeyCommandCount> commandIds_{};
};
