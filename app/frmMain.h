#pragma once
// The hidden main window. Its caption marks the running instance, it owns the
// program's image list and its closing ends the program.
#include <windows.h>
#include <string_view>

#include "Handles.h"
#include "KeyedCollection.h"

class frmMain {
public:
    // Why the window is being closed.
    enum class UnloadMode { ControlMenu, Code, WindowsShutdown, TaskManager };

    frmMain() = default;
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window and the application object; the application's start-up result.
    bool Initialize();

    HWND hWnd() const noexcept { return hwnd_; }
    HIMAGELIST imlIcons() const noexcept { return imlIcons_.get(); }
    // Position of a keyed image (0-based), -1 when there is none.
    int ImageIndex(std::wstring_view key) const;
    // A new icon drawn from a keyed image; the caller owns it.
    platform::UniqueHIcon ImageIcon(std::wstring_view key) const;

    // Runs the close path as a close request of the given kind would.
    void Close(UnloadMode mode);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Load();
    void LoadImages();
    bool Form_QueryUnload(UnloadMode mode);
    void Form_Unload();

    HWND hwnd_ = nullptr;
    platform::UniqueHImageList imlIcons_;
    platform::KeyedCollection<int> imageKeys_;
    bool asking_ = false;
    // A close put off while the program was busy; the strongest kind wins.
    bool closePending_ = false;
    UnloadMode pendingMode_ = UnloadMode::ControlMenu;
};
