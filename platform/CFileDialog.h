#pragma once
// The platform's open-file dialog, and the chosen path split into its folder,
// name and extension.
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>

class CFileDialog {
public:
    // The dialog's owner; the flags and the filter back to their defaults.
    void Initialize(HWND owner);
    // Shows the dialog; true when the user chose a file. A cancelled or failed
    // dialog leaves the previous results as they were. An empty folder starts
    // in the current directory.
    bool ShowOpen(const std::wstring& title, const std::wstring& initialFile, const std::wstring& initialFolder,
                  int32_t filterIndex, const std::wstring& defaultExtension);
    // The same for a file to write.
    bool ShowSave(const std::wstring& title, const std::wstring& initialFile, const std::wstring& initialFolder,
                  int32_t filterIndex, const std::wstring& defaultExtension);

    // The folder part of a path with its trailing backslash; empty when the
    // path names no folder.
    static std::wstring ExtractFolder(const std::wstring& path);

    // Set as "Name|pattern|Name|pattern"; read back in the dialog's own form,
    // each "|" a NUL and two NULs at the end.
    const std::wstring& Filter() const noexcept { return filter_; }
    void SetFilter(const std::wstring& filter);
    // OFN_* bits.
    DWORD Flags() const noexcept { return flags_; }
    void SetFlags(DWORD flags) noexcept { flags_ = flags; }

    const std::wstring& FileName() const noexcept { return fileName_; }
    const std::wstring& FilePath() const noexcept { return filePath_; }
    const std::wstring& FileTitle() const noexcept { return fileTitle_; }
    const std::wstring& FileExtension() const noexcept { return fileExtension_; }
    bool ReadOnly() const noexcept { return readOnly_; }

private:
    bool Show(bool save, const std::wstring& title, const std::wstring& initialFile, const std::wstring& initialFolder,
              int32_t filterIndex, const std::wstring& defaultExtension);
    void TakeResults(const OPENFILENAMEW& dialog);

    HWND owner_ = nullptr;
    DWORD flags_ = 0;
    std::wstring filter_;
    std::wstring fileName_;
    std::wstring filePath_;
    std::wstring fileTitle_;
    std::wstring fileExtension_;
    bool readOnly_ = false;
};
