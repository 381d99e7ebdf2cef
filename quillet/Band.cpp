#include "Band.h"

#include <unordered_map>
#include <vector>

#include "Banner.h"
#include "Banners.h"
#include "Bands.h"
#include "ComError.h"
#include "Guard.h"
#include "Quillet.h"
#include "QuilletModule.h"

using platform::CheckOut;
using platform::ComPtr;
using platform::ToVariantBool;

namespace {

constexpr platform::LogSource Log{L"Band"};

// PopupMenu's default position: both at -1 open the menu at the cursor.
constexpr LONG AtCursor = -1;
constexpr UINT DisabledState = MFS_DISABLED | MFS_GRAYED;
constexpr UINT PopupFlags = TPM_RETURNCMD | TPM_RIGHTBUTTON;

// Takes every item out without destroying submenus: those belong to bands of their own.
void EmptyMenu(HMENU menu) noexcept {
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i <= count; ++i) ::RemoveMenu(menu, 0, MF_BYPOSITION);
}

// A caption as a screen reader says it: without the ampersand that marks
// its access key ("&&" stands for one ampersand of its own).
std::wstring AccessibleName(const std::wstring& caption) {
    std::wstring name;
    name.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        else if (caption[i] == L'&') continue;
        name += caption[i];
    }
    return name;
}

QLToolStyle SeparatorStyleOf(QLBandStyle style) noexcept {
    return style == qlBandMenuBar ? qlToolStyleMenuBarSeparator : qlToolStyleSeparator;
}

}  // namespace

// Where each identifier first stands in the menu being filled, kept up to
// date as the items go in, so that placing an item costs the same however
// many the menu holds. An item goes before the first item that has its
// identifier already (two tools with one ID, or separators at ID 0), else at
// the end.
class Band::ItemPlaces {
public:
    UINT End() const noexcept { return count_; }
    UINT InsertionPoint(UINT id) const {
        const auto found = first_.find(id);
        return found == first_.end() ? count_ : found->second;
    }
    void Inserted(UINT id, UINT at) {
        // Only an item placed before others moves them on.
        if (at < count_)
            for (auto& entry : first_)
                if (entry.second >= at) ++entry.second;
        const auto [entry, added] = first_.try_emplace(id, at);
        if (!added && at < entry->second) entry->second = at;
        ++count_;
    }

private:
    std::unordered_map<UINT, UINT> first_;
    UINT count_ = 0;
};

Band::Band(Quillet* owner, const Settings& settings)
    : owner_(owner),
      name_(settings.name),
      enabled_(settings.enabled),
      ownerDraw_(settings.ownerDraw),
      allowCustomDraw_(settings.allowCustomDraw),
      tools_(Tools::Make(this, SeparatorStyleOf(style_))) {}

ComPtr<Band> Band::Make(Quillet* owner, const Settings& settings, const VARIANT& banner) {
    auto band = platform::com::MakeObject<Band>(owner, settings);
    band->SetBanner(banner);
    band->ApplyStyle(settings.style);
    return band;
}

Band::~Band() { Orphan(); }

void* Band::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Band) return static_cast<_Band*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void Band::Orphan() noexcept {
    Log.Skip(L"Class_Terminate", [&] { tag_ = platform::Variant(); });
    shown_ = 0;
    ReleaseMenu();
    banner_.Reset();
    picture_.Reset();
    if (tools_) tools_->Orphan();
    owner_ = nullptr;
}

HWND Band::Window() const noexcept { return owner_ ? owner_->Window() : nullptr; }

UINT Band::Dpi() const noexcept { return ToolDrawing::DpiOf(Window()); }

Banner* Band::BannerObject() const noexcept { return banner_ ? Banner::From(banner_.Get()) : nullptr; }

HBITMAP Band::PictureBitmap() const {
    ComPtr<IPicture> picture;
    OLE_HANDLE handle = 0;
    if (!picture_ || FAILED(picture_.As(&picture)) || FAILED(picture->get_Handle(&handle))) return nullptr;
    // Picture handles travel as 32-bit numbers; GDI handles are sign-extended back.
    return reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<int32_t>(handle)));
}

Band* Band::SubBandOf(const Tool& tool) const {
    if (tool.SubBand().empty() || !owner_) return nullptr;
    Band* sub = owner_->BandList().Find(tool.SubBand());
    // A menu cannot hold itself as its own submenu.
    return sub == this ? nullptr : sub;
}

QLToolStyle Band::ToolStyleFor(QLToolStyle asked) const {
    if (style_ == qlBandMenuBar) return qlToolStyleMenuBar;
    if (asked == 0) return qlToolStyleNormal;
    if (asked < qlToolStyleNormal || asked > qlToolStyleMenuBarSeparator) QuilletModule::Fail(L"Tools.Add");
    return asked;
}

void Band::ApplyStyle(QLBandStyle style) {
    if (style != qlBandMenuBar && style != qlBandPopup) QuilletModule::Fail(L"Band.Let_Style");
    style_ = style;
    if (style_ == qlBandMenuBar) banner_.Reset();
    if (Tool* separator = tools_->Separator()) separator->SetStyle(SeparatorStyleOf(style_));
}

void Band::SetBanner(const VARIANT& value) {
    if (QuilletModule::Omitted(value)) return;
    const platform::Variant held = platform::Variant::CopyOfValue(value);
    const VARIANT& banner = held.get();
    if (banner.vt == VT_NULL) return;
    if (banner.vt == VT_BSTR) {
        ApplyBanner(owner_ ? owner_->BannerList().Find(platform::Bstr::Text(banner.bstrVal)) : nullptr);
        return;
    }
    if (banner.vt != VT_DISPATCH && banner.vt != VT_UNKNOWN) QuilletModule::Fail(L"Band.Banner");
    ComPtr<_Banner> object;
    if (IUnknown* given = platform::ObjectOf(banner);
        given && FAILED(given->QueryInterface(IID__Banner, reinterpret_cast<void**>(object.GetAddressOf()))))
        QuilletModule::Fail(L"Band.Banner");
    ApplyBanner(object.Get());
}

void Band::ApplyBanner(_Banner* banner) {
    if (!banner) {
        banner_.Reset();
        return;
    }
    if (!Banner::From(banner)) QuilletModule::Fail(L"Band.Banner");
    if (style_ == qlBandMenuBar) {
        banner_.Reset();
        QuilletModule::Fail(L"Band.Banner");
    }
    banner_ = banner;
}

// --- the menu ---------------------------------------------------------------

HMENU Band::Build(bool submenu, bool inheritedShown, bool count) {
    if (count) ++shown_;
    if (menu_) {
        EmptyItems();
    } else {
        menu_.reset(style_ == qlBandMenuBar ? ::CreateMenu() : ::CreatePopupMenu());
        if (!menu_) platform::RaiseWin32(::GetLastError(), L"Band.Build");
    }
    ApplyBackground();
    if (submenu) {
        inheritedShown_ = inheritedShown;
        return menu_.get();
    }
    FillItems();
    Banner* banner = BannerObject();
    if (banner && !banner->Rendered() && owner_) banner->Render(Height(), owner_->ImageListHandle(), Dpi(), owner_->Look().palette);
    return menu_.get();
}

void Band::FillItems() {
    origin_.reset();
    Measure();
    ItemPlaces places;
    for (const auto& tool : tools_->Snapshot()) {
        if (!tool->IsVisible()) continue;
        if (tool->BeginsGroup()) InsertSeparator(places);
        InsertTool(*tool.Get(), places);
    }
}

void Band::Measure() {
    std::vector<ToolDrawing::ToolLook> looks;
    tools_->ForEachVisible([&](Tool& tool, int) {
        looks.push_back(LookOf(tool));
        return true;
    });
    ToolDrawing::BandMetrics metrics = ToolDrawing::MeasureBand(looks, style_, Window());
    itemHeight_ = metrics.itemHeight;
    width_ = metrics.width;
    fonts_ = std::move(metrics.fonts);
}

// A group's separator goes at the end of what is in the menu so far.
void Band::InsertSeparator(ItemPlaces& places) {
    const UINT position = places.End();
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_DATA;
    item.fType = MFT_SEPARATOR | (ownerDraw_ ? MFT_OWNERDRAW : 0);
    item.dwItemData = NewItemData(std::wstring());
    if (!::InsertMenuItemW(menu_.get(), position, TRUE, &item)) platform::RaiseWin32(::GetLastError(), L"Band.Build");
    places.Inserted(0, position);
}

// Check marks, the default item and the disabled look.
UINT Band::ItemState(const Tool& tool) const noexcept {
    UINT state = tool.IsChecked() ? MFS_CHECKED : 0;
    if (tool.IsDefault()) state |= MFS_DEFAULT;
    // A disabled band still lets its submenus open.
    const bool opensSubmenu = !tool.SubBand().empty();
    if (!tool.IsEnabled() || (!opensSubmenu && !enabled_)) state |= DisabledState;
    return state;
}

void Band::InsertTool(const Tool& tool, ItemPlaces& places) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_DATA;
    item.fState = ItemState(tool);
    if (tool.IsChecked()) {
        item.fMask |= MIIM_CHECKMARKS;
        if (tool.InOptionGroup()) item.fType = MFT_RADIOCHECK;
    }
    if (Band* sub = SubBandOf(tool)) {
        item.fMask |= MIIM_SUBMENU;
        item.hSubMenu = sub->Build(true, style_ == qlBandPopup ? inheritedShown_ : true, style_ == qlBandMenuBar);
    }
    const UINT ownerDrawn = tool.OwnerDrawn() && ownerDraw_ ? MFT_OWNERDRAW : 0;
    switch (tool.Style()) {
        case qlToolStyleNormal:
            item.fType |= ownerDrawn;
            item.fMask |= MIIM_STATE;
            break;
        case qlToolStyleMenuBar: item.fType |= ownerDrawn; break;
        default: item.fType |= MFT_SEPARATOR | ownerDrawn; break;
    }
    std::wstring text = tool.Caption();
    if (!tool.Shortcut().empty() && tool.Style() != qlToolStyleMenuBar) text += L'\t' + tool.Shortcut();
    if (!(item.fType & MFT_SEPARATOR)) {
        item.fMask |= MIIM_STRING;
        item.dwTypeData = text.data();
        item.cch = static_cast<UINT>(text.size());
    }
    item.wID = static_cast<UINT>(tool.Id());
    item.dwItemData = NewItemData(tool.Caption());
    const UINT position = places.InsertionPoint(item.wID);
    if (!::InsertMenuItemW(menu_.get(), position, TRUE, &item)) platform::RaiseWin32(::GetLastError(), L"Band.Build");
    places.Inserted(item.wID, position);
}

void Band::EmptyItems() noexcept {
    if (menu_) EmptyMenu(menu_.get());
    itemData_.clear();
    itemDataKeys_.clear();
}

ULONG_PTR Band::NewItemData(const std::wstring& caption) {
    ItemData& data = itemData_.emplace_back();
    data.menu = menu_.get();
    data.name = AccessibleName(caption);
    data.accessible.dwMSAASignature = MSAA_MENU_SIG;
    data.accessible.cchWText = static_cast<DWORD>(data.name.size());
    data.accessible.pszWText = data.name.data();
    const auto key = reinterpret_cast<ULONG_PTR>(&data);
    itemDataKeys_.insert(key);
    return key;
}

// Outside the system's own colours the menu's margins take the theme's
// background too; in them the system paints them as it always has.
void Band::ApplyBackground() {
    const ToolDrawing::OwnerLook look = owner_ ? owner_->Look() : ToolDrawing::OwnerLook{};
    platform::UniqueGdiObject<HBRUSH> brush;
    if (look.palette.scheme != platform::Scheme::Light) brush.reset(::CreateSolidBrush(look.palette.menu));
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = brush.get();
    if (::SetMenuInfo(menu_.get(), &info)) background_ = std::move(brush);
}

HMENU Band::Open() {
    if (!Window()) return nullptr;
    HMENU menu = Fill();
    if (!menu) return nullptr;
    ++shown_;
    if (style_ == qlBandMenuBar) owner_->PutMenuBar(menu);
    return menu;
}

void Band::Close() {
    const LONG before = shown_;
    if (shown_ > 0) --shown_;
    if (before >= 2) {
        EmptyItems();
        return;
    }
    if (destroying_) return;
    destroying_ = true;
    Log.Skip(L"Destroy", [&] {
        for (const auto& tool : tools_->Snapshot()) {
            ComPtr<Band> sub(tool->IsVisible() ? SubBandOf(*tool.Get()) : nullptr);
            if (sub) Log.Skip(L"Destroy", [&] { sub->Close(); });
        }
    });
    destroying_ = false;
    ReleaseMenu();
}

void Band::ReleaseMenu() noexcept {
    inheritedShown_ = false;
    heightCache_ = 0;
    origin_.reset();
    if (menu_) {
        // The window must not keep a menu that is gone.
        const HWND window = Window();
        if (window && ::GetMenu(window) == menu_.get()) ::SetMenu(window, nullptr);
        EmptyItems();
        menu_.reset();
    }
    background_.reset();
    if (Banner* banner = BannerObject()) banner->ReleaseImage();
}

LONG Band::ShowPopup(LONG x, LONG y) {
    const HWND window = Window();
    if (!window) QuilletModule::Fail(L"Band.PopupMenu");
    const ComPtr<Band> alive(this);
    POINT at{x, y};
    if (x == AtCursor && y == AtCursor) ::GetCursorPos(&at);
    left_ = x;
    top_ = y;
    // Whatever happens once the menu is up, the band gives its menu back and
    // the window hears that the menu loop ended.
    struct Ending {
        Band& band;
        HWND window;
        bool inMenuLoop = false;
        ~Ending() { band.EndPopup(inMenuLoop ? window : nullptr); }
    } ending{*this, window};
    HMENU menu = Fill();
    if (!menu) return 0;
    ++shown_;
    ending.inMenuLoop = true;
    ::SendMessageW(window, WM_ENTERMENULOOP, TRUE, 0);
    const LONG command = ::TrackPopupMenuEx(menu, PopupFlags, at.x, at.y, window, nullptr);
    if (command != 0 && owner_) {
        const ComPtr<Tool> chosen(tools_->FindDeep(command));
        if (chosen) owner_->RaiseClick(chosen.Get());
    }
    return command;
}

void Band::EndPopup(HWND menuLoopWindow) noexcept {
    if (menuLoopWindow) {
        Log.Skip(L"PopupMenu", [&] { Close(); });
        ::SendMessageW(menuLoopWindow, WM_EXITMENULOOP, TRUE, 0);
    }
    left_ = 0;
    top_ = 0;
}

LRESULT Band::AcceleratorAnswer(wchar_t typed) const {
    const wchar_t key = QuilletModule::UpperCase(typed);
    if (key == L'\0') return 0;
    LRESULT answer = 0;
    tools_->ForEachVisible([&](Tool& tool, int position) {
        if (tool.AcceleratorKey() != key) return true;
        const WORD code = tool.IsEnabled() && enabled_ ? MNC_EXECUTE : MNC_SELECT;
        answer = MAKELRESULT(position, code);
        return false;
    });
    return answer;
}

// --- drawing ----------------------------------------------------------------

ToolDrawing::BandLook Band::Look() const {
    ToolDrawing::BandLook look;
    look.style = style_;
    look.itemHeight = itemHeight_;
    look.width = width_;
    look.banner = BannerObject();
    look.picture = PictureBitmap();
    look.font = fonts_.normal.get();
    look.boldFont = fonts_.bold.get();
    return look;
}

ToolDrawing::ToolLook Band::LookOf(const Tool& tool) const {
    ToolDrawing::ToolLook look = tool.Look();
    look.customDraw = look.customDraw || allowCustomDraw_;
    look.opensSubmenu = style_ == qlBandPopup && SubBandOf(tool) != nullptr;
    return look;
}

int Band::ItemTop(const Tool& tool, int topInMenu) {
    // Separators all share identifier 0, so only a tool tells where the band starts.
    if (!origin_ && &tool != tools_->Separator())
        if (const std::optional<int> offset = OffsetOf(tool)) origin_ = topInMenu - *offset;
    return topInMenu - origin_.value_or(0);
}

std::optional<int> Band::OffsetOf(const Tool& wanted) const {
    const UINT dpi = Dpi();
    std::optional<int> found;
    int offset = 0;
    tools_->ForEachVisible([&](Tool& tool, int) {
        if (tool.BeginsGroup()) offset += ToolDrawing::SeparatorHeight(false, dpi);
        if (&tool == &wanted) {
            found = offset;
            return false;
        }
        offset += ToolDrawing::ItemHeight(LookOf(tool), itemHeight_, dpi);
        return true;
    });
    return found;
}

int Band::Height() {
    if (heightCache_ != 0) return heightCache_;
    const UINT dpi = Dpi();
    int height = 0;
    tools_->ForEachVisible([&](Tool& tool, int) {
        if (tool.BeginsGroup()) height += ToolDrawing::SeparatorHeight(false, dpi);
        height += ToolDrawing::ItemHeight(LookOf(tool), itemHeight_, dpi);
        return true;
    });
    heightCache_ = height;
    return heightCache_;
}

// --- _Band ------------------------------------------------------------------

HRESULT Band::get_AllowCustomDraw(VARIANT_BOOL* value) {
    return Log.Member(L"Get_AllowCustomDraw", [&] { *CheckOut(value) = ToVariantBool(allowCustomDraw_); });
}
HRESULT Band::put_AllowCustomDraw(VARIANT_BOOL value) {
    return Log.Member(L"Let_AllowCustomDraw", [&] { allowCustomDraw_ = value != VARIANT_FALSE; });
}
HRESULT Band::get_Banner(_Banner** value) {
    return Log.Member(L"Get_Banner", [&] { *CheckOut(value) = ComPtr<_Banner>(banner_).Detach(); });
}
HRESULT Band::putref_Banner(_Banner* value) {
    return Log.Member(L"Set_Banner", [&] { ApplyBanner(value); });
}
HRESULT Band::get_Enabled(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Enabled", [&] { *CheckOut(value) = ToVariantBool(enabled_); });
}
HRESULT Band::put_Enabled(VARIANT_BOOL value) {
    return Log.Member(L"Let_Enabled", [&] { enabled_ = value != VARIANT_FALSE; });
}
HRESULT Band::get_Height(LONG* value) {
    return Log.Member(L"Get_Height", [&] { *CheckOut(value) = Height(); });
}
HRESULT Band::get_Left(LONG* value) {
    return Log.Member(L"Get_Left", [&] { *CheckOut(value) = left_; });
}
HRESULT Band::get_Name(BSTR* value) {
    return Log.Member(L"Get_Name", [&] { *CheckOut(value) = platform::Bstr(name_).Detach(); });
}
HRESULT Band::get_Parent(_Quillet** value) {
    return Log.Member(L"Get_Parent", [&] { *CheckOut(value) = ComPtr<_Quillet>(owner_).Detach(); });
}
HRESULT Band::get_OwnerDraw(VARIANT_BOOL* value) {
    return Log.Member(L"Get_OwnerDraw", [&] { *CheckOut(value) = ToVariantBool(ownerDraw_); });
}
HRESULT Band::put_OwnerDraw(VARIANT_BOOL value) {
    return Log.Member(L"Let_OwnerDraw", [&] { ownerDraw_ = value != VARIANT_FALSE; });
}
HRESULT Band::get_Picture(IPictureDisp** value) {
    return Log.Member(L"Get_Picture", [&] { *CheckOut(value) = ComPtr<IPictureDisp>(picture_).Detach(); });
}
HRESULT Band::putref_Picture(IPictureDisp* value) {
    return Log.Member(L"Set_Picture", [&] {
        ComPtr<IPicture> picture;
        SHORT type = PICTYPE_UNINITIALIZED;
        if (value && (FAILED(value->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.GetAddressOf()))) ||
                      FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP))
            QuilletModule::Fail(L"Band.Picture");
        picture_ = value;
    });
}
HRESULT Band::get_Style(QLBandStyle* value) {
    return Log.Member(L"Get_Style", [&] { *CheckOut(value) = style_; });
}
HRESULT Band::put_Style(QLBandStyle value) {
    return Log.Member(L"Let_Style", [&] { ApplyStyle(value); });
}
HRESULT Band::get_Tag(VARIANT* value) {
    return Log.Member(L"Get_Tag", [&] { tag_.CopyTo(CheckOut(value)); });
}
HRESULT Band::put_Tag(VARIANT value) {
    return Log.Member(L"Let_Tag", [&] { tag_ = platform::Variant::CopyOfValue(value); });
}
HRESULT Band::putref_Tag(VARIANT value) {
    return Log.Member(L"Set_Tag", [&] { tag_ = platform::Variant::CopyOfValue(value); });
}
HRESULT Band::get_Tools(_Tools** value) {
    return Log.Member(L"Get_Tools", [&] { *CheckOut(value) = ComPtr<_Tools>(tools_.Get()).Detach(); });
}
HRESULT Band::get_Top(LONG* value) {
    return Log.Member(L"Get_Top", [&] { *CheckOut(value) = top_; });
}
HRESULT Band::get_Visible(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Visible", [&] { *CheckOut(value) = ToVariantBool(IsVisible()); });
}
HRESULT Band::get_Width(LONG* value) {
    return Log.Member(L"Get_Width", [&] { *CheckOut(value) = width_; });
}
HRESULT Band::Create(LONG_PTR* menu) {
    return Log.Member(L"Create", [&] { *CheckOut(menu) = reinterpret_cast<LONG_PTR>(Open()); });
}
HRESULT Band::Destroy() {
    return Log.Member(L"Destroy", platform::OnFailure::LogWhileTrapping, [&] { Close(); });
}
HRESULT Band::PopupMenu(LONG x, LONG y, LONG* command) {
    return Log.Member(L"PopupMenu", [&] {
        LONG* out = CheckOut(command);
        *out = 0;
        *out = ShowPopup(x, y);
    });
}
