// How Windows knows the Tickwell Clock service: the names the installer registers and the
// service runs and reports under.
#pragma once

inline constexpr const wchar_t* kServiceDisplayName = L"Tickwell Clock";
inline constexpr const wchar_t* kServiceDescription =
    L"Sets this computer's clock from a time server for Tickwell users who may not set it "
    L"themselves, asking only the time servers an administrator approved.";
inline constexpr const wchar_t* kServiceAccount = L"NT AUTHORITY\\LocalService";
inline constexpr const wchar_t* kEventSourceName = L"Tickwell Clock";
inline constexpr const wchar_t* kEventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tickwell Clock";
