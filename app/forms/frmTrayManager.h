#pragma once
// The Tray Manager: a small pop-up strip with a slot for every window in the
// tray; a click restores a window, a right click opens its window menu.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ColorScheme.h"
#include "Gdi.h"
#include "ITrayFace.h"
#include "TrayStripLayout.h"
#include "Window.h"

class CToolTips;
class CWindow;

class frmTrayManager : public platform::Window, private IApplicationEvents {
public:
    // Shows the windows `face` holds; the face may go before the form.
    static std::shared_ptr<frmTrayManager> Create(std::weak_ptr<ITrayFace> face);
    ~frmTrayManager() override;

    // Prepares the form; called once after it is created.
    void Initialize();
    // Sized to the trayed windows and shown with its bottom-left corner at
    // the screen point, or resized in place when it is shown already.
    void Display(int32_t x, int32_t y, bool activate);

protected:
    explicit frmTrayManager(std::weak_ptr<ITrayFace> face);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

private:
    // IApplicationEvents: the registry changed while the pop-up is open.
    void WindowAdd() override;
    void WindowRemove() override;

    // The outer size around the layout's client area.
    SIZE DesignedSize() const;
    void RebuildTips();
    std::shared_ptr<CWindow> GetWindowFromPos(int x, int y) const;

    void OnPaint();
    void Paint(HDC dc);
    void PaintPin(HDC dc, const platform::Palette& palette) const;
    void PaintIcons(HDC dc) const;
    void OnActivate(bool active);
    LRESULT OnHitTest(WPARAM wParam, LPARAM lParam);
    void OnMouseDown(int button, int x, int y);
    void OnMouseMove(int x, int y);
    void OnMouseUp(int button, int x, int y);
    // The keyboard: Tab and the arrows move the selection among the icons,
    // Enter or Space does the icon's click, the menu key opens its window
    // menu and Esc closes the form.
    bool OnKeyDown(WPARAM key);
    void Select(int position);
    void RunSelected(bool menu);
    void AnnounceSelection();
    void ColorSchemeChange() override;
    void CloseWindow() noexcept;

    bool pinPressed_ = false;
    bool pinHot_ = false;
    bool pinned_ = false;
    bool observing_ = false;
    int selection_ = 0;       // the icon the keyboard reached, 1-based; 0 none
    std::wstring announced_;  // the name a screen reader was last told
    BYTE alpha_ = 128;
    UINT dpi_ = 96;
    std::unique_ptr<CToolTips> tips_;
    platform::UniqueFont titleFont_;
    TrayStripLayout layout_;
    std::weak_ptr<ITrayFace> face_;
};
