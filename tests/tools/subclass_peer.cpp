// A second copy of the subclassing module in its own DLL, as a component
// would carry it: the tests check that it and the test program's copy see
// the same records of a window. Its owner answers the previous procedure's
// result plus PeerOffset, so the caller can tell which copy answered last.
#include <windows.h>

#include "SubclassHandler.h"
#include "SubclassModule.h"

namespace {
constexpr LRESULT PeerOffset = 1000;
SubclassHandler* g_owner = nullptr;
LONG g_calls = 0;
}  // namespace

extern "C" __declspec(dllexport) BOOL PeerAttach(HWND hWnd, UINT uMsg) {
    if (!g_owner) {
        g_owner = SubclassHandler::Create([](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            ++g_calls;
            return SubclassModule::CallOldWindowProc(h, m, w, l) + PeerOffset;
        });
    }
    return SubclassModule::AttachMessage(g_owner, hWnd, uMsg);
}

extern "C" __declspec(dllexport) void PeerDetach(HWND hWnd, UINT uMsg) {
    if (g_owner) SubclassModule::DetachMessage(g_owner, hWnd, uMsg);
}

extern "C" __declspec(dllexport) LONG PeerCalls() { return g_calls; }
