#pragma once
// The hidden main window. Its caption marks the running instance, it owns the
// program's image list and its closing ends the program.
#include <windows.h>
#include <string_view>

#include "Handles.h"
#include "KeyedCollection.h"
#include "Window.h"

class frmMain : public platform::Window {
public:
    // Why the window is being closed.
    enum class UnloadMode { ControlMenu, Code, WindowsShutdown, TaskManager };

    frmMain() noexcept;
    // The window goes while the form is whole, so that its own teardown runs.
    ~frmMain() override { Destroy(); }

    // Creates the window and the application object; the application's start-up result.
    bool Initialize();

    HIMAGELIST imlIcons() const noexcept { return imlIcons_.get(); }
    // Position of a keyed image (0-based), -1 when there is none.
    int ImageIndex(std::wstring_view key) const;
    // A new icon drawn from a keyed image; the caller owns it.
    platform::UniqueHIcon ImageIcon(std::wstring_view key) const;

    // Runs the close path as a close request of the given kind would.
    void Close(UnloadMode mode);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void Load();
    void FollowColorScheme();
    void LoadImages();
    bool Form_QueryUnload(UnloadMode mode);
    void Form_Unload();

    // The window's handle while it exists, for the teardown after it is gone.
    HWND created_ = nullptr;
    platform::UniqueHImageList imlIcons_;
    platform::KeyedCollection<int> imageKeys_;
    bool asking_ = false;
    // A close put off while the program was busy; the strongest kind wins.
    bool closePending_ = false;
    UnloadMode pendingMode_ = UnloadMode::ControlMenu;
};
