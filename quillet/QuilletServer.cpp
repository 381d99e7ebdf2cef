// The DLL's entry points: class objects, unloading and (un)registration.
#include <windows.h>

#include "ComServer.h"
#include "Quillet.h"

namespace {

const platform::com::ClassEntry Classes[] = {
    {&CLSID_Quillet, L"Quillet.Quillet", L"Quillet Component: owner-drawn menus", &Quillet::Create},
};

const platform::com::ServerInfo Server{&LIBID_QuilletLib, 1, 0, Classes};

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
