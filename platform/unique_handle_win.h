// Move-only owners of Windows handles: each closes its handle exactly once and keeps the
// thread's last error as it was across the close.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueHandleOf {
  public:
    using Value = typename Traits::Value;

    UniqueHandleOf() = default;
    explicit UniqueHandleOf(Value value) : value_(value) {}
    ~UniqueHandleOf() { reset(); }

    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : value_(other.release()) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Value get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::kInvalid; }
    Value release() { return std::exchange(value_, Traits::kInvalid); }

    // For the out-parameter of the call that opens a handle.
    Value* put() {
        reset();
        return &value_;
    }

    void reset(Value value = Traits::kInvalid) {
        const Value old = std::exchange(value_, value);
        if (old != Traits::kInvalid) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(lastError);
        }
    }

  private:
    Value value_ = Traits::kInvalid;
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static constexpr HANDLE kInvalid = nullptr;
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

struct RegistryKeyTraits {
    using Value = HKEY;
    static constexpr HKEY kInvalid = nullptr;
    static void Close(HKEY key) { ::RegCloseKey(key); }
};

struct IconTraits {
    using Value = HICON;
    static constexpr HICON kInvalid = nullptr;
    static void Close(HICON icon) { ::DestroyIcon(icon); }
};

struct BitmapTraits {
    using Value = HBITMAP;
    static constexpr HBITMAP kInvalid = nullptr;
    static void Close(HBITMAP bitmap) { ::DeleteObject(bitmap); }
};

// A kernel object: process token, thread, event, mutex.
using UniqueHandle = UniqueHandleOf<KernelHandleTraits>;
using UniqueRegistryKey = UniqueHandleOf<RegistryKeyTraits>;
// An icon or bitmap loaded at a size of the program's choosing, which nobody else frees.
using UniqueIcon = UniqueHandleOf<IconTraits>;
using UniqueBitmap = UniqueHandleOf<BitmapTraits>;
