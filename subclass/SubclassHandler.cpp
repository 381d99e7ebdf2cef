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
    *result = 0;
    try {
        *result = static_cast<LONG_PTR>(callback_(reinterpret_cast<HWND>(hWnd), static_cast<UINT>(uMsg),
                                                  static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
    } catch (...) {
        // The caller is a window procedure, possibly in another module: the
        // failure is logged here and the message answered with 0.
        platform::LogCurrentFailure(L"SubclassHandler", L"WindowProc");
        *result = 0;
    }
    return S_OK;
}
