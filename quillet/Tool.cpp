#include "Tool.h"

#include <optional>
#include <string_view>

#include "Band.h"
#include "ComError.h"
#include "Guard.h"
#include "QuilletModule.h"
#include "Tools.h"

using platform::Bstr;
using platform::CheckOut;
using platform::ToVariantBool;

namespace {

constexpr platform::LogSource Log{L"Tool"};

constexpr wchar_t AcceleratorMark = L'&';
constexpr wchar_t ShortcutSeparator = L'+';
constexpr wchar_t Blanks[] = L" \t";

// The key the shortcut table calls "BREAK".
constexpr WORD BreakKey = 12;
constexpr wchar_t FunctionKeyPrefix = L'F';
constexpr int LastFunctionKey = 24;
constexpr int DecimalBase = 10;

struct NamedKey {
    std::wstring_view name;
    WORD key;
    WORD shift;
};

constexpr NamedKey NamedKeys[] = {
    {L"CTRL", 0, Tool::CtrlBit},       {L"ALT", 0, Tool::AltBit},          {L"SHIFT", 0, Tool::ShiftBit},
    {L"HOME", VK_HOME, 0},             {L"END", VK_END, 0},                {L"LEFT ARROW", VK_LEFT, 0},
    {L"RIGHT ARROW", VK_RIGHT, 0},     {L"UP ARROW", VK_UP, 0},            {L"DOWN ARROW", VK_DOWN, 0},
    {L"BREAK", BreakKey, 0},           {L"PAGE UP", VK_PRIOR, 0},          {L"PAGE DOWN", VK_NEXT, 0},
    {L"DEL", VK_DELETE, 0},            {L"ESC", VK_ESCAPE, 0},             {L"TAB", VK_TAB, 0},
    {L"ENTER", VK_RETURN, 0},
};

struct ShortcutKeys {
    WORD key = 0;
    WORD shift = 0;
};

// "F1" to "F24"; other numbers name no key.
std::optional<WORD> FunctionKey(std::wstring_view part) {
    if (part.size() < 2 || part[0] != FunctionKeyPrefix) return std::nullopt;
    int number = 0;
    for (wchar_t digit : part.substr(1)) {
        if (digit < L'0' || digit > L'9' || number > LastFunctionKey) return std::nullopt;
        number = number * DecimalBase + (digit - L'0');
    }
    if (number < 1 || number > LastFunctionKey) return std::nullopt;
    return static_cast<WORD>(VK_F1 - 1 + number);
}

void ApplyShortcutPart(std::wstring_view part, ShortcutKeys& keys) {
    if (part.size() == 1) {
        keys.key = QuilletModule::UpperCase(part[0]);
        return;
    }
    const std::wstring upper = QuilletModule::UpperCase(part);
    for (const NamedKey& named : NamedKeys) {
        if (upper != named.name) continue;
        if (named.key) keys.key = named.key;
        keys.shift |= named.shift;
        return;
    }
    if (auto function = FunctionKey(upper)) keys.key = *function;
}

ShortcutKeys ParseShortcut(std::wstring_view text) {
    ShortcutKeys keys;
    size_t start = 0;
    for (;;) {
        const size_t separator = text.find(ShortcutSeparator, start);
        ApplyShortcutPart(text.substr(start, separator == std::wstring_view::npos ? separator : separator - start), keys);
        if (separator == std::wstring_view::npos) return keys;
        start = separator + 1;
    }
}

// The letter after the first single "&"; "&&" is a literal ampersand.
std::wstring AcceleratorOf(std::wstring_view caption) {
    size_t at = caption.find(AcceleratorMark);
    while (at != std::wstring_view::npos && at + 1 < caption.size()) {
        if (caption[at + 1] != AcceleratorMark) return std::wstring(1, QuilletModule::UpperCase(caption[at + 1]));
        at = caption.find(AcceleratorMark, at + 2);
    }
    return {};
}

std::wstring Trimmed(std::wstring_view text) {
    const size_t first = text.find_first_not_of(Blanks);
    if (first == std::wstring_view::npos) return {};
    return std::wstring(text.substr(first, text.find_last_not_of(Blanks) - first + 1));
}

}  // namespace

platform::ComPtr<Tool> Tool::Make(Band* parent, const Settings& settings) {
    auto tool = platform::com::MakeObject<Tool>(parent);
    tool->style_ = settings.style;
    tool->id_ = settings.id;
    tool->name_ = settings.name;
    tool->ApplyCaption(settings.caption);
    tool->ApplyShortcut(settings.shortcut);
    tool->beginGroup_ = settings.beginGroup;
    tool->ApplyDefault(settings.isDefault);
    tool->ApplyChecked(settings.checked);
    tool->ApplyOptionGroup(settings.optionGroup);
    tool->ApplySubBand(settings.subBand);
    tool->ownerDraw_ = settings.ownerDraw;
    tool->allowCustomDraw_ = settings.allowCustomDraw;
    tool->ApplyEnabled(settings.enabled);
    tool->ApplyIcon(settings.icon);
    tool->visible_ = settings.visible;
    tool->ApplyStyle(settings.style);
    return tool;
}

platform::ComPtr<Tool> Tool::MakeSeparator(Band* parent, QLToolStyle style) {
    Settings settings;
    settings.name = Tools::SeparatorName;
    settings.style = style;
    settings.enabled = false;
    settings.visible = false;
    return Make(parent, settings);
}

void* Tool::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Tool) return static_cast<_Tool*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

ToolDrawing::ToolLook Tool::Look() const {
    ToolDrawing::ToolLook look;
    look.style = style_;
    look.caption = caption_;
    look.shortcut = shortcut_;
    look.icon = icon_;
    look.checked = checked_;
    look.inOptionGroup = InOptionGroup();
    look.isDefault = default_;
    look.enabled = enabled_;
    look.customDraw = allowCustomDraw_;
    return look;
}

// --- constraints ------------------------------------------------------------

void Tool::ApplyCaption(std::wstring caption) {
    if (caption == caption_) return;
    accelerator_ = AcceleratorOf(caption);
    caption_ = std::move(caption);
}

void Tool::ApplyShortcut(std::wstring_view text) {
    shortcut_ = IsNormal() && !HasSubBand() ? Trimmed(text) : std::wstring();
    const ShortcutKeys keys = ParseShortcut(shortcut_);
    shortcutKey_ = keys.key;
    shortcutShift_ = keys.shift;
}

void Tool::ApplyChecked(bool checked) noexcept { checked_ = checked && IsNormal() && !HasSubBand(); }

void Tool::ApplyDefault(bool isDefault) noexcept { default_ = isDefault && IsNormal(); }

void Tool::ApplyOptionGroup(std::wstring group) {
    optionGroup_ = IsNormal() && !HasSubBand() ? std::move(group) : std::wstring();
}

void Tool::ApplySubBand(std::wstring band) {
    subBand_ = IsNormal() || style_ == qlToolStyleMenuBar ? std::move(band) : std::wstring();
    // A submenu must open whatever the tool's own state says.
    if (HasSubBand()) enabled_ = true;
}

void Tool::ApplyEnabled(bool enabled) noexcept {
    switch (style_) {
        case qlToolStyleNormal: enabled_ = enabled || HasSubBand(); break;
        case qlToolStyleMenuBar: enabled_ = true; break;
        default: enabled_ = false; break;
    }
}

void Tool::ApplyIcon(LONG icon) noexcept {
    icon_ = IsNormal() || style_ == qlToolStyleMenuBar ? icon : NoIcon;
}

void Tool::ApplyStyle(QLToolStyle style) {
    if (style < qlToolStyleNormal || style > qlToolStyleMenuBarSeparator) QuilletModule::Fail(L"Tool.Let_Style");
    style_ = style;
    ApplyChecked(checked_);
    ApplyDefault(default_);
    ApplyEnabled(enabled_);
    ApplyIcon(icon_);
    ApplyOptionGroup(optionGroup_);
    ApplyShortcut(std::wstring(shortcut_));
    ApplySubBand(subBand_);
}

// --- _Tool ------------------------------------------------------------------

HRESULT Tool::get_ID(LONG* value) {
    return Log.Member(L"Get_ID", [&] { *CheckOut(value) = id_; });
}
// The band's lookup by identifier follows the tool's identifier and visibility.
void Tool::ListingChanged() noexcept {
    if (parent_) parent_->ToolList().ToolsChanged();
}

HRESULT Tool::put_ID(LONG value) {
    return Log.Member(L"Let_ID", [&] {
        id_ = value;
        ListingChanged();
    });
}
HRESULT Tool::get_Name(BSTR* value) {
    return Log.Member(L"Get_Name", [&] { *CheckOut(value) = Bstr(name_).Detach(); });
}
HRESULT Tool::get_Caption(BSTR* value) {
    return Log.Member(L"Get_Caption", [&] { *CheckOut(value) = Bstr(caption_).Detach(); });
}
HRESULT Tool::put_Caption(BSTR value) {
    return Log.Member(L"Let_Caption", [&] { ApplyCaption(Bstr::Text(value)); });
}
HRESULT Tool::get_Accelerator(BSTR* value) {
    return Log.Member(L"Get_Accelerator", [&] { *CheckOut(value) = Bstr(accelerator_).Detach(); });
}
HRESULT Tool::get_Icon(LONG* value) {
    return Log.Member(L"Get_Icon", [&] { *CheckOut(value) = icon_; });
}
HRESULT Tool::put_Icon(LONG value) {
    return Log.Member(L"Let_Icon", [&] { ApplyIcon(value); });
}
HRESULT Tool::get_Style(QLToolStyle* value) {
    return Log.Member(L"Get_Style", [&] { *CheckOut(value) = style_; });
}
HRESULT Tool::put_Style(QLToolStyle value) {
    return Log.Member(L"Let_Style", [&] { ApplyStyle(value); });
}
HRESULT Tool::get_Shortcut(BSTR* value) {
    return Log.Member(L"Get_Shortcut", [&] { *CheckOut(value) = Bstr(shortcut_).Detach(); });
}
HRESULT Tool::put_Shortcut(BSTR value) {
    return Log.Member(L"Let_Shortcut", [&] { ApplyShortcut(Bstr::Text(value)); });
}
HRESULT Tool::get_BeginGroup(VARIANT_BOOL* value) {
    return Log.Member(L"Get_BeginGroup", [&] { *CheckOut(value) = ToVariantBool(beginGroup_); });
}
HRESULT Tool::put_BeginGroup(VARIANT_BOOL value) {
    return Log.Member(L"Let_BeginGroup", [&] { beginGroup_ = value != VARIANT_FALSE; });
}
HRESULT Tool::get_Checked(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Checked", [&] { *CheckOut(value) = ToVariantBool(checked_); });
}
HRESULT Tool::put_Checked(VARIANT_BOOL value) {
    return Log.Member(L"Let_Checked", [&] { ApplyChecked(value != VARIANT_FALSE); });
}
HRESULT Tool::get_Default(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Default", [&] { *CheckOut(value) = ToVariantBool(default_); });
}
HRESULT Tool::put_Default(VARIANT_BOOL value) {
    return Log.Member(L"Let_Default", [&] { ApplyDefault(value != VARIANT_FALSE); });
}
HRESULT Tool::get_OptionGroup(BSTR* value) {
    return Log.Member(L"Get_OptionGroup", [&] { *CheckOut(value) = Bstr(optionGroup_).Detach(); });
}
HRESULT Tool::put_OptionGroup(BSTR value) {
    return Log.Member(L"Let_OptionGroup", [&] { ApplyOptionGroup(Bstr::Text(value)); });
}
HRESULT Tool::get_SubBand(BSTR* value) {
    return Log.Member(L"Get_SubBand", [&] { *CheckOut(value) = Bstr(subBand_).Detach(); });
}
HRESULT Tool::put_SubBand(BSTR value) {
    return Log.Member(L"Let_SubBand", [&] { ApplySubBand(Bstr::Text(value)); });
}
HRESULT Tool::get_OwnerDraw(VARIANT_BOOL* value) {
    return Log.Member(L"Get_OwnerDraw", [&] { *CheckOut(value) = ToVariantBool(ownerDraw_); });
}
HRESULT Tool::put_OwnerDraw(VARIANT_BOOL value) {
    return Log.Member(L"Let_OwnerDraw", [&] { ownerDraw_ = value != VARIANT_FALSE; });
}
HRESULT Tool::get_AllowCustomDraw(VARIANT_BOOL* value) {
    return Log.Member(L"Get_AllowCustomDraw", [&] { *CheckOut(value) = ToVariantBool(allowCustomDraw_); });
}
HRESULT Tool::put_AllowCustomDraw(VARIANT_BOOL value) {
    return Log.Member(L"Let_AllowCustomDraw", [&] { allowCustomDraw_ = value != VARIANT_FALSE; });
}
HRESULT Tool::get_Enabled(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Enabled", [&] { *CheckOut(value) = ToVariantBool(enabled_); });
}
HRESULT Tool::put_Enabled(VARIANT_BOOL value) {
    return Log.Member(L"Let_Enabled", [&] { ApplyEnabled(value != VARIANT_FALSE); });
}
HRESULT Tool::get_Visible(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Visible", [&] { *CheckOut(value) = ToVariantBool(visible_); });
}
HRESULT Tool::put_Visible(VARIANT_BOOL value) {
    return Log.Member(L"Let_Visible", [&] {
        visible_ = value != VARIANT_FALSE;
        ListingChanged();
    });
}
HRESULT Tool::get_Tag(VARIANT* value) {
    return Log.Member(L"Get_Tag", [&] { tag_.CopyTo(CheckOut(value)); });
}
HRESULT Tool::put_Tag(VARIANT value) {
    return Log.Member(L"Let_Tag", [&] { tag_ = platform::Variant::CopyOfValue(value); });
}
HRESULT Tool::putref_Tag(VARIANT value) {
    return Log.Member(L"Set_Tag", [&] { tag_ = platform::Variant::CopyOfValue(value); });
}
HRESULT Tool::get_Parent(_Band** value) {
    return Log.Member(L"Get_Parent", [&] {
        _Band** out = CheckOut(value);
        *out = parent_;
        if (parent_) parent_->AddRef();
    });
}
HRESULT Tool::get_Index(LONG* value) {
    return Log.Member(L"Get_Index", [&] { *CheckOut(value) = parent_ ? parent_->ToolList().IndexOfId(id_) : 0; });
}
HRESULT Tool::get_Left(LONG* value) {
    return Log.Member(L"Get_Left", [&] { *CheckOut(value) = itemRect_.left; });
}
HRESULT Tool::get_Top(LONG* value) {
    return Log.Member(L"Get_Top", [&] { *CheckOut(value) = itemRect_.top; });
}
HRESULT Tool::get_Width(LONG* value) {
    return Log.Member(L"Get_Width", [&] { *CheckOut(value) = itemRect_.right - itemRect_.left; });
}
HRESULT Tool::get_Height(LONG* value) {
    return Log.Member(L"Get_Height", [&] { *CheckOut(value) = itemRect_.bottom - itemRect_.top; });
}
