#pragma once
// Small helpers over the standard controls of the program's dialogs: text,
// check state, enabling and showing, combo box items and selection, check
// lists, tree nodes, sliders and the dialog's focus.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "Gdi.h"

namespace platform {

std::wstring ControlText(HWND control);
void SetControlText(HWND control, const std::wstring& text) noexcept;
bool IsChecked(HWND button) noexcept;
void SetChecked(HWND button, bool checked) noexcept;
void EnableControl(HWND control, bool enabled) noexcept;
void ShowControl(HWND control, bool visible) noexcept;
// A combo box's items replaced by these; its selection cleared.
void SetComboItems(HWND combo, const std::vector<std::wstring>& items);
// The selected position, -1 for none; selecting -1 clears the selection.
int ComboSelection(HWND combo) noexcept;
void SelectCombo(HWND combo, int position) noexcept;

// Gives a dialog's control the focus the way the dialog manager does, so
// that default buttons and edit selections follow.
void FocusDialogControl(HWND dialog, HWND control) noexcept;

// --- check lists: a one-column report list view with check boxes ----------------

// The list's rows replaced by these, all unchecked; the one column spans the
// list's width.
void SetCheckListItems(HWND list, const std::vector<std::wstring>& items);
bool IsRowChecked(HWND list, int row) noexcept;
void SetRowChecked(HWND list, int row, bool checked) noexcept;
// Makes the row the current one: focused and selected.
void SetCurrentRow(HWND list, int row) noexcept;
// Whether a list view change notification reports a check box turned.
bool IsCheckChange(const NMLISTVIEW& change) noexcept;

// --- tree views -------------------------------------------------------------------

// A top-level node at the end, carrying `tag`.
HTREEITEM AddTreeNode(HWND tree, const std::wstring& text, LPARAM tag);
LPARAM TreeNodeTag(HWND tree, HTREEITEM node) noexcept;
void SelectTreeNode(HWND tree, HTREEITEM node) noexcept;

// --- sliders (trackbars) ----------------------------------------------------------

// Range, the step of the arrow keys, and that of the page keys, which is
// also the distance between tick marks.
void SetSliderRange(HWND slider, int minimum, int maximum, int lineStep, int pageStep) noexcept;
int SliderPosition(HWND slider) noexcept;
void SetSliderPosition(HWND slider, int position) noexcept;

// --- tab pages --------------------------------------------------------------------

// The controls of a dialog's tab pages lie on the dialog over its tab control,
// whose page a theme may draw in another colour than the dialog's face.
// Their colour messages answer with the page as the tab control draws it, so
// labels, check boxes and sliders stand on the page instead of in boxes of
// the dialog's colour; without a theme the page is the face and nothing shows.
class TabPageBackground {
public:
    // Takes a picture of the tab control's page as it draws it now: when the
    // dialog opens, and again when the tab is resized or the theme changes.
    void Capture(HWND tab);
    // WM_CTLCOLORSTATIC (labels, check boxes, group boxes, sliders): the
    // brush that continues the page under a control lying on it, with the
    // text drawn transparently; null for a control elsewhere.
    HBRUSH ForControl(HDC dc, HWND control) const noexcept;

private:
    HWND tab_ = nullptr;
    RECT page_{};  // in the tab control's client coordinates
    std::unique_ptr<MemoryBitmap> picture_;
    UniqueBrush brush_;
};

}  // namespace platform
