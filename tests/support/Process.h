#pragma once
// Starting a program of the build folder as a separate process and watching it.
#include <windows.h>
#include <string>
#include <vector>

#include "Handles.h"

namespace testing_support {

// Full path of a file beside the running test program.
std::wstring BesideTests(const std::wstring& fileName);

// CreateProcessW, save that a start Wine gives up on before the new process
// has run any code of its own (ERROR_INTERNAL_ERROR, seen now and then on a
// busy machine) is made again, a few times at most, each retry logged on the
// test's output. False, with the last error set, when no start succeeded.
bool StartProcess(const std::wstring& program, std::wstring commandLine, bool inheritHandles, DWORD flags,
                  STARTUPINFOW& startup, PROCESS_INFORMATION& info);

class ChildProcess {
public:
    // `commandName` is what the child sees as its own name on its command
    // line; empty means the quoted program path.
    ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& commandName = {});
    ~ChildProcess();  // ends the process if it is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Id() const noexcept { return id_; }
    bool Started() const noexcept { return static_cast<bool>(process_); }
    bool Running() const;
    // True when the process ended within the time; its exit code goes to `exitCode`.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    void Terminate();

private:
    platform::UniqueKernelHandle process_;
    DWORD id_ = 0;
};

// Top-level windows with this caption; with a process ID only that process's,
// with a class name only windows of that class.
std::vector<HWND> TopLevelWindows(const std::wstring& caption, DWORD processId = 0, const wchar_t* className = nullptr);
int CountWindows(const std::wstring& caption, DWORD processId = 0);
HWND FindProcessWindow(const std::wstring& caption, DWORD processId);

// Full paths of the modules (program and DLLs) loaded in a process.
std::vector<std::wstring> LoadedModules(DWORD processId);

}  // namespace testing_support
