#pragma once
// Process-wide state and the entry routine of the program.
#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CApplication;
class CWindow;

// Handle of the hidden main window; target of Quit and never touched by rules.
extern HWND MainWindowHandle;
// The one application object. Whoever calls into it across its Dispose keeps
// a reference of its own, since Dispose clears this one.
extern std::shared_ptr<CApplication> TheApp;

// The entry routine: uninstall switch, single instance, commands for the
// running instance, main window. Answers nothing when the program was started
// and its message loop should run, otherwise the process's exit code.
std::optional<int> Main(HINSTANCE instance, std::wstring_view arguments);

// The commands a later start hands to the running program (any case).
namespace program_commands {
inline constexpr wchar_t RestoreAll[] = L"/restoreall";
inline constexpr wchar_t HideActive[] = L"/hide-active";
inline constexpr wchar_t Enable[] = L"/enable";
inline constexpr wchar_t Disable[] = L"/disable";
inline constexpr wchar_t Setup[] = L"/setup";
inline constexpr wchar_t Exit[] = L"/exit";
// What marks a WM_COPYDATA as one of them; its data is the command's text
// with its terminator. A plain second start sends the empty text.
inline constexpr ULONG_PTR CopyDataTag = 0x504B434D;  // "PKCM"
// The longest command, terminator included, in characters.
inline constexpr size_t LongestCommand = 16;
// Exit codes of the process that handed a command over.
inline constexpr int Done = 0;
inline constexpr int NotCarriedOut = 1;
inline constexpr int NotRunning = 2;
inline constexpr int UnknownCommand = 3;

// The command the arguments name ("" for none); nothing when they name one
// that is not known. `/quiet` and the uninstall switch are not commands.
std::optional<std::wstring> Parse(std::wstring_view arguments);
// Whether the text is one of the commands above, or the empty plain start.
bool IsKnown(std::wstring_view command);
// The command a WM_COPYDATA carries, once it is checked: from any process,
// so anything malformed is nothing.
std::optional<std::wstring> FromCopyData(const COPYDATASTRUCT* data);

// The commands on a rules file, each with the file's path after it:
// "/export FILE" writes every rule into it, "/import FILE" adds its rules
// after the list's own, with "/replace" in place of those of a name taken.
inline constexpr wchar_t ExportRules[] = L"/export";
inline constexpr wchar_t ImportRules[] = L"/import";
inline constexpr wchar_t ReplaceSwitch[] = L"/replace";
// The longest file command handed over, terminator included, in characters.
inline constexpr size_t LongestFileCommand = 32 * 1024 + 32;

struct RulesFileCommand {
    bool import = false;
    bool replace = false;
    std::wstring path;

    // As it is handed over: the command, "/replace" for an import that has
    // it, and the full path, separated by tabs (no path holds one).
    std::wstring Text() const;
    static std::optional<RulesFileCommand> FromText(std::wstring_view text);
};
// What the arguments make of a file command: nothing when they name none;
// a command without its path when the path is missing or a word is not
// understood. Quotes keep a path with blanks together.
std::optional<RulesFileCommand> ParseFileCommand(std::wstring_view arguments);
// What the running instance answers to a file command it did not carry out.
enum FileCommandAnswer : LRESULT { FileCommandFailed = 0, FileCommandDone = 1, FileCommandEditorBusy = 2 };
}  // namespace program_commands

// "/after PID" before the rest of a command line: the start takes over from
// the instance with that process id (which started it elevated) and waits
// for it to end first, so that the two never run side by side.
inline constexpr wchar_t TakeOverSwitch[] = L"/after";
// The rest of the arguments, once the instance named there has ended (or
// the wait has run out); the arguments as they are without the switch.
std::wstring_view AwaitPredecessor(std::wstring_view arguments);

// Pumps messages until the last of the program's forms is gone; returns the exit code.
int RunMessageLoop();

// True when the arguments ask for the registry entries to be removed
// ("/u" or "/uninstall" anywhere, any case). With "/quiet" as an argument of
// its own beside it (any case, either order) they go without a question.
bool HasUninstallSwitch(std::wstring_view arguments);

// Deletes the program key and the autostart value in both hives.
void DeleteAllRegistryEntries();

// Finds the running instance's main window by caption and hands it a plain
// start (it brings up its rules editor); false when there is none or it did not answer.
bool ShowPrevInstance(std::wstring_view caption);
// Hands a command to the running instance's main window and waits for its
// answer (and, for "/exit", for the instance to end); an exit code of
// program_commands.
int SendCommand(HWND mainWindow, const std::wstring& command);
// The same for a file command; the running instance's answer.
LRESULT SendFileCommand(HWND mainWindow, const program_commands::RulesFileCommand& command);

// Asks the main window to close; the one way the program ends itself.
void Quit();

// Marks the program as inside its own work (start-up, a window event, a
// click). Such work may wait on another program (the shell, a window), and
// while it waits, messages and window events sent to us are handled: one that
// changes what the waiting work still uses (an exit, an event for the window
// being taken) is put off with WhenIdle until the outermost work is done.
class BusyScope {
public:
    BusyScope() noexcept { ++depth_; }
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    static bool Active() noexcept { return depth_ > 0; }

    // Runs the work now when the program is not busy, otherwise when the
    // outermost busy work ends, in the order it was put off.
    static void WhenIdle(std::function<void()> work);

private:
    static void RunPutOff() noexcept;
    static inline int depth_ = 0;
};

// The running Windows version.
void GetOSVersion(OSVERSIONINFOW& info);

// A message box captioned with the program's title (or `caption`), over the main window.
int ShowMessage(const std::wstring& text, UINT flags, const wchar_t* caption = nullptr) noexcept;
// The same over one of the program's windows, which has its keyboard back
// once the box is answered (none: over the main window).
int ShowMessageOver(HWND owner, const std::wstring& text, UINT flags, const wchar_t* caption = nullptr) noexcept;

// The program's open forms, main window first. The process ends when the
// last one is gone.
void RegisterForm(HWND form);
void UnregisterForm(HWND form);
const std::vector<HWND>& OpenForms();

// The program's module handle (resources, window classes).
HINSTANCE ProgramInstance();
