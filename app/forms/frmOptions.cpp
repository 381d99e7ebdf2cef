#include "frmOptions.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "CApplication.h"
#include "Controls.h"
#include "Error.h"
#include "Gdi.h"
#include "MainModule.h"
#include "WindowModule.h"
#include "NumberKeys.h"
#include "Strings.h"
#include "SubclassModule.h"
#include "Version.h"
#include "frmOptionsIds.h"

using platform::ControlText;
using platform::EnableControl;
using platform::IsChecked;
using platform::SetChecked;
using platform::SetControlText;
using platform::ShowControl;

// Options the application refused while they were being applied, and why.
class OptionRefusals {
public:
    // Runs one setter; a failure is noted under the option's name and the
    // next option is written all the same.
    bool Try(const std::wstring& option, const std::function<void()>& set) {
        try {
            set();
            return true;
        } catch (const std::exception&) {
            lines_.push_back(option + L": " + platform::CurrentError().Description());
            return false;
        }
    }
    void Note(const std::wstring& text) { lines_.push_back(text); }
    bool Empty() const noexcept { return lines_.empty(); }
    std::wstring Text() const {
        std::wstring text = L"Some options could not be applied:\r\n";
        for (const auto& line : lines_) text += L"\r\n" + line;
        return text + L"\r\n\r\nEvery other option has been saved.";
    }

private:
    std::vector<std::wstring> lines_;
};

namespace {

constexpr wchar_t ClassName[] = L"frmOptions";

enum Page { NoPage = 0, GeneralPage = 1, MousePage, RulesPage, SwitcherPage, AdvancedPage };
constexpr int PageCount = AdvancedPage;

struct PageInfo {
    const wchar_t* node;
    const wchar_t* heading;
};
constexpr std::array<PageInfo, PageCount> Pages{{
    {L"General", L"Customize general options "},
    {L"Mouse", L"Customize mouse behavior options "},
    {L"Rules", L"Customize rule processing options "},
    {L"Hot keys", L"Customize the switcher and the hot keys"},
    {L"Advanced", L"Customize advanced options"},
}};

// The controls of each page; the mouse slots come on top of the mouse page's
// list, each shown only while it is its button's slot in view.
std::vector<int> PageControls(int page) {
    switch (page) {
        case GeneralPage:
            return {IDC_lblHideIcon,        IDC_cboHideIcon,      IDC_lblStartup,       IDC_cboStartup,
                    IDC_lblWindowsInterval, IDC_sldWindows,       IDC_lblConfirmations, IDC_lstConfirmations,
                    IDC_chkWizardStyle,     IDC_lblTheme,         IDC_cboTheme};
        case MousePage: return {IDC_lblMouseHelp, IDC_lblMouseMain, IDC_lblMouseWindow};
        case RulesPage: return {IDC_lblRules, IDC_lstRules};
        case SwitcherPage:
            return {IDC_chkSwitcherHotkey,   IDC_cboSwitcherHotkey, IDC_lblSwitcherOptions, IDC_lstSwitcherOptions,
                    IDC_chkHideActiveHotkey, IDC_hkyHideActive,     IDC_chkRestoreAllHotkey, IDC_hkyRestoreAll};
        case AdvancedPage:
            return {IDC_chkWindowTitleLength, IDC_txtWindowTitleLength, IDC_chkBanner, IDC_lblHighlight,
                    IDC_cboHighlight,         IDC_chkOwnerDraw,         IDC_lblMenus,  IDC_lstMenus};
        default: return {};
    }
}

// The two icons whose clicks the mouse page configures.
enum MouseIcon { ProgramIcon = 0, TrayedWindowIcon = 1 };
constexpr int MouseIconCount = 2;
constexpr int MouseSlotCount = 4;
constexpr std::array<const wchar_t*, MouseSlotCount> SlotTips{
    L" Left Button Single-Click ", L" Left Button Double-Click ", L" Right Button Single-Click ",
    L" Right Button Double-Click "};

int MouseImageId(int icon, int slot) { return (icon == ProgramIcon ? IDC_imgMouseMain : IDC_imgMouseWindow) + slot; }
int MouseComboId(int icon, int slot) { return (icon == ProgramIcon ? IDC_cboMouseMain : IDC_cboMouseWindow) + slot; }
// The other slot of the same button: single click with double click.
constexpr int PartnerSlot(int slot) { return slot ^ 1; }
constexpr bool IsDoubleClickSlot(int slot) { return slot % 2 == 1; }
constexpr bool IsRightButtonSlot(int slot) { return slot >= RightSingleClick; }

// Which icon and slot an image control is; false for other controls.
bool FindMouseImage(int id, int& icon, int& slot) {
    for (icon = 0; icon < MouseIconCount; ++icon) {
        slot = id - MouseImageId(icon, 0);
        if (slot >= 0 && slot < MouseSlotCount) return true;
    }
    return false;
}

// The slider runs over the valid refresh intervals in whole half seconds.
constexpr int SliderStep = 5;
constexpr int SliderPageStep = 10 * SliderStep;
constexpr int SliderMinimum = (MinInterval + SliderStep - 1) / SliderStep * SliderStep;
constexpr int SliderMaximum = MaxInterval / SliderStep * SliderStep;
constexpr int TenthsPerSecond = 10;

// Tenths of a second as seconds with one decimal, whatever the locale's
// decimal sign: 25 is "2.5", 30 is "3.0".
std::wstring SecondsText(int tenths) {
    return std::to_wstring(tenths / TenthsPerSecond) + L"." + std::to_wstring(tenths % TenthsPerSecond);
}

constexpr int MaxTitleLengthDigits = 4;
constexpr int32_t TipDelayMs = 500;

// The switcher's key, and the modifier bit of each entry of its combo box.
constexpr int32_t SwitcherKey = VK_TAB;
constexpr std::array<int32_t, 2> SwitcherModifiers{MOD_ALT, MOD_CONTROL};

// The check box and the key control of each command hot key, by HotkeyCommand.
struct CommandHotkeyControls {
    int check;
    int key;
};
constexpr std::array<CommandHotkeyControls, HotkeyCommandCount> CommandHotkeyIds{
    {{IDC_chkHideActiveHotkey, IDC_hkyHideActive}, {IDC_chkRestoreAllHotkey, IDC_hkyRestoreAll}}};

// The key control counts its modifiers in other bits than the menu component.
constexpr std::array<std::pair<int32_t, BYTE>, 3> ModifierBits{
    {{qlHotkeyModifierAlt, HOTKEYF_ALT}, {qlHotkeyModifierCtrl, HOTKEYF_CONTROL}, {qlHotkeyModifierShift, HOTKEYF_SHIFT}}};

void SetHotkeyControl(HWND control, int32_t key, int32_t modifiers) {
    BYTE flags = 0;
    for (const auto& [component, controlBit] : ModifierBits)
        if (modifiers & component) flags |= controlBit;
    ::SendMessageW(control, HKM_SETHOTKEY, MAKEWORD(static_cast<BYTE>(key), flags), 0);
}

// The key and modifiers shown; key 0 when the control is empty.
std::pair<int32_t, int32_t> HotkeyControlValue(HWND control) {
    const auto value = static_cast<WORD>(::SendMessageW(control, HKM_GETHOTKEY, 0, 0));
    int32_t modifiers = 0;
    for (const auto& [component, controlBit] : ModifierBits)
        if (HIBYTE(value) & controlBit) modifiers |= component;
    return {LOBYTE(value), modifiers};
}

// How the mouse slot images look.
constexpr int MouseInset96 = 3;
constexpr int MouseOutline96 = 1;
constexpr int ButtonsShareOfBody = 40;  // percent of the mouse's height
constexpr COLORREF SingleClickColor = RGB(0, 90, 230);
constexpr COLORREF DoubleClickColor = RGB(225, 30, 30);
constexpr COLORREF MouseBodyColor = RGB(250, 250, 250);
constexpr COLORREF MouseOutlineColor = RGB(64, 64, 64);

using UniqueRegion = platform::UniqueGdiObject<HRGN>;
using UniquePen = platform::UniqueGdiObject<HPEN>;

// The name the user knows an option by: its label without the mnemonic
// mark and the closing colon.
std::wstring OptionName(HWND label) {
    std::wstring name;
    for (wchar_t c : ControlText(label))
        if (c != L'&') name += c;
    while (!name.empty() && (name.back() == L':' || name.back() == L' ')) name.pop_back();
    return name;
}

// The rule options' texts, padded with spaces so that their remarks start in
// one column in the list's font.
std::vector<std::wstring> LinedUp(HWND list, const std::vector<std::pair<std::wstring, std::wstring>>& rows) {
    platform::WindowDC dc(list);
    platform::SelectScope font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    auto width = [&](const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    const int space = std::max(1, width(L" "));
    int column = 0;
    for (const auto& row : rows) column = std::max(column, width(row.first) + 2 * space);
    std::vector<std::wstring> texts;
    for (const auto& [name, remark] : rows) {
        const int spaces = (column - width(name) + space / 2) / space;
        texts.push_back(name + std::wstring(static_cast<size_t>(spaces), L' ') + remark);
    }
    return texts;
}

// --- writing options -------------------------------------------------------------

void WriteSelection(HWND dialog, OptionRefusals& refused, int labelId, int comboId,
                    const std::function<void(int32_t)>& set) {
    // An option whose stored value matched no entry keeps that value.
    const int position = platform::ComboSelection(::GetDlgItem(dialog, comboId));
    if (position >= 0) refused.Try(OptionName(::GetDlgItem(dialog, labelId)), [&] { set(position); });
}

void WriteRows(HWND dialog, OptionRefusals& refused, int labelId, int listId, int count,
               const std::function<void(int, bool)>& set) {
    HWND list = ::GetDlgItem(dialog, listId);
    const std::wstring name = OptionName(::GetDlgItem(dialog, labelId));
    for (int row = 0; row < count; ++row) refused.Try(name, [&] { set(row, platform::IsRowChecked(list, row)); });
}

void WriteCheck(HWND dialog, OptionRefusals& refused, int checkId, const std::function<void(bool)>& set) {
    HWND check = ::GetDlgItem(dialog, checkId);
    refused.Try(OptionName(check), [&] { set(IsChecked(check)); });
}

}  // namespace

// --- the form ----------------------------------------------------------------------

std::shared_ptr<frmOptions> frmOptions::Create(std::weak_ptr<CApplication> app) {
    // The pages use the tree, list view and slider controls.
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&controls);
    return std::shared_ptr<frmOptions>(new frmOptions(std::move(app)));
}

frmOptions::frmOptions(std::weak_ptr<CApplication> app)
    : Dialog(ClassName, ProgramInstance(), IDD_OPTIONS), app_(std::move(app)) {}

void frmOptions::Display(bool modal, HWND owner) {
    if (hWnd()) {
        ShowModeless(owner);
        return;
    }
    if (modal) {
        owner_ = nullptr;
        ShowModal(owner);
    } else {
        owner_ = owner;
        ShowModeless(owner);
    }
}

bool frmOptions::OnInitDialog() {
    RegisterForm(hWnd());
    Form_Load();
    return true;
}

void frmOptions::Form_Load() {
    loading_ = true;
    slotShown_ = {{{true, false, true, false}, {true, false, true, false}}};
    for (int page = GeneralPage; page <= PageCount; ++page) ShowPage(page, false);
    FillLists();
    AddTips();
    keys_.Attach(SubclassHandler::Create(
        [this](HWND control, UINT, WPARAM key, LPARAM lParam) { return OnChar(control, key, lParam); }));
    SubclassModule::AttachMessage(keys_.Get(), Item(IDC_txtWindowTitleLength), WM_CHAR);
    SubclassModule::AttachMessage(keys_.Get(), Item(IDC_chkWindowTitleLength), WM_CHAR);

    HWND tree = Item(IDC_tvwOptions);
    HTREEITEM general = nullptr;
    for (int page = GeneralPage; page <= PageCount; ++page) {
        HTREEITEM node = platform::AddTreeNode(tree, Pages[page - 1].node, page);
        if (page == GeneralPage) general = node;
    }
    // Selecting the node shows its page through the node-click handler.
    platform::SelectTreeNode(tree, general);
    if (page_ == NoPage) tvwOptions_NodeClick(general, false);

    if (auto app = app_.lock()) ReadOptions(*app);
    for (int list : {IDC_lstConfirmations, IDC_lstRules, IDC_lstSwitcherOptions, IDC_lstMenus})
        platform::SetCurrentRow(Item(list), 0);
    EnableControl(Item(IDC_cmdApply), false);
    loading_ = false;
}

void frmOptions::FillLists() {
    using platform::SetCheckListItems;
    using platform::SetComboItems;
    SetComboItems(Item(IDC_cboHideIcon), {L"Never", L"Only if a window is currently \"trayed\"", L"Always"});
    SetComboItems(Item(IDC_cboStartup), {L"Never run", L"Run for the current user", L"Run for this computer"});
    platform::SetSliderRange(Item(IDC_sldWindows), SliderMinimum, SliderMaximum, SliderStep, SliderPageStep);
    SetCheckListItems(Item(IDC_lstConfirmations),
                      {L"Display delete confirmation dialog", L"Display exit confirmation dialog",
                       L"Display save on exit confirmation dialog"});
    const std::vector<std::wstring> programActions{L"Not configured",           L"Show Pelkin! setup",
                                                   L"Show Pelkin! menu",        L"Show Pelkin! options",
                                                   L"Show Pelkin! windows menu", L"Show Pelkin! tray manager"};
    const std::vector<std::wstring> windowActions{L"Not configured", L"Restore window", L"Show window menu",
                                                  L"Show Pelkin! windows menu", L"Show Pelkin! tray manager"};
    for (int slot = 0; slot < MouseSlotCount; ++slot) {
        SetComboItems(Item(MouseComboId(ProgramIcon, slot)), programActions);
        SetComboItems(Item(MouseComboId(TrayedWindowIcon, slot)), windowActions);
    }
    HWND rules = Item(IDC_lstRules);
    SetCheckListItems(rules, LinedUp(rules, {{L"Top level windows only", L"(recommended)"},
                                             {L"Unwatched windows only", L"(not recommended)"},
                                             {L"Visible windows only", L"(recommended)"}}));
    SetComboItems(Item(IDC_cboSwitcherHotkey), {L"Alt + Tab", L"Ctrl + Tab"});
    SetCheckListItems(Item(IDC_lstSwitcherOptions),
                      {L"Alt+Tab Mode (includes non-watched windows)", L"Show cancel option"});
    // A key alone, or with Shift alone, would be taken from every program's typing.
    for (const auto& ids : CommandHotkeyIds)
        ::SendMessageW(Item(ids.key), HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
    ::SendMessageW(Item(IDC_txtWindowTitleLength), EM_LIMITTEXT, MaxTitleLengthDigits, 0);
    SetComboItems(Item(IDC_cboHighlight), {L"System default", L"Gradient", L"Text only"});
    SetComboItems(Item(IDC_cboTheme), {L"System", L"Light", L"Dark"});
    SetCheckListItems(Item(IDC_lstMenus), {L"Show window titles", L"Show ignored windows", L"Show Pelkin! sub-menu",
                                           L"Show Pelkin! windows sub-menu"});
}

void frmOptions::AddTips() {
    if (!tips_.Initialize(hWnd(), TipDelayMs)) return;
    for (int icon = 0; icon < MouseIconCount; ++icon)
        for (int slot = 0; slot < MouseSlotCount; ++slot)
            tips_.AddWindow(hWnd(), Item(MouseImageId(icon, slot)), SlotTips[static_cast<size_t>(slot)]);
}

void frmOptions::ReadOptions(const CApplication& app) {
    using platform::SelectCombo;
    using platform::SetRowChecked;
    SelectCombo(Item(IDC_cboHideIcon), app.HideIcon());
    SelectCombo(Item(IDC_cboStartup), app.AutoStart());
    platform::SetSliderPosition(Item(IDC_sldWindows), app.Interval());
    for (int i = ConfirmDelete; i <= ConfirmSaveOnExit; ++i)
        SetRowChecked(Item(IDC_lstConfirmations), i, app.Confirmations(i));
    SetChecked(Item(IDC_chkWizardStyle), app.WizardStyle());
    for (int slot = 0; slot < MouseSlotCount; ++slot) {
        SelectCombo(Item(MouseComboId(ProgramIcon, slot)), app.MouseOptionsMain(slot));
        SelectCombo(Item(MouseComboId(TrayedWindowIcon, slot)), app.MouseOptionsWindow(slot));
    }
    for (int i = SearchTopLevelWindowsOnly; i <= SearchVisibleWindowsOnly; ++i)
        SetRowChecked(Item(IDC_lstRules), i, app.RuleOptions(i));
    SetChecked(Item(IDC_chkSwitcherHotkey), app.Switcher());
    const auto modifiers = std::find(SwitcherModifiers.begin(), SwitcherModifiers.end(), app.SwitcherHotkeyModifiers());
    SelectCombo(Item(IDC_cboSwitcherHotkey),
                modifiers == SwitcherModifiers.end() ? -1 : static_cast<int>(modifiers - SwitcherModifiers.begin()));
    for (int i = SwitcherAltTabMode; i <= SwitcherShowCancel; ++i)
        SetRowChecked(Item(IDC_lstSwitcherOptions), i, app.SwitcherOptions(i));
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& ids = CommandHotkeyIds[static_cast<size_t>(i)];
        SetChecked(Item(ids.check), app.CommandHotkeyEnabled(i));
        SetHotkeyControl(Item(ids.key), app.CommandHotkey(i), app.CommandHotkeyModifiers(i));
    }
    SetChecked(Item(IDC_chkWindowTitleLength), app.WindowTitleLength() >= 1);
    SetControlText(Item(IDC_txtWindowTitleLength), std::to_wstring(app.WindowTitleLength()));
    SetChecked(Item(IDC_chkBanner), app.MenuBanner());
    SelectCombo(Item(IDC_cboHighlight), app.MenuHighlight());
    SelectCombo(Item(IDC_cboTheme), app.Theme());
    SetChecked(Item(IDC_chkOwnerDraw), app.MenuOwnerDraw());
    for (int i = MenuWindowTitles; i <= MenuWindowsSubMenu; ++i) SetRowChecked(Item(IDC_lstMenus), i, app.MenuOptions(i));
    // The dependent controls and the interval's label follow what was read.
    chkOwnerDraw_Click();
    chkSwitcherHotkey_Click();
    chkCommandHotkey_Click();
    chkWindowTitleLength_Click();
    sldWindows_Change();
}

void frmOptions::Form_Unload() {
    if (keys_) {
        SubclassModule::DetachMessage(keys_.Get(), Item(IDC_txtWindowTitleLength), WM_CHAR);
        SubclassModule::DetachMessage(keys_.Get(), Item(IDC_chkWindowTitleLength), WM_CHAR);
        keys_.Reset();
    }
    UnregisterForm(hWnd());
    if (owner_ && ::IsWindow(owner_) && ::IsWindowVisible(owner_)) ::SetForegroundWindow(owner_);
}

// --- messages ----------------------------------------------------------------------

void frmOptions::OnCommand(int id, int notifyCode, HWND control) {
    int icon = 0;
    int slot = 0;
    switch (id) {
        case IDOK: cmdOK_Click(); return;
        case IDCANCEL: Dialog::OnCommand(id, notifyCode, control); return;
        case IDC_cmdApply: Apply(); return;
        case IDC_chkOwnerDraw: chkOwnerDraw_Click(); break;
        case IDC_chkSwitcherHotkey: chkSwitcherHotkey_Click(); break;
        case IDC_chkHideActiveHotkey:
        case IDC_chkRestoreAllHotkey: chkCommandHotkey_Click(); break;
        case IDC_hkyHideActive:
        case IDC_hkyRestoreAll:
            if (notifyCode == EN_CHANGE) Changed();
            return;
        case IDC_chkWindowTitleLength: chkWindowTitleLength_Click(); break;
        case IDC_txtWindowTitleLength:
            if (notifyCode == EN_CHANGE) Changed();
            if (notifyCode == EN_KILLFOCUS) txtWindowTitleLength_Validate();
            return;
        default:
            if (FindMouseImage(id, icon, slot)) {
                if (notifyCode == BN_CLICKED) imgMouse_Click(icon, slot);
                return;
            }
            break;
    }
    // What is left are the check boxes' clicks and the combo boxes' choices.
    if (notifyCode == BN_CLICKED || notifyCode == CBN_SELCHANGE) Changed();
}

LRESULT frmOptions::OnNotify(const NMHDR& header) {
    switch (header.idFrom) {
        case IDC_tvwOptions:
            if (header.code == TVN_SELCHANGEDW) {
                const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
                // Walking the tree with the arrow keys leaves the focus in it.
                tvwOptions_NodeClick(change.itemNew.hItem, change.action != TVC_BYKEYBOARD);
            }
            break;
        case IDC_lstConfirmations:
        case IDC_lstRules:
        case IDC_lstSwitcherOptions:
        case IDC_lstMenus:
            if (header.code == LVN_ITEMCHANGED && platform::IsCheckChange(reinterpret_cast<const NMLISTVIEW&>(header)))
                Changed();
            break;
        default: break;
    }
    return 0;
}

bool frmOptions::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    int icon = 0;
    int slot = 0;
    switch (message) {
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) != Item(IDC_sldWindows)) return false;
            sldWindows_Change();
            Changed();
            result = 0;
            return true;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!FindMouseImage(static_cast<int>(item.CtlID), icon, slot)) return false;
            DrawMouseImage(item);
            result = TRUE;
            return true;
        }
        case WM_DESTROY: Form_Unload(); return false;
        default: return false;
    }
}

// --- pages -------------------------------------------------------------------------

void frmOptions::tvwOptions_NodeClick(HTREEITEM node, bool moveFocus) {
    const int page = static_cast<int>(platform::TreeNodeTag(Item(IDC_tvwOptions), node));
    if (page == page_ || page < GeneralPage || page > PageCount) return;
    ShowPage(page, true);
    if (page_ != NoPage) ShowPage(page_, false);
    page_ = page;
    SetControlText(Item(IDC_lblHeading), Pages[static_cast<size_t>(page - 1)].heading);
    // While the dialog is still being made there is nothing to focus yet.
    if (moveFocus && ::IsWindowVisible(hWnd())) platform::FocusDialogControl(hWnd(), FirstControl(page));
}

void frmOptions::ShowPage(int page, bool visible) {
    for (int id : PageControls(page)) ShowControl(Item(id), visible);
    if (page != MousePage) return;
    for (int icon = 0; icon < MouseIconCount; ++icon) {
        for (int slot = 0; slot < MouseSlotCount; ++slot) {
            const bool shown = visible && slotShown_[icon][slot];
            ShowControl(Item(MouseImageId(icon, slot)), shown);
            ShowControl(Item(MouseComboId(icon, slot)), shown);
        }
    }
}

HWND frmOptions::FirstControl(int page) const {
    switch (page) {
        case GeneralPage: return Item(IDC_cboHideIcon);
        case MousePage:
            return Item(MouseComboId(ProgramIcon, slotShown_[ProgramIcon][LeftSingleClick] ? LeftSingleClick
                                                                                            : LeftDoubleClick));
        case RulesPage: return Item(IDC_lstRules);
        case SwitcherPage: return Item(IDC_chkSwitcherHotkey);
        case AdvancedPage: return Item(IDC_chkWindowTitleLength);
        default: return Item(IDC_tvwOptions);
    }
}

// --- edits -------------------------------------------------------------------------

void frmOptions::Changed() {
    if (!loading_) EnableControl(Item(IDC_cmdApply), true);
}

void frmOptions::chkOwnerDraw_Click() {
    const bool ownerDraw = IsChecked(Item(IDC_chkOwnerDraw));
    for (int id : {IDC_lblHighlight, IDC_cboHighlight, IDC_chkBanner}) EnableControl(Item(id), ownerDraw);
}

void frmOptions::chkSwitcherHotkey_Click() {
    EnableControl(Item(IDC_cboSwitcherHotkey), IsChecked(Item(IDC_chkSwitcherHotkey)));
}

void frmOptions::chkCommandHotkey_Click() {
    for (const auto& ids : CommandHotkeyIds) EnableControl(Item(ids.key), IsChecked(Item(ids.check)));
}

void frmOptions::chkWindowTitleLength_Click() {
    EnableControl(Item(IDC_txtWindowTitleLength), IsChecked(Item(IDC_chkWindowTitleLength)));
}

void frmOptions::txtWindowTitleLength_Validate() {
    HWND check = Item(IDC_chkWindowTitleLength);
    if (!IsChecked(check) || platform::ParseInt32(ControlText(Item(IDC_txtWindowTitleLength))) != 0) return;
    // A limit of 0 is no limit: the box says so.
    SetChecked(check, false);
    chkWindowTitleLength_Click();
    Changed();
}

void frmOptions::sldWindows_Change() {
    HWND slider = Item(IDC_sldWindows);
    int value = platform::SliderPosition(slider);
    if (value % SliderStep != 0) {
        value -= value % SliderStep;
        platform::SetSliderPosition(slider, value);
    }
    SetControlText(Item(IDC_lblWindowsInterval), L"&Windows view refresh (seconds): " + SecondsText(value));
}

void frmOptions::imgMouse_Click(int icon, int slot) {
    const int partner = PartnerSlot(slot);
    slotShown_[icon][slot] = false;
    slotShown_[icon][partner] = true;
    ShowControl(Item(MouseImageId(icon, slot)), false);
    ShowControl(Item(MouseComboId(icon, slot)), false);
    ShowControl(Item(MouseImageId(icon, partner)), true);
    ShowControl(Item(MouseComboId(icon, partner)), true);
    platform::FocusDialogControl(hWnd(), Item(MouseComboId(icon, partner)));
}

LRESULT frmOptions::OnChar(HWND control, WPARAM key, LPARAM lParam) {
    HWND box = Item(IDC_txtWindowTitleLength);
    const auto passOn = SubclassModule::CallOldWindowProc;
    if (control == box) return number_keys::BoxKeyPress(control, key, lParam, passOn);
    return number_keys::CheckKeyPress(hWnd(), control, box, key, lParam, passOn, MaxTitleLengthDigits, [this] {
        chkWindowTitleLength_Click();
        Changed();
    });
}



void frmOptions::DrawMouseImage(const DRAWITEMSTRUCT& item) const {
    int icon = 0;
    int slot = 0;
    FindMouseImage(static_cast<int>(item.CtlID), icon, slot);
    HDC dc = item.hDC;
    const UINT dpi = platform::WindowDpi(item.hwndItem);
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));

    // A mouse seen from above: a rounded body, its two buttons across the top,
    // the button of the slot coloured by its click kind.
    RECT body = item.rcItem;
    const int inset = platform::ScaleForDpi(MouseInset96, dpi);
    ::InflateRect(&body, -inset, -inset);
    const int round = body.right - body.left;
    const int buttonsBottom = body.top + (body.bottom - body.top) * ButtonsShareOfBody / 100;
    const int middle = (body.left + body.right) / 2;
    UniqueRegion shape(::CreateRoundRectRgn(body.left, body.top, body.right + 1, body.bottom + 1, round, round));
    UniqueRegion button(IsRightButtonSlot(slot) ? ::CreateRectRgn(middle, body.top, body.right, buttonsBottom)
                                                : ::CreateRectRgn(body.left, body.top, middle, buttonsBottom));
    ::CombineRgn(button.get(), button.get(), shape.get(), RGN_AND);
    platform::UniqueBrush bodyBrush(::CreateSolidBrush(MouseBodyColor));
    platform::UniqueBrush buttonBrush(::CreateSolidBrush(IsDoubleClickSlot(slot) ? DoubleClickColor : SingleClickColor));
    platform::UniqueBrush outlineBrush(::CreateSolidBrush(MouseOutlineColor));
    ::FillRgn(dc, shape.get(), bodyBrush.get());
    ::FillRgn(dc, button.get(), buttonBrush.get());

    const int outline = std::max(1, platform::ScaleForDpi(MouseOutline96, dpi));
    UniquePen pen(::CreatePen(PS_SOLID, outline, MouseOutlineColor));
    const int saved = ::SaveDC(dc);
    ::SelectClipRgn(dc, shape.get());
    {
        platform::SelectScope usePen(dc, pen.get());
        ::MoveToEx(dc, body.left, buttonsBottom, nullptr);
        ::LineTo(dc, body.right, buttonsBottom);
        ::MoveToEx(dc, middle, body.top, nullptr);
        ::LineTo(dc, middle, buttonsBottom);
    }
    ::RestoreDC(dc, saved);
    ::FrameRgn(dc, shape.get(), outlineBrush.get(), outline, outline);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &item.rcItem);
}

// --- commands ----------------------------------------------------------------------

void frmOptions::cmdOK_Click() {
    if (Apply()) End(IDOK);
}

bool frmOptions::Apply() {
    HWND apply = Item(IDC_cmdApply);
    if (!::IsWindowEnabled(apply)) return true;
    auto app = app_.lock();
    if (!app) return true;
    // A disabled button keeps no focus: it goes to OK.
    if (::GetFocus() == apply) platform::FocusDialogControl(hWnd(), Item(IDOK));
    EnableControl(apply, false);
    OptionRefusals refused;
    WriteOptions(*app, refused);
    app->SaveOptions();
    if (refused.Empty()) return true;
    // What was refused is still to be applied.
    Changed();
    ::MessageBoxW(hWnd(), refused.Text().c_str(), AppInfo::Title, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

void frmOptions::WriteOptions(CApplication& app, OptionRefusals& refused) const {
    HWND dialog = hWnd();
    WriteSelection(dialog, refused, IDC_lblHideIcon, IDC_cboHideIcon, [&](int32_t v) { app.SetHideIcon(v); });
    WriteSelection(dialog, refused, IDC_lblStartup, IDC_cboStartup, [&](int32_t v) { app.SetAutoStart(v); });
    refused.Try(OptionName(Item(IDC_lblWindowsInterval)),
                [&] { app.SetInterval(platform::SliderPosition(Item(IDC_sldWindows))); });
    WriteRows(dialog, refused, IDC_lblConfirmations, IDC_lstConfirmations, ConfirmSaveOnExit + 1,
              [&](int i, bool v) { app.SetConfirmations(i, v); });
    WriteCheck(dialog, refused, IDC_chkWizardStyle, [&](bool v) { app.SetWizardStyle(v); });
    WriteSelection(dialog, refused, IDC_lblTheme, IDC_cboTheme, [&](int32_t v) { app.SetTheme(v); });
    for (int slot = 0; slot < MouseSlotCount; ++slot)
        WriteSelection(dialog, refused, IDC_lblMouseMain, MouseComboId(ProgramIcon, slot),
                       [&](int32_t v) { app.SetMouseOptionsMain(slot, v); });
    for (int slot = 0; slot < MouseSlotCount; ++slot)
        WriteSelection(dialog, refused, IDC_lblMouseWindow, MouseComboId(TrayedWindowIcon, slot),
                       [&](int32_t v) { app.SetMouseOptionsWindow(slot, v); });
    WriteRows(dialog, refused, IDC_lblRules, IDC_lstRules, SearchVisibleWindowsOnly + 1,
              [&](int i, bool v) { app.SetRuleOptions(i, v); });
    WriteSwitcher(app, refused);
    WriteCommandHotkeys(app, refused);
    HWND limited = Item(IDC_chkWindowTitleLength);
    refused.Try(OptionName(limited), [&] {
        const auto typed = platform::ParseInt32(ControlText(Item(IDC_txtWindowTitleLength)));
        app.SetWindowTitleLength(IsChecked(limited) ? typed.value_or(0) : 0);
    });
    WriteCheck(dialog, refused, IDC_chkBanner, [&](bool v) { app.SetMenuBanner(v); });
    WriteSelection(dialog, refused, IDC_lblHighlight, IDC_cboHighlight, [&](int32_t v) { app.SetMenuHighlight(v); });
    WriteCheck(dialog, refused, IDC_chkOwnerDraw, [&](bool v) { app.SetMenuOwnerDraw(v); });
    WriteRows(dialog, refused, IDC_lblMenus, IDC_lstMenus, MenuWindowsSubMenu + 1,
              [&](int i, bool v) { app.SetMenuOptions(i, v); });
}

void frmOptions::WriteSwitcher(CApplication& app, OptionRefusals& refused) const {
    HWND dialog = hWnd();
    HWND combo = Item(IDC_cboSwitcherHotkey);
    const std::wstring name = OptionName(Item(IDC_chkSwitcherHotkey)) + L" (" + ControlText(combo) + L")";
    const bool wasOn = app.Switcher();
    const int32_t oldKey = app.SwitcherHotkey();
    const int32_t oldModifiers = app.SwitcherHotkeyModifiers();
    // Off first, so that the keys are registered anew with the new choice.
    refused.Try(name, [&] { app.SetSwitcher(false); });
    const int choice = platform::ComboSelection(combo);
    if (choice >= 0) {
        refused.Try(name, [&] { app.SetSwitcherHotkey(SwitcherKey); });
        refused.Try(name, [&] { app.SetSwitcherHotkeyModifiers(SwitcherModifiers[static_cast<size_t>(choice)]); });
    }
    WriteRows(dialog, refused, IDC_lblSwitcherOptions, IDC_lstSwitcherOptions, SwitcherShowCancel + 1,
              [&](int i, bool v) { app.SetSwitcherOptions(i, v); });
    if (refused.Try(name, [&] { app.SetSwitcher(IsChecked(Item(IDC_chkSwitcherHotkey))); }) || !wasOn) return;
    // A refused key must not cost the user the switcher: the keys it held
    // before come back (set while it is off, they are only stored).
    app.SetSwitcherHotkey(oldKey);
    app.SetSwitcherHotkeyModifiers(oldModifiers);
    if (refused.Try(name, [&] { app.SetSwitcher(true); }))
        refused.Note(L"The switcher keeps the hot key it had before.");
}

void frmOptions::WriteCommandHotkeys(CApplication& app, OptionRefusals& refused) const {
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& ids = CommandHotkeyIds[static_cast<size_t>(i)];
        HWND control = Item(ids.key);
        auto [key, modifiers] = HotkeyControlValue(control);
        // An emptied control keeps the key chosen before.
        if (key == 0) std::tie(key, modifiers) = std::pair(app.CommandHotkey(i), app.CommandHotkeyModifiers(i));
        const std::wstring name = OptionName(Item(ids.check)) + L" (" + CApplication::HotkeyName(key, modifiers) + L")";
        if (refused.Try(name, [&] { app.SetCommandHotkey(i, IsChecked(Item(ids.check)), key, modifiers); })) continue;
        refused.Note(OptionName(Item(ids.check)) + L" keeps the hot key it had before.");
        SetHotkeyControl(control, app.CommandHotkey(i), app.CommandHotkeyModifiers(i));
    }
}
