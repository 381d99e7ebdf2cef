#pragma once
// What the switcher and the Tray Manager ask of the program's tray face: the
// windows it holds, the icons it shows for them, a window's own menu, and
// word of the windows' changes.
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>

#include "IApplicationEvents.h"
#include "IWindowHost.h"
#include "Observers.h"

class ITrayFace {
public:
    virtual const WindowRegistry& Windows() const noexcept = 0;
    // The tracked window at that 1-based position; none when there is none.
    virtual std::shared_ptr<CWindow> TrackedWindowAt(int32_t position) const = 0;
    virtual platform::Observers<IApplicationEvents>& Events() noexcept = 0;
    virtual HICON EnabledIcon() const noexcept = 0;
    virtual HICON DefaultWindowIcon() const noexcept = 0;
    // The window's own window menu with the program's items on top (none when `bare`).
    virtual void PopupWindowMenu(HWND owner, HWND window, const std::wstring& title, int32_t x, int32_t y,
                                 bool bare) = 0;

protected:
    ~ITrayFace() = default;
};
