#include "SubclassHandler.h"

#include <utility>

#include "Guard.h"

SubclassHandler* SubclassHandler::Create(Callback callback) { return new SubclassHandler(std::move(callback)); }

SubclassHandler::SubclassHandler(Callback callback) : callback_(std::move(callback)) {}

void* SubclassHandler::Cast(REFIID iid) noexcept {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISubclass)) return static_cast<ISubclass*>(this);
    return nullptr;
}

HRESULT STDMETHODCALLTYPE SubclassHandler::WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam,
                                                      LONG_PTR* result) {
    if (!result) return E_POINTER;
    // The caller is a window procedure, possibly in another module: a failure
    // is logged here and the message answered with 0.
    *result = platform::Guard(L"SubclassHandler", L"WindowProc", platform::Trap::Always, [&]() -> LONG_PTR {
        return static_cast<LONG_PTR>(callback_(reinterpret_cast<HWND>(hWnd), static_cast<UINT>(uMsg),
                                               static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
    });
    return S_OK;
}
