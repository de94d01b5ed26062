// Move-only owners of Windows handles: each closes its handle exactly once and keeps the
// thread's last error as it was across the close.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <wincrypt.h>

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

// One kind of handle each: what holds it, the value that means none, and how it is closed.
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

struct ServiceHandleTraits {
    using Value = SC_HANDLE;
    static constexpr SC_HANDLE kInvalid = nullptr;
    static void Close(SC_HANDLE handle) { ::CloseServiceHandle(handle); }
};

struct EventSourceTraits {
    using Value = HANDLE;
    static constexpr HANDLE kInvalid = nullptr;
    static void Close(HANDLE source) { ::DeregisterEventSource(source); }
};

struct InternetHandleTraits {
    using Value = HINTERNET;
    static constexpr HINTERNET kInvalid = nullptr;
    static void Close(HINTERNET handle) { ::InternetCloseHandle(handle); }
};

struct LocalMemoryTraits {
    using Value = HLOCAL;
    static constexpr HLOCAL kInvalid = nullptr;
    static void Close(HLOCAL memory) { ::LocalFree(memory); }
};

struct DeviceContextTraits {
    using Value = HDC;
    static constexpr HDC kInvalid = nullptr;
    static void Close(HDC context) { ::DeleteDC(context); }
};

struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static constexpr HGDIOBJ kInvalid = nullptr;
    static void Close(HGDIOBJ object) { ::DeleteObject(object); }
};

struct CertificateStoreTraits {
    using Value = HCERTSTORE;
    static constexpr HCERTSTORE kInvalid = nullptr;
    static void Close(HCERTSTORE store) { ::CertCloseStore(store, 0); }
};

struct CertificateTraits {
    using Value = PCCERT_CONTEXT;
    static constexpr PCCERT_CONTEXT kInvalid = nullptr;
    static void Close(PCCERT_CONTEXT certificate) { ::CertFreeCertificateContext(certificate); }
};

struct CertificateChainTraits {
    using Value = PCCERT_CHAIN_CONTEXT;
    static constexpr PCCERT_CHAIN_CONTEXT kInvalid = nullptr;
    static void Close(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }
};

// A kernel object: process token, thread, event, pipe.
using UniqueHandle = UniqueHandleOf<KernelHandleTraits>;
using UniqueRegistryKey = UniqueHandleOf<RegistryKeyTraits>;
// The service control manager, or a service in it.
using UniqueServiceHandle = UniqueHandleOf<ServiceHandleTraits>;
// An event log opened for reporting (RegisterEventSource).
using UniqueEventSource = UniqueHandleOf<EventSourceTraits>;
// A WinINet session, connection or request.
using UniqueInternetHandle = UniqueHandleOf<InternetHandleTraits>;
// What a call allocated for its caller to free with LocalFree.
using UniqueLocalMemory = UniqueHandleOf<LocalMemoryTraits>;
// A device context made for drawing (CreateCompatibleDC), not one borrowed with GetDC.
using UniqueDeviceContext = UniqueHandleOf<DeviceContextTraits>;
using UniqueGdiObject = UniqueHandleOf<GdiObjectTraits>;
// An icon or bitmap loaded at a size of the program's choosing, which nobody else frees.
using UniqueIcon = UniqueHandleOf<IconTraits>;
using UniqueBitmap = UniqueHandleOf<BitmapTraits>;
// Certificates of a TLS server, held while Windows judges them.
using UniqueCertificateStore = UniqueHandleOf<CertificateStoreTraits>;
using UniqueCertificate = UniqueHandleOf<CertificateTraits>;
using UniqueCertificateChain = UniqueHandleOf<CertificateChainTraits>;
