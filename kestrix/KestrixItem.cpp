#include "KestrixItem.h"

#include <olectl.h>

#include "ComError.h"
#include "Guard.h"
#include "Kestrix.h"



namespace {

// Members hand their failures to the caller; talking to the shell is a step
// whose failure is logged and skipped (the flags follow the request).
constexpr platform::LogSource Log{L"KestrixItem"};

// The tip field of the shell's first record version, terminator included.
constexpr size_t TipCapacity = 64;

// Icon handles are 32-bit values on every Windows; a picture hands them out
// as such and they are sign-extended back to a handle.
HICON HandleFromNumber(int64_t number) noexcept {
    return reinterpret_cast<HICON>(static_cast<LONG_PTR>(static_cast<int32_t>(number)));
}

bool IsNumber(VARTYPE type) noexcept {
    switch (type & ~VT_BYREF) {
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
        case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
        case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

}  // namespace

platform::ComPtr<KestrixItem> KestrixItem::Make() { return platform::com::MakeObject<KestrixItem>(); }

KestrixItem::~KestrixItem() { RemoveFromTray(); }

void* KestrixItem::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__KestrixItem) return static_cast<_KestrixItem*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void KestrixItem::InitItem(Kestrix* parent, HWND hWnd, LONG id, const VARIANT& icon, std::wstring toolTipText,
                           bool visible) {
    parent_ = parent;
    hWnd_ = hWnd;
    id_ = id;
    toolTipText_ = std::move(toolTipText);
    SetIcon(icon);
    if (visible) AddToTray(false);
}

std::wstring KestrixItem::ShellTip(const std::wstring& text) {
    size_t length = std::min(text.size(), TipCapacity - 1);
    if (length < text.size() && length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
    return text.substr(0, length);
}

NOTIFYICONDATAW KestrixItem::Record(bool withMessage) const noexcept {
    NOTIFYICONDATAW record{};
    record.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record.hWnd = hWnd_;
    record.uID = static_cast<UINT>(id_);
    if (hIcon_) {
        record.uFlags |= NIF_ICON;
        record.hIcon = hIcon_;
    }
    if (!toolTipText_.empty()) {
        record.uFlags |= NIF_TIP;
        const std::wstring tip = ShellTip(toolTipText_);
        tip.copy(record.szTip, tip.size());
        record.szTip[tip.size()] = L'\0';
    }
    if (withMessage) {
        record.uFlags |= NIF_MESSAGE;
        record.uCallbackMessage = Kestrix::TrayCallbackMessage;
    }
    return record;
}

void KestrixItem::AddToTray(bool force) noexcept {
    if (visible_ && !force) return;
    Log.Skip(L"AddToTray", [&] {
        NOTIFYICONDATAW record = Record(true);
        // The shell may still hold an icon under this ID (it kept it over a
        // restart): then updating it is what showing means.
        bool taken = ::Shell_NotifyIconW(NIM_ADD, &record) || ::Shell_NotifyIconW(NIM_MODIFY, &record);
        visible_ = true;
        pending_ = !taken;
        if (pending_ && parent_) parent_->ScheduleRetry();
    });
    visible_ = true;
}

void KestrixItem::RemoveFromTray() noexcept {
    if (!visible_) return;
    Log.Skip(L"RemoveFromTray", [&] {
        NOTIFYICONDATAW record{};
        record.cbSize = NOTIFYICONDATAW_V1_SIZE;
        record.hWnd = hWnd_;
        record.uID = static_cast<UINT>(id_);
        ::Shell_NotifyIconW(NIM_DELETE, &record);
    });
    visible_ = false;
    pending_ = false;
}

void KestrixItem::Orphan() noexcept {
    parent_ = nullptr;
    RemoveFromTray();
}

void KestrixItem::RefreshIcon() noexcept {
    if (!visible_) return;
    // An icon the shell has not taken yet is shown with its newest data by the retry.
    if (pending_) return;
    Log.Skip(L"Refresh", [&] {
        NOTIFYICONDATAW record = Record(false);
        if (!::Shell_NotifyIconW(NIM_MODIFY, &record)) {
            // The shell lost the icon: show it again as soon as it will take it.
            pending_ = true;
            if (parent_) parent_->ScheduleRetry();
        }
    });
}

void KestrixItem::SetIcon(const VARIANT& value) {
    HICON handle = nullptr;
    if (IUnknown* object = platform::ObjectOf(value)) {
        platform::ComPtr<IPicture> picture;
        OLE_HANDLE pictureHandle = 0;
        if (FAILED(object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.GetAddressOf()))) ||
            FAILED(picture->get_Handle(&pictureHandle)))
            platform::Raise(platform::errors::TypeMismatch, L"KestrixItem.Icon");
        handle = HandleFromNumber(pictureHandle);
    } else if (IsNumber(value.vt)) {
        handle = HandleFromNumber(platform::ToInt64(value, L"KestrixItem.Icon"));
    } else {
        platform::Raise(platform::errors::TypeMismatch, L"KestrixItem.Icon");
    }
    if (handle != hIcon_) {
        hIcon_ = handle;
        RefreshIcon();
    }
}

void KestrixItem::SetVisible(bool value) {
    if (value == visible_) return;
    if (value)
        AddToTray(false);
    else
        RemoveFromTray();
}

HRESULT KestrixItem::Refresh() {
    return Log.Member(L"Refresh", [&] { RefreshIcon(); });
}

HRESULT KestrixItem::Update(LONG_PTR hIcon, BSTR toolTipText) {
    return Log.Member(L"Update", [&] {
        HICON handle = reinterpret_cast<HICON>(hIcon);
        std::wstring text = platform::Bstr::Text(toolTipText);
        if (text == toolTipText_ && handle == hIcon_) return;
        toolTipText_ = std::move(text);
        hIcon_ = handle;
        RefreshIcon();
    });
}

HRESULT KestrixItem::get_hIcon(LONG_PTR* value) {
    return Log.Member(L"Get_hIcon", [&] { *platform::CheckOut(value) = reinterpret_cast<LONG_PTR>(hIcon_); });
}

HRESULT KestrixItem::put_Icon(VARIANT value) {
    return Log.Member(L"Let_Icon", [&] { SetIcon(value); });
}

HRESULT KestrixItem::putref_Icon(VARIANT value) {
    return Log.Member(L"Set_Icon", [&] {
        if (!platform::ObjectOf(value)) platform::Raise(platform::errors::TypeMismatch, L"KestrixItem.Icon");
        SetIcon(value);
    });
}

HRESULT KestrixItem::get_ID(LONG* value) {
    return Log.Member(L"Get_ID", [&] { *platform::CheckOut(value) = id_; });
}

HRESULT KestrixItem::get_Tag(VARIANT* value) {
    return Log.Member(L"Get_Tag", [&] { tag_.CopyTo(platform::CheckOut(value)); });
}

HRESULT KestrixItem::put_Tag(VARIANT value) {
    return Log.Member(L"Let_Tag", [&] { tag_ = platform::Variant(value); });
}

HRESULT KestrixItem::putref_Tag(VARIANT value) {
    return Log.Member(L"Set_Tag", [&] { tag_ = platform::Variant(value); });
}

HRESULT KestrixItem::get_ToolTipText(BSTR* value) {
    return Log.Member(L"Get_ToolTipText", [&] { *platform::CheckOut(value) = platform::Bstr(toolTipText_).Detach(); });
}

HRESULT KestrixItem::put_ToolTipText(BSTR value) {
    return Log.Member(L"Let_ToolTipText", [&] {
        std::wstring text = platform::Bstr::Text(value);
        if (text == toolTipText_) return;
        toolTipText_ = std::move(text);
        RefreshIcon();
    });
}

HRESULT KestrixItem::get_Visible(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Visible", [&] { *platform::CheckOut(value) = platform::ToVariantBool(visible_); });
}

HRESULT KestrixItem::put_Visible(VARIANT_BOOL value) {
    return Log.Member(L"Let_Visible", [&] { SetVisible(value != VARIANT_FALSE); });
}
