#pragma once
// The rules editor: the rule list to edit, a live view of the windows the
// program watches, its own menu bar from the menu component, a toolbar and a
// side bar. Edits go to the rule list at once and put the application into
// edit mode (tracking pauses); Apply stores them, Cancel reloads the stored ones.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "CApplication.h"
#include "Controls.h"
#include "SetupListSort.h"
#include "SetupMenuBar.h"
#include "SetupRulesPage.h"
#include "SetupWindowsPage.h"
#include "Window.h"

// The help page beside the program. Help opens the one in `folder` with the
// shell; when it is missing or nothing can show it, a box says there is no help.
inline constexpr wchar_t HelpPageName[] = L"Pelkin.html";
void ShowHelpTopics(HWND owner, const std::wstring& folder);

// The form itself: the dialog, its layout and side bar, the stored window
// state, applying and discarding; the pages and the menu bar are its parts.
class frmSetup : public platform::Dialog,
                 private IApplicationEvents,
                 private SetupRulesPage::Host,
                 private SetupMenuBar::Host {
public:
    // Edits the rules of `app`, which may go before the editor.
    static std::shared_ptr<frmSetup> Create(std::weak_ptr<CApplication> app);
    ~frmSetup() override;

    // Shows the editor, or brings it forward when it is shown already.
    void Display();

    // Why the editor is asked to close.
    enum class CloseReason {
        User,         // the close box
        ProgramExit,  // the program is ending at the user's request
        ForcedExit,   // Windows shutting down, the task manager: nobody to ask
    };
    // The query-unload: unsaved edits are stored, dropped or kept as the user
    // answers. True when the window is to stay open (and the program with it).
    bool QueryUnload(CloseReason reason);

    // Pages of the tab strip.
    enum Page { RulesPage = 0, WindowsPage = 1 };

private:
    explicit frmSetup(std::weak_ptr<CApplication> app);

    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void Form_Load();
    void Form_Unload();
    void ReadWindowState();
    void WriteWindowState() const;
    void UpdateCaption(bool enabled);

    // Layout and the side bar.
    void Layout();
    void FollowDpi(UINT dpi);
    void DrawPelkinBar(const DRAWITEMSTRUCT& item) const;
    void ShowPage(int page);
    void UpdateToolbarStates();

    // Commands of the view and of the program.
    void cmdHelp();
    void ToggleToolbar();
    void TogglePelkinBar();
    void SetListMode(DWORD view);

    // Saving and discarding.
    bool Apply();
    void Discard();
    // The rules into a file of their own, and a file's rules added to the list.
    void ExportRulesFile();
    void ImportRulesFile();
    void cmdOK_Click();
    void cmdCancel_Click();
    void Unload();
    bool ApplyEnabled() const;

    // IApplicationEvents
    void EnableChange(bool enabled) override;
    void IntervalChange(int32_t interval) override;
    void MenuOptionsChange(bool ownerDraw, int32_t highlightStyle) override;
    void ColorSchemeChange() override;
    void WindowRemove() override;
    // SetupRulesPage::Host
    void RulesEdited() override;
    void EditStateChanged() override;
    // SetupMenuBar::Host
    HWND Window() const override { return hWnd(); }
    void RunCommand(const std::wstring& band, const std::wstring& name) override;
    SetupRulesPage::EditState Edits() const override { return rules_.Edits(); }
    SetupMenuBar::ViewState View() const override { return {barShown_, toolbarShown_, listMode_}; }

    // The application the editor listens to; it may go before the window.
    std::weak_ptr<CApplication> app_;
    SetupRulesPage rules_{*this};
    SetupWindowsPage windows_;
    SetupMenuBar menuBar_{*this};
    platform::TabPageBackground page_;
    UINT dpi_ = 0;               // the density the controls' font is made for; 0 the one it opened at
    platform::UniqueFont font_;  // the controls' font once the density changed
    SetupListSort sort_;
    bool toolbarShown_ = true;
    bool barShown_ = true;
    DWORD listMode_ = LV_VIEW_DETAILS;
};
