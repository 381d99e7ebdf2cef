#pragma once
// The rules editor's menu bar, drawn by the menu component, and its toolbar.
// Both turn what the user chooses into a command the editor runs, and show
// which commands can run: a menu as it opens, the toolbar as the rules or
// the page change.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ComClient.h"
#include "ComPtr.h"
#include "QuilletInterfaces.h"
#include "SetupRulesPage.h"

class CApplication;
class frmMain;

class SetupMenuBar {
public:
    // How the editor's view stands, as its menus show it.
    struct ViewState {
        bool barShown;
        bool toolbarShown;
        DWORD listMode;
    };

    // What the menu bar asks of the editor it serves.
    class Host {
    public:
        // The editor's window; none once it has gone.
        virtual HWND Window() const = 0;
        // A tool chosen on the menu `band`; a toolbar button is its Edit menu's tool.
        virtual void RunCommand(const std::wstring& band, const std::wstring& name) = 0;
        virtual SetupRulesPage::EditState Edits() const = 0;
        virtual ViewState View() const = 0;

    protected:
        ~Host() = default;
    };

    // The menu whose Help tool is Help Topics (the bar's Help only opens it).
    static constexpr wchar_t HelpBand[] = L"Help";

    explicit SetupMenuBar(Host& host) noexcept : host_(host) {}
    ~SetupMenuBar();
    SetupMenuBar(const SetupMenuBar&) = delete;
    SetupMenuBar& operator=(const SetupMenuBar&) = delete;

    // The menus and the toolbar made on the editor's window.
    void Create(std::weak_ptr<CApplication> app);
    // Teardown in two steps, each of which must run: the component let go
    // of the window, then released.
    void Detach();
    void Release() noexcept;

    void ApplyMenuLook(bool ownerDraw, int32_t highlightStyle);
    // A key pressed in a list: true when it was a menu's shortcut.
    bool OnListKeyDown(WORD key);
    // The Edit menu at the pointer.
    // At the pointer, or (from the keyboard) at a point of the screen.
    void PopupEditMenu();
    void PopupEditMenu(POINT at);

    HWND Toolbar() const noexcept { return toolbar_; }
    void CustomizeToolbar();
    // The toolbar's buttons in their order by command name, "-" for a
    // separator ("New,Open,-,Cut"), as the user customized them; and that
    // order put back (names it does not know are left out; no text keeps
    // the buttons as they are).
    std::wstring ToolbarLayout() const;
    void RestoreToolbarLayout(const std::wstring& layout);
    void UpdateToolbarStates(const SetupRulesPage::EditState& edits);
    // A button of the toolbar: its command is run.
    void OnToolbarCommand(int id, HWND control);
    LRESULT tbrStandard_Notify(const NMHDR& header);

private:
    // The toolbar button of ToolbarButtons[index].
    TBBUTTON ButtonEntry(size_t index) const;
    void InitializeQuillet();
    void AddMenuTools(_Bands& all, const frmMain* main);
    void AddToolbar();
    void moQuillet_BandOpen(_Band* band);
    void moQuillet_Click(_Tool* tool);
    void UpdateEditBand(_Band& band);

    Host& host_;
    std::weak_ptr<CApplication> app_;
    platform::ComPtr<_Quillet> quillet_;
    platform::ComPtr<platform::com::EventSink> moQuillet_;
    platform::com::EventConnection quilletConnection_;
    HWND toolbar_ = nullptr;
    // Where the toolbar's two standard image sets begin.
    LRESULT standardImages_ = 0;
    LRESULT historyImages_ = 0;
};
