// Another program that holds a system-wide hot key, for the tests of hot keys
// refused because someone else has them:
//   hotkey_holder <virtual key> <modifiers> <event name>
// registers the combination, sets the named event (made by the test) once it
// holds it, and keeps it until it is ended. A refused combination ends it at
// once with exit code 1.
#include <windows.h>

#include <cwchar>

#include "Handles.h"

namespace {
constexpr int ExpectedArguments = 4;
constexpr int HotKeyId = 1;
constexpr int Decimal = 10;
constexpr int Refused = 1;
constexpr int Misused = 2;
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != ExpectedArguments) return Misused;
    const auto key = static_cast<UINT>(std::wcstoul(argv[1], nullptr, Decimal));
    const auto modifiers = static_cast<UINT>(std::wcstoul(argv[2], nullptr, Decimal));
    platform::UniqueKernelHandle held(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (!held) return Misused;
    if (!::RegisterHotKey(nullptr, HotKeyId, modifiers, key)) return Refused;
    ::SetEvent(held.get());
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    }
    return 0;
}
