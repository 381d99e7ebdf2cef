#pragma once
// Another program holding a system-wide hot key, as a key combination a user's
// other software already took: hotkey_holder.exe from beside the tests,
// started and waited for until it holds the combination.
#include <windows.h>

#include <string>

#include "Handles.h"
#include "Process.h"

namespace testing_support {

class HotKeyHolder {
public:
    // Starts the holder of this virtual key with these modifiers (MOD_* bits).
    HotKeyHolder(UINT virtualKey, UINT modifiers);
    // Ends the holder, and with it its hold on the key.
    ~HotKeyHolder() = default;
    HotKeyHolder(const HotKeyHolder&) = delete;
    HotKeyHolder& operator=(const HotKeyHolder&) = delete;

    // Waits until the holder holds the combination: false when it was refused
    // it or never got so far.
    bool Held() const;
    // Ends the holder now; the combination is free once the system has seen it go.
    void Release() { holder_.Terminate(); }

private:
    std::wstring heldName_;
    platform::UniqueKernelHandle held_;
    ChildProcess holder_;
};

}  // namespace testing_support
