#include "Banner.h"

#include <algorithm>

#include "ComError.h"
#include "Guard.h"
#include "FontsModule.h"
#include "GradientModule.h"
#include "ToolDrawing.h"
#include "Variant.h"

using platform::CheckOut;

namespace {

constexpr platform::LogSource Log{L"Banner"};

// Answered only by this component's banners, so that an interface handed
// back by a client leads to the object behind it.
const GUID BannerObjectIid = {0x581a004e, 0x9439, 0x4910, {0x97, 0x41, 0xc0, 0x9b, 0x2c, 0x7a, 0x8b, 0xa8}};

}  // namespace

platform::ComPtr<Banner> Banner::Make(Settings settings) {
    return platform::com::MakeObject<Banner>(std::move(settings));
}

Banner* Banner::From(IUnknown* object) noexcept {
    if (!object) return nullptr;
    void* raw = nullptr;
    if (FAILED(object->QueryInterface(BannerObjectIid, &raw)) || !raw) return nullptr;
    auto* banner = static_cast<Banner*>(static_cast<_Banner*>(raw));
    // The caller's reference keeps the object alive.
    banner->Release();
    return banner;
}

void* Banner::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Banner || iid == BannerObjectIid)
        return static_cast<_Banner*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

int Banner::StripWidth(UINT dpi) const noexcept {
    return ToolDrawing::Scale(std::max<LONG>(settings_.width, 0), dpi);
}

BannerArt Banner::Art(UINT dpi, const platform::Palette& palette) const {
    BannerArt art;
    art.caption = settings_.caption;
    art.icon = settings_.icon;
    if (palette.ornaments) {
        art.foreColor = GradientModule::TranslateColor(settings_.foreColor);
        art.topColor = GradientModule::TranslateColor(settings_.backColor2);
        art.bottomColor = GradientModule::TranslateColor(settings_.backColor);
    } else {
        art.foreColor = palette.highlightText;
        art.topColor = art.bottomColor = palette.highlight;
    }
    art.textOffset = ToolDrawing::Scale(textOffset_, dpi);
    return art;
}

void Banner::Render(int bandHeight, HIMAGELIST imageList, UINT dpi, const platform::Palette& palette) {
    if (image_) return;
    const SIZE size{StripWidth(dpi), bandHeight};
    if (size.cx <= 0 || size.cy <= 0) return;
    platform::UniqueFont font;
    if (!settings_.caption.empty()) font = FontsModule::BannerFont(settings_.font.Get(), dpi);
    image_ = std::make_unique<BannerImage>(Art(dpi, palette), size, imageList, font.get(), dpi);
}

void Banner::Slice(HDC dc, int top, int bottom) const {
    if (image_) image_->Slice(dc, top, bottom);
}

HRESULT Banner::get_Name(BSTR* value) {
    return Log.Member(L"Get_Name", [&] { *CheckOut(value) = platform::Bstr(settings_.name).Detach(); });
}

HRESULT Banner::get_Width(LONG* value) {
    return Log.Member(L"Get_Width", [&] { *CheckOut(value) = settings_.width; });
}

HRESULT Banner::put_Width(LONG value) {
    return Log.Member(L"Let_Width", [&] { settings_.width = value; });
}

HRESULT Banner::get_Caption(BSTR* value) {
    return Log.Member(L"Get_Caption", [&] { *CheckOut(value) = platform::Bstr(settings_.caption).Detach(); });
}

HRESULT Banner::put_Caption(BSTR value) {
    return Log.Member(L"Let_Caption", [&] { settings_.caption = platform::Bstr::Text(value); });
}

HRESULT Banner::get_Icon(LONG* value) {
    return Log.Member(L"Get_Icon", [&] { *CheckOut(value) = settings_.icon; });
}

HRESULT Banner::put_Icon(LONG value) {
    return Log.Member(L"Let_Icon", [&] { settings_.icon = value; });
}

HRESULT Banner::get_Font(IFontDisp** value) {
    return Log.Member(L"Get_Font", [&] {
        IFontDisp** out = CheckOut(value);
        *out = platform::ComPtr<IFontDisp>(settings_.font).Detach();
    });
}

HRESULT Banner::putref_Font(IFontDisp* value) {
    return Log.Member(L"Set_Font", [&] { settings_.font = value; });
}

HRESULT Banner::get_ForeColor(OLE_COLOR* value) {
    return Log.Member(L"Get_ForeColor", [&] { *CheckOut(value) = settings_.foreColor; });
}

HRESULT Banner::put_ForeColor(OLE_COLOR value) {
    return Log.Member(L"Let_ForeColor", [&] { settings_.foreColor = value; });
}

HRESULT Banner::get_BackColor(OLE_COLOR* value) {
    return Log.Member(L"Get_BackColor", [&] { *CheckOut(value) = settings_.backColor; });
}

HRESULT Banner::put_BackColor(OLE_COLOR value) {
    return Log.Member(L"Let_BackColor", [&] { settings_.backColor = value; });
}

HRESULT Banner::get_BackColor2(OLE_COLOR* value) {
    return Log.Member(L"Get_BackColor2", [&] { *CheckOut(value) = settings_.backColor2; });
}

HRESULT Banner::put_BackColor2(OLE_COLOR value) {
    return Log.Member(L"Let_BackColor2", [&] { settings_.backColor2 = value; });
}

HRESULT Banner::get_TextOffset(LONG* value) {
    return Log.Member(L"Get_TextOffset", [&] { *CheckOut(value) = textOffset_; });
}

HRESULT Banner::put_TextOffset(LONG value) {
    return Log.Member(L"Let_TextOffset", [&] { textOffset_ = value; });
}
