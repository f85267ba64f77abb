#pragma once
// Move-only owners of Windows handles, one traits type per release function. Each traits type
// knows its invalid value (files answer INVALID_HANDLE_VALUE, not null), so a failed Create* is
// never closed. Functions that make a handle return its owner.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace tw {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(o.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return h_; }
    explicit operator bool() const { return Traits::IsValid(h_); }
    [[nodiscard]] Handle Release() { return std::exchange(h_, Traits::Null()); }
    // Closes the handle held (if valid) and takes `h`. The caller's last error survives the close.
    void Reset(Handle h = Traits::Null()) {
        if (h == h_) return;
        if (Traits::IsValid(h_)) {
            const DWORD error = GetLastError();
            Traits::Close(h_);
            SetLastError(error);
        }
        h_ = h;
    }

private:
    Handle h_ = Traits::Null();
};

// Traits for handles whose invalid value is null.
template <class H, auto CloseFn>
struct NullInvalidTraits {
    using Handle = H;
    static constexpr Handle Null() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};

// Kernel objects: threads, events, mutexes (CreateThread, CreateEvent answer null on failure).
using KernelHandleTraits = NullInvalidTraits<HANDLE, &CloseHandle>;

// Files: CreateFile answers INVALID_HANDLE_VALUE on failure; null is never a file either.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Null() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static constexpr Handle Null() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using InternetHandle = UniqueHandle<NullInvalidTraits<HINTERNET, &InternetCloseHandle>>;
using RegistryKey = UniqueHandle<NullInvalidTraits<HKEY, &RegCloseKey>>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using GdiObject = UniqueHandle<NullInvalidTraits<HGDIOBJ, &DeleteObject>>;
using MemoryDc = UniqueHandle<NullInvalidTraits<HDC, &DeleteDC>>;
using OwnedWindow = UniqueHandle<NullInvalidTraits<HWND, &DestroyWindow>>;
using Icon = UniqueHandle<NullInvalidTraits<HICON, &DestroyIcon>>;
using Menu = UniqueHandle<NullInvalidTraits<HMENU, &DestroyMenu>>;

}  // namespace tw
