#include <windows.h>
#include <commctrl.h>

#include "ComClient.h"
#include "MainModule.h"
#include "WindowModule.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The components are COM objects living on this thread.
    platform::com::ComApartment apartment;
    if (const auto exitCode = Main(instance, arguments ? arguments : L"")) return *exitCode;
    return RunMessageLoop();
}
