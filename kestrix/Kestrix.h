#pragma once
// The tray component's main class: the client's icons in the notification
// area, keyed by the IDs the client chose, and their mouse events, delivered
// later from the message loop through the event queue. A single click is held
// back for the click delay so that a double click can cancel it.
#include <windows.h>

#include <memory>
#include <string>

#include "ComClient.h"
#include "ComObject.h"
#include "ConnectionPoint.h"
#include "EventQueue.h"
#include "KestrixItem.h"
#include "KestrixInterfaces.h"
#include "KeyedCollection.h"
#include "OwnedTimer.h"
#include "frmSubclass.h"

class Kestrix final : public platform::com::ComBase<Kestrix, platform::com::Dispatch<_Kestrix>, ISubclass, IEvent,
                                                    platform::com::ConnectionPointContainer,
                                                    platform::com::ProvideClassInfo<CLSID_Kestrix>,
                                                    platform::com::SupportErrorInfo> {
public:
    // Made through MakeObject (or Make), which hands out the first reference.
    Kestrix();

    static constexpr UINT TrayCallbackMessage = WM_USER + 101;
    static constexpr LONG ClickDelayMs = 250;
    static constexpr UINT PopupReleaseMessage = WM_USER;
    // How often icons the shell refused are offered to it again.
    static constexpr LONG DefaultRetryIntervalMs = 1000;

    static HRESULT Create(REFIID iid, void** object) noexcept;
    // Constructs and initialises; raises what construction raises.
    static platform::ComPtr<Kestrix> Make();

    void* Cast(REFIID iid) noexcept;

    // An item the shell refused asks to be offered again.
    void ScheduleRetry() noexcept;

    HWND CallbackWindow() const noexcept { return callbackWindow_ ? callbackWindow_->hWnd() : nullptr; }
    HWND AttachedWindow() const noexcept { return attachedWindow_; }
    UINT TaskbarCreatedMessage() const noexcept { return taskbarCreatedMessage_; }
    bool RetryRunning() const noexcept { return retryTimer_ && retryTimer_->Enabled(); }
    void SetRetryInterval(LONG milliseconds) noexcept { retryInterval_ = milliseconds; }

    // _Kestrix
    HRESULT STDMETHODCALLTYPE Add(LONG ID, VARIANT Icon, BSTR ToolTipText, VARIANT_BOOL Visible) override;
    HRESULT STDMETHODCALLTYPE Exists(LONG ID, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Item(LONG ID, _KestrixItem** result) override;
    HRESULT STDMETHODCALLTYPE PreparePopupMenu(LONG_PTR hWnd) override;
    HRESULT STDMETHODCALLTYPE Remove(LONG ID) override;
    HRESULT STDMETHODCALLTYPE RemoveAll() override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_NewEnum(IUnknown** value) override;

    // ISubclass: the callback window's tray and taskbar messages.
    HRESULT STDMETHODCALLTYPE WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam,
                                         LONG_PTR* result) override;
    // IEvent: events coming back from the queue, raised to the client.
    HRESULT STDMETHODCALLTYPE FireEvent(TVEvent EventType, VARIANT* Parameters) override;

private:
    friend platform::com::ComBase<Kestrix, platform::com::Dispatch<_Kestrix>, ISubclass, IEvent,
                                  platform::com::ConnectionPointContainer,
                                  platform::com::ProvideClassInfo<CLSID_Kestrix>, platform::com::SupportErrorInfo>;
    ~Kestrix() override;
    void Initialize();

    void AttachWindow(HWND window);
    void DetachWindow();
    void OnTrayMessage(LONG id, UINT mouseMessage);
    void OnTaskbarCreated();
    void ButtonDown(LONG id, LONG button, POINT cursor);
    void QueueMouse(TVEvent type, EventQueue::AddMode mode, EventQueue::QueueKind kind, const std::wstring& key,
                    std::initializer_list<platform::Variant> parameters);
    platform::Variant PopupFlag() { return platform::Variant::RefToBool(&popupPrepared_); }
    void PostPopupRelease() noexcept;
    void Deliver(TVEvent type, const VARIANT& parameters);
    void RetryRefusedIcons();

    std::unique_ptr<EventQueue> eventQueue_;
    platform::KeyedCollection<platform::ComPtr<KestrixItem>> items_;
    UINT taskbarCreatedMessage_ = 0;
    std::unique_ptr<frmSubclass> callbackWindow_;
    HWND attachedWindow_ = nullptr;
    bool enabled_ = false;
    VARIANT_BOOL popupPrepared_ = VARIANT_FALSE;
    HWND popupWindow_ = nullptr;
    std::wstring clickKey_;
    platform::com::ConnectionPoint events_;
    LONG retryInterval_ = DefaultRetryIntervalMs;
    std::unique_ptr<OwnedTimer> retryTimer_;
};
