#pragma once
// A stand-in for the shell's tray window, for tests of notification icons.
#include <windows.h>

#include <functional>
#include <vector>

namespace testing_support {

// A window of the shell tray's class, placed where the shell's notification
// functions find it first. It answers their requests as told and remembers
// which ones it got (NIM_ADD, NIM_MODIFY, NIM_DELETE).
class FakeTray {
public:
    FakeTray();
    ~FakeTray();
    FakeTray(const FakeTray&) = delete;
    FakeTray& operator=(const FakeTray&) = delete;

    void Accept(bool accept) noexcept { accept_ = accept; }
    // Called with each request as it arrives, before it is answered.
    void OnRequest(std::function<void(DWORD request)> watcher) { watcher_ = std::move(watcher); }
    const std::vector<DWORD>& Requests() const noexcept { return requests_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    bool accept_ = true;
    std::vector<DWORD> requests_;
    std::function<void(DWORD)> watcher_;
};

}  // namespace testing_support
