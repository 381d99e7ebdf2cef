#pragma once
// One icon in the notification area, under the ID its client chose.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ComObject.h"
#include "KestrixInterfaces.h"
#include "Variant.h"

class Kestrix;

class KestrixItem final : public platform::com::ComBase<KestrixItem, platform::com::Dispatch<_KestrixItem>,
                                                        platform::com::SupportErrorInfo> {
public:
    // Made through MakeObject (or Make), which hands out the first reference.
    KestrixItem() = default;

    static platform::ComPtr<KestrixItem> Make();

    void* Cast(REFIID iid) noexcept;

    // Called by the owning Kestrix only.
    void InitItem(Kestrix* parent, HWND hWnd, LONG id, const VARIANT& icon, std::wstring toolTipText, bool visible);
    // Shows the icon (again, with force) whatever its Visible flag says.
    void AddToTray(bool force) noexcept;
    void RemoveFromTray() noexcept;
    // The item left its collection: its icon goes and it no longer reports to the parent.
    void Orphan() noexcept;
    // Visible, but the shell has not taken the icon yet.
    bool Pending() const noexcept { return visible_ && pending_; }

    // The tip as the shell's record holds it: cut to the field with its
    // terminator, never between the halves of a surrogate pair.
    static std::wstring ShellTip(const std::wstring& text);

    LONG ItemID() const noexcept { return id_; }
    bool IsVisible() const noexcept { return visible_; }
    HICON IconHandle() const noexcept { return hIcon_; }
    const std::wstring& Tip() const noexcept { return toolTipText_; }

    HRESULT STDMETHODCALLTYPE Refresh() override;
    HRESULT STDMETHODCALLTYPE Update(LONG_PTR hIcon, BSTR toolTipText) override;
    HRESULT STDMETHODCALLTYPE get_hIcon(LONG_PTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Icon(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Icon(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_ID(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Tag(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_ToolTipText(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ToolTipText(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override;

private:
    friend platform::com::ComBase<KestrixItem, platform::com::Dispatch<_KestrixItem>, platform::com::SupportErrorInfo>;
    ~KestrixItem() override;

    NOTIFYICONDATAW Record(bool withMessage) const noexcept;
    void SetIcon(const VARIANT& value);
    void SetVisible(bool value);
    void RefreshIcon() noexcept;

    Kestrix* parent_ = nullptr;  // not counted; cleared when the item leaves its collection
    HWND hWnd_ = nullptr;
    LONG id_ = 0;
    HICON hIcon_ = nullptr;  // the client's; never destroyed here
    std::wstring toolTipText_;
    bool visible_ = false;
    bool pending_ = false;
    platform::Variant tag_;
};
