#pragma once
// The window switcher: a borderless pop-up in the middle of the screen with
// the icons of a list of windows in a grid; the hot key moves the selection,
// releasing its modifier brings the selected window forward.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CToolTips.h"
#include "ColorScheme.h"
#include "ITrayFace.h"
#include "Gdi.h"
#include "SwitcherLayout.h"
#include "Window.h"

class CWindow;

class frmSwitcher : public platform::Window {
public:
    // `face` opens a window's menu on a right click; it may go before the switcher.
    static std::shared_ptr<frmSwitcher> Create(std::weak_ptr<ITrayFace> face);

    // Fills and shows the switcher over `windows` (the first is cell 1).
    void Display(std::vector<std::shared_ptr<CWindow>> windows, int32_t hotkey, int32_t hotkeyModifiers, bool reverse,
                 bool altTabMode, bool showCancel, HIMAGELIST imageList);
    // The selected cell (0: Cancel); writing wraps around and redraws.
    int32_t CurrentSelection() const noexcept;
    void SetCurrentSelection(int32_t value);
    // Called once when the form has gone, so that its opener can forget it.
    void OnUnload(std::function<void()> handler);

protected:
    explicit frmSwitcher(std::weak_ptr<ITrayFace> face);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

private:
    void CancelModes() const;
    void ReadGridSize();
    void Layout(bool showCancel);
    void CloseWindow(bool activate);
    void RestoreForeground() const noexcept;
    int32_t GetCurrentWindowIndex() const;
    void OnPaint(HDC dc) const;
    void OnPaintSelection(HDC dc, const platform::Palette& palette) const;
    void DrawCaption(HDC dc) const;
    // The selected window's name as the caption shows it ("Cancel" for the
    // cancel cell), and the screen reader's news of it.
    std::wstring SelectionName() const;
    void AnnounceSelection();
    // Redraws; the tips follow the cells when they moved.
    void OnSelectionChange(bool cellsMoved);
    void RebuildToolTips();
    void Paint();
    void OnKeyDown(WPARAM key);
    void OnKeyUp(WPARAM key);
    void OnMouseDown(bool leftButton, int x, int y);
    void tmrClose_Timer();
    bool IsModifierKey(WPARAM key) const noexcept;
    bool ModifierReleased() const noexcept;
    std::shared_ptr<CWindow> WindowAt(int32_t position) const noexcept;
    int32_t Count() const noexcept;

    std::vector<std::shared_ptr<CWindow>> windows_;
    int32_t hotkey_ = 0;
    HWND previousForeground_ = nullptr;
    int32_t hotkeyModifiers_ = 0;
    HIMAGELIST imageList_ = nullptr;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    HICON programIcon_ = nullptr;
    HICON windowIcon_ = nullptr;
    SwitcherLayout layout_;
    platform::UniqueFont captionFont_;
    std::wstring announced_;  // the name a screen reader was last told
    std::unique_ptr<CToolTips> toolTips_;
    bool closing_ = false;
    bool timerRunning_ = false;
    std::function<void()> unloadHandler_;
    std::weak_ptr<ITrayFace> face_;
};
