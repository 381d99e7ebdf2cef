#pragma once
// The few things the model has to ask or tell the user, put to the user by
// whoever holds it. The model words them; the face shows them.
#include <string>

class IPrompt {
public:
    // A question to answer yes or no; true for yes.
    virtual bool Confirm(const std::wstring& text, const wchar_t* caption) = 0;
    // What was asked cannot be done (a rule's name is taken or impossible).
    virtual void Refuse(const std::wstring& text, const wchar_t* caption) = 0;
    // Something did not take (the rules could not be saved), under the program's title.
    virtual void Warn(const std::wstring& text) = 0;

protected:
    ~IPrompt() = default;
};
