#include "SetupWindowsPage.h"

#include <array>
#include <set>
#include <string>
#include <vector>

#include "CApplication.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CWindow.h"
#include "Controls.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "SetupListView.h"
#include "Window.h"
#include "frmSetupIds.h"

using platform::ShowControl;
using setup_list::FindItemByTag;
using setup_list::InsertItem;
using setup_list::ItemTag;
using setup_list::SetItemText;

namespace {

constexpr std::array<setup_list::Column, 6> WindowColumns{{{L"Title", 200},
                                                            {L"Status", 90},
                                                            {L"Class", 130},
                                                            {L"Rule", 100},
                                                            {L"Program", 110},
                                                            {L"Action", 60}}};
enum WindowColumn {
    TitleColumn = 0,
    StatusColumn = 1,
    ClassColumn = 2,
    RuleNameColumn = 3,
    ProgramColumn = 4,
    OutcomeColumn = 5
};

constexpr wchar_t RunningText[] = L"Running";
constexpr wchar_t NotRespondingText[] = L"Not Responding";

// Why a window's action is not in force; nothing while it is.
const wchar_t* OutcomeText(ActionOutcome outcome) noexcept {
    switch (outcome) {
        case ActionOutcome::NotResponding: return L"Not responding";
        case ActionOutcome::Refused: return L"Refused";
        case ActionOutcome::RefusedElevated: return L"Refused: runs as administrator";
        default: return L"";
    }
}

// The stored filter.
constexpr wchar_t ViewValue[] = L"View";

constexpr UINT_PTR RefreshTimerId = 1;
constexpr UINT TenthsToMs = 100;

}  // namespace

void SetupWindowsPage::Attach(HWND dialog, std::weak_ptr<CApplication> app) {
    dialog_ = dialog;
    list_ = ::GetDlgItem(dialog, IDC_SETUP_LVWWINDOWS);
    app_ = std::move(app);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
    setup_list::AddColumns(list_, WindowColumns, platform::WindowDpi(dialog));
}

void SetupWindowsPage::ReadState(const CRegistry& store) {
    platform::SkipFailure(SetupLogSource, L"Form_Load", [&] {
        filter_ = SettingToInt32(store.GetSetting(L"", ViewValue, ShowWatchedWindowsOnly), L"frmSetup.Form_Load");
    });
    if (filter_ != ShowAllWindows && filter_ != ShowWatchedWindowsOnly) filter_ = ShowWatchedWindowsOnly;
    fitColumns_ = !setup_list::ReadColumnWidths(store, list_, WindowColumns);
}

void SetupWindowsPage::FitColumnsOnce() {
    RECT client{};
    if (!fitColumns_ || !::GetClientRect(list_, &client) || client.right <= 0) return;
    fitColumns_ = false;
    setup_list::FitColumns(list_, WindowColumns);
}

void SetupWindowsPage::WriteState(CRegistry& store) const {
    store.SaveSetting(L"", ViewValue, filter_, REG_SZ);
    setup_list::WriteColumnWidths(store, list_, WindowColumns);
}

void SetupWindowsPage::FillFilters() {
    HWND views = ::GetDlgItem(dialog_, IDC_SETUP_CBOVIEWS);
    platform::SetComboItems(views, {L"Show All Windows", L"Show Watched Windows Only"});
    platform::SelectCombo(views, filter_);
}

void SetupWindowsPage::Show(bool shown) {
    shown_ = shown;
    for (int id : {IDC_SETUP_LBLVIEWS, IDC_SETUP_CBOVIEWS, IDC_SETUP_LVWWINDOWS})
        ShowControl(::GetDlgItem(dialog_, id), shown);
    if (shown) {
        RefreshWindows();
        StartRefreshTimer();
    } else {
        StopRefreshTimer();
    }
}

void SetupWindowsPage::RefreshWindows() {
    auto app = app_.lock();
    HWND list = list_;
    if (!app || !list) return;
    std::vector<std::shared_ptr<CWindow>> shown;
    std::set<HWND> listed;
    for (const auto& tracked : app->Windows().Snapshot()) {
        if (::IsWindow(tracked->hWnd()) && listed.insert(tracked->hWnd()).second) shown.push_back(tracked);
    }
    if (filter_ == ShowAllWindows) {
        for (const auto& task : ListTaskWindows()) {
            if (::IsWindowVisible(task->hWnd()) && listed.insert(task->hWnd()).second) shown.push_back(task);
        }
    }
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int item = ListView_GetItemCount(list); item-- > 0;) {
        if (!listed.count(reinterpret_cast<HWND>(ItemTag(list, item)))) ListView_DeleteItem(list, item);
    }
    for (const auto& window : shown) {
        const auto tag = reinterpret_cast<LPARAM>(window->hWnd());
        int item = FindItemByTag(list, tag);
        const std::wstring title = window->Title();
        if (item < 0) item = InsertItem(list, ListView_GetItemCount(list), title, tag);
        SetItemText(list, item, TitleColumn, title);
        SetItemText(list, item, StatusColumn,
                    window->Status() == WindowNotResponding ? NotRespondingText : RunningText);
        SetItemText(list, item, ClassColumn, window->Class());
        const auto rule = window->Parent();
        SetItemText(list, item, RuleNameColumn, rule ? rule->Name() : std::wstring());
        SetItemText(list, item, ProgramColumn, std::wstring(CWindow::ProgramFileName(window->Program())));
        SetItemText(list, item, OutcomeColumn, OutcomeText(window->Outcome()));
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void SetupWindowsPage::StartRefreshTimer() {
    auto app = app_.lock();
    if (!app || !dialog_) return;
    ::SetTimer(dialog_, RefreshTimerId, static_cast<UINT>(app->Interval()) * TenthsToMs, nullptr);
    timerRunning_ = true;
}

void SetupWindowsPage::StopRefreshTimer() {
    if (!timerRunning_) return;
    ::KillTimer(dialog_, RefreshTimerId);
    timerRunning_ = false;
}

bool SetupWindowsPage::OnTimer(UINT_PTR id) {
    if (id != RefreshTimerId) return false;
    RefreshWindows();
    return true;
}

void SetupWindowsPage::IntervalChanged() {
    if (timerRunning_) StartRefreshTimer();
}

void SetupWindowsPage::WindowRemoved() {
    if (shown_) RefreshWindows();
}

void SetupWindowsPage::cboViews_Click() {
    const int position = platform::ComboSelection(::GetDlgItem(dialog_, IDC_SETUP_CBOVIEWS));
    if (position < 0 || position == filter_) return;
    filter_ = position;
    ListView_DeleteAllItems(list_);
    if (shown_) RefreshWindows();
}
