// testwin.exe: the other program of the tests. It makes top-level windows and
// changes them on command. Commands come one a line on standard input, and
// each gets one answer line on standard output, so a test can script it.
// Lines are UTF-8 and their fields are separated by tabs; text fields write
// backslash, tab, line feed and carriage return as \\ \t \n \r. Handles are
// written as signed 32-bit decimal numbers.
//
//   create KIND ICON VISIBLE DISABLED RELATIVE CLASS TITLE   ok WINDOW
//       KIND: plain tool app owned child bare; ICON, VISIBLE, DISABLED: 0 or 1;
//       RELATIVE: owner or parent (0 for none); CLASS empty: PelkinTestWindow
//   minimize | restore | maximize | hide | show | destroy WINDOW   ok
//   retitle WINDOW TITLE                                   ok
//   refuse WINDOW 0|1                                      ok
//   guard WINDOW 0|1                                       ok
//       while on, the window stays shown and keeps its place in the z-order
//       whoever asks (it takes the hide and the move out of WM_WINDOWPOSCHANGING)
//   closes WINDOW                                          ok COUNT
//   icon WINDOW                                            ok ICON (0: none)
//   hang MILLISECONDS        ok, then the window thread sleeps that long
//   storm ROUNDS PREFIX                                    ok RETITLES
//       ROUNDS times over every live window, in handle order: the window
//       numbered N (from 0) gets the title "PREFIX tick N" in the rounds where
//       the round's number plus N is even and "PREFIX tock N" in the others,
//       so at any time half the windows carry each word. Messages sent to
//       testwin meanwhile are answered between two retitles.
//   announce ROUNDS EVENT                                  ok EVENTS
//       ROUNDS times over every live window, in handle order, raises the
//       window event numbered EVENT (decimal) without changing anything: the
//       stream of shows and hides of menus, tips and controls that a busy
//       desktop sends to every watching program.
//   ping                                                   ok
//       answered once testwin has handled whatever was sent to its windows
//       before it (another program's ShowWindowAsync among them), with all
//       the system did on the way: Wine activates a window restored from
//       minimized, SW_SHOWNOACTIVATE or not.
//   quit                     ok, then every window is destroyed and testwin ends
//
// A command that cannot be done is answered "error", a tab and the reason. The
// first line testwin writes is "ready"; the end of its input is a quit.
//
// Wine raises only EVENT_OBJECT_CREATE by itself, so after each change testwin
// raises the window event Windows would raise, for the hooks of other processes.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Strings.h"

namespace {

constexpr wchar_t DefaultClassName[] = L"PelkinTestWindow";
constexpr wchar_t ControlClassName[] = L"PelkinTestWinControl";
// Sent by the reader thread to the control window; lParam: the command line.
constexpr UINT CommandMessage = WM_APP + 1;
constexpr int IconSize = 32;
constexpr int WindowWidth = 320;
constexpr int WindowHeight = 200;
constexpr int ChildWidth = 160;
constexpr int ChildHeight = 100;
// New top-level windows are staggered so that they do not all cover each other.
constexpr int CascadeStep = 24;
constexpr int CascadePositions = 10;
// Enough for any storm a test waits for; more is a mistake in the command.
constexpr long long MostStormRounds = 100000;

using Fields = std::vector<std::wstring>;

struct WindowKind {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
    bool related;  // owned by or inside the command's RELATIVE
};

constexpr WindowKind Kinds[] = {
    {L"plain", WS_OVERLAPPEDWINDOW, 0, false},
    {L"tool", WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW, false},
    {L"app", WS_POPUP, WS_EX_APPWINDOW | WS_EX_TOOLWINDOW, false},
    {L"owned", WS_POPUPWINDOW | WS_CAPTION, 0, true},
    {L"child", WS_CHILD | WS_CAPTION, 0, true},
    {L"bare", WS_POPUP, 0, false},
};

// Show commands and the events Windows raises for each.
struct ShowCommand {
    const wchar_t* name;
    int show;
    DWORD events[2];
};

constexpr ShowCommand ShowCommands[] = {
    {L"minimize", SW_MINIMIZE, {EVENT_SYSTEM_MINIMIZESTART, EVENT_OBJECT_STATECHANGE}},
    {L"restore", SW_RESTORE, {EVENT_SYSTEM_MINIMIZEEND, EVENT_OBJECT_STATECHANGE}},
    {L"maximize", SW_MAXIMIZE, {EVENT_OBJECT_STATECHANGE, 0}},
    {L"hide", SW_HIDE, {EVENT_OBJECT_HIDE, 0}},
    // SW_SHOWNA shows a hidden window in the state it had: a hidden minimized
    // window comes back minimized, as from the program's own ShowWindow.
    {L"show", SW_SHOWNA, {EVENT_OBJECT_SHOW, 0}},
};

struct WindowState {
    bool alive = true;
    bool refuseClose = false;
    bool guarded = false;
    int closeRequests = 0;
    HICON icon = nullptr;
};

// Everything here belongs to the window thread, except `control`, which the
// reader thread only reads after it was set.
struct Program {
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HWND control = nullptr;
    // Every window testwin made, kept after its destruction for its close count.
    std::map<HWND, WindowState> windows;
    std::set<std::pair<std::wstring, bool>> registeredClasses;
    int created = 0;
};

Program program;

std::wstring Unescaped(std::wstring_view field) {
    std::wstring text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != L'\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        switch (field[++i]) {
            case L't': text += L'\t'; break;
            case L'n': text += L'\n'; break;
            case L'r': text += L'\r'; break;
            default: text += field[i]; break;
        }
    }
    return text;
}

Fields Split(std::wstring_view line) {
    Fields fields;
    for (;;) {
        const size_t tab = line.find(L'\t');
        fields.push_back(Unescaped(line.substr(0, tab)));
        if (tab == std::wstring_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

std::optional<long long> Number(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(text.c_str(), &end, 10);
    if (*end) return std::nullopt;
    return value;
}

// Handles travel as 32-bit values; Windows sign-extends them to 64 bits.
template <class Handle>
Handle HandleFrom(const std::wstring& text) {
    const auto value = Number(text);
    return value ? reinterpret_cast<Handle>(static_cast<intptr_t>(static_cast<int32_t>(*value))) : nullptr;
}

template <class Handle>
std::wstring Text(Handle handle) {
    return std::to_wstring(static_cast<int32_t>(reinterpret_cast<intptr_t>(handle)));
}

const std::wstring Ok = L"ok";
std::wstring OkWith(const std::wstring& value) { return Ok + L"\t" + value; }
std::wstring Error(const wchar_t* reason) { return std::wstring(L"error\t") + reason; }

void Raise(DWORD event, HWND window) noexcept { ::NotifyWinEvent(event, window, OBJID_WINDOW, CHILDID_SELF); }

// testwin's own picture, so that a test can tell it from any system icon: the
// upper-left half orange, the lower-right half teal.
HICON MakeIcon() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = IconSize;
    info.bmiHeader.biHeight = -IconSize;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color) return nullptr;
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < IconSize; ++y)
        for (int x = 0; x < IconSize; ++x) pixels[y * IconSize + x] = x + y < IconSize ? 0xFFFF8000u : 0xFF008080u;
    // An all-zero mask: every pixel is drawn.
    const std::vector<BYTE> maskBits(IconSize * IconSize / 8, 0);
    HBITMAP mask = ::CreateBitmap(IconSize, IconSize, 1, 1, maskBits.data());
    ICONINFO icon{TRUE, 0, 0, mask, color};
    HICON result = ::CreateIconIndirect(&icon);
    ::DeleteObject(mask);
    ::DeleteObject(color);
    return result;
}

WindowState* Known(HWND window) noexcept {
    auto found = program.windows.find(window);
    return found == program.windows.end() ? nullptr : &found->second;
}

WindowState* Alive(HWND window) noexcept {
    WindowState* state = Known(window);
    return state && state->alive ? state : nullptr;
}

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CLOSE:
            // WM_SYSCOMMAND SC_CLOSE arrives here too, through DefWindowProc.
            if (WindowState* state = Alive(hwnd)) {
                ++state->closeRequests;
                if (state->refuseClose) return 0;
            }
            break;
        case WM_WINDOWPOSCHANGING:
            if (WindowState* state = Alive(hwnd); state && state->guarded) {
                auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
                position->flags = (position->flags | SWP_NOZORDER) & ~static_cast<UINT>(SWP_HIDEWINDOW);
            }
            break;
        case WM_DESTROY:
            // Raised while the handle is still valid, so hooks can still ask about it.
            Raise(EVENT_OBJECT_DESTROY, hwnd);
            if (WindowState* state = Known(hwnd)) state->alive = false;
            break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// A class name has two classes: one with testwin's icon and one without. They
// share the name, so they are told apart by their module: testwin's own for
// the class with the icon, kernel32 (always loaded) for the one without.
HINSTANCE ClassInstance(bool icon) { return icon ? program.instance : ::GetModuleHandleW(L"kernel32.dll"); }

bool RegisterTestClass(const std::wstring& name, bool icon) {
    if (program.registeredClasses.count({name, icon})) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = ClassInstance(icon);
    windowClass.hIcon = icon ? program.icon : nullptr;
    windowClass.hIconSm = icon ? program.icon : nullptr;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name.c_str();
    if (!::RegisterClassExW(&windowClass)) return false;
    program.registeredClasses.insert({name, icon});
    return true;
}

const WindowKind* KindNamed(const std::wstring& name) {
    auto found =
        std::find_if(std::begin(Kinds), std::end(Kinds), [&](const WindowKind& kind) { return name == kind.name; });
    return found == std::end(Kinds) ? nullptr : found;
}

std::wstring Create(const Fields& fields) {
    if (fields.size() != 8) return Error(L"create wants 7 fields");
    const WindowKind* kind = KindNamed(fields[1]);
    if (!kind) return Error(L"unknown kind");
    const bool icon = fields[2] == L"1";
    const bool visible = fields[3] == L"1";
    const bool disabled = fields[4] == L"1";
    HWND relative = HandleFrom<HWND>(fields[5]);
    const std::wstring className = fields[6].empty() ? DefaultClassName : fields[6];
    if (!RegisterTestClass(className, icon)) return Error(L"class not registered");

    const bool child = kind->style & WS_CHILD;
    const int offset = child ? 0 : CascadeStep * (1 + program.created++ % CascadePositions);
    const DWORD style = kind->style | (disabled ? WS_DISABLED : 0);
    HWND window = ::CreateWindowExW(kind->exStyle, className.c_str(), fields[7].c_str(), style, offset, offset,
                                    child ? ChildWidth : WindowWidth, child ? ChildHeight : WindowHeight,
                                    kind->related ? relative : nullptr, nullptr, ClassInstance(icon), nullptr);
    if (!window) return Error(L"window not created");
    program.windows[window] = WindowState{};
    if (icon) {
        ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(program.icon));
        ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(program.icon));
        program.windows[window].icon = program.icon;
    }
    if (visible) {
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        Raise(EVENT_OBJECT_SHOW, window);
    }
    return OkWith(Text(window));
}

std::optional<std::wstring> ChangeWindow(const std::wstring& command, const Fields& fields, HWND window,
                                         WindowState& state) {
    for (const ShowCommand& show : ShowCommands) {
        if (command != show.name) continue;
        ::ShowWindow(window, show.show);
        for (DWORD event : show.events)
            if (event) Raise(event, window);
        return Ok;
    }
    if (command == L"retitle" && fields.size() == 3) {
        if (!::SetWindowTextW(window, fields[2].c_str())) return Error(L"title not set");
        Raise(EVENT_OBJECT_NAMECHANGE, window);
        return Ok;
    }
    if (command == L"destroy") return ::DestroyWindow(window) ? Ok : Error(L"window not destroyed");
    if (command == L"guard" && fields.size() == 3) {
        state.guarded = fields[2] == L"1";
        return Ok;
    }
    if (command == L"refuse" && fields.size() == 3) {
        state.refuseClose = fields[2] == L"1";
        return Ok;
    }
    return std::nullopt;
}

std::wstring WindowCommand(const std::wstring& command, const Fields& fields) {
    if (fields.size() < 2) return Error(L"unknown command");
    HWND window = HandleFrom<HWND>(fields[1]);
    // The close count and the icon are still known after the window is gone.
    if (command == L"closes" || command == L"icon") {
        const WindowState* state = Known(window);
        if (!state) return Error(L"no such window");
        return OkWith(command == L"closes" ? std::to_wstring(state->closeRequests) : Text(state->icon));
    }
    WindowState* state = Alive(window);
    if (!state) return Error(L"no such window");
    return ChangeWindow(command, fields, window, *state).value_or(Error(L"unknown command"));
}

// Answers what other processes sent to testwin's windows, as a program's
// message loop would between two changes: a program that watches the windows
// asks them questions and shows or hides them while a storm goes on.
void AnswerSentMessages() noexcept {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

std::wstring StormTitle(const std::wstring& prefix, long long round, size_t number) {
    const bool tick = (static_cast<unsigned long long>(round) + number) % 2 == 0;
    return prefix + (tick ? L" tick " : L" tock ") + std::to_wstring(number);
}

// `rounds` times over the windows alive at the start, in handle order, calls
// `change(round, number, window)` for each one still alive, which answers
// whether it changed the window; between two changes testwin answers what
// was sent to its windows. Answers how many changes were made. A window
// destroyed by what the storm sets off drops out as the storm reaches it.
template <class Change>
std::wstring OverLiveWindows(long long rounds, Change&& change) {
    std::vector<HWND> windows;
    for (const auto& [window, state] : program.windows)
        if (state.alive) windows.push_back(window);
    long long changes = 0;
    for (long long round = 0; round < rounds; ++round) {
        for (size_t number = 0; number < windows.size(); ++number) {
            if (!Alive(windows[number]) || !change(round, number, windows[number])) continue;
            ++changes;
            AnswerSentMessages();
        }
    }
    return OkWith(std::to_wstring(changes));
}

std::wstring Storm(const Fields& fields) {
    const auto rounds = fields.size() == 3 ? Number(fields[1]) : std::nullopt;
    if (!rounds || *rounds < 0 || *rounds > MostStormRounds) return Error(L"storm wants rounds and a prefix");
    return OverLiveWindows(*rounds, [&](long long round, size_t number, HWND window) {
        if (!::SetWindowTextW(window, StormTitle(fields[2], round, number).c_str())) return false;
        Raise(EVENT_OBJECT_NAMECHANGE, window);
        return true;
    });
}

std::wstring Announce(const Fields& fields) {
    const auto rounds = fields.size() == 3 ? Number(fields[1]) : std::nullopt;
    const auto event = fields.size() == 3 ? Number(fields[2]) : std::nullopt;
    if (!rounds || *rounds < 0 || *rounds > MostStormRounds || !event || *event <= 0 || *event > MAXDWORD)
        return Error(L"announce wants rounds and an event");
    return OverLiveWindows(*rounds, [&](long long, size_t, HWND window) {
        Raise(static_cast<DWORD>(*event), window);
        return true;
    });
}

void Answer(const std::wstring& text) {
    const std::string line = platform::Narrow(text) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void DestroyAll() {
    // Destroying an owner or a parent takes its pop-ups and children with it:
    // WM_DESTROY marks them before the loop reaches them.
    for (auto& [window, state] : program.windows)
        if (state.alive) ::DestroyWindow(window);
    ::DestroyWindow(program.control);
    ::PostQuitMessage(0);
}

// What a command answers and what testwin does after answering.
struct Reply {
    std::wstring answer;
    DWORD hangMs = 0;
    bool quit = false;
};

Reply Execute(const Fields& fields) {
    const std::wstring& command = fields[0];
    if (command == L"create") return {Create(fields)};
    if (command == L"quit") return {Ok, 0, true};
    // Sent messages are handled in the order they came, this command's among them.
    if (command == L"ping") return {Ok};
    if (command == L"storm") return {Storm(fields)};
    if (command == L"announce") return {Announce(fields)};
    if (command == L"hang") {
        const auto milliseconds = fields.size() == 2 ? Number(fields[1]) : std::nullopt;
        if (!milliseconds || *milliseconds < 0 || *milliseconds > MAXDWORD) return {Error(L"hang wants milliseconds")};
        return {Ok, static_cast<DWORD>(*milliseconds)};
    }
    return {WindowCommand(command, fields)};
}

void RunCommand(const std::wstring& line) {
    Reply reply;
    try {
        reply = Execute(Split(line));
    } catch (const std::exception&) {
        reply = {Error(L"failed")};
    }
    Answer(reply.answer);
    // The test has its answer before the hang starts; meanwhile no message
    // reaches any of testwin's windows.
    if (reply.hangMs) ::Sleep(reply.hangMs);
    if (reply.quit) DestroyAll();
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == CommandMessage) {
        RunCommand(*reinterpret_cast<const std::wstring*>(lParam));
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// The reader thread: each line goes to the window thread, which answers it
// before the next one is read. The end of the input ends testwin.
DWORD WINAPI ReadCommands(void*) noexcept {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            const std::wstring command = platform::Widen(line);
            ::SendMessageW(program.control, CommandMessage, 0, reinterpret_cast<LPARAM>(&command));
        }
    }
    const std::wstring quit = L"quit";
    ::SendMessageW(program.control, CommandMessage, 0, reinterpret_cast<LPARAM>(&quit));
    return 0;
}

}  // namespace

int wmain() {
    program.instance = ::GetModuleHandleW(nullptr);
    program.icon = MakeIcon();
    WNDCLASSW controlClass{};
    controlClass.lpfnWndProc = ControlProc;
    controlClass.hInstance = program.instance;
    controlClass.lpszClassName = ControlClassName;
    ::RegisterClassW(&controlClass);
    // A message-only window: no window enumeration ever finds it.
    program.control = ::CreateWindowExW(0, ControlClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        program.instance, nullptr);
    if (!program.control || !program.icon) return 1;
    HANDLE reader = ::CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr);
    if (!reader) return 1;
    ::CloseHandle(reader);
    Answer(L"ready");
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
