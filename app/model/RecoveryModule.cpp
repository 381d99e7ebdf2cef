#include "RecoveryModule.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CRegistry.h"
#include "CRule.h"
#include "CWindow.h"
#include "Error.h"
#include "ErrorModule.h"
#include "Handles.h"
#include "WindowModule.h"
#include "Strings.h"
#include "Version.h"

namespace {

constexpr wchar_t ModuleName[] = L"RecoveryModule";
// An entry's text: the action, a blank, the window's process ID.
constexpr wchar_t FieldSeparator = L' ';

// What this process has written, so that refreshing a window whose action is
// in force already costs no registry write.
std::unordered_map<HWND, int32_t>& Recorded() {
    static std::unordered_map<HWND, int32_t> recorded;
    return recorded;
}

std::wstring ProgramKeyPath() { return CRegistry::BaseKey(AppInfo::CompanyName, AppInfo::ProductName); }

void LogFailure(LSTATUS status, const wchar_t* procedure) {
    LogError(static_cast<int32_t>(status), platform::SystemMessage(static_cast<DWORD>(status)), ModuleName, procedure);
}

// The record's key, made on demand. The program key is made non-volatile
// first: a volatile key may have only volatile children, and the settings
// stored beside the record must outlive the session.
platform::UniqueHKey OpenRecord(bool create, const wchar_t* procedure) {
    platform::UniqueHKey key;
    const std::wstring path = ProgramKeyPath() + L"\\" + RecoverySection;
    LSTATUS status = ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (status == ERROR_SUCCESS || !create) {
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) LogFailure(status, procedure);
        return key;
    }
    platform::UniqueHKey program;
    status = ::RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKeyPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_CREATE_SUB_KEY, nullptr, program.put(), nullptr);
    if (status == ERROR_SUCCESS)
        status = ::RegCreateKeyExW(program.get(), RecoverySection, 0, nullptr, REG_OPTION_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) LogFailure(status, procedure);
    return key;
}

struct Entry {
    HWND window = nullptr;
    int32_t action = ActionNone;
    DWORD processId = 0;
};

// Nothing when the entry is not one this program wrote.
std::optional<Entry> ParseEntry(const std::wstring& name, const std::wstring& text) {
    const auto handle = platform::ParseInt32(name);
    const size_t blank = text.find(FieldSeparator);
    if (!handle || *handle == 0 || blank == std::wstring::npos) return std::nullopt;
    const auto action = platform::ParseInt32(std::wstring_view(text).substr(0, blank));
    const auto process = platform::ParseInt32(std::wstring_view(text).substr(blank + 1));
    if (!action || !process || *process <= 0) return std::nullopt;
    return Entry{reinterpret_cast<HWND>(static_cast<intptr_t>(*handle)), *action, static_cast<DWORD>(*process)};
}

struct StoredValue {
    std::wstring name;
    std::wstring text;
    bool isText = false;
};

std::vector<StoredValue> ReadAll(HKEY key) {
    std::vector<StoredValue> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[MAX_PATH];
        DWORD nameLength = MAX_PATH;
        DWORD type = 0;
        BYTE data[128];
        DWORD size = sizeof data - sizeof(wchar_t);
        const LSTATUS status = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        StoredValue value;
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) value.name.assign(name, nameLength);
        // Anything but short text is not ours; it is dropped with the rest.
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            data[size] = 0;
            data[size + 1] = 0;
            value.text = reinterpret_cast<const wchar_t*>(data);
            value.isText = true;
        }
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) values.push_back(std::move(value));
        else break;
    }
    return values;
}

}  // namespace

void RecordWindowAction(HWND hWnd, int32_t action) {
    auto& recorded = Recorded();
    if (auto it = recorded.find(hWnd); it != recorded.end() && it->second == action) return;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hWnd, &processId);
    if (!processId) return;
    auto key = OpenRecord(true, L"RecordWindowAction");
    if (!key) return;
    const std::wstring text = std::to_wstring(action) + FieldSeparator + std::to_wstring(processId);
    const LSTATUS status = ::RegSetValueExW(key.get(), WindowKey(hWnd).c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        LogFailure(status, L"RecordWindowAction");
        return;
    }
    recorded[hWnd] = action;
}

void ForgetWindowAction(HWND hWnd) {
    if (Recorded().erase(hWnd) == 0) return;
    auto key = OpenRecord(false, L"ForgetWindowAction");
    if (!key) return;
    const LSTATUS status = ::RegDeleteValueW(key.get(), WindowKey(hWnd).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) LogFailure(status, L"ForgetWindowAction");
}

int RestoreRecordedWindows() {
    Recorded().clear();
    auto key = OpenRecord(false, L"RestoreRecordedWindows");
    if (!key) return 0;
    int restored = 0;
    for (const auto& value : ReadAll(key.get())) {
        const auto entry = value.isText ? ParseEntry(value.name, value.text) : std::nullopt;
        if (!entry) {
            LogError(platform::errors::InvalidProcedureCall,
                     L"The recovery entry '" + value.name + L"' is not one this program wrote; it is dropped.",
                     ModuleName, L"RestoreRecordedWindows");
        } else {
            DWORD processId = 0;
            // A handle reused by another program's window is left alone.
            if (::IsWindow(entry->window) && ::GetWindowThreadProcessId(entry->window, &processId) &&
                processId == entry->processId) {
                CWindow::UndoAction(entry->window, entry->action);
                ++restored;
            }
        }
        ::RegDeleteValueW(key.get(), value.name.c_str());
    }
    return restored;
}
