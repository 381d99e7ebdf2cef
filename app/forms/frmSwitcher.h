#pragma once
// The window switcher: a borderless pop-up in the middle of the screen with
// the icons of a list of windows in a grid; the hot key moves the selection,
// releasing its modifier brings the selected window forward.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "CToolTips.h"
#include "Gdi.h"
#include "Window.h"

class CWindow;

class frmSwitcher : public platform::Window {
public:
    static std::shared_ptr<frmSwitcher> Create();

    // Fills and shows the switcher over `windows` (the first is cell 1).
    void Display(std::vector<std::shared_ptr<CWindow>> windows, int32_t hotkey, int32_t hotkeyModifiers, bool reverse,
                 bool altTabMode, bool showCancel, HIMAGELIST imageList);
    // The selected cell (0: Cancel); writing wraps around and redraws.
    int32_t CurrentSelection() const noexcept;
    void SetCurrentSelection(int32_t value);
    // Called once when the form has gone, so that its opener can forget it.
    void OnUnload(std::function<void()> handler);

protected:
    frmSwitcher();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

private:
    // Sizes of the layout at the window's DPI.
    struct Metrics {
        int cell = 0, icon = 0, iconInset = 0, gridMargin = 0, suspendedFrame = 0;
        int captionGap = 0, captionHeight = 0, captionImageLeft = 0, captionImageTop = 0;
        int captionTextLeft = 0, captionTextRight = 0, cancelShift = 0;
        int extraWidth = 0, extraHeight = 0;
    };

    void CancelModes() const;
    void ReadGridSize();
    void Layout();
    void CloseWindow(bool activate);
    void RestoreForeground() const noexcept;
    int32_t GetCurrentWindowIndex() const;
    RECT GetWindowIconRect(int32_t index) const;
    // 1-based position of the window drawn under the point; 0 for none.
    int32_t GetWindowFromPos(int x, int y) const;
    void OnPaint(HDC dc) const;
    void OnPaintSelection(HDC dc) const;
    void DrawCaption(HDC dc) const;
    void OnSelectionChange(bool redraw);
    void RebuildToolTips();
    void Paint();
    void OnKeyDown(WPARAM key);
    void OnKeyUp(WPARAM key);
    void OnMouseDown(bool leftButton, int x, int y);
    void tmrClose_Timer();
    bool IsModifierKey(WPARAM key) const noexcept;
    bool ModifierReleased() const noexcept;
    std::shared_ptr<CWindow> WindowAt(int32_t position) const noexcept;
    int32_t LastVisible() const noexcept;

    std::vector<std::shared_ptr<CWindow>> windows_;
    int32_t count_ = 0;
    int32_t hotkey_ = 0;
    HWND previousForeground_ = nullptr;
    int32_t hotkeyModifiers_ = 0;
    bool showCancel_ = false;
    HIMAGELIST imageList_ = nullptr;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    int32_t rowsUsed_ = 0;
    int32_t visibleColumns_ = 0;
    int32_t maxCells_ = 0;
    int32_t firstVisible_ = 0;
    int32_t currentSelection_ = 1;
    HICON programIcon_ = nullptr;
    HICON windowIcon_ = nullptr;
    Metrics metrics_{};
    RECT gridRect_{}, iconArea_{}, captionRect_{}, captionTextRect_{};
    SIZE windowSize_{};
    platform::UniqueFont captionFont_;
    std::unique_ptr<CToolTips> toolTips_;
    bool closing_ = false;
    bool timerRunning_ = false;
    std::function<void()> unloadHandler_;
};
