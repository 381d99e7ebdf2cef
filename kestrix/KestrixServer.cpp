// The DLL's entry points: class objects, unloading and (un)registration.
#include <windows.h>

#include "ComServer.h"
#include "Kestrix.h"
#include "TimerEx.h"

namespace {

const platform::com::ClassEntry Classes[] = {
    {&CLSID_Kestrix, L"Kestrix.Kestrix", L"Kestrix Component: notification-area icons", &Kestrix::Create},
    {&CLSID_TimerEx, L"Kestrix.TimerEx", L"Kestrix Component: thread timer", &TimerEx::Create},
};

const platform::com::ServerInfo Server{&LIBID_KestrixLib, 1, 0, Classes};

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return platform::com::GetClassObject(Server, clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return platform::com::CanUnloadNow(); }

STDAPI DllRegisterServer() { return platform::com::RegisterServer(Server, false); }

STDAPI DllUnregisterServer() { return platform::com::UnregisterServer(Server, false); }

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) { return platform::com::Install(Server, install, commandLine); }

}  // extern "C"
