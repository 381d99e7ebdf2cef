#pragma once
// One item of a band. Its setters keep the combinations a menu item can
// show: only a normal tool without a submenu is checked, carries a shortcut
// or belongs to an option group; a tool with a submenu is always enabled.
#include <windows.h>

#include <string>

#include "ComObject.h"
#include "QuilletInterfaces.h"
#include "ToolDrawing.h"
#include "Variant.h"

class Band;

class Tool final : public platform::com::ComBase<Tool, platform::com::Dispatch<_Tool>, platform::com::SupportErrorInfo> {
public:
    // The values of Tools.Add.
    struct Settings {
        LONG id = 0;
        std::wstring name{};
        std::wstring caption{};
        LONG icon = -1;
        QLToolStyle style = qlToolStyleNormal;
        std::wstring shortcut{};
        bool beginGroup = false;
        bool checked = false;
        bool isDefault = false;
        std::wstring optionGroup{};
        std::wstring subBand{};
        bool ownerDraw = true;
        bool allowCustomDraw = false;
        bool enabled = true;
        bool visible = true;
    };

    static constexpr LONG NoIcon = -1;
    // Shift bits of a shortcut, as OnKeyDown receives them.
    static constexpr WORD ShiftBit = 1;
    static constexpr WORD CtrlBit = 2;
    static constexpr WORD AltBit = 4;

    // Made through Make, which hands out the first reference.
    explicit Tool(Band* parent) noexcept : parent_(parent) {}

    // A tool set up field by field in the order of Tools.Add, the style
    // applied last so that every constraint holds.
    static platform::ComPtr<Tool> Make(Band* parent, const Settings& settings);
    // The hidden tool that draws a band's separator items.
    static platform::ComPtr<Tool> MakeSeparator(Band* parent, QLToolStyle style);

    void* Cast(REFIID iid) noexcept;

    // The band went away: the tool no longer reports to it.
    void Orphan() noexcept { parent_ = nullptr; }
    Band* ParentBand() const noexcept { return parent_; }

    LONG Id() const noexcept { return id_; }
    const std::wstring& Name() const noexcept { return name_; }
    const std::wstring& Caption() const noexcept { return caption_; }
    const std::wstring& Shortcut() const noexcept { return shortcut_; }
    const std::wstring& SubBand() const noexcept { return subBand_; }
    QLToolStyle Style() const noexcept { return style_; }
    bool IsVisible() const noexcept { return visible_; }
    bool IsEnabled() const noexcept { return enabled_; }
    bool IsChecked() const noexcept { return checked_; }
    bool IsDefault() const noexcept { return default_; }
    bool InOptionGroup() const noexcept { return !optionGroup_.empty(); }
    bool BeginsGroup() const noexcept { return beginGroup_; }
    bool OwnerDrawn() const noexcept { return ownerDraw_; }
    // The upper-cased accelerator letter; 0 when the caption has none.
    wchar_t AcceleratorKey() const noexcept { return accelerator_.empty() ? L'\0' : accelerator_[0]; }
    WORD ShortcutKey() const noexcept { return shortcutKey_; }
    WORD ShortcutShift() const noexcept { return shortcutShift_; }

    // What drawing needs; the band adds its own AllowCustomDraw.
    ToolDrawing::ToolLook Look() const;
    void SetStyle(QLToolStyle style) { ApplyStyle(style); }
    void SetItemRect(const RECT& rect) noexcept { itemRect_ = rect; }

    // _Tool
    HRESULT STDMETHODCALLTYPE get_ID(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_ID(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Accelerator(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Icon(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_Icon(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Style(QLToolStyle* value) override;
    HRESULT STDMETHODCALLTYPE put_Style(QLToolStyle value) override;
    HRESULT STDMETHODCALLTYPE get_Shortcut(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Shortcut(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_BeginGroup(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_BeginGroup(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Checked(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Default(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Default(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_OptionGroup(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_OptionGroup(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_SubBand(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_SubBand(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_OwnerDraw(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_OwnerDraw(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_AllowCustomDraw(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_AllowCustomDraw(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_Tag(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_Parent(_Band** value) override;
    HRESULT STDMETHODCALLTYPE get_Index(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Left(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Top(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Height(LONG* value) override;

private:
    friend platform::com::ComBase<Tool, platform::com::Dispatch<_Tool>, platform::com::SupportErrorInfo>;
    ~Tool() override = default;

    bool IsNormal() const noexcept { return style_ == qlToolStyleNormal; }
    void ListingChanged() noexcept;
    bool HasSubBand() const noexcept { return !subBand_.empty(); }
    // Each keeps what the tool's style allows of the value.
    void ApplyCaption(std::wstring caption);
    void ApplyShortcut(std::wstring_view text);
    void ApplyChecked(bool checked) noexcept;
    void ApplyDefault(bool isDefault) noexcept;
    void ApplyOptionGroup(std::wstring group);
    void ApplySubBand(std::wstring band);
    void ApplyEnabled(bool enabled) noexcept;
    void ApplyIcon(LONG icon) noexcept;
    void ApplyStyle(QLToolStyle style);

    Band* parent_;  // not counted; cleared when the tool leaves its band
    LONG id_ = 0;
    std::wstring name_;
    std::wstring caption_;
    std::wstring accelerator_;
    LONG icon_ = NoIcon;
    QLToolStyle style_ = qlToolStyleNormal;
    std::wstring shortcut_;
    WORD shortcutKey_ = 0;
    WORD shortcutShift_ = 0;
    bool beginGroup_ = false;
    bool checked_ = false;
    bool default_ = false;
    std::wstring optionGroup_;
    std::wstring subBand_;
    bool ownerDraw_ = true;
    bool allowCustomDraw_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    platform::Variant tag_;
    RECT itemRect_{};
};
