#pragma once
// The rules editor's rules page: the rule list as a list view that follows
// the list's events, edited in place (check boxes, labels) and by the edit
// commands. An edit goes to the rule list at once and tells the editor, which
// offers to apply it.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "CRules.h"

class CApplication;
class CRegistry;

class SetupRulesPage : public IRulesEvents {
public:
    // What the page tells the editor it is on.
    class Host {
    public:
        // The user edited the rules: there is something to apply.
        virtual void RulesEdited() = 0;
        // The items or the selection changed: the commands that can run follow.
        virtual void EditStateChanged() = 0;

    protected:
        ~Host() = default;
    };

    // Which edit commands can run now.
    struct EditState {
        bool shown = false;
        int selected = -1;
        int count = 0;
        bool canUndo = false;
        bool canPaste = false;
        bool AnySelected() const noexcept { return shown && selected >= 0; }
        bool CanMoveUp() const noexcept { return AnySelected() && count >= 2 && selected > 0; }
        bool CanMoveDown() const noexcept { return AnySelected() && count >= 2 && selected < count - 1; }
    };

    explicit SetupRulesPage(Host& host) noexcept : host_(host) {}

    // The page's list on the editor's window; its columns made.
    void Attach(HWND dialog, std::weak_ptr<CApplication> app);
    void ReadState(const CRegistry& store);
    void WriteState(CRegistry& store) const;
    // While the code fills the list, what the list reports is no edit.
    void SetLoading(bool loading) noexcept { loading_ = loading; }

    bool Shown() const noexcept { return shown_; }
    void Show(bool shown);
    void FillRules();
    EditState Edits() const;
    // The check boxes' states taken into the rules, for those not reported yet.
    void TakeCheckStates();
    // The stored rules back in the list, as no edit; Undo forgets the rules it knew.
    void ResetRules();

    // The list's notifications.
    // Stored rules the loader refused show greyed, with its reason as their tip.
    LRESULT lvwRules_CustomDraw(NMLVCUSTOMDRAW& draw) const;
    void lvwRules_GetInfoTip(NMLVGETINFOTIPW& tip) const;
    void lvwRules_ItemCheck(int item);
    // Where a menu asked for by the keyboard opens: at the selected item, or
    // at the list's corner when none is selected (screen coordinates).
    POINT MenuPoint() const;
    bool lvwRules_AfterLabelEdit(const NMLVDISPINFOW& edit);

    // The edit commands; all but New act on the selected rule while the page shows.
    void cmdNew();
    void cmdOpen();
    void cmdClipboard(const std::wstring& name);
    void cmdRename();
    // A refused rule deleted: what is stored for it goes with the next Apply.
    void DeleteRefused();
    void cmdMove(int32_t direction);
    // The rule selected in the list; empty when none is (or a refused one is).
    std::wstring SelectedRule() const { return SelectedRuleName(); }

private:
    // IRulesEvents
    void RuleAdd(const std::shared_ptr<CRule>& rule, int32_t index) override;
    void RuleChange(const std::shared_ptr<CRule>& rule) override;
    void RuleMove(const std::shared_ptr<CRule>& rule, int32_t index) override;
    void RuleRemove(const std::shared_ptr<CRule>& rule) override;

    int FindRuleItem(const CRule* rule) const;
    // A refused rule's item carries no rule; its name is its text.
    const RefusedRule* RefusedAt(int item) const;
    void ShowRefusedItem(int position, const RefusedRule& refused);
    // A rule that takes a refused rule's name takes its place.
    void DropRefusedItem(const std::wstring& name);
    void SetRuleItem(int item, const CRule& rule);
    // A rule's item at `position`, as the list's events show it.
    void ShowNewItem(int position, const std::shared_ptr<CRule>& rule);
    std::wstring SelectedRuleName() const;
    int SelectedRuleItem() const;
    void SelectRuleItem(int item);
    void Changed();

    Host& host_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    std::weak_ptr<CApplication> app_;
    bool shown_ = true;
    // Set while the list is filled by the code: what it reports is no edit.
    bool loading_ = false;
};
