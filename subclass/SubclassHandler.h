#pragma once
// An ISubclass owner for C++ classes that are not COM objects themselves: it
// forwards each message to a callback. The handler is reference counted like
// any COM object; its creator holds one reference and must detach every
// message before letting it go.
#include <windows.h>

#include <functional>

#include "ComObject.h"
#include "ISubclass.h"

class SubclassHandler final : public platform::com::ComBase<SubclassHandler, ISubclass> {
public:
    using Callback = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

    // Returns a handler with one reference held by the caller.
    static SubclassHandler* Create(Callback callback);

    explicit SubclassHandler(Callback callback);

    void* Cast(REFIID iid) noexcept;
    HRESULT STDMETHODCALLTYPE WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam,
                                         LONG_PTR* result) override;

private:
    Callback callback_;
};
