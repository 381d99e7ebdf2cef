#include "frmSetup.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "CRegistry.h"
#include "ColorScheme.h"
#include "Controls.h"
#include "Gdi.h"
#include "Guard.h"
#include "MainModule.h"
#include "SetupListView.h"
#include "Version.h"
#include "frmSetupIds.h"

using platform::EnableControl;
using platform::ShowControl;

namespace {

// The window state kept between sessions.
namespace stored {
constexpr wchar_t ToolbarsSection[] = L"Toolbars";
constexpr wchar_t StandardValue[] = L"Standard";
// The standard toolbar's buttons as the user customized them.
constexpr wchar_t StandardButtonsValue[] = L"Standard Buttons";
constexpr wchar_t PelkinBarValue[] = L"Pelkin! Bar";
}  // namespace stored

constexpr wchar_t DisabledSuffix[] = L" (Disabled)";

// Layout in dialog units.
constexpr int MarginDu = 7;
constexpr int BarWidthDu = 24;
constexpr int ButtonWidthDu = 50;
constexpr int ButtonHeightDu = 14;
constexpr int ButtonGapDu = 6;
constexpr int LabelWidthDu = 30;
constexpr int ComboWidthDu = 130;
constexpr int ComboHeightDu = 12;
constexpr int ComboDropDu = 60;

// The side bar's colours: those of the program's menu banner.
constexpr COLORREF BarTopColor = RGB(171, 66, 11);
constexpr COLORREF BarBottomColor = RGB(42, 0, 75);
constexpr COLORREF BarTextColor = RGB(255, 255, 255);
constexpr int UpwardsEscapement = 900;  // tenths of a degree
constexpr int BarFontHeight96 = 20;

// The shell answers a number above this when it has started the page's viewer.
constexpr INT_PTR ShellExecuteSucceeded = 32;
constexpr wchar_t NoHelpText[] = L"Unable to display Help Topics. There is no Help associated with this application.";

}  // namespace

// --- the form ----------------------------------------------------------------------

std::shared_ptr<frmSetup> frmSetup::Create(std::weak_ptr<CApplication> app) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    return std::shared_ptr<frmSetup>(new frmSetup(std::move(app)));
}

frmSetup::frmSetup(std::weak_ptr<CApplication> app)
    : Dialog(SetupLogSource, ProgramInstance(), IDD_SETUP), app_(std::move(app)) {}

frmSetup::~frmSetup() = default;

void frmSetup::Display() {
    ShowModeless(MainWindowHandle);
    if (::IsIconic(hWnd())) ::ShowWindow(hWnd(), SW_RESTORE);
    ::SetForegroundWindow(hWnd());
    if (windows_.Shown()) {
        windows_.RefreshWindows();
        windows_.StartRefreshTimer();
    }
}

bool frmSetup::OnInitDialog() {
    RegisterForm(hWnd());
    Form_Load();
    return true;
}

void frmSetup::Form_Load() {
    rules_.SetLoading(true);
    auto app = app_.lock();
    menuBar_.Create(app_);
    rules_.Attach(hWnd(), app_);
    windows_.Attach(hWnd(), app_);
    if (app) {
        UpdateCaption(app->Enabled());
        app->Events().Add(this);
        app->Rules().Events().Add(&rules_);
    }
    ReadWindowState();
    HWND tabs = Item(IDC_SETUP_TBSVIEW);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<wchar_t*>(L"Rules");
    TabCtrl_InsertItem(tabs, RulesPage, &tab);
    tab.pszText = const_cast<wchar_t*>(L"Windows");
    TabCtrl_InsertItem(tabs, WindowsPage, &tab);
    windows_.FillFilters();
    ShowPage(RulesPage);
    rules_.FillRules();
    EnableControl(Item(IDC_SETUP_CMDAPPLY), false);
    UpdateToolbarStates();
    Layout();
    rules_.SetLoading(false);
}

void frmSetup::ReadWindowState() {
    const CRegistry store;
    auto readFlag = [&](const wchar_t* section, const wchar_t* name, bool& flag) {
        platform::SkipFailure(SetupLogSource, L"Form_Load", [&] {
            flag = SettingToBool(store.GetSetting(section, name, true), L"frmSetup.Form_Load");
        });
    };
    windows_.ReadState(store);
    readFlag(stored::ToolbarsSection, stored::StandardValue, toolbarShown_);
    readFlag(stored::ToolbarsSection, stored::PelkinBarValue, barShown_);
    platform::SkipFailure(SetupLogSource, L"Form_Load", [&] {
        menuBar_.RestoreToolbarLayout(
            SettingToText(store.GetSetting(stored::ToolbarsSection, stored::StandardButtonsValue, std::wstring())));
    });
    rules_.ReadState(store);
}

void frmSetup::WriteWindowState() const {
    CRegistry store;
    windows_.WriteState(store);
    store.SaveSetting(stored::ToolbarsSection, stored::StandardValue, toolbarShown_, REG_SZ);
    store.SaveSetting(stored::ToolbarsSection, stored::PelkinBarValue, barShown_, REG_SZ);
    store.SaveSetting(stored::ToolbarsSection, stored::StandardButtonsValue, menuBar_.ToolbarLayout(), REG_SZ);
    rules_.WriteState(store);
}

void frmSetup::UpdateCaption(bool enabled) {
    std::wstring caption = AppInfo::Title;
    if (!enabled) caption += DisabledSuffix;
    ::SetWindowTextW(hWnd(), caption.c_str());
}

void frmSetup::Form_Unload() {
    auto step = [](auto&& body) { platform::SkipFailure(SetupLogSource, L"Form_Unload", body); };
    step([&] { windows_.StopRefreshTimer(); });
    step([&] { WriteWindowState(); });
    auto app = app_.lock();
    // A window gone some other way leaves no edit behind that pauses tracking.
    step([&] {
        if (app && !app->Disposed() && app->EditMode()) Discard();
    });
    step([&] {
        if (!app) return;
        app->Events().Remove(this);
        app->Rules().Events().Remove(&rules_);
    });
    step([&] { menuBar_.Detach(); });
    step([&] { menuBar_.Release(); });
    UnregisterForm(hWnd());
}

void frmSetup::RunCommand(const std::wstring& band, const std::wstring& name) {
    auto app = app_.lock();
    if (name == L"New") {
        if (!rules_.Shown()) ShowPage(RulesPage);
        return rules_.cmdNew();
    }
    if (name == L"Open") return rules_.cmdOpen();
    if (name == L"Export") return ExportRulesFile();
    if (name == L"Import") return ImportRulesFile();
    if (name == L"Exit") return Quit();
    if (name == L"Undo" || name == L"Cut" || name == L"Copy" || name == L"Paste" || name == L"Delete")
        return rules_.cmdClipboard(name);
    if (name == L"Rename") return rules_.cmdRename();
    if (name == L"MoveUp") return rules_.cmdMove(MoveUp);
    if (name == L"MoveDown") return rules_.cmdMove(MoveDown);
    if (name == L"PelkinBar") return TogglePelkinBar();
    if (name == L"Standard") return ToggleToolbar();
    if (name == L"List") return SetListMode(LV_VIEW_LIST);
    if (name == L"Details") return SetListMode(LV_VIEW_DETAILS);
    if (name == L"Refresh") return windows_.RefreshWindows();
    if (name == L"Customize") return menuBar_.CustomizeToolbar();
    if (name == L"Disable" && app) return app->SetEnabled(!app->Enabled());
    if (name == L"Options" && app) return app->DisplayOptions();
    if (name == L"Help" && band == SetupMenuBar::HelpBand) return cmdHelp();
    if (name == L"About" && app) return app->DisplayAbout();
}

// --- layout and the side bar ---------------------------------------------------------

void frmSetup::Layout() {
    // Sizes reported while the dialog is being made come before its controls.
    HWND toolbar = menuBar_.Toolbar();
    if (!toolbar) return;
    RECT client{};
    ::GetClientRect(hWnd(), &client);
    RECT units{MarginDu, BarWidthDu, ButtonWidthDu, ButtonHeightDu};
    ::MapDialogRect(hWnd(), &units);
    RECT more{ButtonGapDu, LabelWidthDu, ComboWidthDu, ComboHeightDu};
    ::MapDialogRect(hWnd(), &more);
    const int margin = units.left, barWidth = units.top, buttonWidth = units.right, buttonHeight = units.bottom;
    const int gap = more.left, labelWidth = more.top, comboWidth = more.right, comboHeight = more.bottom;

    int top = 0;
    ShowControl(toolbar, toolbarShown_);
    if (toolbarShown_) {
        ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
        RECT bar{};
        ::GetWindowRect(toolbar, &bar);
        top = bar.bottom - bar.top;
    }
    HWND side = Item(IDC_SETUP_PICPELKINBAR);
    ShowControl(side, barShown_);
    const int left = barShown_ ? barWidth : 0;
    if (barShown_) ::MoveWindow(side, 0, top, barWidth, client.bottom - top, TRUE);
    ::InvalidateRect(side, nullptr, TRUE);

    const int buttonsTop = client.bottom - margin - buttonHeight;
    int x = client.right - margin - buttonWidth;
    for (int id : {IDC_SETUP_CMDAPPLY, IDCANCEL, IDOK}) {
        ::MoveWindow(Item(id), x, buttonsTop, buttonWidth, buttonHeight, TRUE);
        x -= buttonWidth + gap;
    }
    HWND tabs = Item(IDC_SETUP_TBSVIEW);
    RECT page{left + margin, top + margin, client.right - margin, buttonsTop - margin};
    ::MoveWindow(tabs, page.left, page.top, std::max(0, static_cast<int>(page.right - page.left)),
                 std::max(0, static_cast<int>(page.bottom - page.top)), TRUE);
    TabCtrl_AdjustRect(tabs, FALSE, &page);
    const int width = std::max(0, static_cast<int>(page.right - page.left));
    const int height = std::max(0, static_cast<int>(page.bottom - page.top));
    ::MoveWindow(Item(IDC_SETUP_LVWRULES), page.left, page.top, width, height, TRUE);
    ::MoveWindow(Item(IDC_SETUP_LBLVIEWS), page.left, page.top + gap / 2, labelWidth, comboHeight, TRUE);
    RECT drop{0, 0, 0, ComboDropDu};
    ::MapDialogRect(hWnd(), &drop);
    ::MoveWindow(Item(IDC_SETUP_CBOVIEWS), page.left + labelWidth, page.top, comboWidth, drop.bottom, TRUE);
    const int listTop = page.top + comboHeight + gap;
    ::MoveWindow(Item(IDC_SETUP_LVWWINDOWS), page.left, listTop, width,
                 std::max(0, static_cast<int>(page.bottom) - listTop), TRUE);
    // The tab strip is a sibling drawn below the lists: they stay on top of it.
    for (int id : {IDC_SETUP_LVWRULES, IDC_SETUP_LBLVIEWS, IDC_SETUP_CBOVIEWS, IDC_SETUP_LVWWINDOWS})
        ::SetWindowPos(Item(id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    windows_.FitColumnsOnce();
    page_.Capture(Item(IDC_SETUP_TBSVIEW));
    ::InvalidateRect(Item(IDC_SETUP_LBLVIEWS), nullptr, TRUE);
}

// The dialog's font was made for the density it opened at: the controls get
// one for the new density, and the lists' columns keep their share.
void frmSetup::FollowDpi(UINT dpi) {
    const UINT before = dpi_ ? dpi_ : platform::WindowDpi(hWnd());
    dpi_ = dpi;
    if (before == dpi) return;
    LOGFONTW look{};
    const auto current = reinterpret_cast<HFONT>(::SendMessageW(hWnd(), WM_GETFONT, 0, 0));
    if (current && ::GetObjectW(current, sizeof look, &look)) {
        look.lfHeight = ::MulDiv(look.lfHeight, static_cast<int>(dpi), static_cast<int>(before));
        platform::UniqueFont font(::CreateFontIndirectW(&look));
        if (font) {
            ::EnumChildWindows(
                hWnd(),
                [](HWND child, LPARAM handle) {
                    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(handle), TRUE);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(font.get()));
            ::SendMessageW(hWnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
            font_ = std::move(font);
        }
    }
    for (int id : {IDC_SETUP_LVWRULES, IDC_SETUP_LVWWINDOWS}) setup_list::ScaleColumns(Item(id), dpi, before);
}

void frmSetup::DrawPelkinBar(const DRAWITEMSTRUCT& item) const {
    const RECT& area = item.rcItem;
    // A high-contrast theme has no gradients and no colours of our own.
    const platform::Palette palette = platform::CurrentPalette();
    if (palette.ornaments)
        platform::FillGradient(item.hDC, area, BarTopColor, BarBottomColor, true);
    else
        platform::FillSolid(item.hDC, area, palette.highlight);
    const UINT dpi = platform::WindowDpi(item.hwndItem);
    LOGFONTW look{};
    look.lfHeight = -platform::ScaleForDpi(BarFontHeight96, dpi);
    look.lfWeight = FW_BOLD;
    look.lfEscapement = look.lfOrientation = UpwardsEscapement;
    wcscpy_s(look.lfFaceName, L"Tahoma");
    platform::UniqueFont font(::CreateFontIndirectW(&look));
    platform::SelectScope use(item.hDC, font.get());
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, palette.ornaments ? BarTextColor : palette.highlightText);
    const int margin = platform::ScaleForDpi(MarginDu, dpi);
    const std::wstring text = AppInfo::Title;
    ::TextOutW(item.hDC, area.left + (area.right - area.left + look.lfHeight) / 2, area.bottom - margin, text.c_str(),
               static_cast<int>(text.size()));
}

void frmSetup::ShowPage(int page) {
    TabCtrl_SetCurSel(Item(IDC_SETUP_TBSVIEW), page);
    const bool windows = page == WindowsPage;
    rules_.Show(!windows);
    windows_.Show(windows);
    UpdateToolbarStates();
}

void frmSetup::UpdateToolbarStates() { menuBar_.UpdateToolbarStates(rules_.Edits()); }

void frmSetup::RulesEdited() { EnableControl(Item(IDC_SETUP_CMDAPPLY), true); }

void frmSetup::EditStateChanged() { UpdateToolbarStates(); }

bool frmSetup::ApplyEnabled() const { return ::IsWindowEnabled(Item(IDC_SETUP_CMDAPPLY)) != FALSE; }

// --- commands ------------------------------------------------------------------------

void frmSetup::cmdHelp() { ShowHelpTopics(hWnd(), platform::ModuleFolder()); }

// No viewer for the old help format ships with Windows any more; a page the
// user's browser shows is what every machine can open.
void ShowHelpTopics(HWND owner, const std::wstring& folder) {
    const std::wstring page = folder + L"\\" + HelpPageName;
    if (::GetFileAttributesW(page.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const auto started = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(owner, L"open", page.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
        if (started > ShellExecuteSucceeded) return;
    }
    ::MessageBoxW(owner, NoHelpText, AppInfo::Title, MB_OK | MB_ICONEXCLAMATION);
}

void frmSetup::ToggleToolbar() {
    toolbarShown_ = !toolbarShown_;
    Layout();
}

void frmSetup::TogglePelkinBar() {
    barShown_ = !barShown_;
    Layout();
}

void frmSetup::SetListMode(DWORD view) {
    listMode_ = view;
    ListView_SetView(Item(IDC_SETUP_LVWRULES), view);
    ListView_SetView(Item(IDC_SETUP_LVWWINDOWS), view);
}

// --- saving and discarding ----------------------------------------------------------------

bool frmSetup::Apply() {
    auto app = app_.lock();
    if (!app) return true;
    rules_.TakeCheckStates();
    if (ApplyEnabled()) {
        // Stored rules that the registry refused stay edits: Apply stays on.
        if (!app->Rules().Save()) return false;
        if (::GetFocus() == Item(IDC_SETUP_CMDAPPLY)) platform::FocusDialogControl(hWnd(), Item(IDOK));
        EnableControl(Item(IDC_SETUP_CMDAPPLY), false);
        app->SetEditMode(false);
        // A program that ran off only for want of a rule starts working now.
        app->EnableForFirstRules();
        app->RefreshWindows(true);
    } else if (app->EditMode()) {
        app->SetEditMode(false);
    }
    return true;
}

void frmSetup::Discard() {
    auto app = app_.lock();
    if (!app) return;
    const bool edited = ApplyEnabled();
    if (edited) {
        rules_.ResetRules();
        EnableControl(Item(IDC_SETUP_CMDAPPLY), false);
    }
    app->SetEditMode(false);
    if (edited) app->RefreshWindows(true);
}

void frmSetup::cmdOK_Click() {
    if (Apply()) Unload();
}

void frmSetup::cmdCancel_Click() {
    Discard();
    Unload();
}

void frmSetup::Unload() { ::DestroyWindow(hWnd()); }

bool frmSetup::QueryUnload(CloseReason reason) {
    return platform::Guard(SetupLogSource, L"Form_QueryUnload", [&] {
        auto app = app_.lock();
        if (!app || !hWnd() || !app->EditMode()) return false;
        const bool ask = app->Confirmations(ConfirmSaveOnExit) && reason != CloseReason::ForcedExit;
        if (reason == CloseReason::User) {
            if (!ask) {
                Discard();
                return false;
            }
            const int answer = ::MessageBoxW(hWnd(), L"Do you want to save your settings?", AppInfo::Title,
                                             MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) return true;
            if (answer == IDYES) return !Apply();
            Discard();
            return false;
        }
        if (!ask) {
            Apply();
            return false;
        }
        const int answer = ::MessageBoxW(hWnd(), L"Do you want to save your settings before you exit?", AppInfo::Title,
                                         MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) return true;
        if (answer == IDYES) return !Apply();
        return false;
    });
}

// --- messages ------------------------------------------------------------------------------

void frmSetup::OnCommand(int id, int notifyCode, HWND control) {
    switch (id) {
        case IDOK: cmdOK_Click(); return;
        case IDCANCEL: cmdCancel_Click(); return;
        case IDC_SETUP_CMDAPPLY: Apply(); return;
        case IDC_SETUP_CBOVIEWS:
            if (notifyCode == CBN_SELCHANGE) windows_.cboViews_Click();
            return;
        default: break;
    }
    menuBar_.OnToolbarCommand(id, control);
    // Menu commands arrive as the menu component's clicks.
}

namespace {
// The position WM_CONTEXTMENU carries when the keyboard asked for the menu.
constexpr LPARAM KeyboardContextMenu = -1;
}  // namespace

LRESULT frmSetup::OnNotify(const NMHDR& header) {
    switch (header.idFrom) {
        case IDC_SETUP_TBSVIEW:
            if (header.code == TCN_SELCHANGE) ShowPage(TabCtrl_GetCurSel(header.hwndFrom));
            return 0;
        case IDC_SETUP_LVWRULES:
        case IDC_SETUP_LVWWINDOWS: {
            const bool rules = header.idFrom == IDC_SETUP_LVWRULES;
            switch (header.code) {
                case LVN_ITEMCHANGED: {
                    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
                    if (rules && platform::IsCheckChange(change)) rules_.lvwRules_ItemCheck(change.iItem);
                    if (rules) UpdateToolbarStates();
                    return 0;
                }
                case LVN_ENDLABELEDITW:
                    return rules_.lvwRules_AfterLabelEdit(reinterpret_cast<const NMLVDISPINFOW&>(header)) ? TRUE
                                                                                                          : FALSE;
                case LVN_COLUMNCLICK:
                    sort_.Sort(header.hwndFrom, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
                    return 0;
                case LVN_KEYDOWN:
                    menuBar_.OnListKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
                    return 0;
                case NM_CUSTOMDRAW:
                    return rules ? rules_.lvwRules_CustomDraw(
                                       *reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)))
                                 : CDRF_DODEFAULT;
                case LVN_GETINFOTIPW:
                    if (rules) rules_.lvwRules_GetInfoTip(*reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
                    return 0;
                case NM_RCLICK:
                    if (rules) menuBar_.PopupEditMenu();
                    return 0;
                case NM_DBLCLK:
                    if (rules) rules_.cmdOpen();
                    return 0;
                default: return 0;
            }
        }
        case IDC_SETUP_TBRSTANDARD: return menuBar_.tbrStandard_Notify(header);
        default: return 0;
    }
}

bool frmSetup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SIZE: Layout(); return false;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH page = page_.ForControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
                result = reinterpret_cast<LRESULT>(page);
                return true;
            }
            return false;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE: Layout(); return false;
        case WM_DPICHANGED: {
            FollowDpi(HIWORD(wParam));
            // The size the system suggests for the new density; the layout follows it.
            const auto& suggested = *reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hWnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                           suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            result = 0;
            return true;
        }
        case WM_CLOSE:
            if (!QueryUnload(CloseReason::User)) Unload();
            result = 0;
            return true;
        case WM_TIMER:
            if (!windows_.OnTimer(wParam)) return false;
            result = 0;
            return true;
        case WM_CONTEXTMENU:
            // The menu key or Shift+F10 on the rules list: the pointer's own
            // click arrives as NM_RCLICK.
            if (reinterpret_cast<HWND>(wParam) != Item(IDC_SETUP_LVWRULES) || lParam != KeyboardContextMenu)
                return false;
            menuBar_.PopupEditMenu(rules_.MenuPoint());
            result = 0;
            return true;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlID != IDC_SETUP_PICPELKINBAR) return false;
            DrawPelkinBar(item);
            result = TRUE;
            return true;
        }
        case WM_DESTROY: Form_Unload(); return false;
        default: return false;
    }
}

// --- the application's events ----------------------------------------------------------------

void frmSetup::EnableChange(bool enabled) {
    platform::Guard(SetupLogSource, L"moApplication_EnableChange", [&] { UpdateCaption(enabled); });
}

void frmSetup::IntervalChange(int32_t) {
    platform::Guard(SetupLogSource, L"moApplication_IntervalChange", [&] { windows_.IntervalChanged(); });
}

void frmSetup::MenuOptionsChange(bool ownerDraw, int32_t highlightStyle) {
    platform::Guard(SetupLogSource, L"moApplication_MenuOptionsChange",
                    [&] { menuBar_.ApplyMenuLook(ownerDraw, highlightStyle); });
}

void frmSetup::ColorSchemeChange() {
    platform::Guard(SetupLogSource, L"moApplication_ColorSchemeChange", [&] {
        if (auto app = app_.lock()) menuBar_.ApplyMenuLook(app->MenuOwnerDraw(), app->MenuHighlight());
    });
}

void frmSetup::WindowRemove() {
    platform::Guard(SetupLogSource, L"moApplication_WindowRemove", [&] { windows_.WindowRemoved(); });
}
