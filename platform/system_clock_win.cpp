#include <windows.h>

#include "platform/clock.h"
#include "platform/clock_privilege_win.h"

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

std::uint32_t PlatformClock::LastSetError() {
    return ::GetLastError();
}

bool PlatformClock::MaySetClock() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        // No process security at all (as ClockPrivilege::Enable finds): nothing forbids it.
        return ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
    }
    const UniqueHandle token(raw);
    return TokenHoldsClockPrivilege(token.get());
}
