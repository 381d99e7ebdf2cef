#pragma once
// The rules editor's windows page: a live list of the windows the program
// watches (or of every task window, as the Views box says), refreshed on a
// timer at the program's interval while the page shows.
#include <windows.h>

#include <cstdint>
#include <memory>

class CApplication;
class CRegistry;

class SetupWindowsPage {
public:
    // What the Views box offers.
    enum Filter { ShowAllWindows = 0, ShowWatchedWindowsOnly = 1 };

    // The page's controls on the editor's window; its columns made.
    void Attach(HWND dialog, std::weak_ptr<CApplication> app);
    // The filter and the column widths kept between sessions.
    void ReadState(const CRegistry& store);
    // The first time the list has its size and no widths were stored, its
    // columns are fitted to it.
    void FitColumnsOnce();
    void WriteState(CRegistry& store) const;
    // The Views box's choices, the stored one selected.
    void FillFilters();

    bool Shown() const noexcept { return shown_; }
    // Shown, the list is refreshed at once and then on the timer.
    void Show(bool shown);
    void RefreshWindows();
    void StartRefreshTimer();
    void StopRefreshTimer();
    // True when the timer was the page's own (and the list is refreshed).
    bool OnTimer(UINT_PTR id);
    // The program's refresh interval changed: a running timer follows it.
    void IntervalChanged();
    void WindowRemoved();
    void cboViews_Click();

private:
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    std::weak_ptr<CApplication> app_;
    int filter_ = ShowWatchedWindowsOnly;
    bool shown_ = false;
    bool fitColumns_ = false;
    bool timerRunning_ = false;
};
