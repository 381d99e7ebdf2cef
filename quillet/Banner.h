#pragma once
// A side banner: a gradient strip with an icon at its foot and a caption
// reading upwards, drawn along the left edge of the pop-up bands that use it.
// The strip is rendered once for a band's height and kept until released.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "BannerImage.h"
#include "ColorScheme.h"
#include "ComObject.h"
#include "QuilletInterfaces.h"

class Banner final : public platform::com::ComBase<Banner, platform::com::Dispatch<_Banner>,
                                                   platform::com::SupportErrorInfo> {
public:
    struct Settings {
        std::wstring name;
        LONG width = 0;
        std::wstring caption;
        LONG icon = -1;
        platform::ComPtr<IFontDisp> font;
        OLE_COLOR foreColor = 0xFFFFFF;
        OLE_COLOR backColor = 0;
        OLE_COLOR backColor2 = 0;
    };

    // Made through Make, which hands out the first reference.
    explicit Banner(Settings settings) : settings_(std::move(settings)) {}

    static platform::ComPtr<Banner> Make(Settings settings);
    // The object behind an interface of this component's banners; nullptr
    // for anything else.
    static Banner* From(IUnknown* object) noexcept;

    void* Cast(REFIID iid) noexcept;

    const std::wstring& Name() const noexcept { return settings_.name; }
    // Width at the DPI (never below 0).
    int StripWidth(UINT dpi) const noexcept;
    // Renders the strip for a band of that height, unless it is rendered
    // already. A palette without ornaments (high contrast) gets a plain strip
    // in its highlight colours instead of the gradient.
    void Render(int bandHeight, HIMAGELIST imageList, UINT dpi,
                const platform::Palette& palette = platform::PaletteOf(platform::Scheme::Light));
    bool Rendered() const noexcept { return image_ != nullptr; }
    // Copies the strip's rows [top, bottom) to (0, 0) of `dc`.
    void Slice(HDC dc, int top, int bottom) const;
    void ReleaseImage() noexcept { image_.reset(); }

    // _Banner
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_Width(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Icon(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_Icon(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** value) override;
    HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* value) override;
    HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE get_BackColor2(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_BackColor2(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE get_TextOffset(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_TextOffset(LONG value) override;

private:
    friend platform::com::ComBase<Banner, platform::com::Dispatch<_Banner>, platform::com::SupportErrorInfo>;
    ~Banner() override = default;

    BannerArt Art(UINT dpi, const platform::Palette& palette) const;

    Settings settings_;
    LONG textOffset_ = 0;
    std::unique_ptr<BannerImage> image_;
};
