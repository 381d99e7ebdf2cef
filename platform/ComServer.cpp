#include "ComServer.h"

#include <olectl.h>
#include <oleauto.h>

#include <string>

#include "ComObject.h"
#include "Handles.h"
#include "Strings.h"

namespace platform::com {

namespace {

class ClassFactory final : public ComBase<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(Creator create) noexcept : create_(create) {}

    void* Cast(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) return static_cast<IClassFactory*>(this);
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

private:
    Creator create_;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64] = {};
    ::StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
    return text;
}

LSTATUS SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    UniqueHKey key;
    LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HKEY ClassesRoot(bool machine, UniqueHKey& holder) {
    const HKEY hive = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    ::RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, holder.put(), nullptr);
    return holder.get();
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

// The per-user type library functions are missing from some SDK headers; they
// are looked up in oleaut32 itself.
HRESULT RegisterLibraryForUser(ITypeLib* library, const std::wstring& path) {
    using Fn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
    if (!fn) return E_NOTIMPL;
    std::wstring copy = path;
    return fn(library, copy.data(), nullptr);
}

HRESULT UnregisterLibraryForUser(const GUID& libId, WORD major, WORD minor) {
    using Fn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"oleaut32.dll"), "UnRegisterTypeLibForUser")));
    if (!fn) return E_NOTIMPL;
    return fn(libId, major, minor, 0, SYS_WIN64);
}

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

}  // namespace

HRESULT GetClassObject(const ServerInfo& server, REFCLSID clsid, REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const ClassEntry& entry : server.classes) {
        if (*entry.clsid != clsid) continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(entry.create);
        if (!factory) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(iid, object);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() noexcept { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT RegisterServer(const ServerInfo& server, bool machine) noexcept {
    try {
        UniqueHKey classesKey;
        HKEY classes = ClassesRoot(machine, classesKey);
        if (!classes) return SELFREG_E_CLASS;
        const std::wstring path = ModulePath();
        const std::wstring libId = GuidText(*server.libId);
        const std::wstring version = std::to_wstring(server.majorVersion) + L"." + std::to_wstring(server.minorVersion);
        for (const ClassEntry& entry : server.classes) {
            const std::wstring clsid = GuidText(*entry.clsid);
            const std::wstring key = L"CLSID\\" + clsid;
            LSTATUS status = SetText(classes, key, nullptr, entry.description);
            if (status == ERROR_SUCCESS) status = SetText(classes, key + L"\\InprocServer32", nullptr, path);
            if (status == ERROR_SUCCESS)
                status = SetText(classes, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
            if (status == ERROR_SUCCESS) status = SetText(classes, key + L"\\TypeLib", nullptr, libId);
            if (status == ERROR_SUCCESS) status = SetText(classes, key + L"\\Version", nullptr, version);
            if (status == ERROR_SUCCESS && entry.progId) {
                status = SetText(classes, key + L"\\ProgID", nullptr, entry.progId);
                if (status == ERROR_SUCCESS) status = SetText(classes, entry.progId, nullptr, entry.description);
                if (status == ERROR_SUCCESS)
                    status = SetText(classes, std::wstring(entry.progId) + L"\\CLSID", nullptr, clsid);
            }
            if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
        }
        ITypeLib* library = EmbeddedTypeLib();
        std::wstring pathCopy = path;
        HRESULT hr = machine ? ::RegisterTypeLib(library, pathCopy.data(), nullptr)
                             : RegisterLibraryForUser(library, path);
        return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT UnregisterServer(const ServerInfo& server, bool machine) noexcept {
    try {
        UniqueHKey classesKey;
        HKEY classes = ClassesRoot(machine, classesKey);
        if (!classes) return SELFREG_E_CLASS;
        HRESULT result = S_OK;
        auto removeTree = [&](const std::wstring& key) {
            LSTATUS status = ::RegDeleteTreeW(classes, key.c_str());
            if (status == ERROR_SUCCESS) status = ::RegDeleteKeyW(classes, key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = FromStatus(status);
        };
        for (const ClassEntry& entry : server.classes) {
            removeTree(L"CLSID\\" + GuidText(*entry.clsid));
            if (entry.progId) removeTree(entry.progId);
        }
        HRESULT hr = machine ? ::UnRegisterTypeLib(*server.libId, server.majorVersion, server.minorVersion, 0,
                                                   SYS_WIN64)
                             : UnregisterLibraryForUser(*server.libId, server.majorVersion, server.minorVersion);
        // A type library that is not registered (any more) is not a failure of
        // unregistering; Wine answers E_INVALIDARG for it.
        if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY && hr != E_INVALIDARG)
            result = SELFREG_E_TYPELIB;
        return result;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT Install(const ServerInfo& server, BOOL install, LPCWSTR commandLine) noexcept {
    const bool machine = commandLine && platform::ContainsNoCase(commandLine, L"machine");
    return install ? RegisterServer(server, machine) : UnregisterServer(server, machine);
}

}  // namespace platform::com
