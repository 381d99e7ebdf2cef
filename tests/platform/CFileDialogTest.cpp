// The open-file dialog as a user works it: the real dialog of this process,
// found and answered from another thread (the file name typed into its box,
// then Open or Cancel), and the chosen path split into its parts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <future>
#include <string>
#include <vector>

#include "CFileDialog.h"
#include "Dialogs.h"
#include "Handles.h"
#include "Wait.h"

using namespace testing_support;

namespace {

constexpr wchar_t Caption[] = L"Choose an icon";

// A folder of the test's own with one icon file in it, gone afterwards. The
// dialog moves the current directory to the folder chosen: it goes back
// first, or the folder could not be removed.
class IconFolder {
public:
    IconFolder() {
        ::GetCurrentDirectoryW(MAX_PATH, startFolder_);
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"CFileDialogTest" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        platform::UniqueFile file(::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ~IconFolder() {
        ::SetCurrentDirectoryW(startFolder_);
        ::DeleteFileW(File().c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    const std::wstring& Folder() const { return folder_; }
    std::wstring File() const { return folder_ + L"app.ico"; }

private:
    wchar_t startFolder_[MAX_PATH] = {};
    std::wstring folder_;
};

// The box the user types the file name into: an edit of its own, or the edit
// of the file name combo box.
HWND FileNameBox(HWND dialog) {
    if (HWND edit = ::GetDlgItem(dialog, edt1)) return edit;
    HWND combo = ::GetDlgItem(dialog, cmb13);
    HWND edit = combo ? ::FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
    return edit ? edit : combo;
}

// On another thread: waits for this process's open dialog, types the name
// (when there is one) and presses the button. Answers whether it found the dialog.
std::future<bool> AnswerOpenDialog(const std::wstring& fileName, int button) {
    return std::async(std::launch::async, [=] {
        HWND dialog = nullptr;
        if (!WaitUntil([&] { return (dialog = FindDialog(Caption, ::GetCurrentProcessId())) != nullptr; }))
            return false;
        if (!fileName.empty()) {
            HWND box = FileNameBox(dialog);
            if (!box) return false;
            ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()));
        }
        return PressButton(dialog, button);
    });
}

std::vector<std::wstring> Results(const CFileDialog& dialog) {
    return {dialog.FileName(), dialog.FilePath(), dialog.FileTitle(), dialog.FileExtension()};
}

}  // namespace

TEST(CFileDialogTest, TheChosenFileIsSplitIntoItsPartsAndCancellingKeepsThem) {
    const IconFolder icons;
    CFileDialog dialog;
    dialog.Initialize(nullptr);
    dialog.SetFilter(L"Icons (*.ico)|*.ico|All Files (*.*)|*.*");
    EXPECT_EQ(dialog.Filter(), std::wstring(L"Icons (*.ico)\0*.ico\0All Files (*.*)\0*.*\0\0", 41));

    auto chose = AnswerOpenDialog(icons.File(), IDOK);
    ASSERT_TRUE(dialog.ShowOpen(Caption, L"", icons.Folder(), 1, L"ico"));
    ASSERT_TRUE(chose.get()) << "no open dialog came up";
    // The name is nothing but the chosen path; the folder keeps its backslash.
    const std::vector<std::wstring> chosen{icons.File(), icons.Folder(), L"app.ico", L"ico"};
    EXPECT_EQ(Results(dialog), chosen);
    EXPECT_FALSE(dialog.ReadOnly());

    auto cancelled = AnswerOpenDialog(L"", IDCANCEL);
    EXPECT_FALSE(dialog.ShowOpen(Caption, L"other.ico", L"", 1, L"ico"));
    ASSERT_TRUE(cancelled.get()) << "no open dialog came up";
    EXPECT_EQ(Results(dialog), chosen);

    EXPECT_EQ(CFileDialog::ExtractFolder(L"C:\\Icons\\app.ico"), L"C:\\Icons\\");
    EXPECT_EQ(CFileDialog::ExtractFolder(L"C:\\Icons\\"), L"C:\\Icons\\");
    EXPECT_EQ(CFileDialog::ExtractFolder(L"app.ico"), L"");
}
