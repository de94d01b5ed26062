#include <windows.h>

#include "ntp/ntp_time.h"

namespace {

using ReadFileTime = VOID(WINAPI*)(LPFILETIME);

// GetSystemTimePreciseAsFileTime exists from Windows 8 on; older systems fall back to the
// tick-resolution reading.
ReadFileTime FinestSystemTimeReader() {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const FARPROC precise =
        kernel != nullptr ? ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
    if (precise == nullptr) {
        return &::GetSystemTimeAsFileTime;
    }
    return reinterpret_cast<ReadFileTime>(reinterpret_cast<void (*)()>(precise));
}

}  // namespace

NtpTime NtpTime::Now() {
    static const ReadFileTime read = FinestSystemTimeReader();
    FILETIME now{};
    read(&now);
    return FromFileTime((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
}
