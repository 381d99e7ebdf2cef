#pragma once
// The rules editor's two lists: their items (each carrying a tag that names
// what it shows), their columns and the widths the user gave them, kept
// between sessions.
#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>

class CRegistry;

namespace setup_list {

struct Column {
    const wchar_t* header;
    int width96;
    // The name its width is stored under, when the header is not unique
    // across the two lists.
    const wchar_t* storedAs = nullptr;
    const wchar_t* StoredName() const noexcept { return storedAs ? storedAs : header; }
};

std::wstring ItemText(HWND list, int item, int column);
// Sets the text only when it differs, so that a refresh does not flicker.
void SetItemText(HWND list, int item, int column, const std::wstring& text);
int InsertItem(HWND list, int position, const std::wstring& text, LPARAM tag);
int FindItemByTag(HWND list, LPARAM tag);
LPARAM ItemTag(HWND list, int item);

void AddColumns(HWND list, std::span<const Column> columns, UINT dpi);
// The widths the user gave the columns; false when none was stored.
bool ReadColumnWidths(const CRegistry& store, HWND list, std::span<const Column> columns);
// The columns share the list's width (less room for a vertical scroll bar)
// in the proportions of their designed widths.
void FitColumns(HWND list, std::span<const Column> columns);
// Every column's width taken from one screen density to another.
void ScaleColumns(HWND list, UINT toDpi, UINT fromDpi);
void WriteColumnWidths(CRegistry& store, HWND list, std::span<const Column> columns);

}  // namespace setup_list
