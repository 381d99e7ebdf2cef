// What tracking costs: a full scan and one window event of the application,
// set beside the bare platform loop that reads every window's title and class,
// over the windows of another process, and what the shows of windows no rule
// can take cost the hook; then what the running program holds in memory and
// spends in CPU time while it tracks windows and nothing happens, and while
// another program sends it a storm of shows.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CApplication.h"
#include "CTracker.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "CWindows.h"
#include "ComClient.h"
#include "Guard.h"
#include "Handles.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "Process.h"
#include "ProcessMemory.h"
#include "InProcessApplication.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "TextMatch.h"
#include "Wait.h"
#include "WinEventModule.h"
#include "WineTray.h"
#include "frmMain.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::TestWindowProgram;

constexpr int WindowCounts[] = {100, 1000};
constexpr int RuleCounts[] = {10, 100};
constexpr int ScanRepetitions = 9;
constexpr int EventRounds = 5;
constexpr int EventsPerRound = 2000;
constexpr int RejectedEventsPerRound = 200000;
constexpr int StepRepetitions = 5;
constexpr int ShowingWindowsPerKind = 20;
constexpr double MicrosecondsPerMs = 1000.0;
constexpr double NanosecondsPerMs = 1000000.0;
constexpr double AimRatio = 1.25;
constexpr double ProgramAimRatio = 1.3;
constexpr int AimWindows = 1000;
constexpr int AimRules = 100;
// Longer than any title made here; the bare loop reads into a buffer like this.
constexpr int TitleCapacity = 512;
constexpr int ClassCapacity = 257;

constexpr int TrackedWindowCount = 100;
constexpr wchar_t TrackedTitle[] = L"Build Monitor";
constexpr DWORD IdleIntervalMs = 2000;
// Longer than the ticks of the platform's CPU clocks (10 to 16 ms).
constexpr DWORD QuietMs = 500;
constexpr DWORD SettleTimeoutMs = 15000;
constexpr DWORD ConsentCapacity = 8;
constexpr DWORD ProgramTimeoutMs = 10000;
// A hundred windows hidden one after the other, each with a tray icon.
constexpr DWORD TrackAllTimeoutMs = 60000;
constexpr ULONGLONG FileTimeUnitsPerMs = 10000;
constexpr double BytesPerKilobyte = 1024.0;
constexpr wchar_t PrefixConsentVariable[] = L"PELKIN_BENCH_PREFIX_OK";
constexpr wchar_t PrefixConsentValue[] = L"1";
const std::wstring ProgramKey = L"Software\\Pelkin!";
const std::wstring MainCaption = L"Pelkin!Main";
constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr UINT ProgramIconId = 0;

// Keeps results alive so that no loop is optimised away.
volatile size_t g_sink = 0;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Body>
double Milliseconds(Body&& body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Defined with the measurements of the running program, below.
bool WaitUntilQuiet(DWORD processId);

// --- the other program's windows ----------------------------------------------

// Title families as a desktop shows them, each with the class its program
// registers; the number makes every title different.
struct WindowFamily {
    const wchar_t* before;
    const wchar_t* after;
    const wchar_t* className;
};

constexpr WindowFamily Families[] = {
    {L"Document ", L" - Editor", L"EditorFrame"},
    {L"Inbox (", L" unread) - Mail", L"MailMain"},
    {L"sales-", L".csv - Sheet Viewer", L"SheetViewerWnd"},
    {L"Build ", L" output - Console", L"ConsoleWindow"},
    {L"Untitled ", L" - Paint", L"PaintFrame"},
    {L"Meeting notes ", L".txt - Notes", L"NotesMain"},
    {L"Photo_", L".jpg - Image Viewer", L"ImageViewerWnd"},
    {L"Project Atlas - Task ", L" - Planner", L"PlannerMain"},
};

testing_support::TestWindowSpec WindowSpec(int index) {
    const auto& family = Families[static_cast<size_t>(index) % std::size(Families)];
    testing_support::TestWindowSpec spec;
    spec.title = family.before + std::to_wstring(index) + family.after;
    spec.className = family.className;
    return spec;
}

// Adds windows until there are `count`; false when testwin could not make one.
bool GrowWindows(TestWindowProgram& testwin, std::vector<HWND>& windows, int count) {
    while (static_cast<int>(windows.size()) < count) {
        HWND window = testwin.Create(WindowSpec(static_cast<int>(windows.size())));
        if (!window) return false;
        windows.push_back(window);
    }
    return true;
}

// --- rules that take none of them ------------------------------------------------

constexpr const wchar_t* ForeignClasses[] = {L"MediaPlayerFrame", L"ChatMainWindow", L"TerminalHost",
                                             L"BackupAgentWnd", L"DiscBurnerMain", L"DownloadManager"};
constexpr const wchar_t* ForeignPhrases[] = {L"Quarterly Forecast", L"Download complete", L"Password Vault",
                                             L"Update available", L"Remote Desktop", L"Media Library"};
constexpr const wchar_t* ForeignWords[] = {L"Torrent", L"Messenger", L"Calculator",
                                           L"Jukebox", L"Scanner", L"Debugger"};
constexpr const wchar_t* ForeignPatterns[] = {L"Invoice ####* - Ledger", L"* - Music Player", L"Chat with *",
                                              L"[X-Z]*.iso - Disc Burner", L"*Backup set # - Vault",
                                              L"Re: * - Mail Draft"};
enum class RuleKind { Class, Substring, WholeWord, Pattern };
constexpr int RuleKinds = 4;

RuleKind KindOf(const CRule& rule) {
    if (!rule.Class().empty()) return RuleKind::Class;
    if (rule.SearchOptions(TextMatch::Pattern)) return RuleKind::Pattern;
    if (rule.SearchOptions(TextMatch::WholeWord)) return RuleKind::WholeWord;
    return RuleKind::Substring;
}

// The stock text for `variant`; once the stock runs out, a round number
// keeps the texts of a long list apart, as a user's own rules would be.
template <size_t Size>
std::wstring Stock(const wchar_t* const (&stock)[Size], int variant) {
    std::wstring text = stock[static_cast<size_t>(variant) % Size];
    if (const int round = variant / static_cast<int>(Size); round > 0) text += L" " + std::to_wstring(round + 1);
    return text;
}

// Rule `index` of a list that mixes the four kinds of test and both criteria.
RuleDefinition ForeignRule(int index) {
    const int variant = index / RuleKinds;
    RuleDefinition rule;
    rule.name = L"Rule " + std::to_wstring(index + 1);
    rule.action = ActionHideInTray;
    rule.criteria = variant % 2 == 0 ? CriteriaAlways : CriteriaOnMinimize;
    rule.iconPosition = -1;
    rule.enabled = true;
    switch (static_cast<RuleKind>(index % RuleKinds)) {
        case RuleKind::Class: rule.windowClass = Stock(ForeignClasses, variant); break;
        case RuleKind::Substring: rule.title = Stock(ForeignPhrases, variant); break;
        case RuleKind::WholeWord:
            rule.title = Stock(ForeignWords, variant);
            rule.searchMask = TextMatch::WholeWord | (variant % 2 == 0 ? 0 : TextMatch::MatchCase);
            break;
        case RuleKind::Pattern:
            rule.title = Stock(ForeignPatterns, variant);
            rule.searchMask = TextMatch::Pattern;
            break;
    }
    return rule;
}

// Programs no window here belongs to: by file name, as patterns, by full path.
constexpr const wchar_t* ForeignPrograms[] = {
    L"notepad.exe",  L"mspaint.exe", L"thunderbird.exe",      L"vlc.exe",
    L"winword*.exe", L"tor?.exe",    L"*\\Music\\*.exe",
    L"C:\\Program Files\\Chat\\chat.exe", L"C:\\Tools\\backup.exe", L"steam.exe",
};
constexpr int ProgramRuleCount = 10;
constexpr int ProgramScanRepetitions = 15;

// Program rule `index`: no title and no class, so every window's program is
// asked for, the dearest case; the same criteria as the others.
RuleDefinition ForeignProgramRule(int index) {
    RuleDefinition rule;
    rule.name = L"Program rule " + std::to_wstring(index + 1);
    rule.action = ActionHideInTray;
    rule.criteria = index % 2 == 0 ? CriteriaAlways : CriteriaOnMinimize;
    rule.iconPosition = -1;
    rule.enabled = true;
    rule.program = Stock(ForeignPrograms, index);
    if (rule.program.find_first_of(L"*?") != std::wstring::npos) rule.searchMask = TextMatch::Pattern;
    return rule;
}

// --- the application in this process ------------------------------------------

// The application started as the program starts it, with its settings in a
// scratch registry so that nobody's own settings are read or written.
class InProcessApplication : public bench_support::InProcessApplication {
public:
    const std::shared_ptr<CApplication>& App() const noexcept { return app_; }

    // Grows the rule list to `count` rules; false when one was refused.
    bool GrowRules(int count) {
        while (app_->Rules().Count() < count) {
            if (!app_->Rules().Add(ForeignRule(app_->Rules().Count()), true)) return false;
        }
        return true;
    }
};

// --- the two loops ------------------------------------------------------------

BOOL CALLBACK BareWindowProc(HWND hWnd, LPARAM) noexcept {
    wchar_t title[TitleCapacity];
    wchar_t className[ClassCapacity];
    const int titleLength = ::GetWindowTextW(hWnd, title, TitleCapacity);
    const int classLength = ::GetClassNameW(hWnd, className, ClassCapacity);
    g_sink = g_sink + static_cast<size_t>(titleLength + classLength);
    return TRUE;
}

BOOL CALLBACK CountWindowProc(HWND, LPARAM count) noexcept {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int TopLevelWindowCount() {
    int count = 0;
    ::EnumWindows(CountWindowProc, reinterpret_cast<LPARAM>(&count));
    return count;
}

struct ScanTimes {
    double scanMs;
    double bareMs;
};

// Both loops in turns, so that whatever else the machine does weighs on both alike.
ScanTimes TimeScans() {
    std::vector<double> scans, bares;
    for (int i = 0; i < ScanRepetitions; ++i) {
        // As the program's full pass: every window asked afresh.
        scans.push_back(Milliseconds([] {
            TheApp->Tracker().ForgetPassedOverWindows();
            TheApp->Tracker().OfferAll();
        }));
        bares.push_back(Milliseconds([] { ::EnumWindows(BareWindowProc, 0); }));
    }
    return {Median(scans), Median(bares)};
}

struct EventTimes {
    double acceptedUs;
    double rejectedNs;
};

// Whether the program has seen the window with its title before: a retitled
// window is new to it, a window shown again with the title it had is not.
// (An event the hook drops never gets as far as the title.)
enum class Title { New, Seen };

// One event through the hook, as the system delivers it, in microseconds: the
// median over the rounds of `perRound` events taken over the windows in turn.
double EventMicroseconds(HWINEVENTHOOK hook, DWORD eventId, const std::vector<HWND>& windows, LONG idObject,
                         int perRound, Title title = Title::New) {
    std::vector<double> rounds;
    for (int round = 0; round < EventRounds; ++round) {
        if (title == Title::Seen) {
            for (HWND window : windows) WinEventProc(hook, eventId, window, idObject, CHILDID_SELF, 0, 0);
        }
        rounds.push_back(Milliseconds([&] {
            for (int i = 0; i < perRound; ++i) {
                // At most one window is remembered, so forgetting it is cheap.
                if (title == Title::New) TheApp->Tracker().ForgetPassedOverWindows();
                WinEventProc(hook, eventId, windows[static_cast<size_t>(i) % windows.size()], idObject, CHILDID_SELF,
                             0, 0);
            }
        }) * MicrosecondsPerMs / perRound);
    }
    return Median(rounds);
}

// A retitled window nobody tracks, and an event about a part of a window,
// which the hook turns away before looking at anything.
EventTimes TimeEvents(HWINEVENTHOOK hook, const std::vector<HWND>& windows) {
    return {EventMicroseconds(hook, EVENT_OBJECT_NAMECHANGE, windows, OBJID_WINDOW, EventsPerRound),
            EventMicroseconds(hook, EVENT_OBJECT_NAMECHANGE, windows, OBJID_CLIENT, RejectedEventsPerRound,
                              Title::Seen) *
                NanosecondsPerMs / MicrosecondsPerMs};
}

// --- shows of windows no rule can take -----------------------------------------

// What a busy desktop shows all the time beside its top-level windows: a
// control inside a window and a tip owned by one; no rule takes any of them.
struct ShowingWindows {
    std::vector<HWND> controls;
    std::vector<HWND> tips;
};

bool MakeShowingWindows(TestWindowProgram& testwin, const std::vector<HWND>& windows, int perKind,
                        ShowingWindows& made) {
    for (int i = 0; i < perKind && static_cast<size_t>(i) < windows.size(); ++i) {
        const std::wstring number = std::to_wstring(i);
        HWND control = testwin.Create({.title = L"Apply " + number,
                                       .kind = testing_support::TestWindowKind::Child,
                                       .className = L"ButtonLike",
                                       .relative = windows[static_cast<size_t>(i)]});
        HWND tip = testwin.Create({.title = L"Saves the document under a new name " + number,
                                   .kind = testing_support::TestWindowKind::OwnedPopup,
                                   .className = L"TipLike",
                                   .relative = windows[static_cast<size_t>(i)]});
        if (!control || !tip) return false;
        made.controls.push_back(control);
        made.tips.push_back(tip);
    }
    return true;
}

// One show event through the hook for each kind of window, beside the events
// the hook drops (a hide, as a show was dropped before shows were handled,
// and the pointer, which shows itself all the time).
void PrintShowEvents(HWINEVENTHOOK hook, int ruleCount, const std::vector<HWND>& windows,
                     const ShowingWindows& showing) {
    struct Case {
        const char* name;
        DWORD eventId;
        LONG idObject;
        const std::vector<HWND>* windows;
        int perRound;
        Title title;
    };
    const Case cases[] = {
        {"name change of a window (as above)", EVENT_OBJECT_NAMECHANGE, OBJID_WINDOW, &windows, EventsPerRound,
         Title::New},
        {"show of a window first seen", EVENT_OBJECT_SHOW, OBJID_WINDOW, &windows, EventsPerRound, Title::New},
        {"show of a window seen before", EVENT_OBJECT_SHOW, OBJID_WINDOW, &windows, EventsPerRound, Title::Seen},
        {"show of a control (it, then its window)", EVENT_OBJECT_SHOW, OBJID_WINDOW, &showing.controls,
         EventsPerRound, Title::New},
        {"  the same, both seen before", EVENT_OBJECT_SHOW, OBJID_WINDOW, &showing.controls, EventsPerRound,
         Title::Seen},
        {"show of a tip (it, then its owner)", EVENT_OBJECT_SHOW, OBJID_WINDOW, &showing.tips, EventsPerRound,
         Title::New},
        {"  the same, both seen before", EVENT_OBJECT_SHOW, OBJID_WINDOW, &showing.tips, EventsPerRound, Title::Seen},
        {"hide of a window (dropped)", EVENT_OBJECT_HIDE, OBJID_WINDOW, &windows, RejectedEventsPerRound, Title::Seen},
        {"show of the pointer (dropped)", EVENT_OBJECT_SHOW, OBJID_CURSOR, &windows, RejectedEventsPerRound,
         Title::Seen},
    };
    std::printf("\nOne event through the hook (%zu windows, %d rules; no rule takes any of these windows):\n",
                windows.size(), ruleCount);
    std::printf("%-46s %12s\n", "event", "us/event");
    for (const Case& each : cases)
        std::printf("%-46s %12.3f\n", each.name,
                    EventMicroseconds(hook, each.eventId, *each.windows, each.idObject, each.perRound, each.title));
}

// --- where a scan's time goes ---------------------------------------------------

struct Step {
    const char* name;
    std::function<size_t(size_t)> perWindow;  // the step for window i
};

double MicrosecondsPerWindow(const Step& step, size_t windowCount) {
    std::vector<double> rounds;
    for (int r = 0; r < StepRepetitions; ++r) {
        rounds.push_back(Milliseconds([&] {
            size_t total = 0;
            for (size_t i = 0; i < windowCount; ++i) total += step.perWindow(i);
            g_sink = g_sink + total;
        }) * MicrosecondsPerMs / static_cast<double>(windowCount));
    }
    return Median(rounds);
}

// The calls one untracked window costs in a scan, one by one, over the other
// program's windows (which are nearly all the windows there are).
void PrintScanSteps(const std::shared_ptr<CApplication>& app, const std::vector<HWND>& windows) {
    std::vector<std::wstring> titles, classes;
    for (HWND window : windows) {
        titles.push_back(WindowText(window));
        classes.push_back(WindowClassName(window));
    }
    int onMinimizeRules = 0;
    for (const auto& entry : app->Rules())
        if (entry.value->Criteria() == CriteriaOnMinimize) ++onMinimizeRules;
    // The rules' text tests alone (of one kind, or all), as a rule makes them
    // once its criteria let the window through.
    auto textTests = [&](std::optional<RuleKind> kind) {
        return [&, kind](size_t i) {
            size_t passed = 0;
            for (const auto& entry : app->Rules()) {
                const auto& rule = *entry.value;
                if (kind && KindOf(rule) != *kind) continue;
                if (!rule.Class().empty() && !TextMatch::EqualsIgnoringCase(rule.Class(), classes[i])) continue;
                if (TextMatch::TitleMatches(titles[i], rule.Title(), rule.SearchMask())) ++passed;
            }
            return passed;
        };
    };
    const std::vector<Step> steps = {
        {"GetWindowLongPtrW(GWLP_HWNDPARENT) (owner)",
         [&](size_t i) { return static_cast<size_t>(::GetWindowLongPtrW(windows[i], GWLP_HWNDPARENT)); }},
        {"GetWindowThreadProcessId (own window?)",
         [&](size_t i) { return static_cast<size_t>(::GetWindowThreadProcessId(windows[i], nullptr)); }},
        {"GetParent (top-level only)", [&](size_t i) { return reinterpret_cast<size_t>(::GetParent(windows[i])); }},
        {"WindowKey + tracked lookup",
         [&](size_t i) { return TheApp->Tracker().Find(WindowKey(windows[i])) ? size_t{1} : size_t{0}; }},
        {"IsWindowVisible (visible only)", [&](size_t i) { return static_cast<size_t>(::IsWindowVisible(windows[i])); }},
        {"GetWindowTextLengthW", [&](size_t i) { return static_cast<size_t>(::GetWindowTextLengthW(windows[i])); }},
        {"GetWindowTextW",
         [&](size_t i) {
             wchar_t title[TitleCapacity];
             return static_cast<size_t>(::GetWindowTextW(windows[i], title, TitleCapacity));
         }},
        {"GetClassNameW",
         [&](size_t i) {
             wchar_t name[ClassCapacity];
             return static_cast<size_t>(::GetClassNameW(windows[i], name, ClassCapacity));
         }},
        {"IsIconic (one call)", [&](size_t i) { return static_cast<size_t>(::IsIconic(windows[i])); }},
        {"IsIconic x on-minimize rules (as FindMatch)",
         [&](size_t i) {
             size_t iconic = 0;
             for (int r = 0; r < onMinimizeRules; ++r) iconic += static_cast<size_t>(::IsIconic(windows[i]));
             return iconic;
         }},
        {"  WindowText() = length + text", [&](size_t i) { return WindowText(windows[i]).size(); }},
        {"  WindowClassName()", [&](size_t i) { return WindowClassName(windows[i]).size(); }},
        {"  rules' text tests only, all rules", textTests(std::nullopt)},
        {"    class rules", textTests(RuleKind::Class)},
        {"    substring rules", textTests(RuleKind::Substring)},
        {"    whole-word rules", textTests(RuleKind::WholeWord)},
        {"    pattern rules", textTests(RuleKind::Pattern)},
        {"  CWindow::ProgramPath (kept per process)",
         [&](size_t i) { return CWindow::ProgramPath(windows[i]).size(); }},
        {"  a program rule's test (its own lookup)",
         [&](size_t i) {
             static const auto rule = [] {
                 auto made = CRule::Create();
                 made->Define(ForeignProgramRule(0));
                 return made;
             }();
             return static_cast<size_t>(rule->IsMatch(windows[i], titles[i], classes[i], false));
         }},
        {"  Rules().FindMatch (text given)",
         [&](size_t i) {
             app->Rules().FindMatch(windows[i], titles[i], classes[i]);
             return size_t{0};
         }},
        {"  EnumFindWindowProc, whole, first seen",
         [&](size_t i) {
             TheApp->Tracker().ForgetPassedOverWindows();
             TheApp->Tracker().Offer(windows[i], false);
             return size_t{1};
         }},
        {"  EnumFindWindowProc, whole, seen before",
         [&](size_t i) {
             TheApp->Tracker().Offer(windows[i], false);
             return size_t{1};
         }},
        {"  bare: GetWindowTextW + GetClassNameW",
         [&](size_t i) { return static_cast<size_t>(BareWindowProc(windows[i], 0)); }},
    };
    std::printf("\nWhere one untracked window's time goes (%zu windows, %d rules of which %d on minimize only):\n",
                windows.size(), app->Rules().Count(), onMinimizeRules);
    std::printf("%-46s %12s\n", "call", "us/window");
    for (const auto& step : steps) std::printf("%-46s %12.2f\n", step.name, MicrosecondsPerWindow(step, windows.size()));
}

// Turns every tenth rule of the list into a program rule, or back into the
// rule it was; each keeps its name and place.
void SwapInProgramRules(CRules& rules, bool programs) {
    const int every = rules.Count() / ProgramRuleCount;
    for (int made = 0; made < ProgramRuleCount; ++made) {
        const int index = made * every + every - 1;
        const auto rule = rules.Item(index + 1);
        RuleDefinition definition = programs ? ForeignProgramRule(made) : ForeignRule(index);
        definition.name = rule->Name();
        rule->Define(definition);
    }
}

struct ProgramScanTimes {
    double withProgramsMs;
    double withoutMs;
    double bareMs;
};

// The three loops in turns, so that whatever else the machine does weighs on
// all alike.
ProgramScanTimes TimeProgramScans(CRules& rules) {
    std::vector<double> with, without, bares;
    auto fullScan = [] {
        TheApp->Tracker().ForgetPassedOverWindows();
        TheApp->Tracker().OfferAll();
    };
    for (int i = 0; i < ProgramScanRepetitions; ++i) {
        SwapInProgramRules(rules, true);
        with.push_back(Milliseconds(fullScan));
        SwapInProgramRules(rules, false);
        without.push_back(Milliseconds(fullScan));
        bares.push_back(Milliseconds([] { ::EnumWindows(BareWindowProc, 0); }));
    }
    return {Median(with), Median(without), Median(bares)};
}

// The full scan of the largest list with some of its rules naming a program;
// the list is as it was afterwards.
bool PrintProgramRuleScan(const std::shared_ptr<CApplication>& app) {
    const ProgramScanTimes scan = TimeProgramScans(app->Rules());
    const double ratio = scan.withProgramsMs / scan.bareMs;
    std::printf("\nThe full scan of %d windows with %d rules, %d of which name a program only (no title, no\n"
                "class: every window's program is asked), and with those %d as the rules they replaced; median\n"
                "of %d runs each, taken in turns:\n",
                TopLevelWindowCount(), app->Rules().Count(), ProgramRuleCount, ProgramRuleCount,
                ProgramScanRepetitions);
    std::printf("%16s %16s %10s %7s %-14s %16s\n", "with programs ms", "without ms", "bare ms", "ratio", "aim",
                "processes known");
    std::printf("%16.2f %16.2f %10.2f %6.2fx %-14s %16zu\n", scan.withProgramsMs, scan.withoutMs, scan.bareMs, ratio,
                ratio <= ProgramAimRatio ? "<=1.3x: met" : "<=1.3x: ABOVE", CWindow::KnownProgramCount());
    if (app->Windows().Count() == 0) return true;
    std::printf("a program rule took %d windows\n", app->Windows().Count());
    return false;
}

// --- the in-process part ----------------------------------------------------------

bool RunInProcess() {
    TestWindowProgram testwin;
    if (!testwin.Running()) {
        std::printf("testwin.exe did not start\n");
        return false;
    }
    std::unique_ptr<InProcessApplication> application;
    try {
        application = std::make_unique<InProcessApplication>();
    } catch (const std::exception& failure) {
        std::printf("the application did not start: %s\n(its main window needs the program's icon resources, "
                    "resources/Icons.rc, linked into this executable)\n",
                    failure.what());
        return false;
    }
    const auto& app = application->App();
    if (!app) {
        std::printf("the application did not start\n");
        return false;
    }
    std::printf("Full scan = EnumWindows(EnumFindWindowProc); bare loop = EnumWindows with GetWindowTextW and\n"
                "GetClassNameW only. Rules match no window (class, substring, whole-word and pattern rules,\n"
                "half of them on minimize only). Median of %d runs each, taken in turns.\n\n",
                ScanRepetitions);
    std::printf("%6s %5s %8s %10s %10s %7s %-14s %10s %12s\n", "N", "M", "windows", "scan ms", "bare ms", "ratio",
                "aim", "event us", "rejected ns");
    std::vector<HWND> windows;
    // Kept from the largest list for the shows below.
    HWINEVENTHOOK showHook = nullptr;
    for (int windowCount : WindowCounts) {
        if (!GrowWindows(testwin, windows, windowCount)) {
            std::printf("testwin made only %zu windows\n", windows.size());
            return false;
        }
        // New windows keep the other program and the display busy for a while.
        WaitUntilQuiet(testwin.ProcessId());
        // The list only grows within one window count: each starts over.
        app->Rules().Clear();
        for (int ruleCount : RuleCounts) {
            if (!application->GrowRules(ruleCount)) {
                std::printf("a rule was refused at %d rules\n", app->Rules().Count());
                return false;
            }
            const ScanTimes scan = TimeScans();
            if (app->Windows().Count() != 0) {
                std::printf("a rule took %d windows: these are not the figures of rules that match nothing\n",
                            app->Windows().Count());
                return false;
            }
            HWINEVENTHOOK hook = WinEventSetHook(app->Tracker().shared_from_this(), TrackedEventFirst, TrackedEventLast);
            if (!hook) {
                std::printf("the system refused the window-event hook\n");
                return false;
            }
            const EventTimes events = TimeEvents(hook, windows);
            if (windowCount == AimWindows && ruleCount == AimRules) {
                showHook = hook;
            } else {
                WinEventClearHook(hook);
            }
            const double ratio = scan.scanMs / scan.bareMs;
            std::string aim = "-";
            if (windowCount == AimWindows && ruleCount == AimRules)
                aim = ratio <= AimRatio ? "<=1.25x: met" : "<=1.25x: ABOVE";
            std::printf("%6d %5d %8d %10.2f %10.2f %6.2fx %-14s %10.2f %12.1f\n", windowCount, ruleCount,
                        TopLevelWindowCount(), scan.scanMs, scan.bareMs, ratio, aim.c_str(), events.acceptedUs,
                        events.rejectedNs);
        }
    }
    if (!PrintProgramRuleScan(app)) return false;
    ShowingWindows showing;
    if (!showHook || !MakeShowingWindows(testwin, windows, ShowingWindowsPerKind, showing)) {
        std::printf("no hook or no controls and tips for the show events\n");
        WinEventClearHook(showHook);
        return false;
    }
    PrintShowEvents(showHook, app->Rules().Count(), windows, showing);
    WinEventClearHook(showHook);
    PrintScanSteps(app, windows);
    return true;
}

// --- the running program ------------------------------------------------------------

// CPU time of a process in milliseconds: the process record, and the sum of
// its threads' records. Some platforms answer the process query for another
// process with the caller's own times; that answer is dropped.
struct CpuTime {
    std::optional<double> processMs;
    std::optional<double> threadsMs;
};

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / FileTimeUnitsPerMs;
}

std::optional<double> ProcessRecordMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

std::optional<double> ThreadRecordsMs(DWORD processId) {
    platform::UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::optional<double> total;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        platform::UniqueKernelHandle thread(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
        FILETIME created, exited, kernel, user;
        if (thread && ::GetThreadTimes(thread.get(), &created, &exited, &kernel, &user))
            total = total.value_or(0) + FileTimeMs(kernel) + FileTimeMs(user);
    }
    return total;
}

CpuTime ProcessCpu(DWORD processId) {
    CpuTime cpu;
    platform::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (process) {
        cpu.processMs = ProcessRecordMs(process.get());
        if (cpu.processMs == ProcessRecordMs(::GetCurrentProcess())) cpu.processMs.reset();
    }
    cpu.threadsMs = ThreadRecordsMs(processId);
    return cpu;
}

std::optional<double> Difference(const std::optional<double>& later, const std::optional<double>& earlier) {
    if (!later || !earlier) return std::nullopt;
    return *later - *earlier;
}

// The process's commit charge; PrivateBytes where the platform fills it in,
// else the page-file figure, which counts the same memory.
struct MemoryFigures {
    std::optional<SIZE_T> privateBytes;
    std::optional<SIZE_T> commitBytes;
};

MemoryFigures ProcessMemory(DWORD processId) {
    MemoryFigures memory;
    memory.privateBytes = testing_support::PrivateBytes(processId);
    platform::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (process && ::GetProcessMemoryInfo(process.get(), &counters, sizeof counters))
        memory.commitBytes = counters.PagefileUsage;
    return memory;
}

// Waits until the process has used no CPU for a while: what is left of its
// start-up (icons, messages the shell sends back) must not count as idle.
bool WaitUntilQuiet(DWORD processId) {
    std::optional<double> last = ThreadRecordsMs(processId);
    ULONGLONG lastChange = ::GetTickCount64();
    return testing_support::WaitUntil(
        [&] {
            const auto now = ThreadRecordsMs(processId);
            if (now != last) {
                last = now;
                lastChange = ::GetTickCount64();
            }
            return ::GetTickCount64() - lastChange >= QuietMs;
        },
        SettleTimeoutMs);
}

void StoreTrackingRule() {
    using namespace testing_support;
    const std::wstring key = ProgramKey + L"\\Rules\\Build monitors";
    WriteText(HKEY_CURRENT_USER, key, L"Enabled", L"True");
    WriteNumber(HKEY_CURRENT_USER, key, L"Action", ActionHideInTray);
    WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", CriteriaAlways);
    WriteNumber(HKEY_CURRENT_USER, key, L"Search Options", 0);
    WriteNumber(HKEY_CURRENT_USER, key, L"Icon Location", IconFromWindow);
    WriteNumber(HKEY_CURRENT_USER, key, L"Icon Position", 0);
    WriteText(HKEY_CURRENT_USER, key, L"Class", L"");
    WriteText(HKEY_CURRENT_USER, key, L"Icon FileName", L"");
    WriteText(HKEY_CURRENT_USER, key, L"Title", TrackedTitle);
    WriteNumber(HKEY_CURRENT_USER, key, L"Alpha", 0);
    WriteNumber(HKEY_CURRENT_USER, key, L"AutoHide Delay", 0);
    WriteNumber(HKEY_CURRENT_USER, key, L"Index", 1);
}

// --- a storm of shows sent to the running program -------------------------------

constexpr int StormRounds = 100;
constexpr int StormWindowsPerKind = 10;
constexpr wchar_t StormWindowTitle[] = L"Storm window ";

// One storm: the events raised, the time from the first of them until a
// window shown after them all is taken (the program handles events in the
// order they come), and the program's CPU time meanwhile.
struct StormFigures {
    const char* name;
    int events = 0;
    double untilTakenMs = 0;
    std::optional<double> cpuMs;
};

// The windows a storm comes from, in a program of their own: top-level
// windows, a control inside each and a tip owned by each; no rule takes any.
bool MakeStormWindows(TestWindowProgram& stormwin) {
    std::vector<HWND> windows;
    for (int i = 0; i < StormWindowsPerKind; ++i) {
        HWND window = stormwin.Create(StormWindowTitle + std::to_wstring(i));
        if (!window) return false;
        windows.push_back(window);
    }
    ShowingWindows showing;
    return MakeShowingWindows(stormwin, windows, StormWindowsPerKind, showing);
}

// `rounds` times `event` for every storm window, then a window the rule takes.
std::optional<StormFigures> RunStorm(TestWindowProgram& stormwin, DWORD programId, const char* name, DWORD event,
                                     int rounds) {
    StormFigures figures;
    figures.name = name;
    if (!WaitUntilQuiet(programId)) return std::nullopt;
    const std::optional<double> cpuBefore = ThreadRecordsMs(programId);
    HWND sentinel = nullptr;
    bool taken = false;
    figures.untilTakenMs = Milliseconds([&] {
        figures.events = rounds ? stormwin.Announce(rounds, event) : 0;
        sentinel = stormwin.Create(L"Sentinel - " + std::wstring(TrackedTitle));
        taken = sentinel && testing_support::WaitUntil([&] { return !::IsWindowVisible(sentinel); }, TrackAllTimeoutMs);
    });
    figures.cpuMs = Difference(ThreadRecordsMs(programId), cpuBefore);
    if (sentinel) stormwin.Destroy(sentinel);
    if (figures.events < 0 || !taken) {
        std::printf("%s: %s\n", name, taken ? "testwin refused the storm" : "the window after the storm was not taken");
        return std::nullopt;
    }
    return figures;
}

// The storms beside the same window taken with no storm before it; the
// hides are dropped by the hook, as shows were before it handled them.
bool MeasureStorms(TestWindowProgram& stormwin, DWORD programId, std::vector<StormFigures>& storms) {
    const struct {
        const char* name;
        DWORD event;
        int rounds;
    } kinds[] = {
        {"no storm (the window alone)", EVENT_OBJECT_SHOW, 0},
        {"hides (dropped by the hook)", EVENT_OBJECT_HIDE, StormRounds},
        {"shows", EVENT_OBJECT_SHOW, StormRounds},
    };
    for (const auto& kind : kinds) {
        const auto figures = RunStorm(stormwin, programId, kind.name, kind.event, kind.rounds);
        if (!figures) return false;
        storms.push_back(*figures);
    }
    return true;
}

struct ProgramFigures {
    MemoryFigures memory;
    CpuTime idle;
    bool quiet = false;
    std::vector<StormFigures> storms;
    MemoryFigures afterStorms;
};

bool AllHidden(const std::vector<HWND>& windows) {
    return std::all_of(windows.begin(), windows.end(), [](HWND w) { return !::IsWindowVisible(w); });
}

bool AllShown(const std::vector<HWND>& windows) {
    return std::all_of(windows.begin(), windows.end(), [](HWND w) { return ::IsWindowVisible(w) != FALSE; });
}

// Starts the program, waits until it has taken `tracked` (all hidden) and has
// settled, then reads its memory and its CPU time over an idle interval.
// Closes it as the task manager does; false when something failed.
bool MeasureProgram(const std::vector<HWND>& tracked, ProgramFigures& figures, TestWindowProgram* stormwin = nullptr) {
    using namespace testing_support;
    ChildProcess program(BesideTests(L"Pelkin.exe"), L"");
    HWND main = nullptr;
    if (!program.Started() ||
        !WaitUntil([&] { return (main = FindProcessWindow(MainCaption, program.Id())) != nullptr; },
                   ProgramTimeoutMs)) {
        std::printf("Pelkin.exe did not start\n");
        return false;
    }
    const bool ready =
        WaitUntil([&] { return ProcessHasTrayIcon(program.Id(), TrayOwnerClass, ProgramIconId); }, ProgramTimeoutMs) &&
        WaitUntil([&] { return AllHidden(tracked); }, TrackAllTimeoutMs);
    if (ready) {
        figures.quiet = WaitUntilQuiet(program.Id());
        figures.memory = ProcessMemory(program.Id());
        const CpuTime before = ProcessCpu(program.Id());
        // An interval measured, not a wait for something to happen.
        ::Sleep(IdleIntervalMs);
        const CpuTime after = ProcessCpu(program.Id());
        figures.idle = {Difference(after.processMs, before.processMs), Difference(after.threadsMs, before.threadsMs)};
        if (stormwin) {
            if (!MeasureStorms(*stormwin, program.Id(), figures.storms)) figures.storms.clear();
            figures.afterStorms = ProcessMemory(program.Id());
        }
    } else {
        std::printf("Pelkin.exe did not take the %zu windows\n", tracked.size());
    }
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ProgramTimeoutMs, &ignored);
    if (!program.WaitForExit(ProgramTimeoutMs)) {
        std::printf("Pelkin.exe did not end when closed\n");
        return false;
    }
    return ready;
}

std::string Figure(const std::optional<double>& value, const char* format) {
    if (!value) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

std::optional<double> Kilobytes(const std::optional<SIZE_T>& bytes) {
    if (!bytes) return std::nullopt;
    return static_cast<double>(*bytes) / BytesPerKilobyte;
}

void PrintProgramRow(const char* label, const ProgramFigures& figures) {
    std::printf("%-34s %13s %12s %15s %15s%s\n", label, Figure(Kilobytes(figures.memory.privateBytes), "%.0f").c_str(),
                Figure(Kilobytes(figures.memory.commitBytes), "%.0f").c_str(),
                Figure(figures.idle.threadsMs, "%.0f").c_str(), Figure(figures.idle.processMs, "%.0f").c_str(),
                figures.quiet ? "" : "  (never settled)");
}

void PrintStorms(const std::vector<StormFigures>& storms, double unwatchedMs, int unwatchedEvents) {
    std::printf("\nA storm from another program: %d rounds over %d windows no rule takes (%d top-level, a control\n"
                "in each, a tip owned by each), then a window the rule takes. Time from the storm's first event\n"
                "until that window is hidden; the program's CPU time over the same span.\n",
                StormRounds, StormWindowsPerKind * 3, StormWindowsPerKind);
    std::printf("%-34s %8s %15s %15s %14s\n", "storm", "events", "until taken ms", "program CPU ms", "CPU us/event");
    const std::optional<double> aloneCpu = storms.empty() ? std::nullopt : storms.front().cpuMs;
    for (const auto& storm : storms) {
        std::optional<double> perEvent;
        if (storm.events > 0 && storm.cpuMs && aloneCpu)
            perEvent = (*storm.cpuMs - *aloneCpu) * MicrosecondsPerMs / storm.events;
        std::printf("%-34s %8d %15.1f %15s %14s\n", storm.name, storm.events, storm.untilTakenMs,
                    Figure(storm.cpuMs, "%.0f").c_str(), Figure(perEvent, "%.1f").c_str());
    }
    std::printf("%-34s %8d %15.1f   (raising only, no program watching)\n", "shows", unwatchedEvents, unwatchedMs);
}

bool PrefixConsent() {
    wchar_t value[ConsentCapacity] = {};
    const DWORD length = ::GetEnvironmentVariableW(PrefixConsentVariable, value, ConsentCapacity);
    return length > 0 && length < ConsentCapacity && std::wstring(value) == PrefixConsentValue;
}

bool MeasureBothStates() {
    TestWindowProgram testwin;
    if (!testwin.Running()) {
        std::printf("testwin.exe did not start\n");
        return false;
    }
    // The storm's own program, so that a storm reaches none of the tracked
    // windows; its raising alone timed before anybody watches.
    TestWindowProgram stormwin;
    if (!stormwin.Running() || !MakeStormWindows(stormwin)) {
        std::printf("testwin.exe did not make the storm's windows\n");
        return false;
    }
    double unwatchedMs = 0;
    int unwatchedEvents = 0;
    unwatchedMs = Milliseconds([&] { unwatchedEvents = stormwin.Announce(StormRounds, EVENT_OBJECT_SHOW); });
    ProgramFigures idleProgram, trackingProgram;
    if (!MeasureProgram({}, idleProgram)) return false;
    std::vector<HWND> tracked;
    for (int i = 0; i < TrackedWindowCount; ++i) {
        testing_support::TestWindowSpec spec;
        spec.title = L"Pipeline " + std::to_wstring(i + 1) + L" - " + TrackedTitle;
        HWND window = testwin.Create(spec);
        if (!window) {
            std::printf("testwin made only %zu windows\n", tracked.size());
            return false;
        }
        tracked.push_back(window);
    }
    if (!MeasureProgram(tracked, trackingProgram, &stormwin)) return false;
    std::printf("%-34s %13s %12s %15s %15s\n", "", "private KB", "commit KB", "idle CPU ms", "idle CPU ms");
    std::printf("%-34s %13s %12s %15s %15s\n", "", "PrivateBytes", "(page file)", "(thread times)", "(process times)");
    PrintProgramRow("no window tracked", idleProgram);
    PrintProgramRow("100 windows tracked (in the tray)", trackingProgram);
    std::printf("Idle = %lu ms once the program had used no CPU for %lu ms. Aim: 0 ms (no timers, no polling).\n"
                "n/a: the platform does not give that figure for another process.\n",
                IdleIntervalMs, QuietMs);
    std::printf("After the exit: %s\n", testing_support::WaitUntil([&] { return AllShown(tracked); })
                                            ? "every tracked window shown again"
                                            : "SOME TRACKED WINDOWS STILL HIDDEN");
    if (trackingProgram.storms.empty()) return false;
    PrintStorms(trackingProgram.storms, unwatchedMs, unwatchedEvents);
    std::printf("Commit after the storms: %s KB (before: %s KB).\n",
                Figure(Kilobytes(trackingProgram.afterStorms.commitBytes), "%.0f").c_str(),
                Figure(Kilobytes(trackingProgram.memory.commitBytes), "%.0f").c_str());
    return true;
}

bool RunProgram() {
    std::printf("\nPelkin.exe with one stored rule (hide in tray, always, title contains \"%ls\"):\n", TrackedTitle);
    if (!PrefixConsent()) {
        std::printf("skipped: this part writes HKCU\\Software\\Pelkin! of the user running it. Set %ls=%ls\n"
                    "only in a throwaway Wine prefix or a test account.\n",
                    PrefixConsentVariable, PrefixConsentValue);
        return true;
    }
    if (testing_support::KeyExists(HKEY_CURRENT_USER, ProgramKey)) {
        std::printf("skipped: HKCU\\Software\\Pelkin! already holds settings here, and they are left alone.\n");
        return true;
    }
    StoreTrackingRule();
    const bool measured = MeasureBothStates();
    // The key did not exist before: everything in it is ours.
    testing_support::DeleteTree(HKEY_CURRENT_USER, ProgramKey);
    return measured;
}

// A failure ends that part with its reason, never the whole program unexplained.
template <class Part>
bool RunPart(const char* name, Part&& part) {
    try {
        return part();
    } catch (const std::exception& failure) {
        std::printf("%s stopped: %s\n", name, failure.what());
        return false;
    }
}

}  // namespace

int wmain() {
    platform::com::ComApartment apartment;
    // The branch the program runs: failures are trapped and logged.
    platform::SetErrorTrapping(true);
    const bool inProcess = RunPart("the in-process part", RunInProcess);
    const bool program = RunPart("the Pelkin.exe part", RunProgram);
    return inProcess && program ? 0 : 1;
}
