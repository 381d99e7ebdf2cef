#pragma once
// What the tray menus' own items ask of the program.
class IMenuCommands {
public:
    virtual void DisplayAbout() = 0;
    virtual void DisplaySetup() = 0;
    virtual void DisplayOptions() = 0;
    virtual bool Enabled() const noexcept = 0;
    virtual void SetEnabled(bool value) = 0;
    virtual void RefreshWindows(bool reset) = 0;
    virtual void RestoreAllWindows() = 0;
    // Whether a window a rule took refused its action for running as
    // administrator; and the program started again elevated to reach it.
    virtual bool AdministratorNeeded() const = 0;
    virtual void RestartAsAdministrator() = 0;

protected:
    ~IMenuCommands() = default;
};
