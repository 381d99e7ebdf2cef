#pragma once
// What a tracked window is given by whoever tracks it: the registry it is
// kept in, the options it reads, its countdowns, and an ear for what changes.
#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ICountdown.h"
#include "KeyedCollection.h"

class CWindow;
struct Options;

// The tracked windows, keyed by the handle as signed decimal.
using WindowRegistry = platform::KeyedCollection<std::shared_ptr<CWindow>>;

class IWindowHost {
public:
    virtual WindowRegistry& TrackedWindows() noexcept = 0;
    virtual const Options& CurrentOptions() const noexcept = 0;
    // A countdown that calls `elapsed` once, `milliseconds` after it is enabled.
    virtual std::unique_ptr<ICountdown> CreateCountdown(int32_t milliseconds, std::function<void()> elapsed) = 0;
    // A window is tracked now; its tray icon is to be made or brought up to
    // date; it is no longer tracked (or, silently, only its icon goes).
    virtual void OnWindowAdd(HWND hWnd) = 0;
    virtual void OnWindowChange(HWND hWnd, HICON icon, const std::wstring& title) = 0;
    virtual void OnWindowRemove(HWND hWnd, bool silent) = 0;
    // Whether every change of a tracked window reaches it as an event (a
    // window's kept title is forgotten at each); without them, titles are
    // read afresh wherever they are shown.
    virtual bool FollowsWindowEvents() const noexcept { return false; }

protected:
    ~IWindowHost() = default;
};
