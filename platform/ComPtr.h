#pragma once
// A counted reference to a COM object. The project's own type rather than a
// library's, because toolchains disagree on details that matter (whether
// Attach adds a reference).
#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace platform {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    template <class U>
    ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.Get())) {}
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Out-parameter of a function that hands out a reference: drops what is held first.
    T** operator&() noexcept { return ReleaseAndGetAddressOf(); }
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &p_;
    }
    T** GetAddressOf() noexcept { return &p_; }

    // Takes over a reference the caller already owns (no AddRef).
    void Attach(T* p) noexcept {
        Reset();
        p_ = p;
    }
    // Hands the held reference to the caller.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }

    template <class U>
    HRESULT As(ComPtr<U>* other) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other->ReleaseAndGetAddressOf()));
    }
    // For `p.As(&other)`, where & already gave the out-parameter.
    template <class U>
    HRESULT As(U** out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out));
    }

private:
    T* p_ = nullptr;
};

}  // namespace platform
