#pragma once
// What the application tells the forms that listen to it (the rules editor,
// the Tray Manager, the About box).
#include <cstdint>

// Receivers of the application's events (rules editor, tray manager, About box).
class IApplicationEvents {
public:
    virtual void EnableChange(bool /*enabled*/) {}
    virtual void IntervalChange(int32_t /*interval*/) {}
    virtual void MenuOptionsChange(bool /*ownerDraw*/, int32_t /*highlightStyle*/) {}
    // The program now draws in other colours (platform::CurrentScheme()).
    virtual void ColorSchemeChange() {}
    virtual void WindowAdd() {}
    virtual void WindowChange() {}
    virtual void WindowRemove() {}

protected:
    ~IApplicationEvents() = default;
};
