#pragma once
// The program's icons in the notification area, through the tray component:
// its own icon (its picture and tip follow Enabled, its presence HideIcon)
// and one icon per window hidden into the tray, with the window's handle as
// its ID. The mouse on any of them is handed on.
#include <windows.h>
#include <string>

#include "ComClient.h"
#include "Handles.h"
#include "KestrixInterfaces.h"

class frmMain;
struct Options;

// The tray icon ID of the program's own icon; window icons use their handles.
inline constexpr LONG ProgramIconId = 0;

// A window's tray icon has the window's handle as its ID.
inline LONG TrayIconId(HWND hWnd) noexcept { return static_cast<LONG>(reinterpret_cast<intptr_t>(hWnd)); }

// What the mouse did on a tray icon. Button is LeftButton or RightButton.
class ITrayIconEvents {
public:
    virtual void IconMouseUp(LONG id, LONG button, LONG x, LONG y) = 0;
    virtual void IconClick(LONG id, LONG button) = 0;
    virtual void IconDblClick(LONG id, LONG button) = 0;
    virtual void IconMouseMove(LONG id) = 0;

protected:
    ~ITrayIconEvents() = default;
};

class CTrayIcons {
public:
    // Both outlive the icons.
    CTrayIcons(const Options& options, ITrayIconEvents& events) noexcept : options_(options), events_(events) {}
    CTrayIcons(const CTrayIcons&) = delete;
    CTrayIcons& operator=(const CTrayIcons&) = delete;

    // The tray component and its events; Release takes every icon away first.
    void Create();
    void Release();
    // The icons read from the main window's image list.
    void TakeIcons(const frmMain& owner);

    // None before Create and after Release.
    _Kestrix* Component() const noexcept { return kestrix_.Get(); }
    platform::com::EventSink* Events() const noexcept { return sink_.Get(); }
    HICON EnabledIcon() const noexcept { return enabled_.get(); }
    HICON DisabledIcon() const noexcept { return disabled_.get(); }
    HICON DefaultWindowIcon() const noexcept { return default_.get(); }

    // The program's own icon as Enabled and HideIcon say.
    void ShowProgramIcon(bool programEnabled);
    // A window's icon made or brought up to date (the default icon when it
    // has none); false without a tray component.
    bool ShowWindowIcon(HWND hWnd, HICON icon, const std::wstring& tip);
    // The icon of that ID goes, and the program's own follows.
    void RemoveIcon(LONG id);

private:
    void RefreshProgramIcon();
    bool HasTrayIcon(LONG id) const;
    // Adds the tray icon or brings it up to date; true when it was added.
    bool SetTrayIcon(LONG id, HICON icon, const std::wstring& tip);
    void RemoveTrayIcon(LONG id);

    const Options& options_;
    ITrayIconEvents& events_;
    platform::ComPtr<_Kestrix> kestrix_;
    platform::ComPtr<platform::com::EventSink> sink_;
    platform::com::EventConnection connection_;
    platform::UniqueHIcon enabled_;
    platform::UniqueHIcon disabled_;
    platform::UniqueHIcon default_;
    bool programEnabled_ = false;
};
