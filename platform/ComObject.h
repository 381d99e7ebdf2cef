#pragma once
// The building blocks of this deliverable's COM classes.
//
//   class Thing final : public platform::ComBase<Thing, platform::Dispatch<_Thing>, ISupportErrorInfo...>
//
// ComBase supplies IUnknown from the class's own Cast(iid), which names every
// interface the class answers for; Dispatch<I> implements IDispatch for the
// dual interface I from this deliverable's embedded type library. Objects
// count towards the module's lock count while they live.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <utility>

#include "ComPtr.h"

namespace platform::com {

// The module (program or DLL) this code is linked into.
HMODULE ThisModule() noexcept;

// Objects alive plus server locks; DllCanUnloadNow answers from it.
void LockModule() noexcept;
void UnlockModule() noexcept;
long ModuleLockCount() noexcept;

// The type library embedded in this module as TYPELIB 1, loaded once.
ITypeLib* EmbeddedTypeLib();
// Type information of an interface or class in that library; raises when absent.
ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid);

template <class Derived, class... Interfaces>
class ComBase : public Interfaces... {
public:
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = static_cast<Derived*>(this)->Cast(iid);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) {
            // Teardown may hand out and drop temporary references (events
            // raised while it flushes); they must not start a second delete.
            refs_ = 1;
            delete static_cast<Derived*>(this);
        }
        return static_cast<ULONG>(left);
    }

protected:
    ComBase() noexcept { LockModule(); }
    virtual ~ComBase() { UnlockModule(); }

private:
    LONG refs_ = 1;  // the creator's reference
};

// Creates an object; the caller receives its first reference.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
    ComPtr<T> object;
    object.Attach(new T(std::forward<Args>(args)...));
    return object;
}

// IDispatch for the dual interface I, driven by its type information.
template <class I>
class Dispatch : public I {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* type = Type();
        if (!type) return TYPE_E_ELEMENTNOTFOUND;
        type->AddRef();
        *info = type;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* type = Type();
        return type ? ::DispGetIDsOfNames(type, names, count, ids) : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override {
        ITypeInfo* type = Type();
        if (!type) return E_UNEXPECTED;
        // Script hosts differ in how they ask a collection for its enumerator:
        // some call it as a method, and it is declared as a property.
        if (id == DISPID_NEWENUM && (flags & DISPATCH_METHOD)) flags |= DISPATCH_PROPERTYGET;
        return ::DispInvoke(static_cast<I*>(this), type, id, flags, params, result, exception, argError);
    }

private:
    static ITypeInfo* Type() noexcept {
        // Loaded once per class and kept for the life of the module.
        static ITypeInfo* type = [] {
            try {
                return TypeInfoOf(__uuidof(I)).Detach();
            } catch (...) {
                return static_cast<ITypeInfo*>(nullptr);
            }
        }();
        return type;
    }
};

// Every interface of these classes reports its failures through IErrorInfo.
class SupportErrorInfo : public ISupportErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
};

// Hands out the type information of the class (for clients that sink events).
template <const CLSID& Class>
class ProvideClassInfo : public IProvideClassInfo {
public:
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        try {
            *info = TypeInfoOf(Class).Detach();
            return S_OK;
        } catch (...) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
    }
};

}  // namespace platform::com
