#pragma once
// The in-process server side of a component DLL: its class factory and the
// work behind DllGetClassObject, DllCanUnloadNow, DllRegisterServer,
// DllUnregisterServer and DllInstall.
#include <windows.h>
#include <unknwn.h>

#include <span>

namespace platform::com {

// Creates a new object and answers the requested interface of it.
using Creator = HRESULT (*)(REFIID iid, void** object);

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;       // "Kestrix.Kestrix"
    const wchar_t* description;  // the key's default value
    Creator create;
};

struct ServerInfo {
    const GUID* libId;
    WORD majorVersion;
    WORD minorVersion;
    std::span<const ClassEntry> classes;
};

HRESULT GetClassObject(const ServerInfo& server, REFCLSID clsid, REFIID iid, void** object) noexcept;
HRESULT CanUnloadNow() noexcept;

// Registration for the current user (machine = false) or for every user
// (machine = true): classes, ProgIDs and the embedded type library.
HRESULT RegisterServer(const ServerInfo& server, bool machine) noexcept;
HRESULT UnregisterServer(const ServerInfo& server, bool machine) noexcept;
// DllInstall: "machine" (any case) in the command line registers for every user.
HRESULT Install(const ServerInfo& server, BOOL install, LPCWSTR commandLine) noexcept;

}  // namespace platform::com

// The five exports of a component DLL, all answered from its ServerInfo. Use
// once, at namespace scope, in the file that defines the DLL's classes table.
#define PLATFORM_COM_SERVER_EXPORTS(server)                                                                   \
    extern "C" {                                                                                               \
    STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {                                      \
        return platform::com::GetClassObject(server, clsid, iid, object);                                     \
    }                                                                                                          \
    STDAPI DllCanUnloadNow() { return platform::com::CanUnloadNow(); }                                         \
    STDAPI DllRegisterServer() { return platform::com::RegisterServer(server, false); }                       \
    STDAPI DllUnregisterServer() { return platform::com::UnregisterServer(server, false); }                   \
    STDAPI DllInstall(BOOL install, LPCWSTR commandLine) { return platform::com::Install(server, install, commandLine); } \
    }
