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
#include "CRules.h"
#include "ComClient.h"
#include "ComPtr.h"
#include "QuilletInterfaces.h"
#include "Window.h"

class frmMain;

// The help page beside the program. Help opens the one in `folder` with the
// shell; when it is missing or nothing can show it, a box says there is no help.
inline constexpr wchar_t HelpPageName[] = L"Pelkin.html";
void ShowHelpTopics(HWND owner, const std::wstring& folder);

class frmSetup : public platform::Dialog, private IApplicationEvents, private IRulesEvents {
public:
    static std::shared_ptr<frmSetup> Create();
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

    // Pages of the tab strip and filters of the windows page.
    enum Page { RulesPage = 0, WindowsPage = 1 };
    enum Filter { ShowAllWindows = 0, ShowWatchedWindowsOnly = 1 };

private:
    frmSetup();

    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void Form_Load();
    void Form_Unload();
    void ReadWindowState();
    void WriteWindowState() const;
    void AddColumns();
    void UpdateCaption(bool enabled);

    // The menu bar and the toolbar.
    void InitializeQuillet();
    void AddMenuTools(_Bands& all, const frmMain* main);
    void ApplyMenuLook(bool ownerDraw, int32_t highlightStyle);
    void AddToolbar();
    LRESULT tbrStandard_Notify(const NMHDR& header);
    void moQuillet_BandOpen(_Band* band);
    void moQuillet_Click(_Tool* tool);
    void RunCommand(const std::wstring& band, const std::wstring& name);
    void UpdateEditBand(_Band& band);
    bool OnListKeyDown(WORD key);

    // Layout and the side bar.
    void Layout();
    void DrawPelkinBar(const DRAWITEMSTRUCT& item) const;
    void ShowPage(int page);

    // The rules page.
    void FillRules();
    int FindRuleItem(const CRule* rule) const;
    void SetRuleItem(int item, const CRule& rule);
    std::wstring SelectedRuleName() const;
    int SelectedRuleItem() const;
    void SelectRuleItem(int item);
    void UpdateToolbarStates();
    void Changed();
    void lvwRules_ItemCheck(int item);
    bool lvwRules_AfterLabelEdit(const NMLVDISPINFOW& edit);
    void SortList(HWND list, int column);
    void PopupEditMenu();

    // Commands.
    void cmdNew();
    void cmdOpen();
    void cmdClipboard(const std::wstring& name);
    void cmdRename();
    void cmdMove(int32_t direction);
    void cmdHelp();
    void ToggleToolbar();
    void TogglePelkinBar();
    void SetListMode(DWORD view);

    // The windows page.
    void RefreshWindows();
    void StartRefreshTimer();
    void StopRefreshTimer();
    void cboViews_Click();

    // Saving and discarding.
    bool Apply();
    void Discard();
    void cmdOK_Click();
    void cmdCancel_Click();
    void Unload();
    bool ApplyEnabled() const;

    // IApplicationEvents
    void EnableChange(bool enabled) override;
    void IntervalChange(int32_t interval) override;
    void MenuOptionsChange(bool ownerDraw, int32_t highlightStyle) override;
    void WindowRemove() override;
    // IRulesEvents
    void RuleAdd(const std::shared_ptr<CRule>& rule, int32_t index) override;
    void RuleChange(const std::shared_ptr<CRule>& rule) override;
    void RuleMove(const std::shared_ptr<CRule>& rule, int32_t index) override;
    void RuleRemove(const std::shared_ptr<CRule>& rule) override;

    // The application the editor listens to; it may go before the window.
    std::weak_ptr<CApplication> app_;
    platform::ComPtr<_Quillet> quillet_;
    platform::ComPtr<platform::com::EventSink> moQuillet_;
    platform::com::EventConnection quilletConnection_;
    HWND toolbar_ = nullptr;
    int page_ = RulesPage;
    int filter_ = ShowWatchedWindowsOnly;
    bool toolbarShown_ = true;
    bool barShown_ = true;
    DWORD listMode_ = LV_VIEW_DETAILS;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    HWND sortList_ = nullptr;
    // Set while the lists are filled by the code: what they report is no edit.
    bool loading_ = false;
    bool timerRunning_ = false;
};
