#include "platform/clock_privilege_win.h"

#include <vector>

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

bool TokenHoldsClockPrivilege(HANDLE token) {
    LUID clockPrivilege{};
    if (!::LookupPrivilegeValueW(nullptr, L"SeSystemtimePrivilege", &clockPrivilege)) {
        return false;
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    if (size < sizeof(TOKEN_PRIVILEGES) - sizeof(LUID_AND_ATTRIBUTES)) {
        return false;
    }
    // DWORDs keep the buffer aligned for the structure read from it.
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (!::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        return false;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& luid = privileges->Privileges[i].Luid;
        if (luid.LowPart == clockPrivilege.LowPart && luid.HighPart == clockPrivilege.HighPart) {
            return true;
        }
    }
    return false;
}
