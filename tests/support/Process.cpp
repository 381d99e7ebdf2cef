#include "Process.h"

#include "Strings.h"

namespace testing_support {

std::wstring BesideTests(const std::wstring& fileName) { return platform::ModuleFolder() + L"\\" + fileName; }

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& commandName) {
    std::wstring commandLine = commandName.empty() ? L"\"" + program + L"\"" : commandName;
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return;
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
    int count;
    HWND first;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    wchar_t caption[256] = {};
    ::GetWindowTextW(hwnd, caption, 256);
    if (*search->caption != caption) return TRUE;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (search->processId && owner != search->processId) return TRUE;
    if (!search->first) search->first = hwnd;
    ++search->count;
    return TRUE;
}
}  // namespace

int CountWindows(const std::wstring& caption, DWORD processId) {
    WindowSearch search{&caption, processId, 0, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

HWND FindProcessWindow(const std::wstring& caption, DWORD processId) {
    WindowSearch search{&caption, processId, 0, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.first;
}

}  // namespace testing_support
