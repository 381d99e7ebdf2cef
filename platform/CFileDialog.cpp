#include "CFileDialog.h"

#include <algorithm>
#include <vector>

#include "Guard.h"

namespace {

constexpr wchar_t ClassName[] = L"CFileDialog";
constexpr DWORD DefaultFlags = OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN | OFN_NOTESTFILECREATE |
                               OFN_NONETWORKBUTTON | OFN_NOLONGNAMES | OFN_NODEREFERENCELINKS | OFN_LONGNAMES;
constexpr wchar_t DefaultFilter[] = L"All Files (*.*)|*.*";
constexpr wchar_t FilterSeparator = L'|';
// Room left after the initial file name for the path the user chooses.
constexpr size_t FileNameRoom = 1024;
constexpr size_t FileTitleRoom = 512;

// The text before the first NUL: what the dialog wrote, without the rest of
// the buffer.
std::wstring TextBeforeNul(const std::vector<wchar_t>& buffer) {
    return std::wstring(buffer.data(), std::find(buffer.begin(), buffer.end(), L'\0') - buffer.begin());
}

std::wstring CurrentDirectory() {
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
}

const wchar_t* NullWhenEmpty(const std::wstring& text) noexcept { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

void CFileDialog::Initialize(HWND owner) {
    platform::Guard(ClassName, L"Initialize", [&] {
        owner_ = owner;
        flags_ = DefaultFlags;
        SetFilter(DefaultFilter);
    });
}

void CFileDialog::SetFilter(const std::wstring& filter) {
    filter_ = filter;
    std::replace(filter_.begin(), filter_.end(), FilterSeparator, L'\0');
    filter_.append(2, L'\0');
}

bool CFileDialog::ShowOpen(const std::wstring& title, const std::wstring& initialFile,
                           const std::wstring& initialFolder, int32_t filterIndex,
                           const std::wstring& defaultExtension) {
    return Show(false, title, initialFile, initialFolder, filterIndex, defaultExtension);
}

bool CFileDialog::ShowSave(const std::wstring& title, const std::wstring& initialFile,
                           const std::wstring& initialFolder, int32_t filterIndex,
                           const std::wstring& defaultExtension) {
    return Show(true, title, initialFile, initialFolder, filterIndex, defaultExtension);
}

bool CFileDialog::Show(bool save, const std::wstring& title, const std::wstring& initialFile,
                       const std::wstring& initialFolder, int32_t filterIndex, const std::wstring& defaultExtension) {
    return platform::Guard(ClassName, save ? L"ShowSave" : L"ShowOpen", [&] {
        std::vector<wchar_t> file(initialFile.size() + FileNameRoom + 1, L'\0');
        std::copy(initialFile.begin(), initialFile.end(), file.begin());
        std::vector<wchar_t> fileTitle(FileTitleRoom, L'\0');
        const std::wstring folder = initialFolder.empty() ? CurrentDirectory() : initialFolder;

        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner_;
        dialog.lpstrFilter = NullWhenEmpty(filter_);
        dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrFileTitle = fileTitle.data();
        dialog.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
        dialog.lpstrInitialDir = NullWhenEmpty(folder);
        dialog.lpstrTitle = NullWhenEmpty(title);
        dialog.Flags = flags_;
        dialog.lpstrDefExt = NullWhenEmpty(defaultExtension);
        if (!(save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog))) return false;

        fileName_ = TextBeforeNul(file);
        fileTitle_ = TextBeforeNul(fileTitle);
        TakeResults(dialog);
        return true;
    });
}

void CFileDialog::TakeResults(const OPENFILENAMEW& dialog) {
    filePath_ = fileName_.substr(0, std::min<size_t>(dialog.nFileOffset, fileName_.size()));
    // The offset is 0 for a name that ends in its point: no extension then,
    // rather than the whole path.
    const size_t extension = dialog.nFileExtension;
    fileExtension_ = extension > 0 && extension < fileName_.size() ? fileName_.substr(extension) : std::wstring();
    readOnly_ = (dialog.Flags & OFN_READONLY) != 0;
}

std::wstring CFileDialog::ExtractFolder(const std::wstring& path) {
    const size_t lastSeparator = path.rfind(L'\\');
    return lastSeparator == std::wstring::npos ? std::wstring() : path.substr(0, lastSeparator + 1);
}
