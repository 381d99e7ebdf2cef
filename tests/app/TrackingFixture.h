#pragma once
// The setting of the window-model tests: the application started as the
// program starts it (scratch registry, main window, tray component), a rule
// list to fill, and testwin.exe as the other program whose windows are
// tracked.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CApplication.h"
#include "CTracker.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "ScratchRegistry.h"
#include "TestWindows.h"
#include "Variant.h"
#include "Wait.h"
#include "frmMain.h"

namespace tracking_test {

// Records the application's window events in order.
struct WindowEvents : IApplicationEvents {
    std::vector<std::wstring> seen;
    void WindowAdd() override { seen.push_back(L"Add"); }
    void WindowChange() override { seen.push_back(L"Change"); }
    void WindowRemove() override { seen.push_back(L"Remove"); }
};

// A window of this process, standing for one of the program's own windows.
class OwnWindow {
public:
    explicit OwnWindow(const wchar_t* title, HWND owner = nullptr) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PelkinTestWindow";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                    100, owner, nullptr, windowClass.hInstance, nullptr);
    }
    ~OwnWindow() { ::DestroyWindow(window_); }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    HWND get() const noexcept { return window_; }

private:
    HWND window_;
};

class TrackingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testwin_.Running());
        Start();
    }

    void TearDown() override {
        Stop();
    }

    // Starts the application as the program does; the result of its start-up.
    bool Start() {
        form_ = std::make_unique<frmMain>();
        const bool rulesLoaded = form_->Initialize();
        app_ = TheApp;
        EXPECT_TRUE(app_);
        if (!app_) return false;
        EXPECT_NE(app_->Kestrix(), nullptr);
        app_->Events().Add(&events_);
        return rulesLoaded;
    }

    // Ends the application as Windows shutting down would.
    void Stop() {
        if (app_) app_->Events().Remove(&events_);
        if (form_) form_->Close(frmMain::UnloadMode::WindowsShutdown);
        form_.reset();
        app_.reset();
        TheApp.reset();
    }

    // A rule at the end of the list, enabled, loaded without entering edit mode.
    std::shared_ptr<CRule> AddRule(const std::wstring& title, int32_t action, int32_t criteria,
                                   int32_t autoHideDelay = 0, int32_t alpha = 128) {
        RuleDefinition definition;
        definition.name = L"Rule " + std::to_wstring(app_->Rules().Count() + 1);
        definition.title = title;
        definition.action = action;
        definition.criteria = criteria;
        definition.alpha = alpha;
        definition.autoHideDelay = autoHideDelay;
        definition.iconPosition = -1;
        definition.enabled = true;
        return app_->Rules().Add(definition, true);
    }

    // Offers the window to the rules as tracking does; its wrapper, if one took it.
    std::shared_ptr<CWindow> Offer(HWND window) {
        TheApp->Tracker().Offer(window, false);
        return TheApp->Tracker().Find(WindowKey(window));
    }

    bool Tracked(HWND window) const { return TheApp->Tracker().Find(WindowKey(window)) != nullptr; }

    bool HasTrayIcon(HWND window) const {
        VARIANT_BOOL exists = VARIANT_FALSE;
        app_->Kestrix()->Exists(static_cast<LONG>(reinterpret_cast<intptr_t>(window)), &exists);
        return exists != VARIANT_FALSE;
    }

    std::wstring TrayTip(HWND window) const {
        platform::ComPtr<_KestrixItem> item;
        if (FAILED(app_->Kestrix()->Item(static_cast<LONG>(reinterpret_cast<intptr_t>(window)), &item))) return {};
        platform::Bstr tip;
        item->get_ToolTipText(tip.put());
        return tip.Text();
    }

    // The other program acts on our requests asynchronously: wait for it.
    static bool Visible(HWND window) {
        return testing_support::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; });
    }
    static bool Invisible(HWND window) {
        return testing_support::WaitUntil([&] { return ::IsWindowVisible(window) == FALSE; });
    }
    static LONG_PTR ExtendedStyle(HWND window) { return ::GetWindowLongPtrW(window, GWL_EXSTYLE); }

    testing_support::ScratchRegistry registry_;
    testing_support::TestWindowProgram testwin_;
    std::unique_ptr<frmMain> form_;
    std::shared_ptr<CApplication> app_;
    WindowEvents events_;
};

}  // namespace tracking_test
