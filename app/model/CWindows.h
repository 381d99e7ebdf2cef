#pragma once
// A rule's view of the window registry: the windows it tracks. It owns no
// collection of its own; the host's registry holds the wrappers.
#include <windows.h>
#include <cstdint>
#include <memory>

class CRule;
class CWindow;
class IWindowHost;

class CWindows {
public:
    CWindows() = default;
    // Tracking ends for every window of the rule when its view goes.
    ~CWindows();
    CWindows(const CWindows&) = delete;
    CWindows& operator=(const CWindows&) = delete;

    // Starts tracking a window for the rule: registers a wrapper, announces it
    // and applies the rule's action at once.
    std::shared_ptr<CWindow> Add(HWND hWnd, int32_t action, int32_t criteria, int32_t alpha, int32_t autoHideDelay);
    // The registered wrapper of that window, whichever rule it belongs to.
    std::shared_ptr<CWindow> Item(HWND hWnd) const;
    // Ends tracking of that window (its action is undone).
    void Remove(HWND hWnd);
    // Ends tracking of every window of this rule.
    void RemoveAll();

    std::shared_ptr<CRule> Parent() const { return parent_.lock(); }
    // Set once by the rule that owns the view. Without a host the rule tracks nothing.
    void SetParent(const std::shared_ptr<CRule>& rule, IWindowHost* host);

private:
    std::weak_ptr<CRule> parent_;
    // The rule's identity, still known while the rule is being destroyed.
    const CRule* parentId_ = nullptr;
    IWindowHost* host_ = nullptr;
};
