#pragma once
// What the rules are given by the program that holds them: beside what
// their windows need, an ear for edits and for rules that may now take more.
#include "IWindowHost.h"

class IRuleHost : public IWindowHost {
public:
    // Every change to a rule puts the program into edit mode.
    virtual void RulesEdited() = 0;
    // A rule may now take windows that every rule turned away before.
    virtual void MatchingChanged() noexcept = 0;

protected:
    ~IRuleHost() = default;
};
