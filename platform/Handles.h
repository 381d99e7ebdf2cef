#pragma once
// One owner type per kind of platform handle. Each wraps exactly one release
// function; moving transfers ownership, copying is not allowed.
#include <windows.h>
#include <commctrl.h>
#include <utility>

namespace platform {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }

    // For out-parameters of creating functions: releases what is held first.
    Handle* put() noexcept {
        reset();
        return &h_;
    }
    Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) noexcept {
        Handle old = std::exchange(h_, h);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Handle h_ = Traits::Invalid();
};

namespace traits {
template <class H, auto CloseFn>
struct NullIsInvalid {
    using Handle = H;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseFn(h); }
};
struct File {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
template <class T>
struct GdiObject {
    using Handle = T;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
struct GlobalAtom {
    using Handle = ATOM;
    static constexpr Handle Invalid() noexcept { return 0; }
    static void Close(Handle h) noexcept { ::GlobalDeleteAtom(h); }
};
}  // namespace traits

using UniqueKernelHandle = UniqueHandle<traits::NullIsInvalid<HANDLE, ::CloseHandle>>;
using UniqueFile = UniqueHandle<traits::File>;
using UniqueHKey = UniqueHandle<traits::NullIsInvalid<HKEY, ::RegCloseKey>>;
using UniqueHIcon = UniqueHandle<traits::NullIsInvalid<HICON, ::DestroyIcon>>;
using UniqueHMenu = UniqueHandle<traits::NullIsInvalid<HMENU, ::DestroyMenu>>;
using UniqueHImageList = UniqueHandle<traits::NullIsInvalid<HIMAGELIST, ::ImageList_Destroy>>;
using UniqueWinEventHook = UniqueHandle<traits::NullIsInvalid<HWINEVENTHOOK, ::UnhookWinEvent>>;
using UniqueHHook = UniqueHandle<traits::NullIsInvalid<HHOOK, ::UnhookWindowsHookEx>>;
using UniqueWindow = UniqueHandle<traits::NullIsInvalid<HWND, ::DestroyWindow>>;
using UniqueHModule = UniqueHandle<traits::NullIsInvalid<HMODULE, ::FreeLibrary>>;
using UniqueMemoryDC = UniqueHandle<traits::NullIsInvalid<HDC, ::DeleteDC>>;
using UniqueHLocal = UniqueHandle<traits::NullIsInvalid<HLOCAL, ::LocalFree>>;
template <class T>
using UniqueGdiObject = UniqueHandle<traits::GdiObject<T>>;

// A global atom, deleted again when its owner goes.
using UniqueGlobalAtom = UniqueHandle<traits::GlobalAtom>;

// A system-wide hot key registered for a window, unregistered when its owner goes.
class UniqueHotKey {
public:
    UniqueHotKey() noexcept = default;
    UniqueHotKey(HWND window, int id) noexcept : window_(window), id_(id) {}
    UniqueHotKey(UniqueHotKey&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), id_(std::exchange(other.id_, 0)) {}
    UniqueHotKey& operator=(UniqueHotKey&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = std::exchange(other.window_, nullptr);
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }
    UniqueHotKey(const UniqueHotKey&) = delete;
    UniqueHotKey& operator=(const UniqueHotKey&) = delete;
    ~UniqueHotKey() { reset(); }

    // Registers the combination; false (and nothing held) when the system refuses it.
    bool Register(HWND window, int id, UINT modifiers, UINT virtualKey) noexcept {
        reset();
        if (!::RegisterHotKey(window, id, modifiers, virtualKey)) return false;
        window_ = window;
        id_ = id;
        return true;
    }
    void reset() noexcept {
        if (id_ != 0) ::UnregisterHotKey(window_, id_);
        window_ = nullptr;
        id_ = 0;
    }

private:
    HWND window_ = nullptr;
    int id_ = 0;
};

// A window's device context from GetDC, given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

}  // namespace platform
