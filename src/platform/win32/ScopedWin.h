#pragma once
// Owners of Win32 resources, so that no path can leak one. Null means "none";
// what fails with INVALID_HANDLE_VALUE (CreateFile) goes through NullIfInvalid.

#include <windows.h>

#include <utility>

namespace vek::win32 {

template <typename T, auto Release>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(T value) : value_(value) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : value_(other.Detach()) {}

    T Get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    // Hands the resource to a new owner (the receiver of a posted message).
    T Detach() { return std::exchange(value_, T{}); }
    void Reset(T value = T{}) {
        if (value_ != T{}) Release(value_);
        value_ = value;
    }

private:
    T value_{};
};

using ScopedHandle = Scoped<HANDLE, CloseHandle>;
using ScopedView = Scoped<const void*, UnmapViewOfFile>;
using ScopedGlobal = Scoped<HGLOBAL, GlobalFree>;
using ScopedFont = Scoped<HFONT, DeleteObject>;
using ScopedDc = Scoped<HDC, DeleteDC>;
using ScopedLibrary = Scoped<HMODULE, FreeLibrary>;
using ScopedLocal = Scoped<HLOCAL, LocalFree>;

inline HANDLE NullIfInvalid(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace vek::win32
