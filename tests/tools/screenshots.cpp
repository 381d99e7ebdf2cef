// Makes the README's pictures: Pelkin started with a few sample rules over
// windows of testwin, then its main menu, its Windows menu and its Options
// dialog opened as a user opens them and copied from the screen into bitmap
// files; then the switcher, the Tray Manager, the rules editor's two pages and
// its New Rule Wizard. Run by scripts/screenshots.sh under the test harness's
// display.
//
//   screenshots.exe <folder>   writes main-menu.bmp, windows-menu.bmp, options.bmp,
//                              options-hotkeys.bmp,
//                              switcher.bmp, tray-manager.bmp, editor-rules.bmp,
//                              editor-windows.bmp, wizard.bmp, main-menu-dark.bmp
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Gdi.h"
#include "MenuKeyboard.h"
#include "Process.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "Wait.h"
#include "WineTray.h"
#include "Xdotool.h"
#include "frmOptionsIds.h"
#include "frmSetupIds.h"

using namespace testing_support;

namespace {

const std::wstring ProgramKey = L"Software\\Pelkin!";
constexpr wchar_t Title[] = L"Pelkin!";
constexpr wchar_t MainCaption[] = L"Pelkin!Main";
constexpr int RightButton = 3;
// A window just shown may still be drawing; a picture waits this long.
constexpr DWORD SettleMs = 300;
// The Options dialog's Hot keys page, counted from the first.
constexpr int HotKeysPage = 3;
// The rules editor's New command.
constexpr WPARAM NewRuleCommand = 101;

struct SampleRule {
    const wchar_t* title;
    DWORD action;  // 0 tray, 1 hide, 2 on top, 3 transparent, 4 ignore
};
constexpr SampleRule SampleRules[] = {
    {L"Inbox - Mail", 0}, {L"Music player", 0}, {L"Downloads", 0},      {L"Nightly build log", 1},
    {L"Calculator", 2},   {L"Sticky notes", 3},
};

void StoreRules() {
    DeleteTree(HKEY_CURRENT_USER, ProgramKey);
    DWORD index = 1;
    for (const auto& rule : SampleRules) {
        const std::wstring key = ProgramKey + L"\\Rules\\" + rule.title;
        WriteText(HKEY_CURRENT_USER, key, L"Enabled", L"True");
        WriteText(HKEY_CURRENT_USER, key, L"Title", rule.title);
        WriteText(HKEY_CURRENT_USER, key, L"Class", L"");
        WriteText(HKEY_CURRENT_USER, key, L"Icon FileName", L"");
        WriteNumber(HKEY_CURRENT_USER, key, L"Action", rule.action);
        WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", 1);
        WriteNumber(HKEY_CURRENT_USER, key, L"Search Options", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Icon Location", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Icon Position", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Alpha", 160);
        WriteNumber(HKEY_CURRENT_USER, key, L"AutoHide Delay", 0);
        WriteNumber(HKEY_CURRENT_USER, key, L"Index", index++);
    }
    // The program would ask before it ends.
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Confirmation", L"Exit", L"False");
    // A left click on the program's icon opens the Tray Manager.
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Options\\Mouse", L"Main Left Single Click", L"5");
    // The switcher shows the windows the rules watch, not the desktop's own.
    WriteText(HKEY_CURRENT_USER, ProgramKey + L"\\Switcher", L"Alt+Tab Mode", L"False");
}

// Copies a rectangle of the screen into a 32-bit bitmap file (its fourth
// byte is no alpha: the screen has none).
// What lies in `area` outside the `shown` rectangles is left white.
bool SaveScreen(const RECT& area, const std::vector<RECT>& shown, const std::wstring& path) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    platform::WindowDC screen(nullptr);
    platform::MemoryBitmap copy(screen.get(), width, height, platform::PixelFormat::TopDown32);
    platform::FillSolid(copy.dc(), copy.Bounds(), RGB(255, 255, 255));
    for (RECT part : shown) {
        ::OffsetRect(&part, -area.left, -area.top);
        if (!::BitBlt(copy.dc(), part.left, part.top, part.right - part.left, part.bottom - part.top, screen.get(),
                      part.left + area.left, part.top + area.top, SRCCOPY))
            return false;
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::vector<BYTE> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (!::GetDIBits(copy.dc(), copy.Unselect(), 0, static_cast<UINT>(height), pixels.data(),
                     reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
        return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    const bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                         fwrite(pixels.data(), pixels.size(), 1, out) == 1;
    return fclose(out) == 0 && written;
}

// Whether the window is one of the program's and nothing covers its middle:
// a picture of it shows Pelkin and nothing else.
bool ShowsOwnWindow(HWND window, DWORD processId) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != processId || !::IsWindowVisible(window)) return false;
    RECT area{};
    ::GetWindowRect(window, &area);
    const POINT middle{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    HWND seen = ::WindowFromPoint(middle);
    DWORD seenOwner = 0;
    ::GetWindowThreadProcessId(seen, &seenOwner);
    return seenOwner == processId;
}

// A picture of the program's windows, cropped to them; refused when one of
// them is not the program's or another window covers it.
bool SaveWindows(std::initializer_list<HWND> windows, DWORD processId, const std::wstring& path) {
    RECT area{};
    std::vector<RECT> shown;
    for (HWND window : windows) {
        if (!ShowsOwnWindow(window, processId)) {
            std::fwprintf(stderr, L"screenshots: %ls would not show Pelkin's window\n", path.c_str());
            return false;
        }
        RECT bounds{};
        ::GetWindowRect(window, &bounds);
        ::UnionRect(&area, &area, &bounds);
        shown.push_back(bounds);
    }
    return SaveScreen(area, shown, path);
}

RECT Bounds(HWND window) {
    RECT area{};
    ::GetWindowRect(window, &area);
    return area;
}

// The menu windows of a thread, the first opened first.
std::vector<HWND> MenusOf(DWORD thread) {
    std::vector<HWND> menus;
    for (HWND window = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); window;
         window = ::FindWindowExW(nullptr, window, L"#32768", nullptr)) {
        if (::GetWindowThreadProcessId(window, nullptr) == thread && ::IsWindowVisible(window))
            menus.insert(menus.begin(), window);
    }
    return menus;
}

// A shown window of the process that is none of its menus, dialogs or tips:
// one of its painted forms.
HWND ShownForm(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            const std::wstring windowClass = name;
            if (owner != search.processId || !::IsWindowVisible(window) || windowClass == L"#32768" ||
                windowClass == L"#32770" || windowClass == TOOLTIPS_CLASSW)
                return TRUE;
            search.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Fail(const char* what) {
    std::fprintf(stderr, "screenshots: %s\n", what);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return Fail("usage: screenshots.exe <folder>");
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    StoreRules();
    TestWindowProgram testwin;
    for (const auto& rule : SampleRules) testwin.Create(rule.title);
    testwin.Create(L"Untitled - Notepad");

    ChildProcess program(BesideTests(L"Pelkin.exe"), L"");
    HWND main = nullptr;
    if (!WaitUntil([&] { return (main = FindProcessWindow(MainCaption, program.Id())) != nullptr; }))
        return Fail("Pelkin did not start");
    const DWORD thread = ::GetWindowThreadProcessId(main, nullptr);
    HWND icon = nullptr;
    if (!WaitUntil([&] { return (icon = FindTrayIcon(Title)) != nullptr; })) return Fail("no program icon");

    if (!ClickTrayIcon(icon, RightButton) || !WaitUntil([&] { return MenusOf(thread).size() == 1; }))
        return Fail("no main menu");
    ::Sleep(SettleMs);
    if (!SaveWindows({MenusOf(thread)[0]}, program.Id(), folder + L"main-menu.bmp")) return Fail("main menu not saved");

    // The Windows item opens the list of tracked windows beside the menu.
    HWND mainMenu = MenusOf(thread)[0];
    ::PostMessageW(mainMenu, WM_CHAR, L'w', 0);
    if (!WaitUntil([&] { return MenusOf(thread).size() == 2; })) return Fail("no Windows menu");
    ::Sleep(SettleMs);
    const auto menus = MenusOf(thread);
    if (!SaveWindows({menus[0], menus[1]}, program.Id(), folder + L"windows-menu.bmp"))
        return Fail("Windows menu not saved");
    for (int level = 0; level < 2; ++level) ::PostMessageW(mainMenu, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([&] { return MenusOf(thread).empty(); });

    if (!ClickTrayIcon(icon, RightButton) || !WaitUntil([&] { return MenusOf(thread).size() == 1; }))
        return Fail("no main menu the second time");
    {
        MenuKeyboard keys({Typed(L'o')}, thread);
        if (!keys.Worked()) return Fail("Options not chosen");
    }
    HWND options = nullptr;
    if (!WaitUntil([&] { return (options = FindDialog(L"Options", program.Id())) != nullptr; }))
        return Fail("no Options dialog");
    ::Sleep(SettleMs);
    if (!SaveWindows({options}, program.Id(), folder + L"options.bmp")) return Fail("Options not saved");
    {
        HWND pages = ::GetDlgItem(options, IDC_tvwOptions);
        auto page = reinterpret_cast<HTREEITEM>(::SendMessageW(pages, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        for (int next = 0; next < HotKeysPage && page; ++next)
            page = reinterpret_cast<HTREEITEM>(::SendMessageW(pages, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(page)));
        ::SendMessageW(pages, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(page));
    }
    ::Sleep(SettleMs);
    if (!SaveWindows({options}, program.Id(), folder + L"options-hotkeys.bmp")) return Fail("Hot keys page not saved");
    PressButton(options, IDCANCEL);
    WaitUntil([&] { return !::IsWindow(options); });

    // The switcher, while its hot key (Ctrl+Tab) is held down over a window
    // that has the X focus, as hot keys need under Wine.
    HWND focus = FindProcessWindow(L"Untitled - Notepad", testwin.ProcessId());
    const std::wstring xWindow = std::to_wstring(XWindowOf(focus));
    // The pointer goes out of the way, or a cell's tooltip covers the caption.
    if (!RunXdotool(L"mousemove 0 0 windowfocus --sync " + xWindow + L" keydown ctrl key Tab"))
        return Fail("no xdotool");
    HWND switcher = nullptr;
    const bool switcherShown = WaitUntil([&] { return (switcher = ShownForm(program.Id())) != nullptr; });
    bool switcherSaved = false;
    if (switcherShown) {
        ::Sleep(SettleMs);
        switcherSaved = SaveWindows({switcher}, program.Id(), folder + L"switcher.bmp");
    }
    RunXdotool(L"key Escape keyup ctrl");
    if (!switcherShown) return Fail("no switcher");
    if (!switcherSaved) return Fail("switcher not saved");
    WaitUntil([&] { return ShownForm(program.Id()) == nullptr; });

    if (!ClickTrayIcon(icon)) return Fail("the icon could not be clicked");
    HWND manager = nullptr;
    if (!WaitUntil([&] { return (manager = ShownForm(program.Id())) != nullptr; })) return Fail("no Tray Manager");
    // The pop-up is a layered window, which a copy of this display's screen
    // shows blank: for its picture it becomes a plain one, as opaque as it is
    // while it is active.
    ::SetWindowLongPtrW(manager, GWL_EXSTYLE, ::GetWindowLongPtrW(manager, GWL_EXSTYLE) & ~WS_EX_LAYERED);
    ::RedrawWindow(manager, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
    ::Sleep(SettleMs);
    if (!SaveWindows({manager}, program.Id(), folder + L"tray-manager.bmp")) return Fail("Tray Manager not saved");

    // The rules editor, as a second start of the program brings it up: its
    // Rules page, then its Windows page (the tab given the focus by a click,
    // then the next one chosen by key), then the wizard of its New command.
    ChildProcess second(BesideTests(L"Pelkin.exe"), L"");
    second.WaitForExit(10000);
    HWND editor = nullptr;
    if (!WaitUntil([&] {
            editor = FindProcessWindow(Title, program.Id());
            return editor && ::IsWindowVisible(editor);
        }))
        return Fail("no rules editor");
    ::Sleep(SettleMs);
    if (!SaveWindows({editor}, program.Id(), folder + L"editor-rules.bmp")) return Fail("editor not saved");
    const RECT tabs = Bounds(::GetDlgItem(editor, IDC_SETUP_TBSVIEW));
    // The second tab lies right of the first, whose caption is a few letters wide.
    RunXdotool(L"mousemove " + std::to_wstring(tabs.left + 80) + L" " + std::to_wstring(tabs.top + 10) +
               L" click 1 mousemove 0 0");
    if (!WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(editor, IDC_SETUP_LVWWINDOWS)) != FALSE; }))
        return Fail("no Windows page");
    ::Sleep(SettleMs);
    if (!SaveWindows({editor}, program.Id(), folder + L"editor-windows.bmp")) return Fail("Windows page not saved");
    ::PostMessageW(editor, WM_COMMAND, NewRuleCommand, 0);
    HWND wizard = nullptr;
    if (!WaitUntil([&] { return (wizard = FindDialog(L"New Rule Wizard", program.Id())) != nullptr; }))
        return Fail("no wizard");
    ::Sleep(SettleMs);
    if (!SaveWindows({wizard}, program.Id(), folder + L"wizard.bmp")) return Fail("wizard not saved");
    PressButton(wizard, IDCANCEL);
    WaitUntil([&] { return !::IsWindow(wizard); });

    // The main menu again with apps set to dark, as the system tells a
    // running program of the change.
    const std::wstring personalize = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    WriteNumber(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme", 0);
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(main, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG,
                          DefaultTimeoutMs, &answer);
    const bool darkShown = ClickTrayIcon(icon, RightButton) && WaitUntil([&] { return MenusOf(thread).size() == 1; });
    bool darkSaved = false;
    if (darkShown) {
        ::Sleep(SettleMs);
        darkSaved = SaveWindows({MenusOf(thread)[0]}, program.Id(), folder + L"main-menu-dark.bmp");
        ::PostMessageW(MenusOf(thread)[0], WM_KEYDOWN, VK_ESCAPE, 0);
        WaitUntil([&] { return MenusOf(thread).empty(); });
    }
    WriteNumber(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme", 1);
    if (!darkShown) return Fail("no dark main menu");
    if (!darkSaved) return Fail("dark main menu not saved");

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    program.WaitForExit(10000);
    DeleteTree(HKEY_CURRENT_USER, ProgramKey);
    return 0;
}
