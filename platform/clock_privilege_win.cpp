#include "platform/clock_privilege_win.h"

BOOL ClockPrivilege::Enable() {
    enabled_ = FALSE;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token_.put())) {
        if (::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
            ::SetLastError(0);
            return TRUE;
        }
        return FALSE;
    }
    privileges_ = {};
    if (!::LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege",
                                 &privileges_.Privileges[0].Luid)) {
        return FALSE;
    }
    privileges_.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    privileges_.PrivilegeCount = 1;
    enabled_ = TRUE;
    return ::AdjustTokenPrivileges(token_.get(), FALSE, &privileges_, 0, nullptr, nullptr);
}

BOOL ClockPrivilege::Disable() {
    if (!enabled_) {
        return FALSE;
    }
    privileges_.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
    return ::AdjustTokenPrivileges(token_.get(), FALSE, &privileges_, 0, nullptr, nullptr);
}
