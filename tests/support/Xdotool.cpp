#include "Xdotool.h"

#include <atomic>
#include <cstdio>

#include "Process.h"
#include "Wait.h"

namespace testing_support {

namespace {

// Wine runs a Linux program given by its path on drive Z:, the root of the
// Unix file system in every Wine prefix. xdotool goes through the shell,
// which leaves a file behind once xdotool has ended: Wine gives no handle to
// wait on for a Linux program.
constexpr wchar_t ShellPath[] = L"Z:\\bin\\sh";
constexpr wchar_t DoneFolderUnix[] = L"/tmp/";
constexpr wchar_t DoneFolder[] = L"Z:\\tmp\\";
// An xdotool that waits for something that never comes (a focus that does
// not change) is stopped before the test's own deadline.
constexpr DWORD XdotoolLimitSeconds = DefaultTimeoutMs / 1000 / 2;
// Wine's X11 driver keeps the X window of a top-level window under this property.
constexpr wchar_t XWindowProperty[] = L"__wine_x11_whole_window";

std::atomic<int> g_runs{0};

}  // namespace

namespace {

// Runs xdotool; what it prints goes to `outputUnix` when one is named.
bool RunXdotoolTo(const std::wstring& arguments, const std::wstring& outputUnix) {
    const std::wstring done = L"pelkin-xdotool-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++g_runs) + L".done";
    const std::wstring donePath = DoneFolder + done;
    ::DeleteFileW(donePath.c_str());
    const std::wstring redirect = outputUnix.empty() ? L"" : L" > " + outputUnix;
    const std::wstring commandLine = L"sh -c \"timeout " + std::to_wstring(XdotoolLimitSeconds) + L" xdotool " +
                                     arguments + redirect + L"; : > " + DoneFolderUnix + done + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!StartProcess(ShellPath, commandLine, false, 0, startup, info)) return false;
    // For a Linux program Wine gives no process handle and writes what it
    // likes into the thread's handle and the ids: closed, that "handle" would
    // be one of this process's own (a child's process handle, a pipe's end).
    // Only a real process handle comes with a real thread handle.
    if (info.hProcess) {
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    // One input at a time: what this one does (a pointer put back where it
    // was, say) must not land in the middle of the next.
    const bool ended = WaitUntil([&] { return ::GetFileAttributesW(donePath.c_str()) != INVALID_FILE_ATTRIBUTES; });
    ::DeleteFileW(donePath.c_str());
    return ended;
}

}  // namespace

bool RunXdotool(const std::wstring& arguments) { return RunXdotoolTo(arguments, {}); }

UINT_PTR FocusedXWindow() {
    const std::wstring name = L"pelkin-xdotool-focus-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring path = DoneFolder + name;
    if (!RunXdotoolTo(L"getwindowfocus", DoneFolderUnix + name)) return 0;
    UINT_PTR focused = 0;
    if (FILE* file = _wfopen(path.c_str(), L"r")) {
        unsigned long long value = 0;
        if (fscanf(file, "%llu", &value) == 1) focused = static_cast<UINT_PTR>(value);
        fclose(file);
    }
    ::DeleteFileW(path.c_str());
    return focused;
}

UINT_PTR XWindowOf(HWND window) { return reinterpret_cast<UINT_PTR>(::GetPropW(window, XWindowProperty)); }

bool PressKeys(HWND window, const std::wstring& combination) {
    const auto xWindow = XWindowOf(window);
    if (!xWindow) return false;
    return RunXdotool(L"windowfocus --sync " + std::to_wstring(xWindow) + L" key " + combination);
}

}  // namespace testing_support
