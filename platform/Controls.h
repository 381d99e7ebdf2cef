#pragma once
// Small helpers over the standard controls of the program's dialogs: text,
// check state, enabling and showing, combo box items and selection.
#include <windows.h>

#include <string>
#include <vector>

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

}  // namespace platform
