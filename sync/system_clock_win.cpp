#include <windows.h>

#include "sync/clock.h"
#include "sync/clock_privilege_win.h"

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

SYSTEMTIME PlatformClock::UtcTime() {
    SYSTEMTIME st{};
    ::GetSystemTime(&st);
    return st;
}

SYSTEMTIME PlatformClock::LocalTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return st;
}

bool PlatformClock::SetUtcTime(const SYSTEMTIME& utc) {
    return ::SetSystemTime(&utc) != FALSE;
}

bool PlatformClock::SetLocalTime(const SYSTEMTIME& local) {
    return ::SetLocalTime(&local) != FALSE;
}

bool PlatformClock::SetClockUtc(const NtpTime& t) {
    ClockPrivilege privilege;
    BOOL result = FALSE;
    if (privilege.Enable()) {
        const SYSTEMTIME st = t.ToSystemTime();
        result = ::SetSystemTime(&st);
    }
    const DWORD lastError = ::GetLastError();
    privilege.Disable();
    ::SetLastError(lastError);
    return result != FALSE;
}
