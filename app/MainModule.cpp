#include "MainModule.h"
#include "WindowModule.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "AutoStartModule.h"
#include "CApplication.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "ColorScheme.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "Handles.h"
#include "RulesFile.h"
#include "Strings.h"
#include "Version.h"
#include "Window.h"
#include "frmMain.h"

HWND MainWindowHandle = nullptr;
std::shared_ptr<CApplication> TheApp;

namespace {

constexpr wchar_t MainModuleName[] = L"Main";
constexpr int32_t DefaultMessageTimeout = 500;
constexpr int32_t DefaultIconCacheRefreshInterval = 100;
// One instance per log-on session; the caption alone identifies its window.
constexpr wchar_t InstanceMutexName[] = L"Local\\" PELKIN_PRODUCT ".Instance";

HINSTANCE g_instance = nullptr;
std::vector<HWND> g_forms;
bool g_messageLoopRunning = false;
std::unique_ptr<frmMain> g_mainForm;
platform::UniqueKernelHandle g_instanceMutex;

bool PreviousInstanceRunning() {
    g_instanceMutex.reset(::CreateMutexW(nullptr, FALSE, InstanceMutexName));
    return g_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// The silent form is a word of its own: an installer's uninstaller passes it,
// and text that merely contains it asks as before.
constexpr wchar_t QuietSwitch[] = L"/quiet";
constexpr wchar_t ArgumentBlanks[] = L" \t\"";

// The blank-separated words of the arguments.
std::vector<std::wstring_view> ArgumentWords(std::wstring_view arguments) {
    std::vector<std::wstring_view> words;
    for (size_t start = arguments.find_first_not_of(ArgumentBlanks); start != std::wstring_view::npos;) {
        const size_t end = std::min(arguments.find_first_of(ArgumentBlanks, start), arguments.size());
        words.push_back(arguments.substr(start, end - start));
        start = arguments.find_first_not_of(ArgumentBlanks, end);
    }
    return words;
}

bool HasQuietSwitch(std::wstring_view arguments) {
    const auto words = ArgumentWords(arguments);
    return std::any_of(words.begin(), words.end(),
                       [](std::wstring_view word) { return platform::EqualsNoCase(word, QuietSwitch); });
}

// How long a start that takes over waits for the instance it follows: that
// one gives every window back first, which may take a while.
constexpr DWORD PredecessorWaitMs = 60000;
// How long a command may take in the running instance, and its exit after "/exit".
constexpr UINT CommandAnswerTimeoutMs = 30000;
constexpr DWORD ExitWaitMs = 30000;

// Tells a person at the keyboard why nothing happened; a script asked for silence.
int Report(int exitCode, const std::wstring& text, bool quiet) {
    if (!quiet) ::MessageBoxW(nullptr, text.c_str(), AppInfo::Title, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    return exitCode;
}

int ReportNotRunning(const std::wstring& command, bool quiet) {
    return Report(program_commands::NotRunning,
                  std::wstring(AppInfo::Title) + L" is not running: \"" + command + L"\" was not carried out.", quiet);
}

const std::wstring CommandList =
    L"/restoreall, /hide-active, /enable, /disable, /setup, /exit, /export FILE, /import FILE [/replace] "
    L"(with /quiet: no messages)";

// A second start: the running instance carries the command out.
int HandOver(const std::wstring& command, bool quiet) {
    HWND running = ::FindWindowW(nullptr, AppInfo::MainWindowCaption);
    // A plain start ends quietly whatever becomes of its nudge, as it always did.
    if (command.empty()) return running ? SendCommand(running, command) : program_commands::Done;
    // Still starting: the editor comes up there anyway when it has no rules.
    if (!running) return command == program_commands::Setup ? program_commands::Done : ReportNotRunning(command, quiet);
    const int result = SendCommand(running, command);
    if (result == program_commands::Done) return result;
    return Report(result, std::wstring(AppInfo::Title) + L" did not carry out \"" + command + L"\".", quiet);
}

// The path as the running instance, whose current folder may be another, must read it.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

std::wstring Shown(const program_commands::RulesFileCommand& command) {
    return std::wstring(command.import ? program_commands::ImportRules : program_commands::ExportRules) + L" \"" +
           command.path + L"\"";
}

// A file command with no instance running: the stored rules are read, and
// for an import written back, here.
int RunOnStoredRules(const program_commands::RulesFileCommand& command, bool quiet) {
    using namespace program_commands;
    CRegistry registry;
    CRules rules;
    rules.Initialize(registry, RulesSection);
    if (!command.import) {
        const std::wstring failure = rules_file::Save(command.path, rules_file::Definitions(rules));
        if (failure.empty()) return Done;
        return Report(NotCarriedOut, L"The rules were not exported: " + failure, quiet);
    }
    auto loaded = rules_file::Load(command.path);
    if (auto* problem = std::get_if<std::wstring>(&loaded))
        return Report(NotCarriedOut, L"The rules were not imported: " + *problem, quiet);
    const auto clashes = command.replace ? rules_file::Clashes::Replace : rules_file::Clashes::KeepBoth;
    if (auto problem = rules_file::Import(rules, std::get<0>(loaded), clashes))
        return Report(NotCarriedOut, L"The rules were not imported: " + *problem, quiet);
    if (!rules.Save(registry))
        return Report(NotCarriedOut,
                      L"The rules were not imported: the registry would not take them (" +
                          platform::SystemMessage(registry.LastError()) + L"). The rules stored before are kept.",
                      quiet);
    return Done;
}

int RunFileCommand(program_commands::RulesFileCommand command, bool quiet) {
    using namespace program_commands;
    if (command.path.empty())
        return Report(UnknownCommand,
                      L"Unknown command line: the rules file commands are \"/export FILE\" and \"/import FILE\" "
                      L"(with /replace: rules of a name taken are replaced; with /quiet: no messages).",
                      quiet);
    command.path = FullPath(command.path);
    // A file that cannot be imported is said here, with its line, whoever would import it.
    if (command.import) {
        if (auto loaded = rules_file::Load(command.path); auto* problem = std::get_if<std::wstring>(&loaded))
            return Report(NotCarriedOut, L"The rules were not imported: " + *problem, quiet);
    }
    if (!PreviousInstanceRunning()) return RunOnStoredRules(command, quiet);
    HWND running = ::FindWindowW(nullptr, AppInfo::MainWindowCaption);
    if (!running) return ReportNotRunning(Shown(command), quiet);
    switch (SendFileCommand(running, command)) {
        case FileCommandDone:
            return Done;
        case FileCommandEditorBusy:
            return Report(NotCarriedOut,
                          std::wstring(AppInfo::Title) + L" did not carry out " + Shown(command) +
                              L": its rules editor holds changes not applied yet. Apply or cancel them, then try again.",
                          quiet);
        default:
            return Report(NotCarriedOut,
                          std::wstring(AppInfo::Title) + L" did not carry out " + Shown(command) +
                              L": the file could not be " + (command.import ? L"imported." : L"written."),
                          quiet);
    }
}

}  // namespace

namespace program_commands {

bool IsKnown(std::wstring_view command) {
    if (command.empty()) return true;
    for (const wchar_t* known : {RestoreAll, HideActive, Enable, Disable, Setup, Exit})
        if (platform::EqualsNoCase(command, known)) return true;
    return false;
}

std::optional<std::wstring> Parse(std::wstring_view arguments) {
    std::wstring command;
    for (std::wstring_view word : ArgumentWords(arguments)) {
        if (platform::EqualsNoCase(word, QuietSwitch)) continue;
        // One command at a time: a second one, or a word that is none, is not understood.
        if (!command.empty() || !IsKnown(word)) return std::nullopt;
        command = platform::ToLower(std::wstring(word));
    }
    return command;
}

std::optional<std::wstring> FromCopyData(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != CopyDataTag || !data->lpData) return std::nullopt;
    constexpr size_t Unit = sizeof(wchar_t);
    if (data->cbData < Unit || data->cbData > LongestFileCommand * Unit || data->cbData % Unit != 0)
        return std::nullopt;
    const auto* text = static_cast<const wchar_t*>(data->lpData);
    const size_t length = data->cbData / Unit - 1;
    if (text[length] != L'\0') return std::nullopt;
    std::wstring command(text, length);
    // A terminator inside would hide the rest from the check.
    if (command.find(L'\0') != std::wstring::npos) return std::nullopt;
    // A path keeps its letters as they were written.
    if (RulesFileCommand::FromText(command)) return command;
    if (length >= LongestCommand || !IsKnown(command)) return std::nullopt;
    return platform::ToLower(command);
}

namespace {
constexpr wchar_t FieldSeparator = L'\t';

// The words of a command line, where a quoted stretch is one word without
// its quotes (so that a path may hold blanks).
std::vector<std::wstring> QuotedWords(std::wstring_view arguments) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool quoted = false;
    bool inWord = false;
    for (const wchar_t c : arguments) {
        if (c == L'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (inWord) words.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}
}  // namespace

std::wstring RulesFileCommand::Text() const {
    std::wstring text = import ? ImportRules : ExportRules;
    text += FieldSeparator;
    if (replace) text += std::wstring(ReplaceSwitch) + FieldSeparator;
    return text + path;
}

std::optional<RulesFileCommand> RulesFileCommand::FromText(std::wstring_view text) {
    RulesFileCommand command;
    const size_t first = text.find(FieldSeparator);
    if (first == std::wstring_view::npos) return std::nullopt;
    const std::wstring_view name = text.substr(0, first);
    if (name != ExportRules && name != ImportRules) return std::nullopt;
    command.import = name == ImportRules;
    std::wstring_view rest = text.substr(first + 1);
    const std::wstring replace = std::wstring(ReplaceSwitch) + FieldSeparator;
    if (command.import && rest.starts_with(replace)) {
        command.replace = true;
        rest.remove_prefix(replace.size());
    }
    if (rest.empty() || rest.find(FieldSeparator) != std::wstring_view::npos) return std::nullopt;
    command.path = rest;
    return command;
}

std::optional<RulesFileCommand> ParseFileCommand(std::wstring_view arguments) {
    std::optional<RulesFileCommand> command;
    bool understood = true;
    for (const auto& word : QuotedWords(arguments)) {
        if (platform::EqualsNoCase(word, QuietSwitch)) continue;
        if (!command) {
            if (!platform::EqualsNoCase(word, ExportRules) && !platform::EqualsNoCase(word, ImportRules))
                return std::nullopt;
            command.emplace();
            command->import = platform::EqualsNoCase(word, ImportRules);
        } else if (command->import && !command->replace && platform::EqualsNoCase(word, ReplaceSwitch)) {
            command->replace = true;
        } else if (command->path.empty() && !word.empty()) {
            command->path = word;
        } else {
            understood = false;
        }
    }
    if (command && !understood) command->path.clear();
    return command;
}

}  // namespace program_commands

LRESULT SendFileCommand(HWND mainWindow, const program_commands::RulesFileCommand& command) {
    const std::wstring text = command.Text();
    COPYDATASTRUCT data{program_commands::CopyDataTag, static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                        const_cast<wchar_t*>(text.c_str())};
    DWORD_PTR answer = program_commands::FileCommandFailed;
    if (!::SendMessageTimeoutW(mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               CommandAnswerTimeoutMs, &answer))
        return program_commands::FileCommandFailed;
    return static_cast<LRESULT>(answer);
}

int SendCommand(HWND mainWindow, const std::wstring& command) {
    using namespace program_commands;
    COPYDATASTRUCT data{CopyDataTag, static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)),
                        const_cast<wchar_t*>(command.c_str())};
    DWORD processId = 0;
    ::GetWindowThreadProcessId(mainWindow, &processId);
    platform::UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    DWORD_PTR answer = FALSE;
    if (!::SendMessageTimeoutW(mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               CommandAnswerTimeoutMs, &answer) ||
        answer != TRUE)
        return NotCarriedOut;
    if (!platform::EqualsNoCase(command, Exit)) return Done;
    // Carried out means gone: whoever asked may replace the program's files next.
    return process && ::WaitForSingleObject(process.get(), ExitWaitMs) == WAIT_OBJECT_0 ? Done : NotCarriedOut;
}

namespace {

void AskAndUninstall() {
    const std::wstring question =
        std::wstring(L"Are you sure you want to delete all '") + AppInfo::Title + L"' registry entries?";
    if (::MessageBoxW(nullptr, question.c_str(), L"Confirm Registry Delete", MB_YESNO | MB_ICONQUESTION) == IDYES)
        DeleteAllRegistryEntries();
}

}  // namespace

HINSTANCE ProgramInstance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

bool HasUninstallSwitch(std::wstring_view arguments) {
    // A plain substring test: "/uninstall" and anything else starting "/u" qualify.
    return platform::ContainsNoCase(arguments, L"/u") || platform::ContainsNoCase(arguments, L"/uninstall");
}

// Uninstalling is best effort and silent: a missing key is no error.
void DeleteAllRegistryEntries() {
    platform::Guard(MainModuleName, L"DeleteAllRegistryEntries", platform::Trap::Silently, [] {
        CRegistry(HKEY_CURRENT_USER, CRegistry::BaseKey(AppInfo::CompanyName, AppInfo::ProductName))
            .DeleteAllSettings(L"");
        LSTATUS ignored = ERROR_SUCCESS;
        AutoStartModule::Remove(HKEY_CURRENT_USER, ignored);
        AutoStartModule::Remove(HKEY_LOCAL_MACHINE, ignored);
    });
}

std::wstring_view AwaitPredecessor(std::wstring_view arguments) {
    const auto words = ArgumentWords(arguments);
    if (words.size() < 2 || !platform::EqualsNoCase(words[0], TakeOverSwitch)) return arguments;
    const auto processId = platform::ParseInt32(std::wstring(words[1]));
    // What follows the number is the command line the start was given.
    const size_t rest = static_cast<size_t>(words[1].data() + words[1].size() - arguments.data());
    if (!processId || *processId <= 0) return arguments.substr(rest);
    platform::UniqueKernelHandle predecessor(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(*processId)));
    if (predecessor) ::WaitForSingleObject(predecessor.get(), PredecessorWaitMs);
    return arguments.substr(rest);
}

std::optional<int> Main(HINSTANCE instance, std::wstring_view arguments) {
    g_instance = instance;
    arguments = AwaitPredecessor(arguments);
    const bool quiet = HasQuietSwitch(arguments);
    // Checked before the uninstall switch: a path written with forward
    // slashes ("C:/users/...") holds its text, and must never take the
    // program's settings away.
    if (auto fileCommand = program_commands::ParseFileCommand(arguments)) {
        platform::SetErrorTrapping(true);
        InstallErrorLog();
        return RunFileCommand(std::move(*fileCommand), quiet);
    }
    if (HasUninstallSwitch(arguments)) {
        platform::Guard(MainModuleName, L"Main", platform::Trap::Silently,
                        quiet ? DeleteAllRegistryEntries : AskAndUninstall);
        return 0;
    }
    const auto command = program_commands::Parse(arguments);
    platform::SetErrorTrapping(true);
    InstallErrorLog();
    MessageTimeout = DefaultMessageTimeout;
    IconCacheRefreshInterval = DefaultIconCacheRefreshInterval;
    if (PreviousInstanceRunning()) {
        if (!command)
            return Report(program_commands::UnknownCommand,
                          L"Unknown command line: " + std::wstring(arguments) + L"\r\n\r\nThe commands are " +
                              CommandList + L".",
                          quiet);
        return HandOver(*command, quiet);
    }
    // A first start whatever else its command line holds, as it always was: a
    // shortcut with some word of its own still starts the program.
    const bool setup = command && *command == program_commands::Setup;
    if (command && !command->empty() && !setup) return ReportNotRunning(*command, quiet);
    g_mainForm = std::make_unique<frmMain>();
    // A first start has no rules: the editor comes up to make one.
    if ((!g_mainForm->Initialize() || setup) && TheApp) TheApp->DisplaySetup();
    if (g_forms.empty()) return 0;
    return std::nullopt;
}

namespace {
// Work put off while the program was busy, and whether it is being run now.
std::deque<std::function<void()>> g_putOff;
bool g_runningPutOff = false;
}  // namespace

BusyScope::~BusyScope() {
    if (--depth_ == 0) RunPutOff();
}

void BusyScope::WhenIdle(std::function<void()> work) {
    g_putOff.push_back(std::move(work));
    if (!Active()) RunPutOff();
}

void BusyScope::RunPutOff() noexcept {
    // Work run from here may be busy itself and put off more: this loop runs
    // that too, instead of a nested one.
    if (g_runningPutOff) return;
    g_runningPutOff = true;
    while (!g_putOff.empty()) {
        auto work = std::move(g_putOff.front());
        g_putOff.pop_front();
        platform::Guard(MainModuleName, L"BusyScope", platform::Trap::Always, [&] { work(); });
    }
    g_runningPutOff = false;
}

int RunMessageLoop() {
    g_messageLoopRunning = true;
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, the arrows and Enter move through a modeless dialog's controls.
        if (platform::RouteDialogMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    g_messageLoopRunning = false;
    g_mainForm.reset();
    return static_cast<int>(msg.wParam);
}

bool ShowPrevInstance(std::wstring_view caption) {
    HWND previous = ::FindWindowW(nullptr, std::wstring(caption).c_str());
    return previous && SendCommand(previous, L"") == program_commands::Done;
}

void Quit() { ::PostMessageW(MainWindowHandle, WM_CLOSE, 0, 0); }

void GetOSVersion(OSVERSIONINFOW& info) {
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#elif defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
    ::GetVersionExW(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#elif defined(_MSC_VER)
#pragma warning(pop)
#endif
}

int ShowMessage(const std::wstring& text, UINT flags, const wchar_t* caption) noexcept {
    return ShowMessageOver(nullptr, text, flags, caption);
}

int ShowMessageOver(HWND owner, const std::wstring& text, UINT flags, const wchar_t* caption) noexcept {
    if (!owner || !::IsWindow(owner)) owner = ::IsWindow(MainWindowHandle) ? MainWindowHandle : nullptr;
    return ::MessageBoxW(owner, text.c_str(), caption ? caption : AppInfo::Title, flags | MB_SETFOREGROUND);
}

void RegisterForm(HWND form) {
    if (platform::CurrentScheme() == platform::Scheme::Dark) platform::UseDarkTitleBar(form, true);
    if (std::find(g_forms.begin(), g_forms.end(), form) == g_forms.end()) g_forms.push_back(form);
}

void UnregisterForm(HWND form) {
    auto it = std::find(g_forms.begin(), g_forms.end(), form);
    if (it == g_forms.end()) return;
    g_forms.erase(it);
    if (g_forms.empty() && g_messageLoopRunning) ::PostQuitMessage(0);
}

const std::vector<HWND>& OpenForms() { return g_forms; }
