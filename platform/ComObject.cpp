#include "ComObject.h"

#include <string>

#include "ComError.h"
#include "Error.h"

namespace platform::com {

namespace {
LONG g_lockCount = 0;
}

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&g_lockCount), &module);
    return module;
}

void LockModule() noexcept { ::InterlockedIncrement(&g_lockCount); }
void UnlockModule() noexcept { ::InterlockedDecrement(&g_lockCount); }
long ModuleLockCount() noexcept { return g_lockCount; }

ITypeLib* EmbeddedTypeLib() {
    // Kept for the life of the module: type information is handed out from it
    // to clients that may still hold it when the module's objects are gone.
    static ITypeLib* library = [] {
        wchar_t path[MAX_PATH * 4];
        DWORD length = ::GetModuleFileNameW(ThisModule(), path, static_cast<DWORD>(std::size(path)));
        if (length == 0 || length >= std::size(path)) RaiseWin32(::GetLastError(), L"EmbeddedTypeLib");
        ITypeLib* loaded = nullptr;
        ThrowIfFailed(::LoadTypeLibEx(path, REGKIND_NONE, &loaded), L"EmbeddedTypeLib");
        return loaded;
    }();
    return library;
}

ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid) {
    ComPtr<ITypeInfo> info;
    ThrowIfFailed(EmbeddedTypeLib()->GetTypeInfoOfGuid(guid, &info), L"TypeInfoOf");
    return info;
}

}  // namespace platform::com
