#include "SetupRulesPage.h"

#include <algorithm>
#include <array>
#include <utility>

#include "CApplication.h"
#include "CClipboard.h"
#include "CRegistry.h"
#include "CRule.h"
#include "Controls.h"
#include "Guard.h"
#include "SetupListView.h"
#include "Strings.h"
#include "Window.h"
#include "frmRuleInspector.h"
#include "frmSetupIds.h"

using platform::ShowControl;
using setup_list::InsertItem;
using setup_list::ItemTag;
using setup_list::SetItemText;

namespace {

// The rules' four columns fit the list as it first opens.
constexpr std::array<setup_list::Column, 4> RuleColumns{
    {{L"Name", 130}, {L"Action", 115}, {L"Criteria", 95}, {L"Program", 90, L"Rule Program"}}};
enum RuleColumn { NameColumn = 0, ActionColumn = 1, CriteriaColumn = 2, RuleProgramColumn = 3 };

}  // namespace

void SetupRulesPage::Attach(HWND dialog, std::weak_ptr<CApplication> app) {
    dialog_ = dialog;
    list_ = ::GetDlgItem(dialog, IDC_SETUP_LVWRULES);
    app_ = std::move(app);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    setup_list::AddColumns(list_, RuleColumns, platform::WindowDpi(dialog));
}

void SetupRulesPage::ReadState(const CRegistry& store) { setup_list::ReadColumnWidths(store, list_, RuleColumns); }

void SetupRulesPage::WriteState(CRegistry& store) const { setup_list::WriteColumnWidths(store, list_, RuleColumns); }

void SetupRulesPage::Show(bool shown) {
    shown_ = shown;
    ShowControl(list_, shown);
}

void SetupRulesPage::FillRules() {
    auto app = app_.lock();
    HWND list = list_;
    const bool wasLoading = std::exchange(loading_, true);
    ListView_DeleteAllItems(list);
    if (app) {
        int position = 0;
        for (const auto& entry : app->Rules()) {
            const int item =
                InsertItem(list, position++, entry.value->Name(), reinterpret_cast<LPARAM>(entry.value.get()));
            SetRuleItem(item, *entry.value);
        }
        for (const auto& refused : app->Rules().RefusedRules()) ShowRefusedItem(position++, refused);
    }
    if (ListView_GetItemCount(list) > 0) SelectRuleItem(0);
    loading_ = wasLoading;
}

SetupRulesPage::EditState SetupRulesPage::Edits() const {
    auto app = app_.lock();
    EditState state;
    state.shown = shown_;
    state.selected = SelectedRuleItem();
    state.count = ListView_GetItemCount(list_);
    state.canUndo = app && app->Clipboard().CanUndo();
    state.canPaste = app && app->Clipboard().CanPaste();
    return state;
}

void SetupRulesPage::TakeCheckStates() {
    HWND list = list_;
    for (int item = 0; item < ListView_GetItemCount(list); ++item) {
        auto* rule = reinterpret_cast<CRule*>(ItemTag(list, item));
        const bool checked = ListView_GetCheckState(list, item) != FALSE;
        if (rule && rule->Enabled() != checked) rule->SetEnabled(checked);
    }
}

void SetupRulesPage::ResetRules() {
    auto app = app_.lock();
    if (!app) return;
    const bool wasLoading = std::exchange(loading_, true);
    app->Rules().Reset();
    // The rules Undo knew are gone with the edits.
    app->Clipboard().SetUndoObject(nullptr);
    loading_ = wasLoading;
}

int SetupRulesPage::FindRuleItem(const CRule* rule) const {
    return setup_list::FindItemByTag(list_, reinterpret_cast<LPARAM>(rule));
}

void SetupRulesPage::SetRuleItem(int item, const CRule& rule) {
    HWND list = list_;
    const bool wasLoading = std::exchange(loading_, true);
    SetItemText(list, item, NameColumn, rule.Name());
    SetItemText(list, item, ActionColumn, rule.ActionString());
    SetItemText(list, item, CriteriaColumn, rule.CriteriaString());
    SetItemText(list, item, RuleProgramColumn, rule.Program());
    ListView_SetCheckState(list, item, rule.Enabled());
    loading_ = wasLoading;
}

const RefusedRule* SetupRulesPage::RefusedAt(int item) const {
    auto app = app_.lock();
    if (!app || item < 0 || ItemTag(list_, item) != 0) return nullptr;
    return app->Rules().FindRefused(setup_list::ItemText(list_, item, NameColumn));
}

void SetupRulesPage::ShowRefusedItem(int position, const RefusedRule& refused) {
    const bool wasLoading = std::exchange(loading_, true);
    const int item = InsertItem(list_, position, refused.name, 0);
    SetItemText(list_, item, ActionColumn, CRule::ActionText(refused.readable.action));
    SetItemText(list_, item, CriteriaColumn, CRule::CriteriaText(refused.readable.criteria));
    SetItemText(list_, item, RuleProgramColumn, refused.readable.program);
    ListView_SetCheckState(list_, item, refused.readable.enabled);
    loading_ = wasLoading;
}

void SetupRulesPage::DropRefusedItem(const std::wstring& name) {
    for (int item = ListView_GetItemCount(list_); item-- > 0;) {
        if (ItemTag(list_, item) == 0 && platform::EqualsNoCase(setup_list::ItemText(list_, item, NameColumn), name))
            ListView_DeleteItem(list_, item);
    }
}

LRESULT SetupRulesPage::lvwRules_CustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            if (ItemTag(list_, static_cast<int>(draw.nmcd.dwItemSpec)) == 0) draw.clrText = ::GetSysColor(COLOR_GRAYTEXT);
            return CDRF_DODEFAULT;
        default: return CDRF_DODEFAULT;
    }
}

void SetupRulesPage::lvwRules_GetInfoTip(NMLVGETINFOTIPW& tip) const {
    const RefusedRule* refused = RefusedAt(tip.iItem);
    if (!refused || !tip.pszText || tip.cchTextMax <= 0) return;
    const std::wstring text = L"Not loaded: " + refused->reason;
    const size_t length = std::min(text.size(), static_cast<size_t>(tip.cchTextMax - 1));
    text.copy(tip.pszText, length);
    tip.pszText[length] = L'\0';
}

POINT SetupRulesPage::MenuPoint() const {
    RECT bounds{};
    const int item = SelectedRuleItem();
    if (item < 0 || !ListView_GetItemRect(list_, item, &bounds, LVIR_LABEL)) ::GetClientRect(list_, &bounds);
    POINT at{bounds.left, bounds.bottom};
    ::ClientToScreen(list_, &at);
    return at;
}

int SetupRulesPage::SelectedRuleItem() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

std::wstring SetupRulesPage::SelectedRuleName() const {
    const int item = SelectedRuleItem();
    if (item < 0) return {};
    const auto* rule = reinterpret_cast<const CRule*>(ItemTag(list_, item));
    return rule ? rule->Name() : std::wstring();
}

void SetupRulesPage::SelectRuleItem(int item) {
    HWND list = list_;
    if (item < 0 || item >= ListView_GetItemCount(list)) return;
    platform::SetCurrentRow(list, item);
    ListView_EnsureVisible(list, item, FALSE);
}

void SetupRulesPage::Changed() {
    if (!loading_) host_.RulesEdited();
}

void SetupRulesPage::lvwRules_ItemCheck(int item) {
    if (loading_) return;
    auto* rule = reinterpret_cast<CRule*>(ItemTag(list_, item));
    auto app = app_.lock();
    if (!rule || !app) return;
    const bool checked = ListView_GetCheckState(list_, item) != FALSE;
    if (rule->Enabled() == checked) return;
    rule->SetEnabled(checked);
    app->SetEditMode(true);
    Changed();
}

bool SetupRulesPage::lvwRules_AfterLabelEdit(const NMLVDISPINFOW& edit) {
    auto app = app_.lock();
    // No text: the edit was cancelled.
    if (!edit.item.pszText || !app) return false;
    const auto* rule = reinterpret_cast<const CRule*>(ItemTag(list_, edit.item.iItem));
    if (!rule) return false;
    const std::wstring oldName = rule->Name();
    const std::wstring newName = edit.item.pszText;
    if (newName == oldName) return false;
    // The rule list checks the name as it does on every other path; the
    // item shows the new name through the change it reports.
    app->Rules().Rename(oldName, newName);
    return false;
}

// --- commands ------------------------------------------------------------------------

void SetupRulesPage::cmdNew() {
    if (auto app = app_.lock()) app->DisplayOpen({}, frmRuleInspector::OwnedByEditor, dialog_);
}

void SetupRulesPage::cmdOpen() {
    if (!shown_) return;
    auto app = app_.lock();
    if (!app) return;
    if (const RefusedRule* refused = RefusedAt(SelectedRuleItem())) {
        app->DisplayMend(*refused, dialog_);
        return;
    }
    const std::wstring name = SelectedRuleName();
    if (!name.empty()) app->DisplayOpen(name, frmRuleInspector::OwnedByEditor, dialog_);
}

void SetupRulesPage::cmdClipboard(const std::wstring& name) {
    auto app = app_.lock();
    if (!app || !shown_) return;
    CClipboard& clipboard = app->Clipboard();
    const std::wstring selected = SelectedRuleName();
    if (name == L"Undo") {
        if (clipboard.Undo()) Changed();
    } else if (name == L"Paste") {
        if (clipboard.Paste()) Changed();
    } else if (name == L"Delete" && RefusedAt(SelectedRuleItem())) {
        DeleteRefused();
    } else if (selected.empty()) {
        return;
    } else if (name == L"Cut") {
        const int item = SelectedRuleItem();
        clipboard.Cut(selected);
        SelectRuleItem(std::min(item, ListView_GetItemCount(list_) - 1));
    } else if (name == L"Copy") {
        clipboard.Copy(selected);
    } else if (name == L"Delete") {
        const int item = SelectedRuleItem();
        if (clipboard.Delete(selected)) SelectRuleItem(std::min(item, ListView_GetItemCount(list_) - 1));
    }
    host_.EditStateChanged();
}

void SetupRulesPage::DeleteRefused() {
    auto app = app_.lock();
    const int item = SelectedRuleItem();
    const RefusedRule* refused = RefusedAt(item);
    if (!app || !refused) return;
    // Asked as every delete is, for the rule as it stands in the list.
    if (app->Confirmations(ConfirmDelete) &&
        ::MessageBoxW(dialog_, (L"Are you sure you want to delete '" + refused->name + L"'?").c_str(),
                      L"Confirm Rule Delete", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    app->Rules().ForgetRefused(refused->name);
    ListView_DeleteItem(list_, item);
    SelectRuleItem(std::min(item, ListView_GetItemCount(list_) - 1));
    Changed();
}

void SetupRulesPage::cmdRename() {
    const int item = SelectedRuleItem();
    if (!shown_ || item < 0) return;
    ::SetFocus(list_);
    ListView_EditLabel(list_, item);
}

void SetupRulesPage::cmdMove(int32_t direction) {
    const std::wstring name = SelectedRuleName();
    auto app = app_.lock();
    if (!shown_ || name.empty() || !app) return;
    app->Rules().Move(name, direction);
}

// --- the rule list's events ---------------------------------------------------------------

void SetupRulesPage::ShowNewItem(int position, const std::shared_ptr<CRule>& rule) {
    // A new item's check box starts cleared: that is no edit of the rule.
    const bool wasLoading = std::exchange(loading_, true);
    DropRefusedItem(rule->Name());
    position = std::min(position, ListView_GetItemCount(list_));
    const int item = InsertItem(list_, position, rule->Name(), reinterpret_cast<LPARAM>(rule.get()));
    SetRuleItem(item, *rule);
    loading_ = wasLoading;
    SelectRuleItem(item);
    Changed();
    host_.EditStateChanged();
}

void SetupRulesPage::RuleAdd(const std::shared_ptr<CRule>& rule, int32_t index) {
    platform::Guard(SetupLogSource, L"moRules_RuleAdd", [&] {
        const int count = ListView_GetItemCount(list_);
        ShowNewItem(index >= 1 && index <= count ? index - 1 : count, rule);
    });
}

void SetupRulesPage::RuleChange(const std::shared_ptr<CRule>& rule) {
    platform::Guard(SetupLogSource, L"moRules_RuleChange", [&] {
        const int item = FindRuleItem(rule.get());
        if (item >= 0) SetRuleItem(item, *rule);
        Changed();
        host_.EditStateChanged();
    });
}

void SetupRulesPage::RuleMove(const std::shared_ptr<CRule>& rule, int32_t index) {
    platform::Guard(SetupLogSource, L"moRules_RuleMove", [&] {
        const int old = FindRuleItem(rule.get());
        const bool wasLoading = std::exchange(loading_, true);
        if (old >= 0) ListView_DeleteItem(list_, old);
        loading_ = wasLoading;
        ShowNewItem(std::clamp(index - 1, 0, ListView_GetItemCount(list_)), rule);
    });
}

void SetupRulesPage::RuleRemove(const std::shared_ptr<CRule>& rule) {
    platform::Guard(SetupLogSource, L"moRules_RuleRemove", [&] {
        const int item = FindRuleItem(rule.get());
        if (item >= 0) ListView_DeleteItem(list_, item);
        Changed();
        host_.EditStateChanged();
    });
}
