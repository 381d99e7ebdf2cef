#include "CTrayIcons.h"

#include "ComError.h"
#include "Guard.h"
#include "MenuComponent.h"
#include "Options.h"
#include "Variant.h"
#include "Version.h"
#include "frmMain.h"

using menu_component::EventLong;

namespace {

// The icons keep the log source they always had.
constexpr wchar_t ClassName[] = L"CApplication";
// The tip of the program's icon while it is switched off.
constexpr wchar_t DisabledTipSuffix[] = L" (Disabled)";

}  // namespace

void CTrayIcons::Create() {
    kestrix_ = platform::com::CreateComponent<_Kestrix>(CLSID_Kestrix, L"Kestrix.dll");
    sink_ = platform::com::MakeObject<platform::com::EventSink>(DIID_KestrixEvents);
    connection_ =
        platform::com::EventConnection(kestrix_.Get(), DIID_KestrixEvents, static_cast<IDispatch*>(sink_.Get()));
    sink_->On(ClickEventId, [this](const DISPPARAMS& p) { events_.IconClick(EventLong(p, 0), EventLong(p, 1)); });
    sink_->On(DblClickEventId,
              [this](const DISPPARAMS& p) { events_.IconDblClick(EventLong(p, 0), EventLong(p, 1)); });
    sink_->On(MouseUpEventId, [this](const DISPPARAMS& p) {
        events_.IconMouseUp(EventLong(p, 0), EventLong(p, 1), EventLong(p, 2), EventLong(p, 3));
    });
    sink_->On(MouseMoveEventId, [this](const DISPPARAMS& p) { events_.IconMouseMove(EventLong(p, 0)); });
}

void CTrayIcons::Release() {
    if (!kestrix_) return;
    connection_.Disconnect();
    platform::SkipFailure(ClassName, L"Dispose",
                          [&] { platform::ThrowIfFailed(kestrix_->RemoveAll(), L"Kestrix.RemoveAll"); });
    kestrix_.Reset();
    sink_.Reset();
}

void CTrayIcons::TakeIcons(const frmMain& owner) {
    enabled_ = owner.ImageIcon(L"PKSmall");
    disabled_ = owner.ImageIcon(L"PKSmallDisabled");
    default_ = owner.ImageIcon(L"Default");
}

bool CTrayIcons::SetTrayIcon(LONG id, HICON icon, const std::wstring& tip) {
    if (HasTrayIcon(id)) {
        platform::ComPtr<_KestrixItem> item;
        platform::ThrowIfFailed(kestrix_->Item(id, &item), L"Kestrix.Item");
        platform::ThrowIfFailed(item->Update(reinterpret_cast<LONG_PTR>(icon), platform::Bstr(tip).get()),
                                L"KestrixItem.Update");
        return false;
    }
    const auto picture = platform::Variant::FromInt64(reinterpret_cast<intptr_t>(icon));
    platform::ThrowIfFailed(kestrix_->Add(id, picture.get(), platform::Bstr(tip).get(), VARIANT_TRUE), L"Kestrix.Add");
    return true;
}

void CTrayIcons::RemoveTrayIcon(LONG id) {
    if (HasTrayIcon(id)) platform::ThrowIfFailed(kestrix_->Remove(id), L"Kestrix.Remove");
}

bool CTrayIcons::HasTrayIcon(LONG id) const {
    VARIANT_BOOL exists = VARIANT_FALSE;
    platform::ThrowIfFailed(kestrix_->Exists(id, &exists), L"Kestrix.Exists");
    return exists != VARIANT_FALSE;
}

void CTrayIcons::ShowProgramIcon(bool programEnabled) {
    programEnabled_ = programEnabled;
    RefreshProgramIcon();
}

void CTrayIcons::RefreshProgramIcon() {
    platform::Guard(ClassName, L"Refresh", [&] {
        if (!kestrix_) return;
        HICON icon = programEnabled_ ? enabled_.get() : disabled_.get();
        std::wstring tip = AppInfo::Title;
        if (!programEnabled_) tip += DisabledTipSuffix;
        switch (options_.hideIcon) {
            case HideIconNever: SetTrayIcon(ProgramIconId, icon, tip); break;
            case HideIconWhileTrayed: {
                LONG count = 0;
                platform::ThrowIfFailed(kestrix_->get_Count(&count), L"Kestrix.Count");
                // One icon may be a window's: then the program's stays away.
                if (count == 0 || (count == 1 && HasTrayIcon(ProgramIconId)))
                    SetTrayIcon(ProgramIconId, icon, tip);
                else if (count > 1)
                    RemoveTrayIcon(ProgramIconId);
                break;
            }
            case HideIconAlways: RemoveTrayIcon(ProgramIconId); break;
            default: platform::Raise(platform::errors::InvalidPropertyValue, std::wstring(ClassName) + L".Refresh");
        }
    });
}

bool CTrayIcons::ShowWindowIcon(HWND hWnd, HICON icon, const std::wstring& tip) {
    if (!kestrix_) return false;
    // Whether the program's icon shows may depend on how many there are.
    if (SetTrayIcon(TrayIconId(hWnd), icon ? icon : default_.get(), tip)) RefreshProgramIcon();
    return true;
}

void CTrayIcons::RemoveIcon(LONG id) {
    if (!kestrix_) return;
    RemoveTrayIcon(id);
    RefreshProgramIcon();
}
