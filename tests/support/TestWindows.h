#pragma once
// The "other program" of the tests: testwin.exe, a separate process whose
// top-level windows the program under test tracks. A TestWindowProgram starts
// one instance, sends it commands and gets window handles back. Every command
// waits for testwin's answer, so when a call returns the change has been made
// and the window event Windows would raise for it has been raised.
#include <windows.h>
#include <string>

#include "Handles.h"

namespace testing_support {

// The kinds of window testwin makes.
enum class TestWindowKind {
    Plain,       // WS_OVERLAPPEDWINDOW, no extended style
    Tool,        // WS_OVERLAPPEDWINDOW with WS_EX_TOOLWINDOW
    App,         // WS_POPUP (no caption) with WS_EX_APPWINDOW and WS_EX_TOOLWINDOW
    OwnedPopup,  // WS_POPUPWINDOW | WS_CAPTION owned by `relative`
    Child,       // WS_CHILD | WS_VISIBLE | WS_CAPTION inside `relative`
    Bare,        // WS_POPUP without caption or extended style
};

struct TestWindowSpec {
    std::wstring title{};
    TestWindowKind kind = TestWindowKind::Plain;
    // Empty: testwin's own class "PelkinTestWindow". Another name registers
    // that class in testwin (once) with the same window procedure.
    std::wstring className{};
    // With an icon, the class and the window (WM_SETICON, small and big) get
    // testwin's own icon; without, neither has one.
    bool icon = true;
    // Owner of an OwnedPopup, parent of a Child; ignored otherwise.
    HWND relative = nullptr;
    // Created visible (SW_SHOWNOACTIVATE) or left hidden.
    bool visible = true;
    // Created disabled (WS_DISABLED).
    bool disabled = false;
};

class TestWindowProgram {
public:
    // Starts testwin.exe from beside the test program and waits until it is ready.
    TestWindowProgram();
    // Tells testwin to end and waits for it; ends the process if it does not.
    // testwin destroys its windows before it ends, each raising EVENT_OBJECT_DESTROY.
    ~TestWindowProgram();
    TestWindowProgram(const TestWindowProgram&) = delete;
    TestWindowProgram& operator=(const TestWindowProgram&) = delete;

    DWORD ProcessId() const noexcept;
    bool Running() const;

    // A new window; nullptr when testwin could not make it. Wine raises
    // EVENT_OBJECT_CREATE itself; testwin raises EVENT_OBJECT_SHOW for a
    // window made visible, as Windows would.
    HWND Create(const TestWindowSpec& spec);
    HWND Create(const std::wstring& title) { return Create(TestWindowSpec{title}); }

    // Each raises, after the change, the event(s) Windows raises for it:
    // Minimize: EVENT_SYSTEM_MINIMIZESTART and EVENT_OBJECT_STATECHANGE;
    // Restore: EVENT_SYSTEM_MINIMIZEEND and EVENT_OBJECT_STATECHANGE;
    // Maximize: EVENT_OBJECT_STATECHANGE; Retitle: EVENT_OBJECT_NAMECHANGE;
    // Hide: EVENT_OBJECT_HIDE; Show: EVENT_OBJECT_SHOW;
    // Destroy: EVENT_OBJECT_DESTROY. False when testwin refused (no such window).
    bool Minimize(HWND window);
    bool Restore(HWND window);
    bool Maximize(HWND window);
    bool Retitle(HWND window, const std::wstring& title);
    bool Hide(HWND window);
    bool Show(HWND window);
    bool Destroy(HWND window);

    // Returns once testwin has handled everything other programs sent to its
    // windows before the call, and what the system did on the way (under
    // Wine, a window restored from minimized is activated, however it was
    // asked to show): the windows are settled. False when testwin refused.
    bool CatchUp();

    // testwin's window thread stops answering messages for this long; the
    // call returns at once, before the hang starts. Commands given meanwhile
    // are answered after it.
    bool Hang(DWORD milliseconds);
    // How much longer the last hang lasts at the least (0 once it may be
    // over): what is seen within it was done while testwin did not answer.
    DWORD HangLeftMs() const;

    // Retitles every live window testwin made, `rounds` times over, raising
    // EVENT_OBJECT_NAMECHANGE for each retitle: in each round half the windows
    // are titled "<prefix> tick <n>" and the others "<prefix> tock <n>", and
    // each window changes word from one round to the next (n numbers the
    // windows from 0 in handle order). testwin answers messages sent to its
    // windows between retitles. Answers how many retitles were made; -1 when
    // testwin refused.
    int Storm(int rounds, const std::wstring& prefix);
    // Raises `event` for every live window, `rounds` times over, changing
    // nothing; answers how many were raised, -1 when testwin refused.
    int Announce(int rounds, DWORD event);

    // With refuse on, a close request (WM_CLOSE, or WM_SYSCOMMAND SC_CLOSE)
    // is answered as by a program asking to save first: the window stays.
    // Off (the default): a close request destroys the window.
    bool RefuseClose(HWND window, bool refuse);
    // Guarded, the window stays shown and keeps its place in the z-order,
    // as a program that will not be hidden or put on top does.
    bool Guard(HWND window, bool guarded);
    // How many close requests the window has received so far (also after it
    // was destroyed); -1 when testwin never made that window.
    int CloseRequests(HWND window);

    // testwin's own icon, as its process sees it (the handle it set); nullptr
    // for a window made without one. (Under Wine, WM_GETICON from another
    // process answers 0.)
    HICON IconOf(HWND window);

private:
    std::wstring Command(const std::wstring& line);
    std::wstring Command(const std::wstring& line, DWORD answerTimeoutMs);
    bool Ok(const std::wstring& line);

    platform::UniqueKernelHandle process_;
    platform::UniqueKernelHandle input_;   // our end of testwin's standard input
    platform::UniqueKernelHandle output_;  // our end of testwin's standard output
    DWORD processId_ = 0;
    // When the last hang ends: answers to later commands wait for it.
    ULONGLONG hangEnds_ = 0;
};

// The handle as testwin's commands and answers write it: signed decimal.
std::wstring HandleText(HWND window);

}  // namespace testing_support
