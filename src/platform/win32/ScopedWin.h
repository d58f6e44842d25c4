#pragma once
// Owners of Win32 resources: each releases its resource in its destructor, so
// no path through the code can leak one. Null means "none"; a function that
// fails with INVALID_HANDLE_VALUE (CreateFile) goes through NullIfInvalid.

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
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

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

inline HANDLE NullIfInvalid(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace vek::win32
