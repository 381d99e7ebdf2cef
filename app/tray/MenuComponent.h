#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ColorScheme.h"
#include "ComClient.h"
#include "ComError.h"
#include "QuilletInterfaces.h"
#include "Variant.h"

// Small helpers for talking to the components, shared by the tray icons, the
// tray menus and the rules editor's menu bar.
namespace menu_component {
// A whole-number argument of a component event; a failure is reported as the
// program's event handling.
inline LONG EventLong(const DISPPARAMS& params, UINT index) {
    return platform::ToInt32(platform::com::EventArgument(params, index), L"CApplication.KestrixEvents");
}
// An optional argument left out.
inline VARIANT MissingArgument() noexcept {
    VARIANT missing;
    ::VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
}
// Draws the component's menus in a colour scheme (a component too old to
// know themes keeps the system's colours).
inline void ApplyScheme(_Quillet* quillet, platform::Scheme scheme) {
    platform::ComPtr<_Quillet2> themed;
    if (!quillet || FAILED(quillet->QueryInterface(IID__Quillet2, reinterpret_cast<void**>(themed.GetAddressOf()))))
        return;
    platform::ThrowIfFailed(themed->put_Theme(static_cast<QLTheme>(scheme)), L"Quillet.Theme");
}
inline platform::ComPtr<_Tools> ToolsOf(_Band& band) {
    platform::ComPtr<_Tools> tools;
    platform::ThrowIfFailed(band.get_Tools(&tools), L"Band.Tools");
    return tools;
}
template <class Object>
std::wstring NameOf(Object& object) {
    platform::Bstr name;
    platform::ThrowIfFailed(object.get_Name(name.put()), L"Name");
    return name.Text();
}
// An object argument of a menu component event, as the interface it is.
template <class I>
platform::ComPtr<I> EventObject(const DISPPARAMS& params, UINT index) {
    platform::ComPtr<I> object;
    if (IUnknown* unknown = platform::ObjectOf(platform::com::EventArgument(params, index)))
        platform::ThrowIfFailed(unknown->QueryInterface(__uuidof(I), reinterpret_cast<void**>(object.GetAddressOf())),
                                L"QuilletEvents");
    return object;
}
}  // namespace menu_component
