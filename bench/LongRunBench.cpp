// Whether a long run of Pelkin.exe holds steady: the main menu and the Windows
// menu opened and closed, windows hidden into the tray and given back, the
// switcher and the Tray Manager opened and closed, over and over; the
// program's GDI and USER objects, handles and private bytes are printed at
// the start, half-way and at the end. A program that leaks grows between the
// middle and the end by as much as between the start and the middle.
//
// Counts can be given on the command line: menus, windows, switcher, Tray
// Manager (defaults 2000 2000 500 500).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "Handles.h"
#include "MenuKeyboard.h"
#include "Process.h"
#include "ProcessMemory.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "Wait.h"
#include "WineTray.h"
#include "Xdotool.h"

namespace {

using namespace testing_support;

const std::wstring ProgramKey = L"Software\\Pelkin!";
const std::wstring MainCaption = L"Pelkin!Main";
constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr wchar_t MenuWindowClass[] = L"#32768";
constexpr wchar_t SwitcherClass[] = L"PelkinSwitcher";
constexpr wchar_t TrayManagerCaption[] = L"Tray Manager";
constexpr wchar_t TrayedTitle[] = L"Long run trayed";
constexpr UINT ProgramIconId = 0;
constexpr UINT TrayCallbackMessage = WM_USER + 101;
constexpr int LeftButton = 1;
constexpr int RightButton = 3;
constexpr int WindowsPerBatch = 50;
constexpr DWORD StepTimeoutMs = 10000;
constexpr int MostEscapes = 8;

struct Counts {
    int menus = 2000;
    int windows = 2000;
    int switcher = 500;
    int trayManager = 500;
};

// Each figure is nothing where the platform will not tell (Wine answers no
// object counts).
struct Figures {
    std::optional<DWORD> gdi;
    std::optional<DWORD> user;
    std::optional<DWORD> handles;
    std::optional<SIZE_T> privateBytes;
};

std::optional<DWORD> GuiObjects(HANDLE process, DWORD kind) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD count = ::GetGuiResources(process, kind);
    if (count == 0 && ::GetLastError() != ERROR_SUCCESS) return std::nullopt;
    return count;
}

// The handles the process holds, counted in the system's table of every
// process's handles where the platform will not count them for one.
std::optional<DWORD> HandlesInSystemTable(DWORD processId) {
    struct Entry {
        ULONG ownerProcessId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG SystemHandleInformation = 16;
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return std::nullopt;
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == InfoLengthMismatch && buffer.size() < (1u << 28)) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
            continue;
        }
        if (status < 0) return std::nullopt;
        break;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].ownerProcessId == processId) ++count;
    return count;
}

Figures Measure(DWORD processId) {
    Figures figures;
    platform::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (process) {
        figures.gdi = GuiObjects(process.get(), GR_GDIOBJECTS);
        figures.user = GuiObjects(process.get(), GR_USEROBJECTS);
        DWORD handles = 0;
        if (::GetProcessHandleCount(process.get(), &handles) && handles != 0) figures.handles = handles;
    }
    if (!figures.handles) figures.handles = HandlesInSystemTable(processId);
    figures.privateBytes = PrivateBytes(processId);
    return figures;
}

void StoreSettings() {
    const std::wstring key = ProgramKey + L"\\Rules\\Long run";
    WriteText(HKEY_CURRENT_USER, key, L"Enabled", L"True");
    WriteNumber(HKEY_CURRENT_USER, key, L"Action", 0);
    WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", 1);
    WriteText(HKEY_CURRENT_USER, key, L"Title", TrayedTitle);
    WriteNumber(HKEY_CURRENT_USER, key, L"Index", 1);
    // A left click on the program's icon opens the Tray Manager at once.
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Mouse", L"Main Left Single Click", L"5");
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Mouse", L"Main Left Double Click", L"0");
    for (const wchar_t* confirmation : {L"Delete", L"Exit", L"Save on Exit"})
        WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Confirmation", confirmation, L"False");
}

class Run {
public:
    Run(ChildProcess& program, HWND main, TestWindowProgram& testwin)
        : program_(program), thread_(::GetWindowThreadProcessId(main, nullptr)), testwin_(testwin) {}

    bool Ready() {
        return WaitUntil([&] { return (owner_ = TrayIconOwner(program_.Id(), TrayOwnerClass, ProgramIconId)) != nullptr; });
    }

    // Each step waits for what it opened and for it to close again.
    bool Menus(int times) {
        for (int i = 0; i < times; ++i) {
            if (!OpenMainMenu()) return Failed("the main menu did not open");
            // Every other time the Windows menu under it.
            if (i % 2 && !(::PostMessageW(ShownMenu(thread_), WM_CHAR, L'w', 0) &&
                           WaitUntil([&] { return MenuCount() >= 2; }, StepTimeoutMs)))
                return Failed("the Windows menu did not open");
            if (!CloseMenus()) return Failed("a menu stayed open");
        }
        return true;
    }

    bool Windows(int count) {
        for (int done = 0; done < count;) {
            const int batch = std::min(WindowsPerBatch, count - done);
            std::vector<HWND> windows;
            for (int i = 0; i < batch; ++i) windows.push_back(testwin_.Create(std::wstring(TrayedTitle) + L" " + std::to_wstring(i)));
            const auto all = [&](bool hidden) {
                return std::all_of(windows.begin(), windows.end(),
                                   [&](HWND window) { return window && (::IsWindowVisible(window) == FALSE) == hidden; });
            };
            if (!WaitUntil([&] { return all(true); })) return Failed("the windows were not trayed");
            // "Restore All Windows" from the main menu gives every one back.
            if (!OpenMainMenu() || !::PostMessageW(ShownMenu(thread_), WM_CHAR, L't', 0))
                return Failed("no main menu to restore from");
            if (!WaitUntil([&] { return all(false); })) return Failed("the windows were not given back");
            CloseMenus();
            for (HWND window : windows) testwin_.Destroy(window);
            done += batch;
        }
        return true;
    }

    bool Switcher(int times, HWND focus) {
        for (int i = 0; i < times; ++i) {
            ::SetForegroundWindow(focus);
            if (!RunXdotool(L"windowfocus --sync " + std::to_wstring(XWindowOf(focus)) + L" keydown ctrl key Tab"))
                return Failed("xdotool did not run");
            const bool shown = WaitUntil([&] { return Shown(::FindWindowW(SwitcherClass, nullptr)); }, StepTimeoutMs);
            RunXdotool(L"keyup ctrl");
            if (!shown) return Failed("the switcher did not open");
            if (!WaitUntil([&] { return !Shown(::FindWindowW(SwitcherClass, nullptr)); }, StepTimeoutMs))
                return Failed("the switcher did not close");
        }
        return true;
    }

    bool TrayManager(int times) {
        for (int i = 0; i < times; ++i) {
            HWND form = nullptr;
            if (!ReportTrayClick(owner_, ProgramIconId, TrayCallbackMessage, LeftButton) ||
                !WaitUntil([&] { return Shown(form = FindProcessWindow(TrayManagerCaption, program_.Id())); },
                           StepTimeoutMs))
                return Failed("the Tray Manager did not open");
            ::PostMessageW(form, WM_CLOSE, 0, 0);
            if (!WaitUntil([&] { return !::IsWindow(form); }, StepTimeoutMs)) return Failed("the Tray Manager stayed");
        }
        return true;
    }

private:
    bool Shown(HWND window) const {
        DWORD process = 0;
        if (window) ::GetWindowThreadProcessId(window, &process);
        return window && process == program_.Id() && ::IsWindowVisible(window);
    }
    int MenuCount() const {
        int count = 0;
        for (HWND window = ::FindWindowExW(nullptr, nullptr, MenuWindowClass, nullptr); window;
             window = ::FindWindowExW(nullptr, window, MenuWindowClass, nullptr))
            if (::GetWindowThreadProcessId(window, nullptr) == thread_ && ::IsWindowVisible(window)) ++count;
        return count;
    }
    bool OpenMainMenu() {
        return ReportTrayClick(owner_, ProgramIconId, TrayCallbackMessage, RightButton) &&
               WaitUntil([&] { return ShownMenu(thread_) != nullptr; }, StepTimeoutMs);
    }
    // Escape, as a user ends a menu. An Escape posted while the menu loop is
    // still starting may go unread; the menu then ends as a click elsewhere
    // ends it (WM_CANCELMODE to the window that owns the loop), and the run
    // counts how often that was needed.
    bool CloseMenus() {
        for (int tries = 0; tries < MostEscapes && MenuCount() > 0; ++tries) {
            const int open = MenuCount();
            ::PostMessageW(ShownMenu(thread_), WM_KEYDOWN, VK_ESCAPE, 0);
            WaitUntil([&] { return MenuCount() < open; }, StepTimeoutMs);
        }
        if (MenuCount() > 0) {
            ++cancelled_;
            ::PostMessageW(owner_, WM_CANCELMODE, 0, 0);
            WaitUntil([&] { return MenuCount() == 0; }, StepTimeoutMs);
        }
        return MenuCount() == 0;
    }

public:
    int Cancelled() const noexcept { return cancelled_; }

private:
    static bool Failed(const char* what) {
        std::printf("stopped: %s\n", what);
        return false;
    }

    ChildProcess& program_;
    DWORD thread_;
    TestWindowProgram& testwin_;
    HWND owner_ = nullptr;
    int cancelled_ = 0;  // menus that Escape did not end
};

std::string Number(const std::optional<DWORD>& value) { return value ? std::to_string(*value) : "n/a"; }

void Print(const char* when, const Figures& figures) {
    char megabytes[32] = "n/a";
    if (figures.privateBytes)
        std::snprintf(megabytes, sizeof megabytes, "%.2f", static_cast<double>(*figures.privateBytes) / (1024.0 * 1024.0));
    std::printf("%-8s %8s %8s %9s %14s\n", when, Number(figures.gdi).c_str(), Number(figures.user).c_str(),
                Number(figures.handles).c_str(), megabytes);
}

std::string Difference(const std::optional<DWORD>& end, const std::optional<DWORD>& middle) {
    if (!end || !middle) return "n/a";
    const long difference = static_cast<long>(*end) - static_cast<long>(*middle);
    return (difference >= 0 ? "+" : "") + std::to_string(difference);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Counts counts;
    int* fields[] = {&counts.menus, &counts.windows, &counts.switcher, &counts.trayManager};
    for (int i = 1; i < argc && i <= static_cast<int>(std::size(fields)); ++i) *fields[i - 1] = std::max(0, _wtoi(argv[i]));

    // Run in the test harness's throwaway prefix: the program reads the settings from its hive.
    DeleteTree(HKEY_CURRENT_USER, ProgramKey);
    StoreSettings();
    TestWindowProgram testwin;
    HWND focus = testwin.Create(L"Long run focus");
    ChildProcess program(BesideTests(L"Pelkin.exe"), L"");
    HWND main = nullptr;
    if (!program.Started() ||
        !WaitUntil([&] { return (main = FindProcessWindow(MainCaption, program.Id())) != nullptr; })) {
        std::printf("Pelkin.exe did not start\n");
        return 1;
    }
    Run run(program, main, testwin);
    if (!run.Ready()) {
        std::printf("Pelkin.exe showed no icon\n");
        return 1;
    }
    std::printf("Pelkin.exe over %d menus, %d windows, %d switchers, %d Tray Managers (half before the middle):\n",
                counts.menus, counts.windows, counts.switcher, counts.trayManager);
    std::printf("%-8s %8s %8s %9s %14s\n", "", "GDI", "USER", "handles", "private MB");
    const Figures start = Measure(program.Id());
    Print("start", start);
    Figures middle{}, end{};
    bool ran = true;
    for (int half = 0; half < 2 && ran; ++half) {
        ran = run.Menus(counts.menus / 2) && run.Windows(counts.windows / 2) &&
              run.Switcher(counts.switcher / 2, focus) && run.TrayManager(counts.trayManager / 2);
        (half == 0 ? middle : end) = Measure(program.Id());
        Print(half == 0 ? "middle" : "end", half == 0 ? middle : end);
    }
    if (ran) {
        std::printf("end - middle: GDI %s, USER %s, handles %s", Difference(end.gdi, middle.gdi).c_str(),
                    Difference(end.user, middle.user).c_str(), Difference(end.handles, middle.handles).c_str());
        if (end.privateBytes && middle.privateBytes)
            std::printf(", private KB %+lld",
                        (static_cast<long long>(*end.privateBytes) - static_cast<long long>(*middle.privateBytes)) / 1024);
        std::printf("\n");
    }
    std::printf("menus ended by a cancel after Escape went unread: %d\n", run.Cancelled());
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, StepTimeoutMs, &ignored);
    program.WaitForExit(StepTimeoutMs);
    DeleteTree(HKEY_CURRENT_USER, ProgramKey);
    return ran ? 0 : 1;
}
