#pragma once
// Tips for areas and child windows of a form, over the platform's tooltip
// control. Every member does nothing (and answers false, 0 or empty) while
// the control does not exist.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Handles.h"

class CToolTips {
public:
    CToolTips() = default;
    CToolTips(const CToolTips&) = delete;
    CToolTips& operator=(const CToolTips&) = delete;
    ~CToolTips();

    // Makes the control (once) and sets its automatic delay; false when the
    // control cannot be made.
    bool Initialize(HWND parent, int32_t automaticDelay);
    // Takes on the colours of the program's current scheme.
    void FollowColorScheme() noexcept;
    // A tip for a rectangle of `window`; false when a tool with the ID exists
    // or the control refuses.
    bool AddArea(HWND window, UINT_PTR id, int left, int top, int right, int bottom, const std::wstring& text);
    // A tip for a whole child window, whose handle is its ID.
    bool AddWindow(HWND parent, HWND child, const std::wstring& text);
    std::wstring GetText(UINT_PTR id) const;
    void SetText(UINT_PTR id, const std::wstring& text);
    bool Remove(UINT_PTR id);
    bool RemoveAll();

    // One area's tip, for SetAreas.
    struct Area {
        UINT_PTR id;
        RECT rect;
        std::wstring text;
    };
    // Makes the area tips of `window` exactly these: tools kept are moved and
    // retitled in place, so a form that lists many areas at every showing
    // adds and removes only those that came or went. Tips of child windows
    // are left alone. The control does not hook the window for these (its
    // hook costs every message of the window a look-up in the window's
    // properties): the window hands its mouse messages to RelayMouse.
    void SetAreas(HWND window, const std::vector<Area>& areas);
    // Passes a mouse message of a window with SetAreas tips on to the control.
    void RelayMouse(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const noexcept;

    COLORREF BackColor() const;
    void SetBackColor(COLORREF color);
    COLORREF ForeColor() const;
    void SetForeColor(COLORREF color);
    int32_t Count() const;
    // Indexed by TTDT_AUTOMATIC, TTDT_RESHOW, TTDT_AUTOPOP, TTDT_INITIAL.
    int32_t Delay(int which) const;
    void SetDelay(int which, int32_t milliseconds);
    // Indexed by side: 0 left, 1 top, 2 right, 3 bottom.
    int32_t Margin(int side) const;
    void SetMargin(int side, int32_t value);
    int32_t MaxTipWidth() const;
    void SetMaxTipWidth(int32_t width);

    HWND hWnd() const noexcept { return control_.get(); }

private:
    // The tool with this ID, read back from the control.
    std::optional<TOOLINFOW> GetToolInfo(UINT_PTR id, std::wstring* text = nullptr) const;
    void RememberLength(const std::wstring& text) noexcept;
    // The text of the tool this record names.
    std::wstring ReadText(TOOLINFOW info) const;
    bool AddTool(TOOLINFOW info, const std::wstring& text);
    // Sends to the control; 0 while there is none.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const noexcept;

    platform::UniqueWindow control_;
    // The longest tip text seen, in characters with its terminator: the
    // buffer size for reading texts back.
    size_t longestText_ = 1;
};
