#include "SetupMenuBar.h"

#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "CApplication.h"
#include "ComError.h"
#include "Guard.h"
#include "MainModule.h"
#include "Variant.h"
#include "Version.h"
#include "frmMain.h"
#include "frmSetupIds.h"

using menu_component::EventObject;
using menu_component::MissingArgument;
using menu_component::NameOf;
using menu_component::ToolsOf;

namespace {

namespace bands {
constexpr wchar_t MenuBar[] = L"MenuBar";
constexpr wchar_t File[] = L"File";
constexpr wchar_t Edit[] = L"Edit";
constexpr wchar_t View[] = L"View";
constexpr wchar_t Toolbars[] = L"Toolbars";
constexpr wchar_t Tools[] = L"Tools";
constexpr const wchar_t* Help = SetupMenuBar::HelpBand;
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
    {bands::File, 104, L"Export", L"&Export Rules...", L"", true, false, L"", L""},
    {bands::File, 105, L"Import", L"&Import Rules...", L"", false, false, L"", L""},
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

}  // namespace

SetupMenuBar::~SetupMenuBar() { quilletConnection_.Disconnect(); }

void SetupMenuBar::Create(std::weak_ptr<CApplication> app) {
    app_ = std::move(app);
    InitializeQuillet();
    AddToolbar();
}

void SetupMenuBar::Detach() {
    if (!quillet_) return;
    quilletConnection_.Disconnect();
    platform::ThrowIfFailed(quillet_->Detach(), L"Quillet.Detach");
}

void SetupMenuBar::Release() noexcept {
    quillet_.Reset();
    moQuillet_.Reset();
}

void SetupMenuBar::InitializeQuillet() {
    quillet_ = platform::com::CreateComponent<_Quillet>(CLSID_Quillet, L"Quillet.dll");
    moQuillet_ = platform::com::MakeObject<platform::com::EventSink>(DIID___Quillet);
    quilletConnection_ =
        platform::com::EventConnection(quillet_.Get(), DIID___Quillet, static_cast<IDispatch*>(moQuillet_.Get()));
    // The sink lives with this menu bar; the menu bar outlives its connection.
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
    platform::ThrowIfFailed(quillet_->Attach(reinterpret_cast<LONG_PTR>(host_.Window())), L"Quillet.Attach");
    platform::ThrowIfFailed(quillet_->SetMenuBar(platform::Bstr(bands::MenuBar).get()), L"Quillet.SetMenuBar");
}

void SetupMenuBar::AddMenuTools(_Bands& all, const frmMain* main) {
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

void SetupMenuBar::ApplyMenuLook(bool ownerDraw, int32_t highlightStyle) {
    if (!quillet_) return;
    menu_component::ApplyScheme(quillet_.Get(), platform::CurrentScheme());
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

TBBUTTON SetupMenuBar::ButtonEntry(size_t index) const {
    const auto& button = ToolbarButtons[index];
    TBBUTTON entry{};
    entry.iBitmap = static_cast<int>((button.bitmap == StandardImages ? standardImages_ : historyImages_) + button.image);
    entry.idCommand = button.id;
    entry.fsState = TBSTATE_ENABLED;
    entry.fsStyle = BTNS_BUTTON;
    entry.iString = reinterpret_cast<INT_PTR>(ToolbarTips[index]);
    return entry;
}

namespace {
constexpr wchar_t LayoutSeparator[] = L"-";
constexpr wchar_t LayoutDelimiter = L',';
}  // namespace

std::wstring SetupMenuBar::ToolbarLayout() const {
    std::wstring layout;
    const auto count = static_cast<int>(::SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
    for (int position = 0; position < count; ++position) {
        TBBUTTON button{};
        if (!::SendMessageW(toolbar_, TB_GETBUTTON, position, reinterpret_cast<LPARAM>(&button))) continue;
        const ToolbarButton* known = FindToolbarButton(button.idCommand);
        if (!(button.fsStyle & BTNS_SEP) && !known) continue;
        if (!layout.empty()) layout += LayoutDelimiter;
        layout += (button.fsStyle & BTNS_SEP) ? LayoutSeparator : known->command;
    }
    return layout;
}

void SetupMenuBar::RestoreToolbarLayout(const std::wstring& layout) {
    if (!toolbar_ || layout.empty()) return;
    std::vector<TBBUTTON> buttons;
    for (size_t start = 0; start <= layout.size();) {
        size_t end = layout.find(LayoutDelimiter, start);
        if (end == std::wstring::npos) end = layout.size();
        const std::wstring_view name(layout.data() + start, end - start);
        start = end + 1;
        if (name == LayoutSeparator) {
            TBBUTTON separator{};
            separator.fsStyle = BTNS_SEP;
            buttons.push_back(separator);
            continue;
        }
        for (size_t index = 0; index < std::size(ToolbarButtons); ++index) {
            if (name == ToolbarButtons[index].command) buttons.push_back(ButtonEntry(index));
        }
    }
    while (::SendMessageW(toolbar_, TB_DELETEBUTTON, 0, 0)) {
    }
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void SetupMenuBar::AddToolbar() {
    toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE | CCS_TOP, 0,
                                 0, 0, 0, host_.Window(), reinterpret_cast<HMENU>(IDC_SETUP_TBRSTANDARD),
                                 ProgramInstance(), nullptr);
    if (!toolbar_) platform::RaiseWin32(::GetLastError(), L"frmSetup.Form_Load");
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    standardImages_ =
        ::SendMessageW(toolbar_, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    historyImages_ =
        ::SendMessageW(toolbar_, TB_LOADIMAGES, IDB_HIST_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    std::vector<TBBUTTON> buttons;
    for (size_t index = 0; index < std::size(ToolbarButtons); ++index) buttons.push_back(ButtonEntry(index));
    // Texts show as tips only.
    ::SendMessageW(toolbar_, TB_SETMAXTEXTROWS, 0, 0);
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void SetupMenuBar::moQuillet_BandOpen(_Band* band) {
    platform::Guard(SetupLogSource, L"moQuillet_BandOpen", [&] {
        if (!band || !host_.Window()) return;
        const std::wstring name = NameOf(*band);
        auto check = [&](const wchar_t* tool, bool checked) {
            if (auto found = ToolOf(*band, tool))
                platform::ThrowIfFailed(found->put_Checked(platform::ToVariantBool(checked)), L"Tool.Checked");
        };
        if (name == bands::Edit) {
            UpdateEditBand(*band);
        } else if (name == bands::View) {
            const ViewState view = host_.View();
            check(L"PelkinBar", view.barShown);
            check(L"List", view.listMode == LV_VIEW_LIST);
            check(L"Details", view.listMode == LV_VIEW_DETAILS);
        } else if (name == bands::Toolbars) {
            check(L"Standard", host_.View().toolbarShown);
        } else if (name == bands::Tools) {
            auto app = app_.lock();
            check(L"Disable", app && !app->Enabled());
        }
    });
}

void SetupMenuBar::UpdateEditBand(_Band& band) {
    const SetupRulesPage::EditState edits = host_.Edits();
    auto set = [&](const wchar_t* tool, bool enabled) {
        if (auto found = ToolOf(band, tool))
            platform::ThrowIfFailed(found->put_Enabled(platform::ToVariantBool(enabled)), L"Tool.Enabled");
    };
    auto setDefault = [&](const wchar_t* tool, bool isDefault) {
        if (auto found = ToolOf(band, tool))
            platform::ThrowIfFailed(found->put_Default(platform::ToVariantBool(isDefault)), L"Tool.Default");
    };
    set(L"New", edits.shown);
    set(L"Open", edits.AnySelected());
    set(L"Undo", edits.shown && edits.canUndo);
    set(L"Paste", edits.shown && edits.canPaste);
    for (const wchar_t* tool : {L"Cut", L"Copy", L"Delete", L"Rename"}) set(tool, edits.AnySelected());
    set(L"MoveUp", edits.CanMoveUp());
    set(L"MoveDown", edits.CanMoveDown());
    setDefault(L"New", edits.selected < 0);
    setDefault(L"Open", edits.selected >= 0);
}

void SetupMenuBar::moQuillet_Click(_Tool* tool) {
    platform::Guard(SetupLogSource, L"moQuillet_Click", [&] {
        if (!tool || !host_.Window()) return;
        platform::ComPtr<_Band> parent;
        platform::ThrowIfFailed(tool->get_Parent(&parent), L"Tool.Parent");
        if (parent) host_.RunCommand(NameOf(*parent.Get()), NameOf(*tool));
    });
}

bool SetupMenuBar::OnListKeyDown(WORD key) {
    if (!quillet_) return false;
    VARIANT_BOOL handled = VARIANT_FALSE;
    platform::ThrowIfFailed(quillet_->OnKeyDown(key, EventShiftState(), &handled), L"Quillet.OnKeyDown");
    return handled != VARIANT_FALSE;
}

void SetupMenuBar::PopupEditMenu() {
    POINT at{};
    ::GetCursorPos(&at);
    PopupEditMenu(at);
}

void SetupMenuBar::PopupEditMenu(POINT at) {
    if (!quillet_) return;
    platform::ComPtr<_Bands> all;
    platform::ThrowIfFailed(quillet_->get_Bands(&all), L"Quillet.Bands");
    platform::ComPtr<_Band> edit;
    platform::ThrowIfFailed(all->Item(platform::Variant::FromText(bands::Edit).get(), &edit), L"Bands.Item");
    if (!edit) return;
    LONG command = 0;
    platform::ThrowIfFailed(edit->PopupMenu(at.x, at.y, &command), L"Band.PopupMenu");
}

LRESULT SetupMenuBar::tbrStandard_Notify(const NMHDR& header) {
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

void SetupMenuBar::CustomizeToolbar() { ::SendMessageW(toolbar_, TB_CUSTOMIZE, 0, 0); }

void SetupMenuBar::UpdateToolbarStates(const SetupRulesPage::EditState& edits) {
    if (!toolbar_) return;
    auto set = [&](int id, bool enabled) { ::SendMessageW(toolbar_, TB_ENABLEBUTTON, id, MAKELPARAM(enabled, 0)); };
    set(IDC_SETUP_TBR_NEW, true);
    set(IDC_SETUP_TBR_OPEN, edits.AnySelected());
    set(IDC_SETUP_TBR_CUT, edits.AnySelected());
    set(IDC_SETUP_TBR_COPY, edits.AnySelected());
    set(IDC_SETUP_TBR_DELETE, edits.AnySelected());
    set(IDC_SETUP_TBR_PASTE, edits.shown && edits.canPaste);
    set(IDC_SETUP_TBR_MOVEUP, edits.CanMoveUp());
    set(IDC_SETUP_TBR_MOVEDOWN, edits.CanMoveDown());
    set(IDC_SETUP_TBR_REFRESH, !edits.shown);
}

void SetupMenuBar::OnToolbarCommand(int id, HWND control) {
    if (!control || control != toolbar_) return;
    if (const auto* button = FindToolbarButton(id)) host_.RunCommand(bands::Edit, button->command);
}
