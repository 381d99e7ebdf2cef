#pragma once
// A component DLL as its clients get it: loaded by its full path and asked
// for class objects, its registration read back from the registry, and a
// script client run against it once it is registered for the machine.
#include <windows.h>
#include <unknwn.h>

#include <span>
#include <string>

#include "ComPtr.h"

namespace testing_support {

// A component DLL beside the test program, loaded on construction and kept
// for the rest of the process: objects made from it may outlive a test, and
// the windows it creates must never outlive its code. Each entry point
// answers HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when the DLL lacks it.
class ComponentDll {
public:
    explicit ComponentDll(const std::wstring& fileName);
    ComponentDll(const ComponentDll&) = delete;
    ComponentDll& operator=(const ComponentDll&) = delete;

    const std::wstring& Path() const noexcept { return path_; }
    bool Loaded() const noexcept { return module_ != nullptr; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    HRESULT Install(BOOL install, const wchar_t* commandLine) const;

    // The class object, checked to be handed out.
    platform::ComPtr<IClassFactory> Factory(REFCLSID clsid) const;
    // A new object of the class through its class object, checked to be made.
    template <class I>
    platform::ComPtr<I> Create(REFCLSID clsid) const {
        platform::ComPtr<I> object;
        CreateInstance(clsid, __uuidof(I), reinterpret_cast<void**>(&object));
        return object;
    }

private:
    void CreateInstance(REFCLSID clsid, REFIID iid, void** object) const;
    FARPROC Entry(const char* name) const;

    std::wstring path_;
    HMODULE module_;
};

// The braced text form of a GUID, as registry keys spell it.
std::wstring GuidText(REFGUID guid);
// Full path of a program in the system folder (regsvr32.exe, cscript.exe).
std::wstring SystemProgram(const wchar_t* name);
std::wstring Quoted(const std::wstring& text);

inline const std::wstring ClassesKey = L"Software\\Classes\\";

struct RegisteredClass {
    const CLSID* clsid;
    const wchar_t* progId;
};

// The class and ProgID keys of every class in one hive, naming the DLL, an
// apartment-threaded server and the type library: all there, or none.
void ExpectClassKeys(HKEY hive, std::span<const RegisteredClass> classes, REFGUID libId, const std::wstring& dllPath,
                     bool registered);
bool TypeLibRegistered(REFGUID libId);

// regsvr32 with these options on the DLL; answers its exit code.
DWORD Regsvr32(const std::wstring& options, const std::wstring& dllPath);

// Runs a script from beside the tests with the console script host, which
// exits 0 even after a script error: the script's last line,
// "N passed, M failed", tells the outcome. Checks that the script finished
// and nothing failed; answers its passed count.
int RunScriptClient(const std::wstring& scriptName);

}  // namespace testing_support
