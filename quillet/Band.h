#pragma once
// One menu: a menu bar or a pop-up menu built from the band's tools. Every
// item is owner-drawn and carries a record of the band's as item data (its
// name for screen readers, then the band's menu handle), so the window
// procedure can find the band and the tool behind any item again.
#include <windows.h>
#include <olectl.h>
#include <oleacc.h>

#include <deque>
#include <optional>
#include <string>
#include <unordered_set>

#include "ComObject.h"
#include "Handles.h"
#include "QuilletInterfaces.h"
#include "ToolDrawing.h"
#include "Tools.h"
#include "Variant.h"

class Banner;
class Quillet;

class Band final : public platform::com::ComBase<Band, platform::com::Dispatch<_Band>, platform::com::SupportErrorInfo> {
public:
    // The values of Bands.Add.
    struct Settings {
        std::wstring name;
        QLBandStyle style = qlBandPopup;
        bool ownerDraw = true;
        bool allowCustomDraw = false;
        bool enabled = true;
    };

    // Made through Make, which hands out the first reference.
    Band(Quillet* owner, const Settings& settings);

    // `banner` is the optional banner of Bands.Add: a banner object, a
    // banner's name, or left out. The style is applied last.
    static platform::ComPtr<Band> Make(Quillet* owner, const Settings& settings, const VARIANT& banner);

    void* Cast(REFIID iid) noexcept;

    // The band leaves its collection: its menu, banner image, picture and
    // tools are released, and it no longer reports to its owner.
    void Orphan() noexcept;

    Quillet* Owner() const noexcept { return owner_; }
    const std::wstring& Name() const noexcept { return name_; }
    QLBandStyle Style() const noexcept { return style_; }
    bool IsEnabled() const noexcept { return enabled_; }
    bool IsVisible() const noexcept { return shown_ >= 1 || inheritedShown_; }
    HMENU Menu() const noexcept { return menu_.get(); }

    // What each item of the band's menu carries as its item data. A screen
    // reader finds an owner-drawn item's name in the MSAAMENUINFO that must
    // come first; the menu handle after it leads measuring and drawing back
    // to the band.
    struct ItemData {
        MSAAMENUINFO accessible{};
        HMENU menu = nullptr;
        std::wstring name;  // what `accessible` points to
    };
    // Whether an item's data is one of this band's current items'.
    bool HoldsItem(ULONG_PTR data) const noexcept { return itemDataKeys_.count(data) != 0; }
    Tools& ToolList() const noexcept { return *tools_.Get(); }

    // The band a tool opens as its submenu; nullptr when it names none (or this band).
    Band* SubBandOf(const Tool& tool) const;
    // The style Tools.Add gives a new tool of this band.
    QLToolStyle ToolStyleFor(QLToolStyle asked) const;

    // Prepares the menu (submenu: created or emptied, filled when it opens)
    // or fills it; answers the handle.
    HMENU Build(bool submenu, bool inheritedShown, bool count);
    HMENU Fill() { return Build(false, false, false); }
    // Band.Create: builds the menu and counts one use of it (a menu bar
    // becomes the window's menu). Band.Destroy: gives one use back; the last
    // one destroys the menu and the submenus' uses with it.
    HMENU Open();
    void Close();
    // Band.PopupMenu: the chosen command, 0 when the menu was dismissed.
    LONG ShowPopup(LONG x, LONG y);
    // WM_MENUCHAR: the answer for a typed character, 0 when no tool has it.
    LRESULT AcceleratorAnswer(wchar_t typed) const;

    // What drawing needs of this band and of one of its tools.
    ToolDrawing::BandLook Look() const;
    ToolDrawing::ToolLook LookOf(const Tool& tool) const;
    // The item's top measured from the band's first item, from its top in the
    // menu window (items do not start at 0 there).
    int ItemTop(const Tool& tool, int topInMenu);

    // _Band
    HRESULT STDMETHODCALLTYPE get_AllowCustomDraw(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_AllowCustomDraw(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Banner(_Banner** value) override;
    HRESULT STDMETHODCALLTYPE putref_Banner(_Banner* value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Height(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Left(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Parent(_Quillet** value) override;
    HRESULT STDMETHODCALLTYPE get_OwnerDraw(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_OwnerDraw(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Picture(IPictureDisp** value) override;
    HRESULT STDMETHODCALLTYPE putref_Picture(IPictureDisp* value) override;
    HRESULT STDMETHODCALLTYPE get_Style(QLBandStyle* value) override;
    HRESULT STDMETHODCALLTYPE put_Style(QLBandStyle value) override;
    HRESULT STDMETHODCALLTYPE get_Tag(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_Tools(_Tools** value) override;
    HRESULT STDMETHODCALLTYPE get_Top(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override;
    HRESULT STDMETHODCALLTYPE Create(LONG_PTR* menu) override;
    HRESULT STDMETHODCALLTYPE Destroy() override;
    HRESULT STDMETHODCALLTYPE PopupMenu(LONG x, LONG y, LONG* command) override;

private:
    friend platform::com::ComBase<Band, platform::com::Dispatch<_Band>, platform::com::SupportErrorInfo>;
    ~Band() override;

    HWND Window() const noexcept;
    UINT Dpi() const noexcept;
    Banner* BannerObject() const noexcept;
    HBITMAP PictureBitmap() const;
    void ApplyStyle(QLBandStyle style);
    void SetBanner(const VARIANT& banner);
    void ApplyBanner(_Banner* banner);

    void FillItems();
    void Measure();
    class ItemPlaces;
    void InsertSeparator(ItemPlaces& places);
    UINT ItemState(const Tool& tool) const noexcept;
    void InsertTool(const Tool& tool, ItemPlaces& places);
    int Height();
    std::optional<int> OffsetOf(const Tool& tool) const;
    void ReleaseMenu() noexcept;
    // Takes every item out of the menu and forgets their data.
    void EmptyItems() noexcept;
    ULONG_PTR NewItemData(const std::wstring& caption);
    void ApplyBackground();
    void EndPopup(HWND menuLoopWindow) noexcept;

    Quillet* owner_;  // not counted; cleared when the band leaves its collection
    std::wstring name_;
    QLBandStyle style_ = qlBandPopup;
    bool enabled_;
    bool ownerDraw_;
    bool allowCustomDraw_;
    platform::ComPtr<_Banner> banner_;
    platform::ComPtr<IPictureDisp> picture_;
    platform::Variant tag_;
    platform::ComPtr<Tools> tools_;

    platform::UniqueHMenu menu_;
    // The items' data, in stable places for as long as their items are in the menu.
    std::deque<ItemData> itemData_;
    std::unordered_set<ULONG_PTR> itemDataKeys_;
    platform::UniqueGdiObject<HBRUSH> background_;  // the menu's own, when the theme is not the system's
    LONG shown_ = 0;               // uses of the menu: Create, PopupMenu, a shown menu bar's submenu
    bool inheritedShown_ = false;  // prepared as a submenu of a shown menu
    bool destroying_ = false;      // bands that name each other as submenus are released once
    LONG left_ = 0;
    LONG top_ = 0;
    int itemHeight_ = 0;
    int width_ = 0;
    FontsModule::MenuFonts fonts_;  // those of the last measure, for every item drawn after it
    int heightCache_ = 0;
    std::optional<int> origin_;  // the first item's top in the open menu window, once seen
};
