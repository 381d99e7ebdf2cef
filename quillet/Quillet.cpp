#include "Quillet.h"

#include <olectl.h>

#include <cstdint>
#include <iterator>

#include "ComError.h"
#include "Guard.h"
#include "ExceptionLog.h"
#include "QuilletModule.h"
#include "QuilletVersion.h"
#include "Strings.h"
#include "SubclassModule.h"

using platform::Bstr;
using platform::CheckOut;
using platform::ComPtr;
using platform::ToVariantBool;
using platform::Variant;

namespace {

constexpr platform::LogSource Log{L"Quillet"};

// The messages the menus need, attached and withdrawn in this order.
constexpr UINT SubclassedMessages[] = {WM_MENUSELECT,      WM_MEASUREITEM,       WM_DRAWITEM,
                                       WM_MENUCHAR,        WM_INITMENUPOPUP,     WM_UNINITMENUPOPUP,
                                       WM_WINDOWPOSCHANGING, WM_COMMAND,         WM_HOTKEY};

// StringFromGUID2's buffer: the braced form is 38 characters and its terminator.
constexpr int GuidTextCapacity = 40;
constexpr wchar_t DitherResource[] = L"DITHER";
constexpr wchar_t ImageListTypeName[] = L"ImageList";

// A handle given as a number of any integer width, sign-extended as 32-bit
// handles are, never cut down from a pointer-sized one.
HIMAGELIST HandleFromNumber(int64_t number) noexcept {
    return reinterpret_cast<HIMAGELIST>(static_cast<LONG_PTR>(number));
}

std::optional<int64_t> IntegerOf(const VARIANT& value) noexcept {
    switch (value.vt) {
        case VT_I2: return value.iVal;
        case VT_UI2: return value.uiVal;
        case VT_I4: return value.lVal;
        case VT_INT: return value.intVal;
        case VT_UI4: return value.ulVal;
        case VT_UINT: return value.uintVal;
        case VT_I8: return value.llVal;
        case VT_UI8: return static_cast<int64_t>(value.ullVal);
        default: return std::nullopt;
    }
}

// One late-bound call; nothing when the object refuses it.
std::optional<Variant> CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<Variant> arguments) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return std::nullopt;
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it) reversed.push_back(it->get());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.put(), &exception, nullptr);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) return std::nullopt;
    return result;
}

bool IsImageListObject(IDispatch* object) {
    ComPtr<ITypeInfo> type;
    Bstr name;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &type)) || !type ||
        FAILED(type->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr)))
        return false;
    return platform::EqualsNoCase(name.Text(), ImageListTypeName);
}

// An image-list object makes its native list only when first drawn from.
void MakeNativeList(IDispatch* imageList) {
    const std::optional<Variant> images = CallByName(imageList, L"ListImages", DISPATCH_PROPERTYGET, {});
    IUnknown* collection = images ? platform::ObjectOf(images->get()) : nullptr;
    ComPtr<IDispatch> list;
    if (!collection || FAILED(collection->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(list.GetAddressOf()))))
        return;
    const std::optional<Variant> first =
        CallByName(list.Get(), L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant::FromInt32(1)});
    IUnknown* image = first ? platform::ObjectOf(first->get()) : nullptr;
    ComPtr<IDispatch> picture;
    if (!image || FAILED(image->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(picture.GetAddressOf())))) return;
    CallByName(picture.Get(), L"Draw", DISPATCH_METHOD,
               {Variant::FromInt32(0), Variant::FromInt32(0), Variant::FromInt32(0)});
}

HIMAGELIST HandleOfImageListObject(IUnknown* object) {
    ComPtr<IDispatch> imageList;
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(imageList.GetAddressOf()))) ||
        !IsImageListObject(imageList.Get()))
        QuilletModule::Fail(L"Quillet.ImageList");
    MakeNativeList(imageList.Get());
    const std::optional<Variant> handle = CallByName(imageList.Get(), L"hImageList", DISPATCH_PROPERTYGET, {});
    Variant number;
    if (!handle || FAILED(::VariantChangeType(number.put(), const_cast<VARIANT*>(&handle->get()), 0, VT_I8)))
        QuilletModule::Fail(L"Quillet.ImageList");
    return HandleFromNumber(number.get().llVal);
}

}  // namespace

Quillet::Quillet() : events_(this, DIID___Quillet) { AddConnectionPoint(events_); }

HRESULT Quillet::Create(REFIID iid, void** object) noexcept {
    QuilletModule::Startup();
    return Log.Member(L"Class_Initialize",
                      [&] { platform::ThrowIfFailed(Make()->QueryInterface(iid, object), L"Quillet.Class_Initialize"); });
}

ComPtr<Quillet> Quillet::Make() {
    QuilletModule::Startup();
    auto quillet = platform::com::MakeObject<Quillet>();
    quillet->Initialize();
    return quillet;
}

void Quillet::Initialize() {
    bands_ = Bands::Make(this);
    banners_ = Banners::Make(this);
    dither_.reset(static_cast<HBITMAP>(
        ::LoadImageW(platform::com::ThisModule(), DitherResource, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

Quillet::~Quillet() {
    Log.Guard(L"Class_Terminate", platform::Trap::Always, [&] {
        Log.Skip(L"Class_Terminate", [&] { tag_ = Variant(); });
        dither_.reset();
        Log.Skip(L"Class_Terminate", [&] { DetachWindow(); });
        while (!hotKeys_.empty()) ReleaseHotKey(hotKeys_.begin()->first);
        if (bands_) bands_->Orphan();
        bands_.Reset();
        if (banners_) banners_->Orphan();
        banners_.Reset();
        events_.DisconnectAll();
    });
}

void* Quillet::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Quillet || iid == IID__Quillet2)
        return static_cast<_Quillet2*>(this);
    if (iid == IID_ISubclass) return static_cast<ISubclass*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

ToolDrawing::OwnerLook Quillet::Look() const noexcept {
    ToolDrawing::OwnerLook look;
    look.highlight = highlightStyle_;
    look.palette = platform::PaletteOf(static_cast<platform::Scheme>(theme_));
    look.highlightDisabled = highlightDisabled_;
    look.checkIcon = checkIcon_;
    look.optionIcon = optionIcon_;
    look.imageList = imageList_;
    look.dither = dither_.get();
    return look;
}

// --- the window -------------------------------------------------------------

void Quillet::AttachTo(HWND window, std::wstring_view source) {
    if (window == window_) return;
    Unsubclass();
    for (size_t i = 0; i < std::size(SubclassedMessages); ++i) {
        if (SubclassModule::AttachMessage(this, window, SubclassedMessages[i])) continue;
        // Not a window this object can work on (gone, or another process's).
        while (i-- > 0) SubclassModule::DetachMessage(this, window, SubclassedMessages[i]);
        QuilletModule::Fail(source);
    }
    window_ = window;
}

void Quillet::Unsubclass() noexcept {
    if (!window_) return;
    for (UINT message : SubclassedMessages) SubclassModule::DetachMessage(this, window_, message);
}

void Quillet::DetachWindow() {
    if (!window_) return;
    Unsubclass();
    if (!menuBarBand_.empty()) {
        const ComPtr<Band> band(bands_->Find(menuBarBand_));
        menuBarBand_.clear();
        if (band) band->Close();
    }
    window_ = nullptr;
}

void Quillet::MakeMenuBar(const std::wstring& name) {
    const ComPtr<Band> band(bands_->Find(name));
    if (!band) return;
    // The band shown before gives its use back, or it would stay shown and be
    // put back as the window's menu at the next move.
    if (!menuBarBand_.empty()) {
        const ComPtr<Band> previous(bands_->Find(menuBarBand_));
        menuBarBand_.clear();
        if (previous) previous->Close();
    }
    if (band->Open()) menuBarBand_ = band->Name();
}

void Quillet::PutMenuBar(HMENU menu) {
    const HMENU current = ::GetMenu(window_);
    if (current == menu) return;
    if (current) {
        ::SetMenu(window_, nullptr);
        // A band's menu stays its band's to destroy.
        if (!bands_->FindByMenu(current)) platform::UniqueHMenu replaced(current);
    }
    ::SetMenu(window_, menu);
    ::DrawMenuBar(window_);
}

// --- events -----------------------------------------------------------------

void Quillet::RaiseBandOpen(Band* band) {
    if (band) events_.Fire(BandOpenEventId, {Variant::FromObject(static_cast<_Band*>(band))});
}

void Quillet::RaiseBandClose(Band* band) {
    if (band) events_.Fire(BandCloseEventId, {Variant::FromObject(static_cast<_Band*>(band))});
}

void Quillet::RaiseClick(Tool* tool) {
    if (tool) events_.Fire(QuilletClickEventId, {Variant::FromObject(static_cast<_Tool*>(tool))});
}

void Quillet::RaiseHighlight(Tool* tool) {
    if (tool) events_.Fire(HighlightEventId, {Variant::FromObject(static_cast<_Tool*>(tool))});
}

void Quillet::RaiseCustomDraw(Tool* tool, ToolDrawing::CustomDrawArgs& args) {
    LONG left = args.left, top = args.top, width = args.width, height = args.height;
    VARIANT_BOOL selected = ToVariantBool(args.selected), enabled = ToVariantBool(args.enabled),
                 draw = ToVariantBool(args.draw);
    events_.Fire(CustomDrawEventId,
                 {Variant::FromObject(static_cast<_Tool*>(tool)), Variant::FromInt64(reinterpret_cast<LONG_PTR>(args.dc)),
                  Variant::RefToInt32(&left), Variant::RefToInt32(&top), Variant::RefToInt32(&width),
                  Variant::RefToInt32(&height), Variant::RefToBool(&selected), Variant::RefToBool(&enabled),
                  Variant::RefToBool(&draw)});
    args.left = left;
    args.top = top;
    args.width = width;
    args.height = height;
    args.selected = selected != VARIANT_FALSE;
    args.enabled = enabled != VARIANT_FALSE;
    args.draw = draw != VARIANT_FALSE;
}

void Quillet::RaiseCustomMeasure(Tool* tool, LONG& width, LONG& height) {
    events_.Fire(CustomMeasureEventId, {Variant::FromObject(static_cast<_Tool*>(tool)), Variant::RefToInt32(&width),
                                        Variant::RefToInt32(&height)});
}

// --- shortcuts, commands and hot keys --------------------------------------

bool Quillet::RunShortcut(LONG keyCode, LONG shift) {
    for (const auto& band : bands_->Snapshot()) {
        if (!band->IsEnabled() || !band->IsVisible()) continue;
        for (const auto& tool : band->ToolList().Snapshot()) {
            if (!tool->ShortcutKey() || !tool->IsVisible() || tool->ShortcutShift() != shift ||
                tool->ShortcutKey() != keyCode)
                continue;
            // The band's handler may enable the tool when asked to get ready.
            if (!tool->IsEnabled()) RaiseBandOpen(band.Get());
            if (!tool->IsEnabled()) continue;
            RaiseClick(tool.Get());
            return true;
        }
    }
    return false;
}

void Quillet::ResolveCommand(LONG command) {
    for (const auto& band : bands_->Snapshot()) {
        if (!band->IsVisible()) continue;
        for (const auto& tool : band->ToolList().Snapshot()) {
            if (!tool->IsVisible() || tool->Id() != command) continue;
            RaiseClick(tool.Get());
            return;
        }
    }
}

LONG Quillet::RegisterHotKeyFor(LONG keyCode, LONG modifiers) {
    if (!window_) QuilletModule::Fail(L"Quillet.SetHotKey");
    GUID guid{};
    platform::ThrowIfFailed(::CoCreateGuid(&guid), L"Quillet.SetHotKey");
    wchar_t name[GuidTextCapacity] = {};
    if (!::StringFromGUID2(guid, name, GuidTextCapacity)) QuilletModule::Fail(L"Quillet.SetHotKey");
    HeldHotKey held{platform::UniqueGlobalAtom(::GlobalAddAtomW(name)), {}};
    if (!held.atom) platform::RaiseWin32(::GetLastError(), L"Quillet.SetHotKey");
    const LONG id = held.atom.get();
    if (!held.key.Register(window_, id, static_cast<UINT>(modifiers), static_cast<UINT>(keyCode))) return 0;
    hotKeys_.emplace(id, std::move(held));
    return id;
}

void Quillet::ReleaseHotKey(LONG id) noexcept {
    const auto found = hotKeys_.find(id);
    // Only atoms this object added are deleted: any other belongs to someone else.
    if (found == hotKeys_.end())
        ::UnregisterHotKey(window_, id);
    else
        hotKeys_.erase(found);
}

void Quillet::SetImageList(const VARIANT& value) {
    const Variant held = Variant::CopyOfValue(value);
    const VARIANT& given = held.get();
    if (const std::optional<int64_t> number = IntegerOf(given)) {
        imageList_ = HandleFromNumber(*number);
        return;
    }
    if (given.vt != VT_DISPATCH && given.vt != VT_UNKNOWN) QuilletModule::Fail(L"Quillet.ImageList");
    IUnknown* object = platform::ObjectOf(given);
    imageList_ = object ? HandleOfImageListObject(object) : nullptr;
}

// --- the window procedure ---------------------------------------------------

LRESULT Quillet::MessageCall::PassOn() noexcept {
    if (!passed) passed = SubclassModule::CallOldWindowProc(window, message, wParam, lParam);
    return *passed;
}

HRESULT Quillet::WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam, LONG_PTR* result) noexcept {
    MessageCall call{reinterpret_cast<HWND>(hWnd), static_cast<UINT>(uMsg), static_cast<WPARAM>(wParam),
                     static_cast<LPARAM>(lParam), std::nullopt};
    const std::optional<LRESULT> handled = Log.Guard(L"WindowProc", platform::Trap::Always,
                                                     [&] { return std::optional<LRESULT>(HandleMessage(call)); });
    // A failed step leaves the message to the window's own procedure.
    const LRESULT answer = handled ? *handled : call.PassOn();
    if (result) *result = answer;
    return S_OK;
}

LRESULT Quillet::HandleMessage(MessageCall& call) {
    switch (call.message) {
        case WM_DRAWITEM: return OnDrawItem(call.lParam) ? TRUE : call.PassOn();
        case WM_MEASUREITEM: return OnMeasureItem(call.lParam) ? TRUE : call.PassOn();
        case WM_WINDOWPOSCHANGING: OnWindowPosChanging(); return call.PassOn();
        case WM_COMMAND:
            // Menus and accelerators send no control handle; a child control's command is its own.
            if (call.lParam == 0 || reinterpret_cast<HWND>(call.lParam) == call.window) ResolveCommand(LOWORD(call.wParam));
            return call.PassOn();
        case WM_INITMENUPOPUP: {
            const LRESULT result = call.PassOn();
            // The window menu is the system's.
            if (HIWORD(call.lParam) == 0) OnInitMenuPopup(reinterpret_cast<HMENU>(call.wParam));
            return result;
        }
        case WM_UNINITMENUPOPUP: OnUninitMenuPopup(reinterpret_cast<HMENU>(call.wParam)); return 0;
        case WM_MENUSELECT: {
            const LRESULT result = call.PassOn();
            OnMenuSelect(call.wParam, call.lParam);
            return result;
        }
        case WM_MENUCHAR: {
            const LRESULT result = call.PassOn();
            return OnMenuChar(call.wParam, call.lParam).value_or(result);
        }
        case WM_HOTKEY:
            events_.Fire(HotKeyPressedEventId, {Variant::FromInt32(static_cast<LONG>(call.wParam)),
                                                Variant::FromInt32(HIWORD(call.lParam)),
                                                Variant::FromInt32(LOWORD(call.lParam))});
            return call.PassOn();
        default: return call.PassOn();
    }
}

bool Quillet::OnMeasureItem(LPARAM lParam) {
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!measure || measure->CtlType != ODT_MENU) return false;
    const ComPtr<Band> band(bands_->FindByItemData(measure->itemData));
    const ComPtr<Tool> tool(band ? band->ToolList().FromId(static_cast<LONG>(measure->itemID)) : nullptr);
    if (!tool) return false;
    const SIZE size = ToolDrawing::MeasureTool(band->LookOf(*tool.Get()), band->Look(), window_,
                                               [&](LONG& width, LONG& height) { RaiseCustomMeasure(tool.Get(), width, height); });
    measure->itemWidth = static_cast<UINT>(size.cx);
    measure->itemHeight = static_cast<UINT>(size.cy);
    return true;
}

bool Quillet::OnDrawItem(LPARAM lParam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item || item->CtlType != ODT_MENU) return false;
    const ComPtr<Band> band(bands_->FindByItemData(item->itemData));
    const ComPtr<Tool> tool(band ? band->ToolList().FromId(static_cast<LONG>(item->itemID)) : nullptr);
    if (!tool) return false;
    tool->SetItemRect(item->rcItem);
    ToolDrawing::BandLook look = band->Look();
    look.itemTop = band->ItemTop(*tool.Get(), item->rcItem.top);
    ToolDrawing::DrawTool(*item, band->LookOf(*tool.Get()), look, Look(), window_,
                          [&](ToolDrawing::CustomDrawArgs& args) { RaiseCustomDraw(tool.Get(), args); }, canvas_);
    return true;
}

void Quillet::OnWindowPosChanging() {
    Band* band = bands_->VisibleMenuBar();
    if (band && band->Menu() && ::GetMenu(window_) != band->Menu()) PutMenuBar(band->Menu());
}

void Quillet::OnInitMenuPopup(HMENU menu) {
    const ComPtr<Band> band(bands_->FindByMenu(menu));
    if (!band) return;
    RaiseBandOpen(band.Get());
    // What the handler changed shows in the menu; a band it removed is gone.
    if (band->Owner()) band->Fill();
}

void Quillet::OnUninitMenuPopup(HMENU menu) {
    const ComPtr<Band> band(bands_->FindByMenu(menu));
    if (band) RaiseBandClose(band.Get());
}

void Quillet::OnMenuSelect(WPARAM wParam, LPARAM lParam) {
    const UINT flags = HIWORD(wParam);
    if (flags & MF_SYSMENU) return;
    const ComPtr<Band> band(bands_->FindByMenu(reinterpret_cast<HMENU>(lParam)));
    if (!band) return;
    const LONG item = LOWORD(wParam);
    Tool* tool = nullptr;
    if (flags & MF_POPUP)
        tool = band->ToolList().FromPosition(item);
    else if (item != 0)
        tool = band->ToolList().FromId(item);
    const ComPtr<Tool> selected(tool);
    if (selected) RaiseHighlight(selected.Get());
}

std::optional<LRESULT> Quillet::OnMenuChar(WPARAM wParam, LPARAM lParam) {
    const ComPtr<Band> band(bands_->FindByMenu(reinterpret_cast<HMENU>(lParam)));
    const UINT flags = HIWORD(wParam);
    if (!band || (flags & MF_SYSMENU)) return std::nullopt;
    if (band->Style() != qlBandMenuBar && !(flags & MF_POPUP)) return std::nullopt;
    const LRESULT answer = band->AcceleratorAnswer(static_cast<wchar_t>(LOWORD(wParam)));
    return answer ? std::optional<LRESULT>(answer) : std::nullopt;
}

// --- _Quillet ---------------------------------------------------------------

HRESULT Quillet::Attach(LONG_PTR hWnd) {
    return Log.Member(L"Attach", [&] {
        const HWND window = reinterpret_cast<HWND>(hWnd);
        if (window_ && window_ != window) QuilletModule::Fail(L"Quillet.Attach");
        AttachTo(window, L"Quillet.Attach");
    });
}

HRESULT Quillet::AttachEx(LONG_PTR hWnd, BSTR MenuBar) {
    return Log.Member(L"AttachEx", [&] {
        const HWND window = reinterpret_cast<HWND>(hWnd);
        if (window_ == window) return;
        if (window_) QuilletModule::Fail(L"Quillet.AttachEx");
        AttachTo(window, L"Quillet.AttachEx");
        MakeMenuBar(Bstr::Text(MenuBar));
    });
}

HRESULT Quillet::ClearHotKey(LONG ID) {
    return Log.Member(L"ClearHotKey", platform::OnFailure::LogWhileTrapping, [&] { ReleaseHotKey(ID); });
}

HRESULT Quillet::Detach() {
    return Log.Member(L"Detach", platform::OnFailure::LogWhileTrapping, [&] { DetachWindow(); });
}

HRESULT Quillet::OnKeyDown(LONG KeyCode, LONG Shift, VARIANT_BOOL* result) {
    return Log.Member(L"OnKeyDown", platform::OnFailure::LogWhileTrapping, [&] {
        VARIANT_BOOL* out = CheckOut(result);
        *out = VARIANT_FALSE;
        *out = ToVariantBool(RunShortcut(KeyCode, Shift));
    });
}

HRESULT Quillet::OnKeyUp(LONG KeyCode, LONG Shift, VARIANT_BOOL* result) {
    return Log.Member(L"OnKeyUp", platform::OnFailure::LogWhileTrapping, [&] {
        VARIANT_BOOL* out = CheckOut(result);
        *out = VARIANT_FALSE;
        *out = ToVariantBool(RunShortcut(KeyCode, Shift));
    });
}

HRESULT Quillet::SetHotKey(LONG KeyCode, QLHotKeyModifiers Modifiers, LONG* ID) {
    return Log.Member(L"SetHotKey", [&] {
        LONG* out = CheckOut(ID);
        *out = 0;
        *out = RegisterHotKeyFor(KeyCode, Modifiers);
    });
}

HRESULT Quillet::SetMenuBar(BSTR MenuBar) {
    return Log.Member(L"SetMenuBar", [&] {
        if (!window_) QuilletModule::Fail(L"Quillet.SetMenuBar");
        MakeMenuBar(Bstr::Text(MenuBar));
    });
}

HRESULT Quillet::get_Bands(_Bands** value) {
    return Log.Member(L"Get_Bands", [&] { *CheckOut(value) = ComPtr<_Bands>(bands_.Get()).Detach(); });
}
HRESULT Quillet::get_Banners(_Banners** value) {
    return Log.Member(L"Get_Banners", [&] { *CheckOut(value) = ComPtr<_Banners>(banners_.Get()).Detach(); });
}
HRESULT Quillet::get_CustomCheckmarkIcon(LONG* value) {
    return Log.Member(L"Get_CustomCheckmarkIcon", [&] { *CheckOut(value) = checkIcon_; });
}
HRESULT Quillet::put_CustomCheckmarkIcon(LONG value) {
    return Log.Member(L"Let_CustomCheckmarkIcon", [&] { checkIcon_ = value; });
}
HRESULT Quillet::get_CustomOptionGroupIcon(LONG* value) {
    return Log.Member(L"Get_CustomOptionGroupIcon", [&] { *CheckOut(value) = optionIcon_; });
}
HRESULT Quillet::put_CustomOptionGroupIcon(LONG value) {
    return Log.Member(L"Let_CustomOptionGroupIcon", [&] { optionIcon_ = value; });
}
HRESULT Quillet::get_HighlightDisabledTools(VARIANT_BOOL* value) {
    return Log.Member(L"Get_HighlightDisabledTools", [&] { *CheckOut(value) = ToVariantBool(highlightDisabled_); });
}
HRESULT Quillet::put_HighlightDisabledTools(VARIANT_BOOL value) {
    return Log.Member(L"Let_HighlightDisabledTools", [&] { highlightDisabled_ = value != VARIANT_FALSE; });
}
HRESULT Quillet::get_HighlightStyle(QLHighlightStyle* value) {
    return Log.Member(L"Get_HighlightStyle", [&] { *CheckOut(value) = highlightStyle_; });
}
HRESULT Quillet::put_HighlightStyle(QLHighlightStyle value) {
    return Log.Member(L"Let_HighlightStyle", [&] {
        if (value < qlHighlightNormal || value > qlHighlightTextOnly) QuilletModule::Fail(L"Quillet.Let_HighlightStyle");
        highlightStyle_ = value;
    });
}
HRESULT Quillet::get_Theme(QLTheme* value) {
    return Log.Member(L"Get_Theme", [&] { *CheckOut(value) = theme_; });
}
HRESULT Quillet::put_Theme(QLTheme value) {
    return Log.Member(L"Let_Theme", [&] {
        if (value < qlThemeLight || value > qlThemeHighContrast) QuilletModule::Fail(L"Quillet.Let_Theme");
        theme_ = value;
    });
}
HRESULT Quillet::get_hWnd(LONG_PTR* value) {
    return Log.Member(L"Get_hWnd", [&] { *CheckOut(value) = reinterpret_cast<LONG_PTR>(window_); });
}
HRESULT Quillet::get_ImageList(VARIANT* value) {
    return Log.Member(L"Get_ImageList", [&] {
        VARIANT* out = CheckOut(value);
        const LONG_PTR handle = reinterpret_cast<LONG_PTR>(imageList_);
        const bool fits = handle >= INT32_MIN && handle <= INT32_MAX;
        *out = (fits ? Variant::FromInt32(static_cast<int32_t>(handle)) : Variant::FromInt64(handle)).Detach();
    });
}
HRESULT Quillet::put_ImageList(VARIANT value) {
    return Log.Member(L"Let_ImageList", [&] { SetImageList(value); });
}
HRESULT Quillet::putref_ImageList(VARIANT value) {
    return Log.Member(L"Set_ImageList", [&] { SetImageList(value); });
}
HRESULT Quillet::get_Tag(VARIANT* value) {
    return Log.Member(L"Get_Tag", [&] { tag_.CopyTo(CheckOut(value)); });
}
HRESULT Quillet::put_Tag(VARIANT value) {
    return Log.Member(L"Let_Tag", [&] { tag_ = Variant::CopyOfValue(value); });
}
HRESULT Quillet::putref_Tag(VARIANT value) {
    return Log.Member(L"Set_Tag", [&] { tag_ = Variant::CopyOfValue(value); });
}
HRESULT Quillet::get_Version(BSTR* value) {
    return Log.Member(L"Get_Version", [&] {
        *CheckOut(value) =
            Bstr(platform::FormatVersionText(QuilletInfo::Major, QuilletInfo::Minor, QuilletInfo::Revision)).Detach();
    });
}
