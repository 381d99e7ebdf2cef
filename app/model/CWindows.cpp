#include "CWindows.h"

#include "CRule.h"
#include "CWindow.h"
#include "Guard.h"
#include "IWindowHost.h"
#include "WindowModule.h"

namespace {
constexpr wchar_t ClassName[] = L"CWindows";
}

CWindows::~CWindows() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { RemoveAll(); });
}

void CWindows::SetParent(const std::shared_ptr<CRule>& rule, IWindowHost* host) {
    parent_ = rule;
    parentId_ = rule.get();
    host_ = host;
}

std::shared_ptr<CWindow> CWindows::Add(HWND hWnd, int32_t action, int32_t criteria, int32_t alpha,
                                       int32_t autoHideDelay) {
    if (!host_) return nullptr;
    auto window =
        CWindow::Create(parent_.lock(), hWnd, WindowSettings{action, criteria, alpha, autoHideDelay, false}, host_);
    host_->TrackedWindows().Add(WindowKey(hWnd), window);
    host_->OnWindowAdd(hWnd);
    window->ExecuteAction(false, AutomaticShowCommand, false);
    return window;
}

std::shared_ptr<CWindow> CWindows::Item(HWND hWnd) const {
    if (!host_) return nullptr;
    const auto* found = host_->TrackedWindows().Find(WindowKey(hWnd));
    return found ? *found : nullptr;
}

void CWindows::Remove(HWND hWnd) {
    if (auto window = Item(hWnd)) window->Delete();
}

// Delete takes each wrapper out of the registry: walk a snapshot.
void CWindows::RemoveAll() {
    if (!host_ || !parentId_) return;
    for (const auto& window : host_->TrackedWindows().Snapshot()) {
        if (window->BelongsTo(parentId_)) window->Delete();
    }
}
