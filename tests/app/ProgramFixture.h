#pragma once
// Pelkin.exe started and driven from outside, the way a user meets it. The
// settings live in the current user's hive of the throwaway test prefix and
// are cleared before and after each test.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "Process.h"
#include "ScratchRegistry.h"
#include "Wait.h"
#include "WineTray.h"

namespace program_test {

inline const std::wstring ProgramKey = L"Software\\Pelkin!";
inline const std::wstring RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring Title = L"Pelkin!";
// The editor's caption and the icon's tip while the program is switched off.
inline const std::wstring DisabledTitle = Title + L" (Disabled)";
inline const std::wstring MainCaption = L"Pelkin!Main";
inline const std::wstring SiblingKey = L"Software\\PelkinTestSibling";
inline constexpr DWORD ExitTimeoutMs = testing_support::DefaultTimeoutMs;

// A rule as it is stored (values of the program's rule keys).
struct StoredRule {
    std::wstring name;
    std::wstring title;
    DWORD action = 0;     // 0 hide in tray, 1 hide, 2 on top, 3 transparent, 4 ignore, 5 close, 6 bring to front
    DWORD criteria = 1;   // 0 on minimize only, 1 always
    DWORD alpha = 128;
    std::wstring windowClass;
    DWORD searchMask = 0;
};

// A user value of the current profile set for the scope, and put back after.
class ScopedUserNumber {
public:
    ScopedUserNumber(std::wstring key, std::wstring name, DWORD value)
        : key_(std::move(key)), name_(std::move(name)), previous_(testing_support::ReadValue(HKEY_CURRENT_USER, key_, name_)) {
        testing_support::WriteNumber(HKEY_CURRENT_USER, key_, name_, value);
    }
    void Set(DWORD value) { testing_support::WriteNumber(HKEY_CURRENT_USER, key_, name_, value); }
    ~ScopedUserNumber() {
        if (previous_.exists) {
            testing_support::WriteNumber(HKEY_CURRENT_USER, key_, name_, previous_.number);
            return;
        }
        platform::UniqueHKey opened;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, opened.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(opened.get(), name_.c_str());
    }
    ScopedUserNumber(const ScopedUserNumber&) = delete;
    ScopedUserNumber& operator=(const ScopedUserNumber&) = delete;

private:
    std::wstring key_, name_;
    testing_support::StoredValue previous_;
};

// The screen density programs started while it lives read at their start
// (this process keeps the one it started with); the previous setting comes
// back afterwards.
class ScopedScreenDpi {
public:
    explicit ScopedScreenDpi(DWORD dpi) : value_(L"Control Panel\\Desktop", L"LogPixels", dpi) {}

private:
    ScopedUserNumber value_;
};

class ProgramFixture : public ::testing::Test {
protected:
    // Nothing of an earlier test may reach this one, however it ended.
    void SetUp() override {
        ClearSettings();
        testing_support::SweepAbandonedTrayIcons();
        logStart_ = ProgramLog(0).size();
    }
    void TearDown() override {
        if (program_) {
            EXPECT_TRUE(CloseProgram(main_, *program_));
        }
        program_.reset();
        ClearSettings();
        // A failure on another machine leaves nothing else to read: what the
        // program logged meanwhile goes out with it.
        if (HasFailure()) {
            const std::string logged = ProgramLog(logStart_);
            if (!logged.empty()) std::cout << "The program logged during this test:\n" << logged << std::endl;
        }
    }

    // The program's error log beside it from this byte on; all of it when
    // it has shrunk since.
    static std::string ProgramLog(size_t from) {
        std::ifstream file(testing_support::BesideTests(L"PKException.txt").c_str(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        return from <= text.size() ? text.substr(from) : text;
    }

    // Starts the program on what is stored and waits until its thread first
    // waits for input. Wine counts a wait inside the start-up (for the tray's
    // answer, say) as well, so a test that needs the start-up over waits for
    // what it does last: a window a rule takes, or the editor of a first
    // start. The fixture closes the program at the end.
    void Start() {
        program_ = std::make_unique<testing_support::ChildProcess>(ProgramPath(), L"");
        ASSERT_TRUE(program_->Started());
        main_ = WaitForMainWindow(*program_);
        ASSERT_NE(main_, nullptr);
        platform::UniqueKernelHandle process(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, program_->Id()));
        ASSERT_TRUE(process);
        ASSERT_EQ(::WaitForInputIdle(process.get(), testing_support::DefaultTimeoutMs), 0u);
    }

    // A click on one of the program's tray icons; the pointer goes back once
    // the program has had word of it.
    bool ClickProgramTrayIcon(HWND icon, int button = 1) const {
        return testing_support::ClickTrayIcon(icon, button, main_);
    }

    static void ClearSettings() {
        using namespace testing_support;
        DeleteTree(HKEY_CURRENT_USER, ProgramKey);
        DeleteTree(HKEY_CURRENT_USER, SiblingKey);
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            platform::UniqueHKey run;
            if (::RegOpenKeyExW(hive, RunKey.c_str(), 0, KEY_ALL_ACCESS, run.put()) == ERROR_SUCCESS)
                ::RegDeleteValueW(run.get(), L"Pelkin!");
        }
    }

    // Stores a rule at the given 1-based position of the list.
    static void StoreRule(const StoredRule& rule, DWORD index) {
        using namespace testing_support;
        const std::wstring key = ProgramKey + L"\\Rules\\" + rule.name;
        WriteText(HKEY_CURRENT_USER, key, L"Enabled", L"True");
        WriteNumber(HKEY_CURRENT_USER, key, L"Action", rule.action);
        WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", rule.criteria);
        WriteNumber(HKEY_CURRENT_USER, key, L"Search Options", rule.searchMask);
        WriteNumber(HKEY_CURRENT_USER, key, L"Icon Location", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Icon Position", 0);
        WriteText(HKEY_CURRENT_USER, key, L"Class", rule.windowClass);
        WriteText(HKEY_CURRENT_USER, key, L"Icon FileName", L"");
        WriteText(HKEY_CURRENT_USER, key, L"Title", rule.title);
        WriteNumber(HKEY_CURRENT_USER, key, L"Alpha", rule.alpha);
        WriteNumber(HKEY_CURRENT_USER, key, L"AutoHide Delay", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Index", index);
    }

    // An option of the program (all are stored as text).
    static void StoreOption(const std::wstring& section, const std::wstring& name, const std::wstring& value) {
        testing_support::WriteText(HKEY_CURRENT_USER, section.empty() ? ProgramKey : ProgramKey + L"\\" + section, name,
                                   value);
    }

    static std::wstring ProgramPath() { return testing_support::BesideTests(L"Pelkin.exe"); }

    // The program's hidden main window, once it exists.
    static HWND WaitForMainWindow(const testing_support::ChildProcess& program) {
        HWND main = nullptr;
        testing_support::WaitUntil(
            [&] { return (main = testing_support::FindProcessWindow(MainCaption, program.Id())) != nullptr; });
        return main;
    }

    // The program's window with this caption, once it is visible (what was
    // found, if anything, when the wait runs out).
    HWND ShownWindow(const std::wstring& caption) const {
        HWND window = nullptr;
        testing_support::WaitUntil([&] {
            window = testing_support::FindProcessWindow(caption, program_->Id());
            return window && ::IsWindowVisible(window);
        });
        return window;
    }

    // Closes the program the way the task manager does (no question) and
    // waits for it to end.
    static bool CloseProgram(HWND main, const testing_support::ChildProcess& program) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ExitTimeoutMs, &result);
        return program.WaitForExit(ExitTimeoutMs);
    }

    std::unique_ptr<testing_support::ChildProcess> program_;
    size_t logStart_ = 0;
    HWND main_ = nullptr;
};

}  // namespace program_test
