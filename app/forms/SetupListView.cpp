#include "SetupListView.h"

#include <array>

#include "CRegistry.h"
#include "Guard.h"
#include "Window.h"
#include "frmSetupIds.h"

namespace setup_list {

namespace {
constexpr wchar_t ViewsSection[] = L"Views";
}  // namespace

std::wstring ItemText(HWND list, int item, int column) {
    std::array<wchar_t, 1024> buffer{};
    ListView_GetItemText(list, item, column, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

void SetItemText(HWND list, int item, int column, const std::wstring& text) {
    if (ItemText(list, item, column) == text) return;
    ListView_SetItemText(list, item, column, const_cast<wchar_t*>(text.c_str()));
}

int InsertItem(HWND list, int position, const std::wstring& text, LPARAM tag) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = tag;
    return ListView_InsertItem(list, &item);
}

int FindItemByTag(HWND list, LPARAM tag) {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = tag;
    return ListView_FindItem(list, -1, &find);
}

LPARAM ItemTag(HWND list, int item) {
    LVITEMW entry{};
    entry.mask = LVIF_PARAM;
    entry.iItem = item;
    ListView_GetItem(list, &entry);
    return entry.lParam;
}

void AddColumns(HWND list, std::span<const Column> columns, UINT dpi) {
    int index = 0;
    for (const auto& column : columns) {
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.pszText = const_cast<wchar_t*>(column.header);
        entry.cx = platform::ScaleForDpi(column.width96, dpi);
        ListView_InsertColumn(list, index++, &entry);
    }
}

bool ReadColumnWidths(const CRegistry& store, HWND list, std::span<const Column> columns) {
    constexpr int NotStored = 0;
    bool stored = false;
    int index = 0;
    for (const auto& column : columns) {
        platform::SkipFailure(SetupLogSource, L"Form_Load", [&] {
            const int width =
                SettingToInt32(store.GetSetting(ViewsSection, column.StoredName(), NotStored), L"frmSetup.Form_Load");
            if (width > 0) {
                ListView_SetColumnWidth(list, index, width);
                stored = true;
            }
        });
        ++index;
    }
    return stored;
}

void FitColumns(HWND list, std::span<const Column> columns) {
    RECT client{};
    if (!::GetClientRect(list, &client)) return;
    const int room = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
    int designed = 0;
    for (const auto& column : columns) designed += column.width96;
    if (room <= 0 || designed <= 0) return;
    int given = 0;
    for (size_t index = 0; index < columns.size(); ++index) {
        // The last column takes what rounding left over.
        const int width = index + 1 == columns.size() ? room - given : ::MulDiv(columns[index].width96, room, designed);
        ListView_SetColumnWidth(list, static_cast<int>(index), width);
        given += width;
    }
}

void ScaleColumns(HWND list, UINT toDpi, UINT fromDpi) {
    if (!toDpi || !fromDpi || toDpi == fromDpi) return;
    HWND header = ListView_GetHeader(list);
    const int count = header ? Header_GetItemCount(header) : 0;
    for (int index = 0; index < count; ++index)
        ListView_SetColumnWidth(list, index,
                                ::MulDiv(ListView_GetColumnWidth(list, index), static_cast<int>(toDpi),
                                         static_cast<int>(fromDpi)));
}

void WriteColumnWidths(CRegistry& store, HWND list, std::span<const Column> columns) {
    int index = 0;
    for (const auto& column : columns)
        store.SaveSetting(ViewsSection, column.StoredName(), ListView_GetColumnWidth(list, index++), REG_SZ);
}

}  // namespace setup_list
