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

PLATFORM_COM_SERVER_EXPORTS(Server)
