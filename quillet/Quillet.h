#pragma once
// The menu component's main class: the menus of one window, built from named
// bands of tools, drawn by the component, and the window's menu messages
// turned into events. It also registers system-wide hot keys for the window.
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <optional>
#include <string>

#include "Bands.h"
#include "Banners.h"
#include "ComObject.h"
#include "ConnectionPoint.h"
#include "Handles.h"
#include "QuilletInterfaces.h"
#include "ToolDrawing.h"
#include "Variant.h"

class Quillet final : public platform::com::ComBase<Quillet, platform::com::Dispatch<_Quillet2>, ISubclass,
                                                    platform::com::ConnectionPointContainer,
                                                    platform::com::ProvideClassInfo<CLSID_Quillet>,
                                                    platform::com::SupportErrorInfo> {
public:
    // Made through MakeObject (or Make), which hands out the first reference.
    Quillet();

    // The class factory's creator: starts the component, then makes the object.
    static HRESULT Create(REFIID iid, void** object) noexcept;
    // Constructs and initialises; raises what construction raises.
    static platform::ComPtr<Quillet> Make();

    void* Cast(REFIID iid) noexcept;

    HWND Window() const noexcept { return window_; }
    Bands& BandList() const noexcept { return *bands_.Get(); }
    Banners& BannerList() const noexcept { return *banners_.Get(); }
    HIMAGELIST ImageListHandle() const noexcept { return imageList_; }
    ToolDrawing::OwnerLook Look() const noexcept;

    // Makes `menu` the window's menu bar. A menu the window had before is
    // destroyed unless one of this object's bands owns it.
    void PutMenuBar(HMENU menu);

    // Events, raised synchronously to the connected sinks.
    void RaiseBandOpen(Band* band);
    void RaiseBandClose(Band* band);
    void RaiseClick(Tool* tool);
    void RaiseHighlight(Tool* tool);
    void RaiseCustomDraw(Tool* tool, ToolDrawing::CustomDrawArgs& args);
    void RaiseCustomMeasure(Tool* tool, LONG& width, LONG& height);

    // _Quillet
    HRESULT STDMETHODCALLTYPE Attach(LONG_PTR hWnd) override;
    HRESULT STDMETHODCALLTYPE AttachEx(LONG_PTR hWnd, BSTR MenuBar) override;
    HRESULT STDMETHODCALLTYPE ClearHotKey(LONG ID) override;
    HRESULT STDMETHODCALLTYPE Detach() override;
    HRESULT STDMETHODCALLTYPE OnKeyDown(LONG KeyCode, LONG Shift, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE OnKeyUp(LONG KeyCode, LONG Shift, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetHotKey(LONG KeyCode, QLHotKeyModifiers Modifiers, LONG* ID) override;
    HRESULT STDMETHODCALLTYPE SetMenuBar(BSTR MenuBar) override;
    HRESULT STDMETHODCALLTYPE get_Bands(_Bands** value) override;
    HRESULT STDMETHODCALLTYPE get_Banners(_Banners** value) override;
    HRESULT STDMETHODCALLTYPE get_CustomCheckmarkIcon(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_CustomCheckmarkIcon(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_CustomOptionGroupIcon(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_CustomOptionGroupIcon(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_HighlightDisabledTools(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_HighlightDisabledTools(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_HighlightStyle(QLHighlightStyle* value) override;
    HRESULT STDMETHODCALLTYPE put_HighlightStyle(QLHighlightStyle value) override;
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG_PTR* value) override;
    HRESULT STDMETHODCALLTYPE get_ImageList(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_ImageList(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_ImageList(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_Tag(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Tag(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override;

    // _Quillet2
    HRESULT STDMETHODCALLTYPE get_Theme(QLTheme* value) override;
    HRESULT STDMETHODCALLTYPE put_Theme(QLTheme value) override;

    // ISubclass: the attached window's menu messages.
    HRESULT STDMETHODCALLTYPE WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam,
                                         LONG_PTR* result) noexcept override;

private:
    friend platform::com::ComBase<Quillet, platform::com::Dispatch<_Quillet2>, ISubclass,
                                  platform::com::ConnectionPointContainer,
                                  platform::com::ProvideClassInfo<CLSID_Quillet>, platform::com::SupportErrorInfo>;
    ~Quillet() override;
    void Initialize();

    // One message on its way through: passed on to the window's previous
    // procedure at most once, whatever fails after.
    struct MessageCall {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::optional<LRESULT> passed;
        LRESULT PassOn() noexcept;
    };

    void AttachTo(HWND window, std::wstring_view source);
    void Unsubclass() noexcept;
    void DetachWindow();
    void MakeMenuBar(const std::wstring& name);
    bool RunShortcut(LONG keyCode, LONG shift);
    void ResolveCommand(LONG command);
    LONG RegisterHotKeyFor(LONG keyCode, LONG modifiers);
    void ReleaseHotKey(LONG id) noexcept;
    void SetImageList(const VARIANT& value);

    LRESULT HandleMessage(MessageCall& call);
    bool OnMeasureItem(LPARAM lParam);
    bool OnDrawItem(LPARAM lParam);
    void OnWindowPosChanging();
    void OnInitMenuPopup(HMENU menu);
    void OnUninitMenuPopup(HMENU menu);
    void OnMenuSelect(WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnMenuChar(WPARAM wParam, LPARAM lParam);

    platform::ComPtr<Bands> bands_;
    platform::ComPtr<Banners> banners_;
    HWND window_ = nullptr;
    std::wstring menuBarBand_;
    QLHighlightStyle highlightStyle_ = qlHighlightNormal;
    QLTheme theme_ = qlThemeLight;
    bool highlightDisabled_ = false;
    LONG checkIcon_ = -1;
    LONG optionIcon_ = -1;
    HIMAGELIST imageList_ = nullptr;  // the host's; never destroyed here
    platform::UniqueGdiObject<HBITMAP> dither_;
    ToolDrawing::Canvas canvas_;  // every item is composed on it before it is shown
    platform::Variant tag_;
    // Hot keys made by SetHotKey, with the window each was registered for.
    // A hot key goes before the atom that names it.
    struct HeldHotKey {
        platform::UniqueGlobalAtom atom;
        platform::UniqueHotKey key;
    };
    std::map<LONG, HeldHotKey> hotKeys_;
    platform::com::ConnectionPoint events_;
};
