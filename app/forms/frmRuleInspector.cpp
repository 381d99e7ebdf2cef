#include "frmRuleInspector.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "CApplication.h"
#include "CFileDialog.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "Controls.h"
#include "MainModule.h"
#include "WindowModule.h"
#include "NumberKeys.h"
#include "Strings.h"
#include "SubclassModule.h"
#include "TextMatch.h"
#include "Version.h"
#include "frmRuleInspectorIds.h"

using platform::ControlText;
using platform::EnableControl;
using platform::IsChecked;
using platform::SetChecked;
using platform::SetControlText;
using platform::ShowControl;

namespace {

constexpr wchar_t ClassName[] = L"frmRuleInspector";

enum Tab : int16_t { NoTab = 0, GeneralTab = 1, ActionTab = 2 };
constexpr std::array<const wchar_t*, 2> TabKeys{L"General", L"Action"};

enum Finder { TitleFinder = 0, ClassFinder = 1, ProgramFinder = 2 };
constexpr int FinderCount = 3;
constexpr std::array<const wchar_t*, FinderCount> FinderTips{L" Drag the mouse over a window to capture its title ",
                                                             L" Drag the mouse over a window to capture its class ",
                                                             L" Drag the mouse over a window to capture its program "};
// The box each finder fills.
constexpr std::array<int, FinderCount> FinderBoxes{IDC_RI_txtTitle, IDC_RI_txtClass, IDC_RI_txtProgram};

// The action list in the order the user reads it, with each entry's code.
struct ActionEntry {
    const wchar_t* caption;
    int32_t action;
};
constexpr std::array<ActionEntry, 7> ActionList{{
    {L"Bring to Front", ActionBringToFront},
    {L"Close", ActionClose},
    {L"Hide", ActionHide},
    {L"Hide in System Tray", ActionHideInTray},
    {L"Ignore", ActionIgnore},
    {L"On top", ActionOnTop},
    {L"Transparency", ActionTransparency},
}};
constexpr int TransparencyPosition = 6;
constexpr int ActionCodeCount = static_cast<int>(ActionList.size());

enum IconChoice { TitlebarIcon = 0, CustomIcon = 1 };
constexpr wchar_t DefaultIconFile[] = L"Shell32.dll";
constexpr wchar_t IconFilter[] = L"All Files (*.*)|*.*|Icon Files (*.ico;*.dll;*.exe)|*.ico;*.dll;*.exe";
constexpr int32_t IconFilterIndex = 2;
constexpr DWORD IconDialogFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
constexpr int PreviewSize96 = 16;
// ExtractIconEx's index that asks for the number of icons instead of one.
constexpr int CountIconsIndex = -1;

constexpr int AlphaMinimum = 0;
constexpr int AlphaMaximum = 255;
constexpr int AlphaDefault = 128;
constexpr int AlphaLineStep = 1;
constexpr int AlphaPageStep = 16;

// Enough digits for any delay a 32-bit number holds.
constexpr int MaxDelayDigits = 9;
constexpr int32_t TipDelayMs = 500;
// What GetWindowText and GetClassName take from the window under the finder.
constexpr int CapturedTextLength = 255;

// Layered windows came with the NT line's fifth version.
constexpr DWORD LayeredWindowsMajorVersion = 5;

// The controls of each page, the action frames' own controls apart.
std::vector<int> PageControls(int tab) {
    switch (tab) {
        case GeneralTab:
            return {IDC_RI_lblName,     IDC_RI_txtName,         IDC_RI_lblSearchBy,  IDC_RI_lblTitle,
                    IDC_RI_txtTitle,    IDC_RI_cmdFind + 0,     IDC_RI_lblClass,     IDC_RI_txtClass,
                    IDC_RI_cmdFind + 1, IDC_RI_lblProgram,      IDC_RI_txtProgram,   IDC_RI_cmdFind + 2,
                    IDC_RI_chkPatternMatch, IDC_RI_chkMatchCase, IDC_RI_chkWholeWord};
        case ActionTab: return {IDC_RI_lblChoose, IDC_RI_lblCriteria, IDC_RI_cboCriteria, IDC_RI_lblAction, IDC_RI_cboAction};
        default: return {};
    }
}

// The settings of an action inside its frame (the preview is shown only for
// a custom icon, so it is left out here).
std::vector<int> FrameControls(int action) {
    switch (action) {
        case ActionHideInTray:
            return {IDC_RI_lblIcon, IDC_RI_cboIcon, IDC_RI_scbIcon, IDC_RI_cmdBrowse, IDC_RI_chkAutoHideDelay, IDC_RI_txtAutoHideDelay};
        case ActionTransparency: return {IDC_RI_lblAlphaCaption, IDC_RI_sldAlpha, IDC_RI_lblAlpha};
        default: return {};
    }
}

int32_t CountIcons(const std::wstring& file) {
    if (file.empty()) return 0;
    const UINT count = ::ExtractIconExW(file.c_str(), CountIconsIndex, nullptr, nullptr, 0);
    // A file the shell cannot read answers a failure code rather than a count.
    return count > static_cast<UINT>(INT32_MAX) ? 0 : static_cast<int32_t>(count);
}

std::wstring HexHandle(HWND window) {
    wchar_t text[2 * sizeof(UINT_PTR) + 1] = {};
    std::swprintf(text, std::size(text), L"%llX",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return std::wstring(L"0x") + text;
}

std::wstring CapturedTitle(HWND window) {
    std::array<wchar_t, CapturedTextLength + 1> text{};
    const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

std::wstring CapturedClass(HWND window) {
    std::array<wchar_t, CapturedTextLength + 1> text{};
    const int length = ::GetClassNameW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

// The file name of the window's program: what a user names a program by.
std::wstring CapturedProgram(HWND window) {
    return std::wstring(CWindow::ProgramFileName(CWindow::ProgramPath(window)));
}

std::wstring Captured(int finder, HWND window) {
    switch (finder) {
        case TitleFinder: return CapturedTitle(window);
        case ClassFinder: return CapturedClass(window);
        default: return CapturedProgram(window);
    }
}

bool HasLayeredWindows() {
    OSVERSIONINFOW version{};
    GetOSVersion(version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= LayeredWindowsMajorVersion;
}

// Where Browse starts: the folder of the icon file, or for a bare name such
// as the default's, the system folder the shell finds it in.
std::wstring StartFolder(const std::wstring& iconFile) {
    std::wstring folder = CFileDialog::ExtractFolder(iconFile);
    if (!folder.empty()) return folder;
    std::wstring system(MAX_PATH, L'\0');
    system.resize(::GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size())));
    return system;
}

}  // namespace

// --- the form ----------------------------------------------------------------------

std::shared_ptr<frmRuleInspector> frmRuleInspector::Create(std::weak_ptr<CApplication> app) {
    // The pages use the tab strip and the slider.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    return std::shared_ptr<frmRuleInspector>(new frmRuleInspector(std::move(app)));
}

frmRuleInspector::frmRuleInspector(std::weak_ptr<CApplication> app)
    : Dialog(ClassName, ProgramInstance(), IDD_RULEINSPECTOR), app_(std::move(app)) {}

int32_t frmRuleInspector::GetActionFromIndex(int index) noexcept {
    if (index < 0 || index >= ActionCodeCount) return ActionNone;
    return ActionList[static_cast<size_t>(index)].action;
}

int frmRuleInspector::GetIndexFromAction(int32_t action) noexcept {
    for (int index = 0; index < ActionCodeCount; ++index)
        if (ActionList[static_cast<size_t>(index)].action == action) return index;
    return -1;
}

void frmRuleInspector::Display(std::shared_ptr<CRule> rule, int32_t ownerKind, HWND owner) {
    if (hWnd()) {
        ShowModeless(owner);
        return;
    }
    pendingRule_ = std::move(rule);
    ShowModeless(owner);
    pendingRule_.reset();
    if (ownerKind == OwnedByEditor && owner) {
        ownerForm_ = owner;
        ::EnableWindow(owner, FALSE);
    }
}

void frmRuleInspector::DisplayMend(const RefusedRule& refused, int32_t ownerKind, HWND owner) {
    if (hWnd()) {
        ShowModeless(owner);
        return;
    }
    pendingMend_ = &refused;
    Display(nullptr, ownerKind, owner);
    pendingMend_ = nullptr;
}

bool frmRuleInspector::OnInitDialog() {
    RegisterForm(hWnd());
    Form_Load();
    return true;
}

void frmRuleInspector::Form_Load() {
    loading_ = true;
    for (int tab = GeneralTab; tab <= ActionTab; ++tab) ShowPage(tab, false);
    FillLists();
    AddTips();
    subclass_.Attach(SubclassHandler::Create(
        [this](HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
            return OnSubclassed(control, message, wParam, lParam);
        }));
    ForEachSubclassedMessage(
        [&](HWND control, UINT message) { SubclassModule::AttachMessage(subclass_.Get(), control, message); });

    if (!HasLayeredWindows()) ::SendMessageW(Item(IDC_RI_cboAction), CB_DELETESTRING, TransparencyPosition, 0);
    if (pendingMend_)
        LoadMend(*pendingMend_);
    else if (pendingRule_)
        LoadRule(*pendingRule_);
    else
        LoadNewRule();
    SetIconTip();
    iconCount_ = CountIcons(iconFile_);
    DrawIcon(iconIndex_, iconCount_);
    cboAction_Click();
    cboIcon_Click();
    chkPatternMatch_Click();
    chkAutoHideDelay_Click();
    sldAlpha_Change();
    SelectTab(GeneralTab);
    page_.Capture(Item(IDC_RI_tbsOptions));
    EnableControl(Item(IDC_RI_cmdApply), false);
    loading_ = false;
}

void frmRuleInspector::ForEachSubclassedMessage(const std::function<void(HWND, UINT)>& visit) const {
    // The keys typed on the delay boxes, and the finders' mouse while dragged.
    for (int id : {IDC_RI_txtAutoHideDelay, IDC_RI_chkAutoHideDelay}) visit(Item(id), WM_CHAR);
    for (int finder = 0; finder < FinderCount; ++finder)
        for (UINT message : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_CAPTURECHANGED})
            visit(Item(IDC_RI_cmdFind + finder), message);
}

void frmRuleInspector::FillLists() {
    HWND tabs = Item(IDC_RI_tbsOptions);
    for (size_t tab = 0; tab < TabKeys.size(); ++tab) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(TabKeys[tab]);
        TabCtrl_InsertItem(tabs, static_cast<int>(tab), &item);
    }
    std::vector<std::wstring> actions;
    for (const auto& entry : ActionList) actions.emplace_back(entry.caption);
    platform::SetComboItems(Item(IDC_RI_cboAction), actions);
    platform::SetComboItems(Item(IDC_RI_cboCriteria), {L"On Minimize Only", L"Always"});
    platform::SetComboItems(Item(IDC_RI_cboIcon), {L"Titlebar", L"Custom"});
    platform::SetSliderRange(Item(IDC_RI_sldAlpha), AlphaMinimum, AlphaMaximum, AlphaLineStep, AlphaPageStep);
    ::SendMessageW(Item(IDC_RI_txtAutoHideDelay), EM_LIMITTEXT, MaxDelayDigits, 0);
}

void frmRuleInspector::AddTips() {
    if (!tips_.Initialize(hWnd(), TipDelayMs)) return;
    for (int finder = 0; finder < FinderCount; ++finder)
        tips_.AddWindow(hWnd(), Item(IDC_RI_cmdFind + finder), FinderTips[static_cast<size_t>(finder)]);
    tips_.AddWindow(hWnd(), Item(IDC_RI_picIcon), L" ");
}

void frmRuleInspector::LoadNewRule() {
    const auto app = app_.lock();
    const bool wizard = !app || app->WizardStyle();
    mode_ = wizard ? NewInWizard : NewInSheet;
    SetControlText(hWnd(), wizard ? L"New Rule Wizard" : L"New Rule");
    ShowFace(wizard);
    platform::SelectCombo(Item(IDC_RI_cboAction), GetIndexFromAction(ActionHideInTray));
    platform::SelectCombo(Item(IDC_RI_cboCriteria), CriteriaOnMinimize);
    platform::SelectCombo(Item(IDC_RI_cboIcon), TitlebarIcon);
    iconFile_ = DefaultIconFile;
    iconIndex_ = 0;
    SetChecked(Item(IDC_RI_chkAutoHideDelay), false);
    SetControlText(Item(IDC_RI_txtAutoHideDelay), L"0");
    platform::SetSliderPosition(Item(IDC_RI_sldAlpha), AlphaDefault);
}

void frmRuleInspector::LoadRule(const CRule& rule) {
    mode_ = OpenRule;
    SetControlText(hWnd(), L"Open Rule: " + rule.Name());
    ShowFace(false);
    openedName_ = rule.Name();
    LoadDefinition(rule.Definition());
}

void frmRuleInspector::LoadMend(const RefusedRule& refused) {
    // A new rule of the refused one's name: applying it replaces what is stored.
    mode_ = NewInSheet;
    SetControlText(hWnd(), L"Mend Rule: " + refused.name);
    ShowFace(false);
    LoadDefinition(refused.readable);
    mendEnabled_ = refused.readable.enabled;
    refusedReason_ = L"Not loaded: " + refused.reason;
    SetControlText(Item(IDC_RI_lblRefused), refusedReason_);
    tips_.AddWindow(hWnd(), Item(IDC_RI_lblRefused), refusedReason_);
}

void frmRuleInspector::LoadDefinition(const RuleDefinition& rule) {
    const auto searches = [&](int32_t option) { return (rule.searchMask & option) != 0; };
    SetControlText(Item(IDC_RI_txtName), rule.name);
    SetControlText(Item(IDC_RI_txtTitle), rule.title);
    SetControlText(Item(IDC_RI_txtClass), rule.windowClass);
    SetControlText(Item(IDC_RI_txtProgram), rule.program);
    SetChecked(Item(IDC_RI_chkMatchCase), searches(TextMatch::MatchCase));
    SetChecked(Item(IDC_RI_chkWholeWord), searches(TextMatch::WholeWord));
    SetChecked(Item(IDC_RI_chkPatternMatch), searches(TextMatch::Pattern));
    platform::SelectCombo(Item(IDC_RI_cboAction), GetIndexFromAction(rule.action));
    platform::SelectCombo(Item(IDC_RI_cboCriteria), rule.criteria);
    platform::SelectCombo(Item(IDC_RI_cboIcon), rule.iconLocation);
    iconFile_ = rule.iconFilename;
    iconIndex_ = rule.iconPosition;
    SetChecked(Item(IDC_RI_chkAutoHideDelay), rule.autoHideDelay >= 1);
    SetControlText(Item(IDC_RI_txtAutoHideDelay), std::to_wstring(rule.autoHideDelay));
    platform::SetSliderPosition(Item(IDC_RI_sldAlpha), rule.alpha);
}

void frmRuleInspector::ShowFace(bool wizard) {
    for (int id : {IDC_RI_cmdBack, IDC_RI_cmdNext}) ShowControl(Item(id), wizard);
    ShowControl(Item(IDC_RI_cmdApply), !wizard);
    SetControlText(Item(IDOK), wizard ? L"Finish" : L"OK");
    if (!wizard) return;
    // The wizard's buttons read Back, Next, Finish, Cancel: Finish and Cancel
    // take the places of the sheet's Cancel and Apply.
    auto placeOf = [&](int id) {
        RECT bounds{};
        ::GetWindowRect(Item(id), &bounds);
        ::MapWindowPoints(nullptr, hWnd(), reinterpret_cast<POINT*>(&bounds), 2);
        return bounds;
    };
    const RECT cancel = placeOf(IDCANCEL);
    const RECT apply = placeOf(IDC_RI_cmdApply);
    const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    ::SetWindowPos(Item(IDOK), nullptr, cancel.left, cancel.top, 0, 0, flags);
    ::SetWindowPos(Item(IDCANCEL), nullptr, apply.left, apply.top, 0, 0, flags);
}

void frmRuleInspector::Form_Activate() {
    if (activatedOnce_) return;
    activatedOnce_ = true;
    if (::IsWindowVisible(Item(IDC_RI_txtName))) platform::FocusDialogControl(hWnd(), Item(IDC_RI_txtName));
}

void frmRuleInspector::Form_Unload() {
    EndDrag(true);
    if (subclass_) {
        ForEachSubclassedMessage(
            [&](HWND control, UINT message) { SubclassModule::DetachMessage(subclass_.Get(), control, message); });
        subclass_.Reset();
    }
    ReleaseOwner();
    UnregisterForm(hWnd());
}

void frmRuleInspector::ReleaseOwner() noexcept {
    HWND owner = std::exchange(ownerForm_, nullptr);
    if (!owner || !::IsWindow(owner)) return;
    // Enabled before this window goes, so that the system hands the
    // activation back to it.
    ::EnableWindow(owner, TRUE);
    ::SetForegroundWindow(owner);
}

void frmRuleInspector::Unload() {
    ReleaseOwner();
    End(IDCANCEL);
}

// --- messages ----------------------------------------------------------------------

void frmRuleInspector::OnCommand(int id, int notifyCode, HWND) {
    switch (id) {
        case IDOK: cmdOK_Click(); return;
        case IDCANCEL: Unload(); return;
        case IDC_RI_cmdApply: cmdApply_Click(); return;
        case IDC_RI_cmdBack: SelectTab(GeneralTab); return;
        case IDC_RI_cmdNext: SelectTab(ActionTab); return;
        case IDC_RI_cmdBrowse: cmdBrowse_Click(); return;
        case IDC_RI_cmdFind + TitleFinder:
        case IDC_RI_cmdFind + ClassFinder:
        case IDC_RI_cmdFind + ProgramFinder: return;
        case IDC_RI_cboAction:
            if (notifyCode == CBN_SELCHANGE) cboAction_Click();
            return;
        case IDC_RI_cboIcon:
            if (notifyCode == CBN_SELCHANGE) {
                cboIcon_Click();
                Changed();
            }
            return;
        case IDC_RI_chkPatternMatch: chkPatternMatch_Click(); break;
        case IDC_RI_chkAutoHideDelay: chkAutoHideDelay_Click(); break;
        case IDC_RI_txtAutoHideDelay:
            if (notifyCode == EN_KILLFOCUS) txtAutoHideDelay_Validate();
            break;
        default: break;
    }
    // What is left are the boxes' edits, the check boxes' clicks and the
    // criteria's choice.
    if (notifyCode == EN_CHANGE || notifyCode == BN_CLICKED || notifyCode == CBN_SELCHANGE) Changed();
}

LRESULT frmRuleInspector::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_RI_tbsOptions && header.code == TCN_SELCHANGE) tbsOptions_Click();
    return 0;
}

bool frmRuleInspector::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto control = reinterpret_cast<HWND>(lParam);
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Form_Activate();
            return false;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH page = page_.ForControl(reinterpret_cast<HDC>(wParam), control)) {
                result = reinterpret_cast<LRESULT>(page);
                return true;
            }
            return false;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            page_.Capture(Item(IDC_RI_tbsOptions));
            ::InvalidateRect(hWnd(), nullptr, TRUE);
            return false;
        case WM_HSCROLL:
            if (control != Item(IDC_RI_sldAlpha)) return false;
            sldAlpha_Change();
            Changed();
            result = 0;
            return true;
        case WM_VSCROLL:
            if (control != Item(IDC_RI_scbIcon)) return false;
            scbIcon_Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            result = 0;
            return true;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlID != IDC_RI_picIcon) return false;
            DrawPreview(item);
            result = TRUE;
            return true;
        }
        case WM_DESTROY: Form_Unload(); return false;
        default: return false;
    }
}

LRESULT frmRuleInspector::OnSubclassed(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    for (int finder = 0; finder < FinderCount; ++finder)
        if (control == Item(IDC_RI_cmdFind + finder)) return cmdFind_Mouse(finder, control, message, wParam, lParam);
    HWND box = Item(IDC_RI_txtAutoHideDelay);
    const auto passOn = SubclassModule::CallOldWindowProc;
    if (control == box) return number_keys::BoxKeyPress(control, wParam, lParam, passOn);
    return number_keys::CheckKeyPress(
        hWnd(), control, box, wParam, lParam, passOn, MaxDelayDigits, [this] { chkAutoHideDelay_Click(); },
        [this] { Changed(); });
}

// --- pages -------------------------------------------------------------------------

void frmRuleInspector::SelectTab(int tab) {
    TabCtrl_SetCurSel(Item(IDC_RI_tbsOptions), tab - 1);
    tbsOptions_Click();
}

void frmRuleInspector::tbsOptions_Click() {
    const int tab = TabCtrl_GetCurSel(Item(IDC_RI_tbsOptions)) + 1;
    if (tab < GeneralTab || tab > ActionTab || tab == currentTab_) return;
    ShowPage(tab, true);
    if (currentTab_ != NoTab) ShowPage(currentTab_, false);
    currentTab_ = static_cast<int16_t>(tab);
    // While the dialog is still being made there is nothing to focus yet.
    const bool shown = ::IsWindowVisible(hWnd()) != FALSE;
    if (shown && ::IsWindowVisible(Item(IDC_RI_txtName))) platform::FocusDialogControl(hWnd(), Item(IDC_RI_txtName));
    if (mode_ != NewInWizard) return;
    const bool general = tab == GeneralTab;
    EnableControl(Item(IDC_RI_cmdBack), !general);
    EnableControl(Item(IDC_RI_cmdNext), general);
    MakeDefault(general ? IDC_RI_cmdNext : IDOK);
    if (!general && shown) platform::FocusDialogControl(hWnd(), Item(IDOK));
}

void frmRuleInspector::ShowPage(int tab, bool visible) {
    for (int id : PageControls(tab)) ShowControl(Item(id), visible);
    if (tab == GeneralTab) ShowControl(Item(IDC_RI_lblRefused), visible && !refusedReason_.empty());
    if (tab == ActionTab) ShowActionFrames(visible);
}

void frmRuleInspector::ShowActionFrames(bool pageVisible) {
    const int32_t selected = GetActionFromIndex(platform::ComboSelection(Item(IDC_RI_cboAction)));
    for (int action = 0; action < ActionCodeCount; ++action) {
        const bool visible = pageVisible && action == selected;
        ShowControl(Item(IDC_RI_fraAction + action), visible);
        for (int id : FrameControls(action)) ShowControl(Item(id), visible);
    }
    ShowControl(Item(IDC_RI_picIcon), pageVisible && selected == ActionHideInTray && IconChoiceIsCustom());
}

void frmRuleInspector::MakeDefault(int buttonId) {
    for (int id : {IDC_RI_cmdNext, IDOK}) {
        const LONG_PTR style = id == buttonId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        ::SendMessageW(Item(id), BM_SETSTYLE, static_cast<WPARAM>(style), TRUE);
    }
    ::SendMessageW(hWnd(), DM_SETDEFID, static_cast<WPARAM>(buttonId), 0);
}

// --- edits -------------------------------------------------------------------------

void frmRuleInspector::Changed() {
    if (!loading_) EnableControl(Item(IDC_RI_cmdApply), true);
}

void frmRuleInspector::cboAction_Click() {
    const int32_t action = GetActionFromIndex(platform::ComboSelection(Item(IDC_RI_cboAction)));
    ShowActionFrames(currentTab_ == ActionTab);
    HWND criteria = Item(IDC_RI_cboCriteria);
    switch (action) {
        case ActionHideInTray:
        case ActionHide:
            platform::SelectCombo(criteria, CriteriaOnMinimize);
            EnableControl(criteria, true);
            break;
        case ActionClose:
            platform::SelectCombo(criteria, CriteriaAlways);
            EnableControl(criteria, true);
            break;
        case ActionNone: break;
        default:
            platform::SelectCombo(criteria, CriteriaAlways);
            EnableControl(criteria, false);
            break;
    }
    Changed();
}

void frmRuleInspector::cboIcon_Click() {
    const bool custom = IconChoiceIsCustom();
    ShowActionFrames(currentTab_ == ActionTab);
    EnableControl(Item(IDC_RI_cmdBrowse), custom);
    UpdateIconScrollState();
}

void frmRuleInspector::chkPatternMatch_Click() {
    const bool pattern = IsChecked(Item(IDC_RI_chkPatternMatch));
    for (int id : {IDC_RI_chkMatchCase, IDC_RI_chkWholeWord}) {
        if (pattern) SetChecked(Item(id), false);
        EnableControl(Item(id), !pattern);
    }
}

void frmRuleInspector::chkAutoHideDelay_Click() {
    EnableControl(Item(IDC_RI_txtAutoHideDelay), IsChecked(Item(IDC_RI_chkAutoHideDelay)));
}

void frmRuleInspector::txtAutoHideDelay_Validate() {
    HWND check = Item(IDC_RI_chkAutoHideDelay);
    if (!IsChecked(check) || platform::ParseInt32(ControlText(Item(IDC_RI_txtAutoHideDelay))) != 0) return;
    // A delay of 0 is no delay: the box says so.
    SetChecked(check, false);
    chkAutoHideDelay_Click();
    Changed();
}

void frmRuleInspector::sldAlpha_Change() {
    SetControlText(Item(IDC_RI_lblAlpha), std::to_wstring(platform::SliderPosition(Item(IDC_RI_sldAlpha))));
}



// --- the icon preview --------------------------------------------------------------

bool frmRuleInspector::IconChoiceIsCustom() const noexcept {
    return platform::ComboSelection(Item(IDC_RI_cboIcon)) == CustomIcon;
}

void frmRuleInspector::DrawIcon(int32_t index, int32_t count) {
    HWND bar = Item(IDC_RI_scbIcon);
    // No icons at all is an empty range, never one running backwards.
    const int minimum = count > 0 ? 1 - count : 0;
    ::SetScrollRange(bar, SB_CTL, minimum, 0, FALSE);
    if (::GetScrollPos(bar, SB_CTL) != -index) ::SetScrollPos(bar, SB_CTL, -index, TRUE);
    UpdateIconScrollState();

    preview_.reset();
    if (index >= 0 && index < count) {
        platform::UniqueHIcon large;
        HICON small = nullptr;
        ::ExtractIconExW(iconFile_.c_str(), index, large.put(), &small, 1);
        preview_.reset(small);
    }
    ::InvalidateRect(Item(IDC_RI_picIcon), nullptr, TRUE);
}

void frmRuleInspector::UpdateIconScrollState() {
    // Something to scroll through only when there is more than one icon.
    EnableControl(Item(IDC_RI_scbIcon), IconChoiceIsCustom() && iconCount_ > 1);
}

void frmRuleInspector::SetIconTip() {
    tips_.SetText(reinterpret_cast<UINT_PTR>(Item(IDC_RI_picIcon)),
                  L" " + std::to_wstring(iconIndex_) + L": " + iconFile_ + L" ");
}

void frmRuleInspector::scbIcon_Scroll(int request, int thumb) {
    HWND bar = Item(IDC_RI_scbIcon);
    int minimum = 0;
    int maximum = 0;
    ::GetScrollRange(bar, SB_CTL, &minimum, &maximum);
    int value = ::GetScrollPos(bar, SB_CTL);
    switch (request) {
        case SB_LINEUP:
        case SB_PAGEUP: --value; break;
        case SB_LINEDOWN:
        case SB_PAGEDOWN: ++value; break;
        case SB_TOP: value = minimum; break;
        case SB_BOTTOM: value = maximum; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: value = thumb; break;
        default: return;
    }
    value = std::max(minimum, std::min(maximum, value));
    ::SetScrollPos(bar, SB_CTL, value, TRUE);
    scbIcon_Change();
}

void frmRuleInspector::scbIcon_Change() {
    const int32_t index = std::abs(::GetScrollPos(Item(IDC_RI_scbIcon), SB_CTL));
    if (index == iconIndex_) return;
    iconIndex_ = index;
    DrawIcon(iconIndex_, iconCount_);
    SetIconTip();
    Changed();
}

void frmRuleInspector::cmdBrowse_Click() {
    CFileDialog dialog;
    dialog.Initialize(hWnd());
    dialog.SetFilter(IconFilter);
    dialog.SetFlags(IconDialogFlags);
    if (!dialog.ShowOpen(L"Open Custom Icon", L"", StartFolder(iconFile_), IconFilterIndex, L"")) return;
    const int32_t count = CountIcons(dialog.FileName());
    if (count < 1) {
        ::MessageBoxW(hWnd(), L"The file you specified does not contain any valid icons.", AppInfo::Title,
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    iconFile_ = dialog.FileName();
    iconIndex_ = 0;
    iconCount_ = count;
    SetIconTip();
    DrawIcon(iconIndex_, iconCount_);
    Changed();
}

void frmRuleInspector::DrawPreview(const DRAWITEMSTRUCT& item) const {
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!preview_) return;
    const int size = platform::ScaleForDpi(PreviewSize96, platform::WindowDpi(item.hwndItem));
    ::DrawIconEx(item.hDC, 0, 0, preview_.get(), size, size, 0, nullptr, DI_NORMAL);
}

// --- the window finder -------------------------------------------------------------

LRESULT frmRuleInspector::cmdFind_Mouse(int finder, HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: cmdFind_MouseDown(finder, button); return 0;
        case WM_MOUSEMOVE:
            if (!dragging_) break;
            cmdFind_MouseMove(finder);
            return 0;
        case WM_LBUTTONUP:
            if (!dragging_) break;
            EndDrag(true);
            return 0;
        case WM_CAPTURECHANGED:
            // Capture taken away (a message box, another program): the drag is over.
            if (dragging_) EndDrag(false);
            break;
        default: break;
    }
    return SubclassModule::CallOldWindowProc(button, message, wParam, lParam);
}

void frmRuleInspector::cmdFind_MouseDown(int, HWND button) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
    dragging_ = true;
    HWND handle = Item(IDC_RI_lblHandle);
    SetControlText(handle, L"");
    ShowControl(handle, true);
    ::SetCapture(button);
}

void frmRuleInspector::cmdFind_MouseMove(int finder) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
    POINT cursor{};
    ::GetCursorPos(&cursor);
    HWND window = ::WindowFromPoint(cursor);
    SetControlText(Item(IDC_RI_lblHandle), HexHandle(window));
    HWND box = Item(FinderBoxes[static_cast<size_t>(finder)]);
    std::wstring captured;
    if (IsValidWindow(window)) captured = Captured(finder, window);
    if (ControlText(box) != captured) SetControlText(box, captured);
}

void frmRuleInspector::EndDrag(bool release) {
    if (!dragging_) return;
    dragging_ = false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ShowControl(Item(IDC_RI_lblHandle), false);
    if (release) ::ReleaseCapture();
}

bool frmRuleInspector::IsValidWindow(HWND window) const {
    if (!window || !::IsWindow(window)) return false;
    // None of the program's own windows (this inspector, its controls, the
    // main window, any other form) is a window a rule could be made for.
    if (platform::IsOwnWindow(window) || window == MainWindowHandle) return false;
    if (reinterpret_cast<HWND>(::GetWindowLongPtrW(window, GWLP_HWNDPARENT)) == MainWindowHandle) return false;
    if (::IsChild(hWnd(), window) || !::IsWindowVisible(window)) return false;
    const auto app = app_.lock();
    const bool topLevelOnly = !app || app->RuleOptions(SearchTopLevelWindowsOnly);
    return !topLevelOnly || (!WindowOwner(window) && !::GetParent(window));
}

// --- commands ----------------------------------------------------------------------

void frmRuleInspector::cmdOK_Click() {
    cmdApply_Click();
    if (!applyFailed_) Unload();
}

void frmRuleInspector::cmdApply_Click() {
    HWND apply = Item(IDC_RI_cmdApply);
    // A new rule is always committed: finishing an untouched wizard must not
    // close it silently without a rule.
    if (!::IsWindowEnabled(apply) && mode_ == OpenRule) return;
    RuleDefinition definition;
    if (!ReadDefinition(definition)) {
        applyFailed_ = true;
        return;
    }
    const auto app = app_.lock();
    std::shared_ptr<CRule> rule;
    if (app && mode_ == OpenRule) {
        rule = app->Rules().Edit(openedName_, definition);
    } else if (app) {
        definition.enabled = refusedReason_.empty() || mendEnabled_;
        rule = app->Rules().Add(definition);
    }
    applyFailed_ = !rule;
    if (!rule) return;
    if (!refusedReason_.empty()) {
        // Mended: the rule is one of the list's now.
        refusedReason_.clear();
        ShowControl(Item(IDC_RI_lblRefused), false);
    }
    // A disabled button keeps no focus: it goes to OK.
    if (::GetFocus() == apply) platform::FocusDialogControl(hWnd(), Item(IDOK));
    EnableControl(apply, false);
    mode_ = OpenRule;
    openedName_ = rule->Name();
}

bool frmRuleInspector::ReadDefinition(RuleDefinition& definition) {
    definition.name = ControlText(Item(IDC_RI_txtName));
    definition.title = ControlText(Item(IDC_RI_txtTitle));
    definition.windowClass = ControlText(Item(IDC_RI_txtClass));
    definition.program = ControlText(Item(IDC_RI_txtProgram));
    auto focusIfUsable = [&](int id) {
        HWND box = Item(id);
        if (::IsWindowVisible(box) && ::IsWindowEnabled(box)) platform::FocusDialogControl(hWnd(), box);
    };
    if (definition.name.empty()) {
        ::MessageBoxW(hWnd(), L"You must specify a rule name.", AppInfo::Title, MB_OK | MB_ICONSTOP);
        focusIfUsable(IDC_RI_txtName);
        return false;
    }
    if (definition.title.empty() && definition.windowClass.empty() && definition.program.empty()) {
        ::MessageBoxW(hWnd(), L"You must specify a title, class or program for this rule.", AppInfo::Title,
                      MB_OK | MB_ICONSTOP);
        SelectTab(GeneralTab);
        focusIfUsable(IDC_RI_txtTitle);
        return false;
    }
    definition.searchMask = (IsChecked(Item(IDC_RI_chkWholeWord)) ? TextMatch::WholeWord : 0) |
                            (IsChecked(Item(IDC_RI_chkMatchCase)) ? TextMatch::MatchCase : 0) |
                            (IsChecked(Item(IDC_RI_chkPatternMatch)) ? TextMatch::Pattern : 0);
    definition.action = GetActionFromIndex(platform::ComboSelection(Item(IDC_RI_cboAction)));
    definition.criteria = platform::ComboSelection(Item(IDC_RI_cboCriteria));
    definition.iconLocation = platform::ComboSelection(Item(IDC_RI_cboIcon));
    definition.iconFilename = iconFile_;
    definition.iconPosition = iconIndex_;
    definition.alpha = platform::SliderPosition(Item(IDC_RI_sldAlpha));
    definition.autoHideDelay = IsChecked(Item(IDC_RI_chkAutoHideDelay))
                                   ? platform::ParseInt32(ControlText(Item(IDC_RI_txtAutoHideDelay))).value_or(0)
                                   : 0;
    return true;
}
