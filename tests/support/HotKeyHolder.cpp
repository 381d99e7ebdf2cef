#include "HotKeyHolder.h"

#include <atomic>

#include "Wait.h"

namespace testing_support {

namespace {

constexpr DWORD HolderTimeoutMs = DefaultTimeoutMs;
std::atomic<int> g_holders{0};

// The event the holder sets once it holds the key, named for this process and holder.
std::wstring HeldEventName() {
    return L"PelkinHotKeyHeld-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++g_holders);
}

}  // namespace

HotKeyHolder::HotKeyHolder(UINT virtualKey, UINT modifiers)
    : heldName_(HeldEventName()),
      held_(::CreateEventW(nullptr, TRUE, FALSE, heldName_.c_str())),
      holder_(BesideTests(L"hotkey_holder.exe"),
              std::to_wstring(virtualKey) + L" " + std::to_wstring(modifiers) + L" " + heldName_) {}

bool HotKeyHolder::Held() const {
    return held_ && holder_.Started() && ::WaitForSingleObject(held_.get(), HolderTimeoutMs) == WAIT_OBJECT_0;
}

}  // namespace testing_support
