// The two packages as users meet them: the installer run silently into a
// folder of its own, the program started from there, the uninstaller taking
// everything back; and the portable zip unpacked into a folder whose name has
// spaces and non-Latin letters, the program working from there. The packages
// were made from this build and the zip unpacked before this program runs.
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ComponentServer.h"
#include "Dialogs.h"
#include "KestrixInterfaces.h"
#include "ProgramFixture.h"
#include "QuilletInterfaces.h"
#include "Strings.h"
#include "TestWindows.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr DWORD InstallTimeoutMs = 60000;
constexpr DWORD HideAction = 1;
const std::wstring UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelkin";
const std::wstring ShippedFiles[] = {L"Pelkin.exe", L"Kestrix.dll", L"Quillet.dll",
                                     L"Pelkin.html", L"License.txt", L"ReadMe.txt"};

// A full path without "..", as the loader reports the modules it loaded.
std::wstring Scratch(const std::wstring& name) {
    const std::wstring relative = BesideTests(L"..\\package-scratch\\" + name);
    std::wstring full(MAX_PATH, L'\0');
    full.resize(::GetFullPathNameW(relative.c_str(), MAX_PATH, full.data(), nullptr));
    return full;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring StartMenuShortcut() {
    PWSTR programs = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, &programs))) path = programs;
    ::CoTaskMemFree(programs);
    return path + L"\\Pelkin!.lnk";
}

std::string FileText(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Neither component is known to COM in either hive: the program finds them
// through its manifest alone.
void ExpectNothingRegistered(const std::wstring& folder) {
    const RegisteredClass kestrix[] = {{&CLSID_Kestrix, L"Kestrix.Kestrix"}, {&CLSID_TimerEx, L"Kestrix.TimerEx"}};
    const RegisteredClass quillet[] = {{&CLSID_Quillet, L"Quillet.Quillet"}};
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ExpectClassKeys(hive, kestrix, LIBID_KestrixLib, folder + L"\\Kestrix.dll", false);
        ExpectClassKeys(hive, quillet, LIBID_QuilletLib, folder + L"\\Quillet.dll", false);
    }
    for (const wchar_t* progId : {L"Kestrix.Kestrix", L"Quillet.Quillet"}) {
        CLSID registered{};
        EXPECT_NE(S_OK, ::CLSIDFromProgID(progId, &registered)) << platform::Narrow(progId) << " is registered";
    }
}

// The components are created once the main window exists, not before.
void ExpectComponentsLoadedFrom(const std::wstring& folder, const ChildProcess& program) {
    for (const wchar_t* dll : {L"\\Kestrix.dll", L"\\Quillet.dll"}) {
        const std::wstring component = platform::ToLower(folder + dll);
        const bool loaded = WaitUntil([&] {
            for (const auto& module : LoadedModules(program.Id()))
                if (platform::ToLower(module) == component) return true;
            return false;
        });
        EXPECT_TRUE(loaded) << platform::Narrow(dll) << " is not loaded from the program's folder";
    }
}

class PackageTest : public ProgramFixture {
protected:
    void TearDown() override {
        ProgramFixture::TearDown();
        DeleteTree(HKEY_CURRENT_USER, UninstallKey);
    }

    // Starts the program from this folder and waits until it has started up.
    std::unique_ptr<ChildProcess> StartFrom(const std::wstring& folder) {
        auto program = std::make_unique<ChildProcess>(folder + L"\\Pelkin.exe", L"");
        EXPECT_TRUE(program->Started());
        main_ = WaitForMainWindow(*program);
        EXPECT_NE(main_, nullptr);
        return program;
    }
};

TEST_F(PackageTest, InstallerInstallsForTheUserAndItsUninstallerEndsTheProgramAndTakesEverythingBack) {
    const std::wstring folder = Scratch(L"Installed Pelkin");
    ChildProcess installer(BesideTests(L"..\\packages\\" PELKIN_INSTALLER_NAME), L"/S /AUTOSTART /D=" + folder);
    ASSERT_TRUE(installer.Started());
    DWORD exitCode = 1;
    ASSERT_TRUE(installer.WaitForExit(InstallTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    for (const auto& file : ShippedFiles) EXPECT_TRUE(Exists(folder + L"\\" + file)) << platform::Narrow(file);
    EXPECT_TRUE(Exists(StartMenuShortcut()));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").text, L"\"" + folder + L"\\Pelkin.exe\"");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, ProgramKey + L"\\Options", L"AutoStart").text, L"1");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
    ExpectNothingRegistered(folder);

    // The program runs from there and hides a window by a rule.
    StoredRule rule;
    rule.name = rule.title = L"Hidden by the installed program";
    rule.action = HideAction;
    StoreRule(rule, 1);
    StoreOption(L"", L"Enabled", L"True");
    TestWindowProgram windows;
    HWND hidden = windows.Create(rule.title);
    ASSERT_NE(hidden, nullptr);
    auto program = StartFrom(folder);
    ASSERT_NE(main_, nullptr);
    ExpectComponentsLoadedFrom(folder, *program);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(hidden); }));

    ChildProcess uninstaller(folder + L"\\Uninstall.exe", L"/S");
    ASSERT_TRUE(uninstaller.Started());
    // The uninstaller hands its work to a copy of itself and ends at once.
    ASSERT_TRUE(uninstaller.WaitForExit(InstallTimeoutMs));
    const bool removed = WaitUntil([&] { return !Exists(folder); }, InstallTimeoutMs);
    if (HWND question = FindDialog(L"Confirm Registry Delete")) {
        PressButton(question, IDNO);
        FAIL() << "the silent uninstall asked before removing the program's registry entries";
    }
    ASSERT_TRUE(removed) << "the installation folder is still there";
    EXPECT_TRUE(program->WaitForExit(ExitTimeoutMs)) << "the running program was not ended";
    EXPECT_TRUE(::IsWindowVisible(hidden)) << "the window the program hid was not given back";
    EXPECT_FALSE(Exists(StartMenuShortcut()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProgramKey));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
}

// The log is written on a failure: an entry in the recovery record that the
// program never wrote is one, met at every start.
TEST_F(PackageTest, PortableZipRunsFromAFolderWithSpacesAndNonLatinLettersAndLogsThere) {
    const std::wstring folder = Scratch(L"Pelkin Проба 試験\\" PELKIN_PACKAGE_NAME);
    for (const auto& file : ShippedFiles) ASSERT_TRUE(Exists(folder + L"\\" + file)) << platform::Narrow(file);
    StoredRule rule;
    rule.name = rule.title = L"No such window";
    StoreRule(rule, 1);
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Recovery", L"not a window", L"written by hand");
    const std::wstring log = folder + L"\\PKException.txt";
    ::DeleteFileW(log.c_str());

    program_ = StartFrom(folder);
    ASSERT_NE(main_, nullptr);
    ExpectComponentsLoadedFrom(folder, *program_);
    EXPECT_TRUE(WaitUntil([&] { return FileText(log).find("RestoreRecordedWindows") != std::string::npos; }))
        << "no log entry beside the program";
    ExpectNothingRegistered(folder);
}

}  // namespace
