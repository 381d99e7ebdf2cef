#pragma once
// The rule inspector: the New Rule wizard, and the property sheet of a new or
// an existing rule, with the window finder.
#include <cstdint>
#include <memory>

#include "Window.h"

class CRule;

class frmRuleInspector : public platform::Dialog {
public:
    // Owner kinds of Display.
    static constexpr int32_t OwnedByProgram = 0;
    static constexpr int32_t OwnedByEditor = 1;

    static std::shared_ptr<frmRuleInspector> Create();

    // With no rule: a new one (the wizard or the "New Rule" sheet, as the
    // options say); with a rule: its sheet. Owned by the rules editor
    // (OwnedByEditor), the owner is disabled while the inspector lives.
    // An inspector already shown is only brought forward.
    void Display(std::shared_ptr<CRule> rule, int32_t ownerKind, HWND owner);

private:
    frmRuleInspector();
};
