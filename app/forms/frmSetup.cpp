#include "frmSetup.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <set>
#include <vector>

#include "CClipboard.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CWindow.h"
#include "ComError.h"
#include "Controls.h"
#include "Gdi.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowModule.h"
#include "Strings.h"
#include "Variant.h"
#include "Version.h"
#include "WindowLists.h"
#include "frmMain.h"
#include "frmRuleInspector.h"
#include "frmSetupIds.h"

using menu_component::EventObject;
using menu_component::MissingArgument;
using menu_component::NameOf;
using menu_component::ToolsOf;
using platform::EnableControl;
using platform::ShowControl;

namespace {

constexpr wchar_t ClassName[] = L"frmSetup";

// The window state kept between sessions.
namespace stored {
constexpr wchar_t ViewValue[] = L"View";
constexpr wchar_t ToolbarsSection[] = L"Toolbars";
constexpr wchar_t StandardValue[] = L"Standard";
constexpr wchar_t PelkinBarValue[] = L"Pelkin! Bar";
constexpr wchar_t ViewsSection[] = L"Views";
}  // namespace stored

struct Column {
    const wchar_t* header;
    int width96;
    // The name its width is stored under, when the header is not unique
    // across the two lists.
    const wchar_t* storedAs = nullptr;
    const wchar_t* StoredName() const noexcept { return storedAs ? storedAs : header; }
};
// The rules' four columns fit the list as it first opens.
constexpr std::array<Column, 4> RuleColumns{
    {{L"Name", 130}, {L"Action", 115}, {L"Criteria", 95}, {L"Program", 90, L"Rule Program"}}};
constexpr std::array<Column, 5> WindowColumns{
    {{L"Title", 200}, {L"Status", 90}, {L"Class", 130}, {L"Rule", 100}, {L"Program", 110}}};
enum RuleColumn { NameColumn = 0, ActionColumn = 1, CriteriaColumn = 2, RuleProgramColumn = 3 };
enum WindowColumn { TitleColumn = 0, StatusColumn = 1, ClassColumn = 2, RuleNameColumn = 3, ProgramColumn = 4 };

constexpr wchar_t RunningText[] = L"Running";
constexpr wchar_t NotRespondingText[] = L"Not Responding";
constexpr wchar_t DisabledSuffix[] = L" (Disabled)";

constexpr UINT_PTR RefreshTimerId = 1;
constexpr UINT TenthsToMs = 100;

// --- the menu bar ------------------------------------------------------------------

namespace bands {
constexpr wchar_t MenuBar[] = L"MenuBar";
constexpr wchar_t File[] = L"File";
constexpr wchar_t Edit[] = L"Edit";
constexpr wchar_t View[] = L"View";
constexpr wchar_t Toolbars[] = L"Toolbars";
constexpr wchar_t Tools[] = L"Tools";
constexpr wchar_t Help[] = L"Help";
}  // namespace bands

struct MenuTool {
    const wchar_t* band;
    LONG id;
    const wchar_t* name;
    const wchar_t* caption;
    const wchar_t* shortcut;
    bool beginGroup;
    bool isDefault;
    const wchar_t* optionGroup;
    const wchar_t* subBand;
};
constexpr wchar_t ListViewGroup[] = L"ListView";
constexpr MenuTool MenuTools[] = {
    {bands::MenuBar, 100, L"File", L"&File", L"", false, false, L"", bands::File},
    {bands::MenuBar, 200, L"Edit", L"&Edit", L"", false, false, L"", bands::Edit},
    {bands::MenuBar, 300, L"View", L"&View", L"", false, false, L"", bands::View},
    {bands::MenuBar, 500, L"Tools", L"&Tools", L"", false, false, L"", bands::Tools},
    {bands::MenuBar, 600, L"Help", L"&Help", L"", false, false, L"", bands::Help},
    {bands::File, 101, L"New", L"&New Rule", L"Ctrl+N", false, false, L"", L""},
    {bands::File, 102, L"Open", L"&Open Rule...", L"Ctrl+O", false, false, L"", L""},
    {bands::File, 103, L"Exit", L"E&xit", L"Alt+Q", true, false, L"", L""},
    {bands::Edit, 201, L"New", L"&New", L"Ctrl+N", false, true, L"", L""},
    {bands::Edit, 202, L"Open", L"&Open", L"Ctrl+O", false, true, L"", L""},
    {bands::Edit, 203, L"Undo", L"&Undo", L"Ctrl+Z", false, false, L"", L""},
    {bands::Edit, 204, L"Cut", L"Cu&t", L"Ctrl+X", true, false, L"", L""},
    {bands::Edit, 205, L"Copy", L"&Copy", L"Ctrl+C", false, false, L"", L""},
    {bands::Edit, 206, L"Paste", L"&Paste", L"Ctrl+V", false, false, L"", L""},
    {bands::Edit, 207, L"Delete", L"&Delete", L"Del", true, false, L"", L""},
    {bands::Edit, 208, L"Rename", L"&Rename", L"F2", false, false, L"", L""},
    {bands::Edit, 209, L"MoveUp", L"Move &Up", L"Ctrl+U", true, false, L"", L""},
    {bands::Edit, 210, L"MoveDown", L"&Move Down", L"Ctrl+D", false, false, L"", L""},
    {bands::View, 301, L"Toolbars", L"&Toolbars", L"", false, false, L"", bands::Toolbars},
    {bands::View, 302, L"PelkinBar", L"Pelkin! &Bar", L"", false, false, L"", L""},
    {bands::View, 303, L"List", L"&List", L"", true, false, ListViewGroup, L""},
    {bands::View, 304, L"Details", L"&Details", L"", false, false, ListViewGroup, L""},
    {bands::View, 305, L"Refresh", L"&Refresh", L"F5", true, false, L"", L""},
    {bands::Toolbars, 312, L"Standard", L"&Standard", L"", false, false, L"", L""},
    {bands::Toolbars, 313, L"Customize", L"&Customize...", L"", true, false, L"", L""},
    {bands::Tools, 501, L"Disable", L"&Disable", L"", false, false, L"", L""},
    {bands::Tools, 503, L"Options", L"&Options...", L"", true, false, L"", L""},
    {bands::Help, 601, L"Help", L"&Help Topics", L"F1", false, false, L"", L""},
    {bands::Help, 602, L"About", L"&About " PELKIN_TITLE "...", L"", true, false, L"", L""},
};
constexpr const wchar_t* DropDownBands[] = {bands::File,     bands::Edit,  bands::View,
                                            bands::Toolbars, bands::Tools, bands::Help};
// The component picks the menu bar's own tool style when none is given.
constexpr QLToolStyle BandDefaultStyle = static_cast<QLToolStyle>(0);
constexpr LONG NoIcon = -1;
// The shift states the menu component's shortcuts are written with.
constexpr LONG ShiftState = 1;
constexpr LONG CtrlState = 2;
constexpr LONG AltState = 4;

// The toolbar's buttons: the command each stands for.
struct ToolbarButton {
    int id;
    const wchar_t* command;
    int bitmap;  // which standard bitmap set
    int image;
};
enum BitmapSet { StandardImages = 0, HistoryImages = 1 };
constexpr ToolbarButton ToolbarButtons[] = {
    {IDC_SETUP_TBR_NEW, L"New", StandardImages, STD_FILENEW},
    {IDC_SETUP_TBR_OPEN, L"Open", StandardImages, STD_FILEOPEN},
    {IDC_SETUP_TBR_CUT, L"Cut", StandardImages, STD_CUT},
    {IDC_SETUP_TBR_COPY, L"Copy", StandardImages, STD_COPY},
    {IDC_SETUP_TBR_PASTE, L"Paste", StandardImages, STD_PASTE},
    {IDC_SETUP_TBR_DELETE, L"Delete", StandardImages, STD_DELETE},
    {IDC_SETUP_TBR_MOVEUP, L"MoveUp", HistoryImages, HIST_BACK},
    {IDC_SETUP_TBR_MOVEDOWN, L"MoveDown", HistoryImages, HIST_FORWARD},
    {IDC_SETUP_TBR_REFRESH, L"Refresh", StandardImages, STD_FIND},
};
constexpr wchar_t ToolbarTips[][12] = {L"New",    L"Open",    L"Cut",       L"Copy",   L"Paste",
                                       L"Delete", L"Move Up", L"Move Down", L"Refresh"};

const ToolbarButton* FindToolbarButton(int id) {
    for (const auto& button : ToolbarButtons)
        if (button.id == id) return &button;
    return nullptr;
}

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
constexpr int GradientBand = 2;  // pixels

// The shell answers a number above this when it has started the page's viewer.
constexpr INT_PTR ShellExecuteSucceeded = 32;
constexpr wchar_t NoHelpText[] = L"Unable to display Help Topics. There is no Help associated with this application.";

std::wstring ItemText(HWND list, int item, int column) {
    std::array<wchar_t, 1024> buffer{};
    ListView_GetItemText(list, item, column, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

void SetItemText(HWND list, int item, int column, const std::wstring& text) {
    if (ItemText(list, item, column) == text) return;
    ListView_SetItemText(list, item, column, const_cast<wchar_t*>(text.c_str()));
}

int InsertItem(HWND list, int position, const std::wstring& text, LPARAM tag) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = tag;
    return ListView_InsertItem(list, &item);
}

int FindItemByTag(HWND list, LPARAM tag) {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = tag;
    return ListView_FindItem(list, -1, &find);
}

LPARAM ItemTag(HWND list, int item) {
    LVITEMW entry{};
    entry.mask = LVIF_PARAM;
    entry.iItem = item;
    ListView_GetItem(list, &entry);
    return entry.lParam;
}

template <class Columns>
void AddListColumns(HWND list, const Columns& columns, UINT dpi) {
    int index = 0;
    for (const auto& column : columns) {
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.pszText = const_cast<wchar_t*>(column.header);
        entry.cx = platform::ScaleForDpi(column.width96, dpi);
        ListView_InsertColumn(list, index++, &entry);
    }
}

template <class Columns>
void ReadColumnWidths(const CRegistry& store, HWND list, const Columns& columns) {
    int index = 0;
    for (const auto& column : columns) {
        const int current = ListView_GetColumnWidth(list, index);
        platform::SkipFailure(ClassName, L"Form_Load", [&] {
            const int width =
                SettingToInt32(store.GetSetting(stored::ViewsSection, column.StoredName(), current), L"frmSetup.Form_Load");
            if (width > 0) ListView_SetColumnWidth(list, index, width);
        });
        ++index;
    }
}

template <class Columns>
void WriteColumnWidths(CRegistry& store, HWND list, const Columns& columns) {
    int index = 0;
    for (const auto& column : columns)
        store.SaveSetting(stored::ViewsSection, column.StoredName(), ListView_GetColumnWidth(list, index++), REG_SZ);
}

platform::ComPtr<_Tool> ToolOf(_Band& band, const wchar_t* name) {
    platform::ComPtr<_Tool> tool;
    platform::ThrowIfFailed(ToolsOf(band)->Item(platform::Variant::FromText(name).get(), &tool), L"Tools.Item");
    return tool;
}

LONG EventShiftState() {
    LONG shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0) shift |= ShiftState;
    if (::GetKeyState(VK_CONTROL) < 0) shift |= CtrlState;
    if (::GetKeyState(VK_MENU) < 0) shift |= AltState;
    return shift;
}

// The menu bar is drawn by the system from Windows 98 and Windows 2000 on.
bool MenuBarOwnerDrawn() {
    OSVERSIONINFOW version{};
    GetOSVersion(version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return version.dwMajorVersion < 5;
    return version.dwMinorVersion == 0;
}

struct SortRequest {
    HWND list;
    int column;
    bool descending;
};

int CALLBACK CompareItems(LPARAM first, LPARAM second, LPARAM sort) noexcept {
    const auto& request = *reinterpret_cast<const SortRequest*>(sort);
    const std::wstring a = ItemText(request.list, static_cast<int>(first), request.column);
    const std::wstring b = ItemText(request.list, static_cast<int>(second), request.column);
    const int order = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) - CSTR_EQUAL;
    return request.descending ? -order : order;
}

}  // namespace

// --- the form ----------------------------------------------------------------------

std::shared_ptr<frmSetup> frmSetup::Create() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    return std::shared_ptr<frmSetup>(new frmSetup());
}

frmSetup::frmSetup() : Dialog(ClassName, ProgramInstance(), IDD_SETUP) {}

frmSetup::~frmSetup() { quilletConnection_.Disconnect(); }

void frmSetup::Display() {
    ShowModeless(MainWindowHandle);
    if (::IsIconic(hWnd())) ::ShowWindow(hWnd(), SW_RESTORE);
    ::SetForegroundWindow(hWnd());
    if (page_ == WindowsPage) {
        RefreshWindows();
        StartRefreshTimer();
    }
}

bool frmSetup::OnInitDialog() {
    RegisterForm(hWnd());
    Form_Load();
    return true;
}

void frmSetup::Form_Load() {
    loading_ = true;
    auto app = TheApp;
    app_ = app;
    InitializeQuillet();
    AddToolbar();
    AddColumns();
    if (app) {
        UpdateCaption(app->Enabled());
        app->Events().Add(this);
        app->Rules().Events().Add(this);
    }
    ReadWindowState();
    HWND tabs = Item(IDC_SETUP_TBSVIEW);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<wchar_t*>(L"Rules");
    TabCtrl_InsertItem(tabs, RulesPage, &tab);
    tab.pszText = const_cast<wchar_t*>(L"Windows");
    TabCtrl_InsertItem(tabs, WindowsPage, &tab);
    platform::SetComboItems(Item(IDC_SETUP_CBOVIEWS), {L"Show All Windows", L"Show Watched Windows Only"});
    ShowPage(RulesPage);
    FillRules();
    platform::SelectCombo(Item(IDC_SETUP_CBOVIEWS), filter_);
    EnableControl(Item(IDC_SETUP_CMDAPPLY), false);
    UpdateToolbarStates();
    Layout();
    loading_ = false;
}

void frmSetup::AddColumns() {
    const UINT dpi = platform::WindowDpi(hWnd());
    HWND rules = Item(IDC_SETUP_LVWRULES);
    HWND windows = Item(IDC_SETUP_LVWWINDOWS);
    ListView_SetExtendedListViewStyle(rules, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(windows, LVS_EX_FULLROWSELECT);
    AddListColumns(rules, RuleColumns, dpi);
    AddListColumns(windows, WindowColumns, dpi);
}

void frmSetup::ReadWindowState() {
    const CRegistry store;
    auto readFlag = [&](const wchar_t* section, const wchar_t* name, bool& flag) {
        platform::SkipFailure(ClassName, L"Form_Load", [&] {
            flag = SettingToBool(store.GetSetting(section, name, true), L"frmSetup.Form_Load");
        });
    };
    platform::SkipFailure(ClassName, L"Form_Load", [&] {
        filter_ =
            SettingToInt32(store.GetSetting(L"", stored::ViewValue, ShowWatchedWindowsOnly), L"frmSetup.Form_Load");
    });
    if (filter_ != ShowAllWindows && filter_ != ShowWatchedWindowsOnly) filter_ = ShowWatchedWindowsOnly;
    readFlag(stored::ToolbarsSection, stored::StandardValue, toolbarShown_);
    readFlag(stored::ToolbarsSection, stored::PelkinBarValue, barShown_);
    ReadColumnWidths(store, Item(IDC_SETUP_LVWRULES), RuleColumns);
    ReadColumnWidths(store, Item(IDC_SETUP_LVWWINDOWS), WindowColumns);
}

void frmSetup::WriteWindowState() const {
    CRegistry store;
    store.SaveSetting(L"", stored::ViewValue, filter_, REG_SZ);
    store.SaveSetting(stored::ToolbarsSection, stored::StandardValue, toolbarShown_, REG_SZ);
    store.SaveSetting(stored::ToolbarsSection, stored::PelkinBarValue, barShown_, REG_SZ);
    WriteColumnWidths(store, Item(IDC_SETUP_LVWRULES), RuleColumns);
    WriteColumnWidths(store, Item(IDC_SETUP_LVWWINDOWS), WindowColumns);
}

void frmSetup::UpdateCaption(bool enabled) {
    std::wstring caption = AppInfo::Title;
    if (!enabled) caption += DisabledSuffix;
    ::SetWindowTextW(hWnd(), caption.c_str());
}

void frmSetup::Form_Unload() {
    auto step = [](auto&& body) { platform::SkipFailure(ClassName, L"Form_Unload", body); };
    step([&] { StopRefreshTimer(); });
    step([&] { WriteWindowState(); });
    auto app = app_.lock();
    // A window gone some other way leaves no edit behind that pauses tracking.
    step([&] {
        if (app && app == TheApp && app->EditMode()) Discard();
    });
    step([&] {
        if (!app) return;
        app->Events().Remove(this);
        app->Rules().Events().Remove(this);
    });
    step([&] {
        if (!quillet_) return;
        quilletConnection_.Disconnect();
        platform::ThrowIfFailed(quillet_->Detach(), L"Quillet.Detach");
    });
    step([&] {
        quillet_.Reset();
        moQuillet_.Reset();
    });
    UnregisterForm(hWnd());
}

// --- the menu bar and the toolbar ----------------------------------------------------

void frmSetup::InitializeQuillet() {
    quillet_ = platform::com::CreateComponent<_Quillet>(CLSID_Quillet, L"Quillet.dll");
    moQuillet_ = platform::com::MakeObject<platform::com::EventSink>(DIID___Quillet);
    quilletConnection_ =
        platform::com::EventConnection(quillet_.Get(), DIID___Quillet, static_cast<IDispatch*>(moQuillet_.Get()));
    // The sink lives with this form; the form outlives its connection.
    moQuillet_->On(BandOpenEventId,
                   [this](const DISPPARAMS& p) { moQuillet_BandOpen(EventObject<_Band>(p, 0).Get()); });
    moQuillet_->On(QuilletClickEventId,
                   [this](const DISPPARAMS& p) { moQuillet_Click(EventObject<_Tool>(p, 0).Get()); });
    auto app = app_.lock();
    frmMain* main = app ? app->Owner() : nullptr;
    const bool ownerDraw = app ? app->MenuOwnerDraw() : true;
    platform::ComPtr<_Bands> all;
    platform::ThrowIfFailed(quillet_->get_Bands(&all), L"Quillet.Bands");
    platform::ComPtr<_Band> added;
    platform::ThrowIfFailed(all->Add(platform::Bstr(bands::MenuBar).get(), qlBandMenuBar, MissingArgument(),
                                     platform::ToVariantBool(MenuBarOwnerDrawn()), VARIANT_FALSE, VARIANT_TRUE, &added),
                            L"Bands.Add");
    for (const wchar_t* name : DropDownBands) {
        added.Reset();
        platform::ThrowIfFailed(all->Add(platform::Bstr(name).get(), qlBandPopup, MissingArgument(),
                                         platform::ToVariantBool(ownerDraw), VARIANT_FALSE, VARIANT_TRUE, &added),
                                L"Bands.Add");
    }
    AddMenuTools(*all.Get(), main);
    if (main) {
        const auto value = reinterpret_cast<intptr_t>(main->imlIcons());
        platform::ThrowIfFailed(quillet_->put_ImageList(platform::Variant::FromInt64(value).get()),
                                L"Quillet.ImageList");
    }
    if (app) ApplyMenuLook(ownerDraw, app->MenuHighlight());
    platform::ThrowIfFailed(quillet_->Attach(reinterpret_cast<LONG_PTR>(hWnd())), L"Quillet.Attach");
    platform::ThrowIfFailed(quillet_->SetMenuBar(platform::Bstr(bands::MenuBar).get()), L"Quillet.SetMenuBar");
}

void frmSetup::AddMenuTools(_Bands& all, const frmMain* main) {
    for (const auto& entry : MenuTools) {
        platform::ComPtr<_Band> band;
        platform::ThrowIfFailed(all.Item(platform::Variant::FromText(entry.band).get(), &band), L"Bands.Item");
        const int image = main ? main->ImageIndex(entry.name) : -1;
        const bool onBar = std::wstring_view(entry.band) == bands::MenuBar;
        platform::ComPtr<_Tool> tool;
        platform::ThrowIfFailed(
            ToolsOf(*band.Get())
                ->Add(entry.id, platform::Bstr(entry.name).get(), platform::Bstr(entry.caption).get(),
                      image < 0 ? NoIcon : image + 1, BandDefaultStyle, platform::Bstr(entry.shortcut).get(),
                      platform::ToVariantBool(entry.beginGroup), VARIANT_FALSE,
                      platform::ToVariantBool(entry.isDefault), platform::Bstr(entry.optionGroup).get(),
                      platform::Bstr(entry.subBand).get(), platform::ToVariantBool(!onBar || MenuBarOwnerDrawn()),
                      VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &tool),
            L"Tools.Add");
    }
}

void frmSetup::ApplyMenuLook(bool ownerDraw, int32_t highlightStyle) {
    if (!quillet_) return;
    platform::ThrowIfFailed(quillet_->put_HighlightStyle(static_cast<QLHighlightStyle>(highlightStyle)),
                            L"Quillet.HighlightStyle");
    platform::ComPtr<_Bands> all;
    platform::ThrowIfFailed(quillet_->get_Bands(&all), L"Quillet.Bands");
    for (const wchar_t* name : DropDownBands) {
        platform::ComPtr<_Band> band;
        platform::ThrowIfFailed(all->Item(platform::Variant::FromText(name).get(), &band), L"Bands.Item");
        if (band) platform::ThrowIfFailed(band->put_OwnerDraw(platform::ToVariantBool(ownerDraw)), L"Band.OwnerDraw");
    }
}

void frmSetup::AddToolbar() {
    toolbar_ =
        ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                          WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE | CCS_TOP, 0, 0, 0,
                          0, hWnd(), reinterpret_cast<HMENU>(IDC_SETUP_TBRSTANDARD), ProgramInstance(), nullptr);
    if (!toolbar_) platform::RaiseWin32(::GetLastError(), L"frmSetup.Form_Load");
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    const auto standard =
        ::SendMessageW(toolbar_, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const auto history =
        ::SendMessageW(toolbar_, TB_LOADIMAGES, IDB_HIST_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    std::vector<TBBUTTON> buttons;
    size_t index = 0;
    for (const auto& button : ToolbarButtons) {
        TBBUTTON entry{};
        entry.iBitmap = static_cast<int>((button.bitmap == StandardImages ? standard : history) + button.image);
        entry.idCommand = button.id;
        entry.fsState = TBSTATE_ENABLED;
        entry.fsStyle = BTNS_BUTTON;
        entry.iString = reinterpret_cast<INT_PTR>(ToolbarTips[index++]);
        buttons.push_back(entry);
    }
    // Texts show as tips only.
    ::SendMessageW(toolbar_, TB_SETMAXTEXTROWS, 0, 0);
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void frmSetup::moQuillet_BandOpen(_Band* band) {
    platform::Guard(ClassName, L"moQuillet_BandOpen", [&] {
        if (!band || !hWnd()) return;
        const std::wstring name = NameOf(*band);
        auto check = [&](const wchar_t* tool, bool checked) {
            if (auto found = ToolOf(*band, tool))
                platform::ThrowIfFailed(found->put_Checked(platform::ToVariantBool(checked)), L"Tool.Checked");
        };
        if (name == bands::Edit) {
            UpdateEditBand(*band);
        } else if (name == bands::View) {
            check(L"PelkinBar", barShown_);
            check(L"List", listMode_ == LV_VIEW_LIST);
            check(L"Details", listMode_ == LV_VIEW_DETAILS);
        } else if (name == bands::Toolbars) {
            check(L"Standard", toolbarShown_);
        } else if (name == bands::Tools) {
            auto app = app_.lock();
            check(L"Disable", app && !app->Enabled());
        }
    });
}

void frmSetup::UpdateEditBand(_Band& band) {
    auto app = app_.lock();
    const bool rulesShown = page_ == RulesPage;
    HWND list = Item(IDC_SETUP_LVWRULES);
    const int selected = SelectedRuleItem();
    const int count = ListView_GetItemCount(list);
    const bool any = rulesShown && selected >= 0;
    auto set = [&](const wchar_t* tool, bool enabled) {
        if (auto found = ToolOf(band, tool))
            platform::ThrowIfFailed(found->put_Enabled(platform::ToVariantBool(enabled)), L"Tool.Enabled");
    };
    auto setDefault = [&](const wchar_t* tool, bool isDefault) {
        if (auto found = ToolOf(band, tool))
            platform::ThrowIfFailed(found->put_Default(platform::ToVariantBool(isDefault)), L"Tool.Default");
    };
    set(L"New", rulesShown);
    set(L"Open", any);
    set(L"Undo", rulesShown && app && app->Clipboard().CanUndo());
    set(L"Paste", rulesShown && app && app->Clipboard().CanPaste());
    for (const wchar_t* tool : {L"Cut", L"Copy", L"Delete", L"Rename"}) set(tool, any);
    set(L"MoveUp", any && count >= 2 && selected > 0);
    set(L"MoveDown", any && count >= 2 && selected < count - 1);
    setDefault(L"New", selected < 0);
    setDefault(L"Open", selected >= 0);
}

void frmSetup::moQuillet_Click(_Tool* tool) {
    platform::Guard(ClassName, L"moQuillet_Click", [&] {
        if (!tool || !hWnd()) return;
        platform::ComPtr<_Band> parent;
        platform::ThrowIfFailed(tool->get_Parent(&parent), L"Tool.Parent");
        if (parent) RunCommand(NameOf(*parent.Get()), NameOf(*tool));
    });
}

void frmSetup::RunCommand(const std::wstring& band, const std::wstring& name) {
    auto app = app_.lock();
    if (name == L"New") return cmdNew();
    if (name == L"Open") return cmdOpen();
    if (name == L"Exit") return Quit();
    if (name == L"Undo" || name == L"Cut" || name == L"Copy" || name == L"Paste" || name == L"Delete")
        return cmdClipboard(name);
    if (name == L"Rename") return cmdRename();
    if (name == L"MoveUp") return cmdMove(MoveUp);
    if (name == L"MoveDown") return cmdMove(MoveDown);
    if (name == L"PelkinBar") return TogglePelkinBar();
    if (name == L"Standard") return ToggleToolbar();
    if (name == L"List") return SetListMode(LV_VIEW_LIST);
    if (name == L"Details") return SetListMode(LV_VIEW_DETAILS);
    if (name == L"Refresh") return RefreshWindows();
    if (name == L"Customize") {
        ::SendMessageW(toolbar_, TB_CUSTOMIZE, 0, 0);
        return;
    }
    if (name == L"Disable" && app) return app->SetEnabled(!app->Enabled());
    if (name == L"Options" && app) return app->DisplayOptions();
    if (name == L"Help" && band == bands::Help) return cmdHelp();
    if (name == L"About" && app) return app->DisplayAbout();
}

bool frmSetup::OnListKeyDown(WORD key) {
    if (!quillet_) return false;
    VARIANT_BOOL handled = VARIANT_FALSE;
    platform::ThrowIfFailed(quillet_->OnKeyDown(key, EventShiftState(), &handled), L"Quillet.OnKeyDown");
    return handled != VARIANT_FALSE;
}

// --- layout and the side bar ---------------------------------------------------------

void frmSetup::Layout() {
    // Sizes reported while the dialog is being made come before its controls.
    if (!toolbar_) return;
    RECT client{};
    ::GetClientRect(hWnd(), &client);
    RECT units{MarginDu, BarWidthDu, ButtonWidthDu, ButtonHeightDu};
    ::MapDialogRect(hWnd(), &units);
    RECT more{ButtonGapDu, LabelWidthDu, ComboWidthDu, ComboHeightDu};
    ::MapDialogRect(hWnd(), &more);
    const int margin = units.left, barWidth = units.top, buttonWidth = units.right, buttonHeight = units.bottom;
    const int gap = more.left, labelWidth = more.top, comboWidth = more.right, comboHeight = more.bottom;

    int top = 0;
    ShowControl(toolbar_, toolbarShown_);
    if (toolbarShown_) {
        ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
        RECT bar{};
        ::GetWindowRect(toolbar_, &bar);
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
}

void frmSetup::DrawPelkinBar(const DRAWITEMSTRUCT& item) const {
    const RECT& area = item.rcItem;
    // Top to bottom in bands of a few pixels, each a step between the two colours.
    const int height = std::max(1, static_cast<int>(area.bottom - area.top));
    auto blend = [&](int from, int to, int row) { return from + (to - from) * row / height; };
    for (int row = 0; row < height; row += GradientBand) {
        const COLORREF colour = RGB(blend(GetRValue(BarTopColor), GetRValue(BarBottomColor), row),
                                    blend(GetGValue(BarTopColor), GetGValue(BarBottomColor), row),
                                    blend(GetBValue(BarTopColor), GetBValue(BarBottomColor), row));
        platform::UniqueBrush brush(::CreateSolidBrush(colour));
        RECT band{area.left, area.top + row, area.right,
                  std::min(area.bottom, static_cast<LONG>(area.top + row + GradientBand))};
        ::FillRect(item.hDC, &band, brush.get());
    }
    const UINT dpi = platform::WindowDpi(item.hwndItem);
    LOGFONTW look{};
    look.lfHeight = -platform::ScaleForDpi(BarFontHeight96, dpi);
    look.lfWeight = FW_BOLD;
    look.lfEscapement = look.lfOrientation = UpwardsEscapement;
    wcscpy_s(look.lfFaceName, L"Tahoma");
    platform::UniqueFont font(::CreateFontIndirectW(&look));
    platform::SelectScope use(item.hDC, font.get());
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, BarTextColor);
    const int margin = platform::ScaleForDpi(MarginDu, dpi);
    const std::wstring text = AppInfo::Title;
    ::TextOutW(item.hDC, area.left + (area.right - area.left + look.lfHeight) / 2, area.bottom - margin, text.c_str(),
               static_cast<int>(text.size()));
}

void frmSetup::ShowPage(int page) {
    page_ = page;
    TabCtrl_SetCurSel(Item(IDC_SETUP_TBSVIEW), page);
    const bool windows = page == WindowsPage;
    ShowControl(Item(IDC_SETUP_LVWRULES), !windows);
    for (int id : {IDC_SETUP_LBLVIEWS, IDC_SETUP_CBOVIEWS, IDC_SETUP_LVWWINDOWS}) ShowControl(Item(id), windows);
    if (windows) {
        RefreshWindows();
        StartRefreshTimer();
    } else {
        StopRefreshTimer();
    }
    UpdateToolbarStates();
}

// --- the rules page --------------------------------------------------------------------

void frmSetup::FillRules() {
    auto app = app_.lock();
    HWND list = Item(IDC_SETUP_LVWRULES);
    const bool wasLoading = std::exchange(loading_, true);
    ListView_DeleteAllItems(list);
    if (app) {
        int position = 0;
        for (const auto& entry : app->Rules()) {
            const int item =
                InsertItem(list, position++, entry.value->Name(), reinterpret_cast<LPARAM>(entry.value.get()));
            SetRuleItem(item, *entry.value);
        }
    }
    if (ListView_GetItemCount(list) > 0) SelectRuleItem(0);
    loading_ = wasLoading;
}

int frmSetup::FindRuleItem(const CRule* rule) const {
    return FindItemByTag(Item(IDC_SETUP_LVWRULES), reinterpret_cast<LPARAM>(rule));
}

void frmSetup::SetRuleItem(int item, const CRule& rule) {
    HWND list = Item(IDC_SETUP_LVWRULES);
    const bool wasLoading = std::exchange(loading_, true);
    SetItemText(list, item, NameColumn, rule.Name());
    SetItemText(list, item, ActionColumn, rule.ActionString());
    SetItemText(list, item, CriteriaColumn, rule.CriteriaString());
    SetItemText(list, item, RuleProgramColumn, rule.Program());
    ListView_SetCheckState(list, item, rule.Enabled());
    loading_ = wasLoading;
}

int frmSetup::SelectedRuleItem() const { return ListView_GetNextItem(Item(IDC_SETUP_LVWRULES), -1, LVNI_SELECTED); }

std::wstring frmSetup::SelectedRuleName() const {
    const int item = SelectedRuleItem();
    if (item < 0) return {};
    const auto* rule = reinterpret_cast<const CRule*>(ItemTag(Item(IDC_SETUP_LVWRULES), item));
    return rule ? rule->Name() : std::wstring();
}

void frmSetup::SelectRuleItem(int item) {
    HWND list = Item(IDC_SETUP_LVWRULES);
    if (item < 0 || item >= ListView_GetItemCount(list)) return;
    platform::SetCurrentRow(list, item);
    ListView_EnsureVisible(list, item, FALSE);
}

void frmSetup::UpdateToolbarStates() {
    if (!toolbar_) return;
    auto app = app_.lock();
    HWND list = Item(IDC_SETUP_LVWRULES);
    const int selected = SelectedRuleItem();
    const int count = ListView_GetItemCount(list);
    const bool rules = page_ == RulesPage;
    const bool any = rules && selected >= 0;
    auto set = [&](int id, bool enabled) { ::SendMessageW(toolbar_, TB_ENABLEBUTTON, id, MAKELPARAM(enabled, 0)); };
    set(IDC_SETUP_TBR_NEW, true);
    set(IDC_SETUP_TBR_OPEN, any);
    set(IDC_SETUP_TBR_CUT, any);
    set(IDC_SETUP_TBR_COPY, any);
    set(IDC_SETUP_TBR_DELETE, any);
    set(IDC_SETUP_TBR_PASTE, rules && app && app->Clipboard().CanPaste());
    set(IDC_SETUP_TBR_MOVEUP, any && count >= 2 && selected > 0);
    set(IDC_SETUP_TBR_MOVEDOWN, any && count >= 2 && selected < count - 1);
    set(IDC_SETUP_TBR_REFRESH, !rules);
}

void frmSetup::Changed() {
    if (!loading_) EnableControl(Item(IDC_SETUP_CMDAPPLY), true);
}

bool frmSetup::ApplyEnabled() const { return ::IsWindowEnabled(Item(IDC_SETUP_CMDAPPLY)) != FALSE; }

void frmSetup::lvwRules_ItemCheck(int item) {
    if (loading_) return;
    auto* rule = reinterpret_cast<CRule*>(ItemTag(Item(IDC_SETUP_LVWRULES), item));
    auto app = app_.lock();
    if (!rule || !app) return;
    const bool checked = ListView_GetCheckState(Item(IDC_SETUP_LVWRULES), item) != FALSE;
    if (rule->Enabled() == checked) return;
    rule->SetEnabled(checked);
    app->SetEditMode(true);
    Changed();
}

bool frmSetup::lvwRules_AfterLabelEdit(const NMLVDISPINFOW& edit) {
    auto app = app_.lock();
    // No text: the edit was cancelled.
    if (!edit.item.pszText || !app) return false;
    const auto* rule = reinterpret_cast<const CRule*>(ItemTag(Item(IDC_SETUP_LVWRULES), edit.item.iItem));
    if (!rule) return false;
    const std::wstring oldName = rule->Name();
    const std::wstring newName = edit.item.pszText;
    if (newName == oldName) return false;
    // The rule list checks the name as it does on every other path; the
    // item shows the new name through the change it reports.
    app->Rules().Rename(oldName, newName);
    return false;
}

void frmSetup::SortList(HWND list, int column) {
    if (sortList_ == list && sortColumn_ == column)
        sortDescending_ = !sortDescending_;
    else
        sortDescending_ = false;
    sortList_ = list;
    sortColumn_ = column;
    SortRequest request{list, column, sortDescending_};
    ListView_SortItemsEx(list, CompareItems, reinterpret_cast<LPARAM>(&request));
}

void frmSetup::PopupEditMenu() {
    if (!quillet_) return;
    platform::ComPtr<_Bands> all;
    platform::ThrowIfFailed(quillet_->get_Bands(&all), L"Quillet.Bands");
    platform::ComPtr<_Band> edit;
    platform::ThrowIfFailed(all->Item(platform::Variant::FromText(bands::Edit).get(), &edit), L"Bands.Item");
    if (!edit) return;
    POINT at{};
    ::GetCursorPos(&at);
    LONG command = 0;
    platform::ThrowIfFailed(edit->PopupMenu(at.x, at.y, &command), L"Band.PopupMenu");
}

// --- commands ------------------------------------------------------------------------

void frmSetup::cmdNew() {
    if (page_ != RulesPage) ShowPage(RulesPage);
    if (auto app = app_.lock()) app->DisplayOpen({}, frmRuleInspector::OwnedByEditor, hWnd());
}

void frmSetup::cmdOpen() {
    const std::wstring name = SelectedRuleName();
    if (page_ != RulesPage || name.empty()) return;
    if (auto app = app_.lock()) app->DisplayOpen(name, frmRuleInspector::OwnedByEditor, hWnd());
}

void frmSetup::cmdClipboard(const std::wstring& name) {
    auto app = app_.lock();
    if (!app || page_ != RulesPage) return;
    CClipboard& clipboard = app->Clipboard();
    const std::wstring selected = SelectedRuleName();
    if (name == L"Undo") {
        if (clipboard.Undo()) Changed();
    } else if (name == L"Paste") {
        if (clipboard.Paste()) Changed();
    } else if (selected.empty()) {
        return;
    } else if (name == L"Cut") {
        const int item = SelectedRuleItem();
        clipboard.Cut(selected);
        SelectRuleItem(std::min(item, ListView_GetItemCount(Item(IDC_SETUP_LVWRULES)) - 1));
    } else if (name == L"Copy") {
        clipboard.Copy(selected);
    } else if (name == L"Delete") {
        const int item = SelectedRuleItem();
        if (clipboard.Delete(selected))
            SelectRuleItem(std::min(item, ListView_GetItemCount(Item(IDC_SETUP_LVWRULES)) - 1));
    }
    UpdateToolbarStates();
}

void frmSetup::cmdRename() {
    const int item = SelectedRuleItem();
    if (page_ != RulesPage || item < 0) return;
    HWND list = Item(IDC_SETUP_LVWRULES);
    ::SetFocus(list);
    ListView_EditLabel(list, item);
}

void frmSetup::cmdMove(int32_t direction) {
    const std::wstring name = SelectedRuleName();
    auto app = app_.lock();
    if (page_ != RulesPage || name.empty() || !app) return;
    app->Rules().Move(name, direction);
}

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

// --- the windows page -------------------------------------------------------------------

void frmSetup::RefreshWindows() {
    auto app = app_.lock();
    HWND list = Item(IDC_SETUP_LVWWINDOWS);
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
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void frmSetup::StartRefreshTimer() {
    auto app = app_.lock();
    if (!app || !hWnd()) return;
    ::SetTimer(hWnd(), RefreshTimerId, static_cast<UINT>(app->Interval()) * TenthsToMs, nullptr);
    timerRunning_ = true;
}

void frmSetup::StopRefreshTimer() {
    if (!timerRunning_) return;
    ::KillTimer(hWnd(), RefreshTimerId);
    timerRunning_ = false;
}

void frmSetup::cboViews_Click() {
    const int position = platform::ComboSelection(Item(IDC_SETUP_CBOVIEWS));
    if (position < 0 || position == filter_) return;
    filter_ = position;
    ListView_DeleteAllItems(Item(IDC_SETUP_LVWWINDOWS));
    if (page_ == WindowsPage) RefreshWindows();
}

// --- saving and discarding ----------------------------------------------------------------

bool frmSetup::Apply() {
    auto app = app_.lock();
    if (!app) return true;
    HWND list = Item(IDC_SETUP_LVWRULES);
    for (int item = 0; item < ListView_GetItemCount(list); ++item) {
        auto* rule = reinterpret_cast<CRule*>(ItemTag(list, item));
        const bool checked = ListView_GetCheckState(list, item) != FALSE;
        if (rule && rule->Enabled() != checked) rule->SetEnabled(checked);
    }
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
        const bool wasLoading = std::exchange(loading_, true);
        app->Rules().Reset();
        // The rules Undo knew are gone with the edits.
        app->Clipboard().SetUndoObject(nullptr);
        loading_ = wasLoading;
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
    return platform::Guard(ClassName, L"Form_QueryUnload", [&] {
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
            if (notifyCode == CBN_SELCHANGE) cboViews_Click();
            return;
        default: break;
    }
    if (control && control == toolbar_) {
        if (const auto* button = FindToolbarButton(id)) RunCommand(bands::Edit, button->command);
    }
    // Menu commands arrive as the menu component's clicks.
}

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
                    if (rules && platform::IsCheckChange(change)) lvwRules_ItemCheck(change.iItem);
                    if (rules) UpdateToolbarStates();
                    return 0;
                }
                case LVN_ENDLABELEDITW:
                    return lvwRules_AfterLabelEdit(reinterpret_cast<const NMLVDISPINFOW&>(header)) ? TRUE : FALSE;
                case LVN_COLUMNCLICK:
                    SortList(header.hwndFrom, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
                    return 0;
                case LVN_KEYDOWN: OnListKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey); return 0;
                case NM_RCLICK:
                    if (rules) PopupEditMenu();
                    return 0;
                case NM_DBLCLK:
                    if (rules) cmdOpen();
                    return 0;
                default: return 0;
            }
        }
        case IDC_SETUP_TBRSTANDARD: return tbrStandard_Notify(header);
        default: return 0;
    }
}

LRESULT frmSetup::tbrStandard_Notify(const NMHDR& header) {
    // Every button may be taken away and put back.
    if (header.code == TBN_QUERYINSERT || header.code == TBN_QUERYDELETE) return TRUE;
    if (header.code == TBN_GETBUTTONINFOW) {
        auto& info = const_cast<NMTOOLBARW&>(reinterpret_cast<const NMTOOLBARW&>(header));
        if (info.iItem < 0 || info.iItem >= static_cast<int>(std::size(ToolbarButtons))) return FALSE;
        const auto& button = ToolbarButtons[static_cast<size_t>(info.iItem)];
        const int position = static_cast<int>(::SendMessageW(toolbar_, TB_COMMANDTOINDEX, button.id, 0));
        if (position >= 0) ::SendMessageW(toolbar_, TB_GETBUTTON, position, reinterpret_cast<LPARAM>(&info.tbButton));
        info.tbButton.idCommand = button.id;
        return position >= 0;
    }
    return 0;
}

bool frmSetup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SIZE: Layout(); return false;
        case WM_DPICHANGED: {
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
            if (wParam != RefreshTimerId) return false;
            RefreshWindows();
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

// --- the application's and the rule list's events ----------------------------------------

void frmSetup::EnableChange(bool enabled) {
    platform::Guard(ClassName, L"moApplication_EnableChange", [&] { UpdateCaption(enabled); });
}

void frmSetup::IntervalChange(int32_t) {
    platform::Guard(ClassName, L"moApplication_IntervalChange", [&] {
        if (timerRunning_) StartRefreshTimer();
    });
}

void frmSetup::MenuOptionsChange(bool ownerDraw, int32_t highlightStyle) {
    platform::Guard(ClassName, L"moApplication_MenuOptionsChange", [&] { ApplyMenuLook(ownerDraw, highlightStyle); });
}

void frmSetup::WindowRemove() {
    platform::Guard(ClassName, L"moApplication_WindowRemove", [&] {
        if (page_ == WindowsPage) RefreshWindows();
    });
}

void frmSetup::RuleAdd(const std::shared_ptr<CRule>& rule, int32_t index) {
    platform::Guard(ClassName, L"moRules_RuleAdd", [&] {
        HWND list = Item(IDC_SETUP_LVWRULES);
        const int count = ListView_GetItemCount(list);
        const int position = index >= 1 && index <= count ? index - 1 : count;
        // A new item's check box starts cleared: that is no edit of the rule.
        const bool wasLoading = std::exchange(loading_, true);
        const int item = InsertItem(list, position, rule->Name(), reinterpret_cast<LPARAM>(rule.get()));
        SetRuleItem(item, *rule);
        loading_ = wasLoading;
        SelectRuleItem(item);
        Changed();
        UpdateToolbarStates();
    });
}

void frmSetup::RuleChange(const std::shared_ptr<CRule>& rule) {
    platform::Guard(ClassName, L"moRules_RuleChange", [&] {
        const int item = FindRuleItem(rule.get());
        if (item >= 0) SetRuleItem(item, *rule);
        Changed();
        UpdateToolbarStates();
    });
}

void frmSetup::RuleMove(const std::shared_ptr<CRule>& rule, int32_t index) {
    platform::Guard(ClassName, L"moRules_RuleMove", [&] {
        HWND list = Item(IDC_SETUP_LVWRULES);
        const int old = FindRuleItem(rule.get());
        const bool wasLoading = std::exchange(loading_, true);
        if (old >= 0) ListView_DeleteItem(list, old);
        const int count = ListView_GetItemCount(list);
        const int item =
            InsertItem(list, std::clamp(index - 1, 0, count), rule->Name(), reinterpret_cast<LPARAM>(rule.get()));
        SetRuleItem(item, *rule);
        loading_ = wasLoading;
        SelectRuleItem(item);
        Changed();
        UpdateToolbarStates();
    });
}

void frmSetup::RuleRemove(const std::shared_ptr<CRule>& rule) {
    platform::Guard(ClassName, L"moRules_RuleRemove", [&] {
        const int item = FindRuleItem(rule.get());
        if (item >= 0) ListView_DeleteItem(Item(IDC_SETUP_LVWRULES), item);
        Changed();
        UpdateToolbarStates();
    });
}
