#include "SubclassHandler.h"

#include <utility>

#include "Guard.h"

SubclassHandler* SubclassHandler::Create(Callback callback) { return new SubclassHandler(std::move(callback)); }

SubclassHandler::SubclassHandler(Callback callback) : callback_(std::move(callback)) {}

HRESULT STDMETHODCALLTYPE SubclassHandler::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISubclass)) {
        *object = static_cast<ISubclass*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE SubclassHandler::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE SubclassHandler::Release() {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
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
