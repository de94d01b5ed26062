// Setup and the uninstaller as an administrator's script runs them, and what they leave on
// the machine besides files: the Tickwell Clock service and its machine-wide policy.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/registry_key.h"

namespace installation {

// From CMake: the setup program that make dist built, and the files it packed.
inline const std::string kSetup = TICKWELL_SETUP;
inline const std::filesystem::path kStage = TICKWELL_STAGE;

inline const std::string kFolder = "C:\\Program Files\\Quorvane\\Tickwell";
inline const std::filesystem::path kShortcut =
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tickwell.lnk";
inline constexpr const char* kEntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tickwell";
inline constexpr const char* kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tickwell";
inline const desktop::RegistryKey kRunKey("Software\\Microsoft\\Windows\\CurrentVersion\\Run");

// The program's settings, HKEY_CURRENT_USER's.
inline const desktop::RegistryKey kOptions("Software\\Quorvane\\Tickwell\\Options");
inline const desktop::RegistryKey kServers("Software\\Quorvane\\Tickwell\\Servers");

struct Outcome {
    std::optional<DWORD> exitCode;
    std::string errors;  // what it wrote to standard error
};

Outcome Run(std::string commandLine);
Outcome Install(const std::string& options = "/S");
// Waits for the uninstaller's end, which a plain start of it would not.
Outcome Uninstall(const std::string& options, const std::string& folder = kFolder);

// Runs the uninstall entry's QuietUninstallString as "Apps and features" does: the
// uninstaller hands over to a copy of itself and returns at once, so this waits for the
// install folder to go. True once it has gone.
bool UninstallAsWindowsDoes();

std::string Contents(const std::filesystem::path& file);

// The program, its library and the service's program as kStage holds them.
bool InstalledAsStaged(const std::filesystem::path& folder);
// Bytes after a program's image change nothing but its size, which then shows whether an
// install replaced the file.
void MarkInstalledFiles(const std::string& folder = kFolder);
// Later starts of the program ask no time server on their own, and only this machine.
void SeedSettings();

// The service as the service control manager knows it; openError is ERROR_SUCCESS when it
// is installed, and then the rest is filled in.
struct ClockServiceSeen {
    DWORD openError = ERROR_SUCCESS;
    DWORD state = 0;  // SERVICE_RUNNING, ...
    DWORD processId = 0;
    DWORD startType = 0;
    std::string displayName;
    std::string account;
    std::string commandLine;
};
ClockServiceSeen SeeClockService();

// HKEY_LOCAL_MACHINE\Software\Quorvane\Tickwell, as an administrator edits it.
inline constexpr const char* kPolicyKey = "Software\\Quorvane\\Tickwell";
std::vector<std::string> ApprovedServers();
bool ApproveServer(const std::string& host);
// The machine policy's bRequireNts under the service's own key, as an administrator sets it.
bool RequireNts(DWORD value);
std::optional<DWORD> MaxUserOffset();

// No trace of an install: no service, no policy, no files, no entries, no event source, no
// settings.
void ForgetInstall();

}  // namespace installation
