#include "CWindows.h"

#include "CApplication.h"
#include "CRule.h"
#include "CWindow.h"
#include "Guard.h"
#include "MainModule.h"

namespace {
constexpr wchar_t ClassName[] = L"CWindows";
}

CWindows::~CWindows() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { RemoveAll(); });
}

void CWindows::SetParent(const std::shared_ptr<CRule>& rule) {
    parent_ = rule;
    parentId_ = rule.get();
}

std::shared_ptr<CWindow> CWindows::Add(HWND hWnd, int32_t action, int32_t criteria, int32_t alpha,
                                       int32_t autoHideDelay) {
    auto app = TheApp;
    if (!app) return nullptr;
    auto window = CWindow::Create(parent_.lock(), hWnd, WindowSettings{action, criteria, alpha, autoHideDelay, false});
    app->Windows().Add(WindowKey(hWnd), window);
    app->OnWindowAdd(hWnd);
    window->ExecuteAction(false, AutomaticShowCommand, false);
    return window;
}

std::shared_ptr<CWindow> CWindows::Item(HWND hWnd) const { return GetTrackedWindow(WindowKey(hWnd)); }

void CWindows::Remove(HWND hWnd) {
    if (auto window = Item(hWnd)) window->Delete();
}

// Delete takes each wrapper out of the registry: walk a snapshot.
void CWindows::RemoveAll() {
    auto app = TheApp;
    if (!app || !parentId_) return;
    for (const auto& window : app->Windows().Snapshot()) {
        if (window->BelongsTo(parentId_)) window->Delete();
    }
}
