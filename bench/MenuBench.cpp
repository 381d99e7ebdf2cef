// What the user waits for when opening the tray menus, the switcher and the
// Tray Manager with 1, 50, 200 and 500 windows of another program held, set
// beside a plain menu of as many text items that this program pops up
// itself. A menu is timed from the call that opens it until its window is on
// the screen at its final size ("shown") and until its first paint is over
// ("drawn"), both seen from inside the thread that runs the menu; the
// switcher and the Tray Manager until their window is shown and painted.
// Every figure is the median of openings taken in turns.
//
// Then, for the larger counts, where one opening of the "Windows" menu spends
// its time, step by step, per listed window. An opening asks the windows
// nothing (their icons are kept from when they were held or last
// refreshed) and writes an image only for a window whose icon changed; the
// question and the write are timed on their own to show what that saves.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CApplication.h"
#include "CRule.h"
#include "CRules.h"
#include "CTracker.h"
#include "CWindow.h"
#include "ComClient.h"
#include "Guard.h"
#include "MainModule.h"
#include "MenuComponent.h"
#include "InProcessApplication.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "Variant.h"
#include "Wait.h"
#include "WindowModule.h"
#include "frmMain.h"
#include "frmSwitcher.h"
#include "frmTrayManager.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int HeldCounts[] = {1, 50, 200, 500};
constexpr int Openings = 7;
constexpr int StepRounds = 5;
constexpr int PopupX = 40, PopupY = 40;
constexpr int TrayManagerX = 40, TrayManagerY = 600;
constexpr wchar_t MenuWindowClass[] = L"#32768";
constexpr double MicrosecondsPerMs = 1000.0;
// The aims, as ratios.
constexpr double WindowsMenuAim200 = 3.0;
constexpr double WindowsMenuAim500 = 4.0;
constexpr double MainMenuAim = 2.0;
constexpr double FormAim = 3.0;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

template <class Body>
double Milliseconds(Body&& body) {
    const auto start = Clock::now();
    body();
    return MsSince(start);
}

// --- the held windows -------------------------------------------------------------

// Held in turns by three rules, so that the "Windows" menu has three groups.
struct HeldKind {
    const wchar_t* titleMark;
    int32_t action;
};
constexpr HeldKind Kinds[] = {
    {L"Hidden report", ActionHide},
    {L"Topmost monitor", ActionOnTop},
    {L"Clear overlay", ActionTransparency},
};

std::wstring HeldTitle(int index) {
    const HeldKind& kind = Kinds[static_cast<size_t>(index) % std::size(Kinds)];
    return std::wstring(kind.titleMark) + L" " + std::to_wstring(index + 1) + L" - Viewer";
}

// --- the application in this process ---------------------------------------------

class InProcessApplication : public bench_support::InProcessApplication {
public:
    CApplication& App() const noexcept { return *app_; }

    bool AddRules() {
        for (const HeldKind& kind : Kinds) {
            RuleDefinition rule;
            rule.name = kind.titleMark;
            rule.title = kind.titleMark;
            rule.action = kind.action;
            rule.criteria = CriteriaAlways;
            rule.alpha = 200;
            rule.iconPosition = -1;
            rule.enabled = true;
            if (!app_->Rules().Add(rule, true)) return false;
        }
        // In force, following the windows' events, as it runs for a user.
        if (!app_->Enabled()) app_->SetEnabled(true);
        return app_->Tracker().Tracking();
    }
};

// Holds windows of testwin until `count` are held; false when one could not be made or held.
bool GrowHeld(testing_support::TestWindowProgram& testwin, CApplication& app, std::vector<HWND>& held, int count) {
    while (static_cast<int>(held.size()) < count) {
        HWND window = testwin.Create(HeldTitle(static_cast<int>(held.size())));
        if (!window) return false;
        app.Tracker().Offer(window, false);
        if (!app.Tracker().Find(WindowKey(window))) return false;
        held.push_back(window);
    }
    return testwin.CatchUp();
}

// --- timing a menu from inside its thread ------------------------------------------

// The menu window is this thread's: its procedure, wrapped as the window is
// made, sees it placed on the screen at its size (shown) and its first paint
// end (drawn), then closes it with Escape as a user would. A hook on every
// procedure call of the thread would cost the menu's own messages a trip to
// the window server each under Wine, and an owner-drawn menu sends two per item.
struct MenuTiming {
    Clock::time_point opened;
    Clock::time_point shown;
    Clock::time_point drawn;
    HWND menu = nullptr;
    bool isShown = false;
    bool isDrawn = false;
};
MenuTiming* g_timing = nullptr;

bool IsMenuWindow(HWND window) {
    wchar_t name[16] = {};
    return ::GetClassNameW(window, name, static_cast<int>(std::size(name))) > 0 &&
           std::wstring(name) == MenuWindowClass;
}

void Observe(HWND window, UINT message) {
    MenuTiming& timing = *g_timing;
    if (!timing.isShown && message == WM_WINDOWPOSCHANGED && ::IsWindowVisible(window)) {
        timing.shown = Clock::now();
        timing.isShown = true;
        timing.menu = window;
    } else if (timing.isShown && !timing.isDrawn && message == WM_PAINT && window == timing.menu) {
        timing.drawn = Clock::now();
        timing.isDrawn = true;
        ::PostMessageW(timing.menu, WM_KEYDOWN, VK_ESCAPE, 0);
    }
}

// The menu windows wrapped so far, with the procedure each had.
std::map<HWND, WNDPROC> g_wrapped;

LRESULT CALLBACK WatchedMenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = g_wrapped.at(window);
    const LRESULT result = ::CallWindowProcW(original, window, message, wParam, lParam);
    if (g_timing) Observe(window, message);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        g_wrapped.erase(window);
    }
    return result;
}

LRESULT CALLBACK WrapMenuWindows(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && IsMenuWindow(window) && !g_wrapped.contains(window))
        g_wrapped[window] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedMenuProc)));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Should a menu never report its paint, it is closed all the same.
constexpr UINT StuckMenuMs = 5000;
void CALLBACK CloseStuckMenu(HWND, UINT, UINT_PTR, DWORD) noexcept {
    if (!g_timing) return;
    // A menu window the wrapper never saw made is found by its class.
    const HWND menu = g_timing->menu ? g_timing->menu : ::FindWindowW(MenuWindowClass, nullptr);
    if (menu) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
}

struct Opening {
    double shownMs = 0;
    double drawnMs = 0;
};

// Run before every timed opening: what the last one left for the system to do
// (the screen under a closed menu repainted, its messages handled, here and
// in the program that owns the held windows) is done before the clock starts,
// as it is when a user opens the next menu.
std::function<void()> g_settle;

void PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void Settle() {
    PumpMessages();
    if (g_settle) g_settle();
}

// One opening; `open` returns once the menu has closed.
Opening TimeMenu(const std::function<void()>& open) {
    Settle();
    MenuTiming timing;
    g_timing = &timing;
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, WrapMenuWindows, nullptr, ::GetCurrentThreadId());
    const UINT_PTR stuck = ::SetTimer(nullptr, 0, StuckMenuMs, CloseStuckMenu);
    timing.opened = Clock::now();
    open();
    ::KillTimer(nullptr, stuck);
    ::UnhookWindowsHookEx(hook);
    g_timing = nullptr;
    Opening result;
    if (timing.isShown) result.shownMs = std::chrono::duration<double, std::milli>(timing.shown - timing.opened).count();
    if (timing.isDrawn) result.drawnMs = std::chrono::duration<double, std::milli>(timing.drawn - timing.opened).count();
    return result;
}

// A window of this program that owns the plain menu.
class PlainOwner {
public:
    PlainOwner() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"MenuBenchOwner";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"Plain menu owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    }
    ~PlainOwner() { ::DestroyWindow(window_); }
    PlainOwner(const PlainOwner&) = delete;
    PlainOwner& operator=(const PlainOwner&) = delete;
    HWND get() const noexcept { return window_; }

private:
    HWND window_;
};

// The system's own menu of `items` text items, made and shown as a program would.
void PopupPlainMenu(HWND owner, int items) {
    HMENU menu = ::CreatePopupMenu();
    for (int i = 0; i < items; ++i)
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), (L"Plain item " + std::to_wstring(i + 1)).c_str());
    ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, PopupX, PopupY, owner, nullptr);
    ::DestroyMenu(menu);
}

// --- the forms -----------------------------------------------------------------------

double TimeSwitcher(const std::shared_ptr<CApplication>& app, const frmMain& form) {
    Settle();
    std::shared_ptr<frmSwitcher> switcher;
    const double ms = Milliseconds([&] {
        switcher = frmSwitcher::Create(app);
        std::vector<std::shared_ptr<CWindow>> windows = app->Windows().Snapshot();
        switcher->Display(std::move(windows), VK_F9, MOD_ALT, false, false, false, form.imlIcons());
        ::UpdateWindow(switcher->hWnd());
    });
    if (switcher->hWnd()) ::DestroyWindow(switcher->hWnd());
    return ms;
}

double TimeTrayManager(const std::shared_ptr<CApplication>& app) {
    Settle();
    std::shared_ptr<frmTrayManager> manager;
    const double ms = Milliseconds([&] {
        manager = frmTrayManager::Create(app);
        manager->Initialize();
        manager->Display(TrayManagerX, TrayManagerY, true);
        ::UpdateWindow(manager->hWnd());
    });
    if (manager->hWnd()) ::DestroyWindow(manager->hWnd());
    return ms;
}

// --- the table -----------------------------------------------------------------------

struct Row {
    int held = 0;
    Opening plain, mainMenu, windowsMenu;
    double plainDrawn = 0;
    double switcher = 0, trayManager = 0;
    // The system's part of every tray menu's opening: the foreground taken
    // from the user's window (SetForegroundWindow, as the menu does).
    double handOver = 0;
};

Row MeasureRow(InProcessApplication& program, HWND plainOwner, int held) {
    CApplication& app = program.App();
    std::vector<double> plainShown, plainDrawn, mainShown, mainDrawn, windowsShown, windowsDrawn, switchers, managers,
        handOvers;
    // One round first that is not counted: what a first opening makes once
    // (fonts, the banner, the forms' classes) weighs on no figure.
    for (int i = -1; i < Openings; ++i) {
        const Opening plain = TimeMenu([&] { PopupPlainMenu(plainOwner, held); });
        const Opening main = TimeMenu([&] { app.PopupMenu(MainWindowHandle, PopupX, PopupY); });
        const Opening windows = TimeMenu([&] { app.PopupWindowsMenu(MainWindowHandle, PopupX, PopupY); });
        const double switcher = TimeSwitcher(program.Shared(), program.Form());
        const double manager = TimeTrayManager(program.Shared());
        if (i < 0) continue;
        plainShown.push_back(plain.shownMs);
        plainDrawn.push_back(plain.drawnMs);
        mainShown.push_back(main.shownMs);
        mainDrawn.push_back(main.drawnMs);
        windowsShown.push_back(windows.shownMs);
        windowsDrawn.push_back(windows.drawnMs);
        switchers.push_back(switcher);
        managers.push_back(manager);
    }
    for (int i = 0; i < Openings; ++i) {
        Settle();
        handOvers.push_back(Milliseconds([&] { ::SetForegroundWindow(MainWindowHandle); }));
    }
    Row row;
    row.held = held;
    row.plain = {Median(plainShown), Median(plainDrawn)};
    row.mainMenu = {Median(mainShown), Median(mainDrawn)};
    row.windowsMenu = {Median(windowsShown), Median(windowsDrawn)};
    row.switcher = Median(switchers);
    row.trayManager = Median(managers);
    row.handOver = Median(handOvers);
    return row;
}

// The 1-held row again, with as many other windows of the held windows'
// program open as the 200-held row has, none of them held. A tray menu takes
// the foreground from the user's window, and under Wine that hand-over costs
// more the more top-level windows there are on the desktop, held or not;
// against this baseline what remains is what holding the windows costs.
// Milliseconds to drawn.
double MainMenuAmongOpenWindows(testing_support::TestWindowProgram& testwin, InProcessApplication& program,
                                HWND plainOwner, int open) {
    std::vector<HWND> bystanders;
    for (int i = 1; i < open; ++i)
        if (HWND window = testwin.Create(L"Bystander " + std::to_wstring(i))) bystanders.push_back(window);
    testwin.CatchUp();
    const Row row = MeasureRow(program, plainOwner, 1);
    for (HWND window : bystanders) testwin.Destroy(window);
    testwin.CatchUp();
    return row.mainMenu.drawnMs;
}

double Ratio(double value, double base) { return base > 0 ? value / base : 0.0; }

void PrintTable(const std::vector<Row>& rows, double mainAmongOpen) {
    std::printf("\nOpening with windows held (ms to shown / to drawn; x = ratio to the plain menu of as many items, "
                "by drawn;\n hand-over = the foreground taken from the user's window, part of every tray menu's "
                "time):\n");
    std::printf("%5s | %13s | %13s %6s | %13s %6s | %8s %6s | %8s %6s | %9s\n", "held", "plain menu", "main menu", "x",
                "Windows menu", "x", "switcher", "x", "Tray Mgr", "x", "hand-over");
    for (const Row& row : rows) {
        const double base = row.plain.drawnMs;
        std::printf("%5d | %5.1f / %5.1f | %5.1f / %5.1f %6.2f | %5.1f / %5.1f %6.2f | %8.1f %6.2f | %8.1f %6.2f | %9.1f\n",
                    row.held, row.plain.shownMs, row.plain.drawnMs, row.mainMenu.shownMs, row.mainMenu.drawnMs,
                    Ratio(row.mainMenu.drawnMs, base), row.windowsMenu.shownMs, row.windowsMenu.drawnMs,
                    Ratio(row.windowsMenu.drawnMs, base), row.switcher, Ratio(row.switcher, base), row.trayManager,
                    Ratio(row.trayManager, base), row.handOver);
    }
    const Row* one = nullptr;
    for (const Row& row : rows) {
        if (row.held == 1) one = &row;
    }
    std::printf("\nAims (by drawn):\n");
    for (const Row& row : rows) {
        const double base = row.plain.drawnMs;
        if (row.held == 200 || row.held == 500) {
            const double aim = row.held == 200 ? WindowsMenuAim200 : WindowsMenuAim500;
            std::printf("  Windows menu, %3d held: %5.2f x plain (aim %.0f x)  %s\n", row.held,
                        Ratio(row.windowsMenu.drawnMs, base), aim,
                        Ratio(row.windowsMenu.drawnMs, base) <= aim ? "met" : "NOT MET");
        }
        if (row.held == 200 && one) {
            const double mainRatio = Ratio(row.mainMenu.drawnMs, one->mainMenu.drawnMs);
            std::printf("  main menu, 200 held: %5.2f x the main menu with 1 held (aim %.0f x)  %s\n", mainRatio,
                        MainMenuAim, mainRatio <= MainMenuAim ? "met" : "NOT MET");
            std::printf("    of which the system's foreground hand-over: %.1f ms with 1 held, %.1f ms with 200\n",
                        one->handOver, row.handOver);
            const double amongRatio = Ratio(row.mainMenu.drawnMs, mainAmongOpen);
            std::printf("  main menu, 200 held: %5.2f x the main menu with 1 held among 200 open windows (%.1f ms) "
                        "(aim %.0f x)  %s\n",
                        amongRatio, mainAmongOpen, MainMenuAim, amongRatio <= MainMenuAim ? "met" : "NOT MET");
            for (const auto& [name, ms] : {std::pair{"switcher", row.switcher}, std::pair{"Tray Manager", row.trayManager}})
                std::printf("  %s, 200 held: %5.2f x plain (aim %.0f x)  %s\n", name, Ratio(ms, base), FormAim,
                            Ratio(ms, base) <= FormAim ? "met" : "NOT MET");
        }
    }
}

// --- where one opening of the "Windows" menu spends its time ---------------------------

platform::ComPtr<_Band> BandNamed(_Quillet* quillet, const wchar_t* name) {
    platform::ComPtr<_Bands> bands;
    quillet->get_Bands(&bands);
    platform::ComPtr<_Band> band;
    bands->Item(platform::Variant::FromText(name).get(), &band);
    return band;
}

struct MenuItem {
    UINT id;
    ULONG_PTR data;
};

std::vector<MenuItem> ItemsOf(HMENU menu) {
    std::vector<MenuItem> items;
    for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_DATA;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
        items.push_back({info.wID, info.dwItemData});
    }
    return items;
}

// The band's list made as an opening makes it (WM_INITMENUPOPUP raises
// BandOpen, which lists the windows; the band then fills its menu), then
// every item measured and drawn as the menu window asks; per item, in
// microseconds. The menu is given back afterwards.
struct FillFigures {
    double createUs = 0, openUs = 0, measureUs = 0, drawUs = 0;
    int items = 0;
};

FillFigures TimeFill(_Quillet* quillet) {
    FillFigures figures;
    auto band = BandNamed(quillet, L"Windows");
    std::vector<double> creates, opens, measures, draws;
    for (int round = 0; round < StepRounds; ++round) {
        LONG_PTR created = 0;
        creates.push_back(Milliseconds([&] { band->Create(&created); }));
        HMENU menu = reinterpret_cast<HMENU>(created);
        opens.push_back(Milliseconds([&] {
            ::SendMessageW(MainWindowHandle, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        }));
        const std::vector<MenuItem> items = ItemsOf(menu);
        std::vector<SIZE> sizes;
        measures.push_back(Milliseconds([&] {
            for (const MenuItem& item : items) {
                MEASUREITEMSTRUCT measure{};
                measure.CtlType = ODT_MENU;
                measure.itemID = item.id;
                measure.itemData = item.data;
                ::SendMessageW(MainWindowHandle, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
                sizes.push_back({static_cast<LONG>(measure.itemWidth), static_cast<LONG>(measure.itemHeight)});
            }
        }));
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 400, 100);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        draws.push_back(Milliseconds([&] {
            for (size_t i = 0; i < items.size(); ++i) {
                DRAWITEMSTRUCT draw{};
                draw.CtlType = ODT_MENU;
                draw.itemID = items[i].id;
                draw.itemData = items[i].data;
                draw.itemAction = ODA_DRAWENTIRE;
                draw.hwndItem = reinterpret_cast<HWND>(menu);
                draw.hDC = dc;
                const int top = 3 + static_cast<int>(i) * sizes[i].cy;
                draw.rcItem = RECT{0, top % 80, sizes[i].cx, top % 80 + sizes[i].cy};
                ::SendMessageW(MainWindowHandle, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
            }
        }));
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
        figures.items = static_cast<int>(items.size());
        band->Destroy();
    }
    const double perItem = MicrosecondsPerMs / std::max(figures.items, 1);
    figures.createUs = Median(creates) * perItem;
    figures.openUs = Median(opens) * perItem;
    figures.measureUs = Median(measures) * perItem;
    figures.drawUs = Median(draws) * perItem;
    return figures;
}

// The component calls one listing makes for a window, each kind timed apart,
// on a band of this benchmark's own: add, tag, move under a header, check.
struct CallFigures {
    double addUs = 0, tagUs = 0, moveUs = 0, checkUs = 0;
};

CallFigures TimeComponentCalls(_Quillet* quillet, const std::vector<HWND>& held) {
    platform::ComPtr<_Bands> bands;
    quillet->get_Bands(&bands);
    platform::ComPtr<_Band> band;
    bands->Add(platform::Bstr(L"Bench").get(), qlBandPopup, menu_component::MissingArgument(), VARIANT_TRUE,
               VARIANT_FALSE, VARIANT_TRUE, &band);
    platform::ComPtr<_Tools> tools = menu_component::ToolsOf(*band.Get());
    const platform::Bstr none(L"");
    std::vector<double> adds, tags, moves, checks;
    for (int round = 0; round < StepRounds; ++round) {
        platform::ComPtr<_Tool> header;
        tools->Add(900, platform::Bstr(L"Group").get(), platform::Bstr(L"Group").get(), -1, qlToolStyleHeader,
                   none.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, none.get(), none.get(), VARIANT_TRUE,
                   VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &header);
        tools->Add(901, platform::Bstr(L"Other").get(), platform::Bstr(L"Other").get(), -1, qlToolStyleHeader,
                   none.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, none.get(), none.get(), VARIANT_TRUE,
                   VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &header);
        double add = 0, tag = 0, move = 0, check = 0;
        for (size_t i = 0; i < held.size(); ++i) {
            const std::wstring name = std::to_wstring(i + 1) + L"W";
            platform::ComPtr<_Tool> tool;
            Clock::time_point start = Clock::now();
            tools->Add(static_cast<LONG>(1001 + i), platform::Bstr(name).get(),
                       platform::Bstr(HeldTitle(static_cast<int>(i))).get(), static_cast<LONG>(i % 20 + 1),
                       qlToolStyleNormal, none.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, none.get(),
                       none.get(), VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &tool);
            add += MsSince(start);
            start = Clock::now();
            tool->put_Tag(platform::Variant::FromInt32(static_cast<int32_t>(reinterpret_cast<intptr_t>(held[i]))).get());
            tag += MsSince(start);
            start = Clock::now();
            tools->Move(platform::Variant::FromText(name).get(), menu_component::MissingArgument(),
                        platform::Variant::FromText(L"Group").get());
            move += MsSince(start);
            start = Clock::now();
            tool->put_Checked(VARIANT_FALSE);
            check += MsSince(start);
        }
        tools->RemoveAll();
        adds.push_back(add);
        tags.push_back(tag);
        moves.push_back(move);
        checks.push_back(check);
    }
    bands->Remove(platform::Variant::FromText(L"Bench").get());
    const double perWindow = MicrosecondsPerMs / static_cast<double>(held.size());
    return {Median(adds) * perWindow, Median(tags) * perWindow, Median(moves) * perWindow, Median(checks) * perWindow};
}

// The icon question, the icon as an opening takes it now (kept since the
// window was held or last refreshed) and the image-list write, per window.
struct IconFigures {
    double askUs = 0, keptUs = 0, writeUs = 0, titleUs = 0;
};

IconFigures TimeIcons(CApplication& app, const frmMain& form) {
    std::vector<std::shared_ptr<CWindow>> windows = app.Windows().Snapshot();
    std::vector<double> asks, kept, writes, titles;
    std::vector<HICON> icons(windows.size());
    HIMAGELIST images = form.imlIcons();
    const int base = app.WindowIconBase();
    for (int round = 0; round < StepRounds; ++round) {
        asks.push_back(Milliseconds([&] {
            for (size_t i = 0; i < windows.size(); ++i) icons[i] = windows[i]->IconHandle(0, false);
        }));
        kept.push_back(Milliseconds([&] {
            for (size_t i = 0; i < windows.size(); ++i) icons[i] = windows[i]->SmallIcon();
        }));
        writes.push_back(Milliseconds([&] {
            for (size_t i = 0; i < windows.size(); ++i)
                if (icons[i]) ::ImageList_ReplaceIcon(images, base + static_cast<int>(i), icons[i]);
        }));
        titles.push_back(Milliseconds([&] {
            for (const auto& window : windows) (void)window->Title();
        }));
    }
    const double perWindow = MicrosecondsPerMs / static_cast<double>(windows.size());
    return {Median(asks) * perWindow, Median(kept) * perWindow, Median(writes) * perWindow, Median(titles) * perWindow};
}

void PrintSteps(InProcessApplication& program, const std::vector<HWND>& held) {
    CApplication& app = program.App();
    // The list as an opening leaves it, and the image list fitted to it.
    TimeMenu([&] { app.PopupWindowsMenu(MainWindowHandle, PopupX, PopupY); });
    const IconFigures icons = TimeIcons(app, program.Form());
    const CallFigures calls = TimeComponentCalls(app.Quillet(), held);
    const FillFigures fill = TimeFill(app.Quillet());
    std::printf("\nWhere the \"Windows\" menu's time goes, %zu windows held (us per window or item):\n", held.size());
    std::printf("  %-58s %9.1f\n", "the window asked for its small icon (IconHandle, no cache)", icons.askUs);
    std::printf("  %-58s %9.1f\n", "the small icon as the lists take it (SmallIcon, kept)", icons.keptUs);
    std::printf("  %-58s %9.1f\n", "an image written into the image list (ReplaceIcon)", icons.writeUs);
    std::printf("  %-58s %9.1f\n", "the window's title (Title)", icons.titleUs);
    std::printf("  %-58s %9s\n", "(the lists keep titles while window events are followed)",
                app.Tracker().Tracking() ? "followed" : "not followed");
    std::printf("  %-58s %9.1f\n", "component: Tools.Add", calls.addUs);
    std::printf("  %-58s %9.1f\n", "component: Tool.Tag", calls.tagUs);
    std::printf("  %-58s %9.1f\n", "component: Tools.Move under its header", calls.moveUs);
    std::printf("  %-58s %9.1f\n", "component: Tool.Checked", calls.checkUs);
    std::printf("  %-58s %9.1f\n", "the band's menu made from its last list (Band.Create), per item",
                fill.createUs);
    std::printf("  %-58s %9.1f  (%d items)\n", "the opening's list and menu fill (BandOpen + build), per item",
                fill.openUs, fill.items);
    std::printf("  %-58s %9.1f\n", "WM_MEASUREITEM, per item", fill.measureUs);
    std::printf("  %-58s %9.1f\n", "WM_DRAWITEM into a memory DC, per item", fill.drawUs);
}

bool Run() {
    testing_support::TestWindowProgram testwin;
    if (!testwin.Running()) {
        std::printf("testwin.exe did not start\n");
        return false;
    }
    InProcessApplication program;
    if (!program.AddRules()) {
        std::printf("the rules were refused\n");
        return false;
    }
    // The window the user works in, of a program of its own: every opening
    // starts with it in front, as a click on the tray does while the user
    // works, whatever the opening before it left in front.
    testing_support::TestWindowProgram desk;
    HWND working = desk.Running() ? desk.Create(L"The window the user works in") : nullptr;
    if (!working) {
        std::printf("the user's window could not be made\n");
        return false;
    }
    g_settle = [&] {
        ::SetForegroundWindow(working);
        testing_support::WaitUntil([&] { return ::GetForegroundWindow() == working; });
        desk.CatchUp();
        testwin.CatchUp();
        PumpMessages();
    };
    struct ForgetSettle {
        ~ForgetSettle() { g_settle = nullptr; }
    } forgetSettle;
    PlainOwner plainOwner;
    std::vector<HWND> held;
    std::vector<Row> rows;
    double mainAmongOpen = 0;
    for (int count : HeldCounts) {
        if (!GrowHeld(testwin, program.App(), held, count)) {
            std::printf("only %zu windows could be held\n", held.size());
            return false;
        }
        rows.push_back(MeasureRow(program, plainOwner.get(), count));
        if (count == 1) mainAmongOpen = MainMenuAmongOpenWindows(testwin, program, plainOwner.get(), 200);
        std::printf("measured with %d held\n", count);
        std::fflush(stdout);
        if (count >= 200) PrintSteps(program, held);
        std::fflush(stdout);
    }
    PrintTable(rows, mainAmongOpen);
    return true;
}

}  // namespace

int wmain() {
    platform::com::ComApartment apartment;
    // The branch the program runs: failures are trapped and logged.
    platform::SetErrorTrapping(true);
    try {
        return Run() ? 0 : 1;
    } catch (const std::exception& failure) {
        std::printf("stopped: %s\n", failure.what());
        return 1;
    }
}
