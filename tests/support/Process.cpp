#include "Process.h"

#include <tlhelp32.h>

#include <cstdio>

#include "Strings.h"

namespace testing_support {

namespace {
// A start refused this often in a row is not the passing kind.
constexpr int MostStartAttempts = 3;
}  // namespace

std::wstring BesideTests(const std::wstring& fileName) { return platform::ModuleFolder() + L"\\" + fileName; }

bool StartProcess(const std::wstring& program, std::wstring commandLine, bool inheritHandles, DWORD flags,
                  STARTUPINFOW& startup, PROCESS_INFORMATION& info) {
    for (int attempt = 1;; ++attempt) {
        // The call may write into the command line: each attempt gets it afresh.
        std::wstring line = commandLine;
        if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, inheritHandles ? TRUE : FALSE, flags,
                             nullptr, nullptr, &startup, &info))
            return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == MostStartAttempts) {
            ::SetLastError(error);
            return false;
        }
        std::printf("process start: %s did not start (error %lu); starting it again (attempt %d of %d)\n",
                    platform::Narrow(program).c_str(), error, attempt + 1, MostStartAttempts);
        std::fflush(stdout);
    }
}

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& commandName) {
    std::wstring commandLine = commandName.empty() ? L"\"" + program + L"\"" : commandName;
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!StartProcess(program, commandLine, false, 0, startup, info)) return;
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
}

ChildProcess::~ChildProcess() { Terminate(); }

bool ChildProcess::Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(process_.get(), exitCode);
    return true;
}

void ChildProcess::Terminate() {
    if (!Running()) return;
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 5000);
}

namespace {
struct WindowSearch {
    const std::wstring* caption;
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    // The text last: for a window of this process it is asked of the
    // window's thread, which may be the one waiting for this search.
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (search->processId && owner != search->processId) return TRUE;
    wchar_t text[256] = {};
    if (search->className) {
        ::GetClassNameW(hwnd, text, 256);
        if (::lstrcmpiW(text, search->className) != 0) return TRUE;
    }
    ::GetWindowTextW(hwnd, text, 256);
    if (*search->caption != text) return TRUE;
    search->found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(const std::wstring& caption, DWORD processId, const wchar_t* className) {
    WindowSearch search{&caption, processId, className, {}};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int CountWindows(const std::wstring& caption, DWORD processId) {
    return static_cast<int>(TopLevelWindows(caption, processId).size());
}

HWND FindProcessWindow(const std::wstring& caption, DWORD processId) {
    auto found = TopLevelWindows(caption, processId);
    return found.empty() ? nullptr : found.front();
}

std::vector<std::wstring> LoadedModules(DWORD processId) {
    std::vector<std::wstring> modules;
    platform::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot) return modules;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more; more = ::Module32NextW(snapshot.get(), &entry))
        modules.emplace_back(entry.szExePath);
    return modules;
}

}  // namespace testing_support
