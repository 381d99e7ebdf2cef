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

PLATFORM_COM_SERVER_EXPORTS(Server)
