#pragma once
// The rule inspector: the New Rule wizard, and the property sheet of a new or
// an existing rule, with the window finder.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CToolTips.h"
#include "ComPtr.h"
#include "Controls.h"
#include "Handles.h"
#include "SubclassHandler.h"
#include "Window.h"

class CApplication;
class CRule;
struct RefusedRule;
struct RuleDefinition;

class frmRuleInspector : public platform::Dialog {
public:
    // Owner kinds of Display.
    static constexpr int32_t OwnedByProgram = 0;
    static constexpr int32_t OwnedByEditor = 1;

    // Edits the rules of `app`, which may go before the inspector.
    static std::shared_ptr<frmRuleInspector> Create(std::weak_ptr<CApplication> app);

    // With no rule: a new one (the wizard or the "New Rule" sheet, as the
    // options say); with a rule: its sheet. Owned by the rules editor
    // (OwnedByEditor), the owner is disabled while the inspector lives.
    // An inspector already shown is only brought forward.
    void Display(std::shared_ptr<CRule> rule, int32_t ownerKind, HWND owner);
    // A stored rule the loader refused, as a new rule of its name made from
    // what could be read of it, with the loader's reason shown: once applied,
    // it takes the place of what is stored.
    void DisplayMend(const RefusedRule& refused, int32_t ownerKind, HWND owner);

    // The action list shows the actions by name, not in code order: the
    // action code of a list position and back (-1 and ActionNone for none).
    static int32_t GetActionFromIndex(int index) noexcept;
    static int GetIndexFromAction(int32_t action) noexcept;

private:
    explicit frmRuleInspector(std::weak_ptr<CApplication> app);

    enum Mode : int16_t { NewInWizard = 0, OpenRule = 1, NewInSheet = 2 };

    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void ForEachSubclassedMessage(const std::function<void(HWND, UINT)>& visit) const;
    void FillLists();
    void AddTips();
    void LoadNewRule();
    void LoadRule(const CRule& rule);
    void LoadDefinition(const RuleDefinition& definition);
    void LoadMend(const RefusedRule& refused);
    void ShowFace(bool wizard);
    // The rules editor that opened the inspector gets its input back.
    void ReleaseOwner() noexcept;

    // Pages: 1 "General", 2 "Action".
    void tbsOptions_Click();
    void SelectTab(int tab);
    void ShowPage(int tab, bool visible);
    void ShowActionFrames(bool pageVisible);
    void MakeDefault(int buttonId);

    // Edits.
    void Changed();
    void cboAction_Click();
    void cboIcon_Click();
    void chkPatternMatch_Click();
    void chkAutoHideDelay_Click();
    void txtAutoHideDelay_Validate();
    void sldAlpha_Change();
    LRESULT OnSubclassed(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    // The icon preview.
    bool IconChoiceIsCustom() const noexcept;
    void DrawIcon(int32_t index, int32_t count);
    void UpdateIconScrollState();
    void SetIconTip();
    void scbIcon_Scroll(int request, int thumb);
    void scbIcon_Change();
    void cmdBrowse_Click();
    void DrawPreview(const DRAWITEMSTRUCT& item) const;

    // The window finder: finder 0 captures a title, finder 1 a class, finder 2 a program.
    LRESULT cmdFind_Mouse(int finder, HWND button, UINT message, WPARAM wParam, LPARAM lParam);
    void cmdFind_MouseDown(int finder, HWND button);
    void cmdFind_MouseMove(int finder);
    void EndDrag(bool release);
    bool IsValidWindow(HWND window) const;

    // Validates the fields and commits them to the rule list.
    void cmdApply_Click();
    bool ReadDefinition(RuleDefinition& definition);
    void cmdOK_Click();
    void Unload();

    std::weak_ptr<CApplication> app_;
    std::shared_ptr<CRule> pendingRule_;
    const RefusedRule* pendingMend_ = nullptr;
    // The loader's reason while a refused rule is mended; empty otherwise.
    std::wstring refusedReason_;
    bool mendEnabled_ = true;
    int16_t mode_ = NewInWizard;
    std::wstring openedName_;
    std::wstring iconFile_;
    int32_t iconIndex_ = 0;
    int32_t iconCount_ = 0;
    bool applyFailed_ = false;
    bool dragging_ = false;
    bool activatedOnce_ = false;
    int16_t currentTab_ = 0;
    // The rules editor's window, disabled while this inspector lives.
    HWND ownerForm_ = nullptr;
    // Set while the controls are filled: what they report then is no edit.
    bool loading_ = false;
    platform::UniqueHIcon preview_;
    CToolTips tips_;
    platform::TabPageBackground page_;
    // Sees the keys of the auto-hide delay boxes and the finders' mouse.
    platform::ComPtr<SubclassHandler> subclass_;
};
