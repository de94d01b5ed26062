#include "tests/installer/installation.h"

#include <fstream>
#include <iterator>

#include "platform/clock_service_protocol.h"
#include "base/unique_handle_win.h"
#include "tests/e2e/desktop.h"

namespace installation {

namespace {

namespace fs = std::filesystem;

std::string ApprovedServersKey() {
    return std::string(kPolicyKey) + "\\ApprovedServers";
}

}  // namespace

// Standard error goes to a file, not a pipe: Wine's own helper processes, started by the
// first program of a prefix, inherit the handle and would keep a pipe open for ever.
Outcome Run(std::string commandLine) {
    const fs::path errorFile = fs::temp_directory_path() / "installer-test-errors.txt";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    UniqueHandle errors(::CreateFileW(errorFile.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inherited, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = errors.get();
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &started)) {
        return {};
    }
    ::CloseHandle(started.hThread);
    const UniqueHandle process(started.hProcess);
    errors.reset();
    Outcome outcome;
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process.get(), &exitCode)) {
        outcome.exitCode = exitCode;
    }
    outcome.errors = Contents(errorFile);
    return outcome;
}

Outcome Install(const std::string& options) {
    return Run("\"" + kSetup + "\" " + options);
}

// The uninstaller runs a copy of itself from the temporary folder and returns at once; a
// script that waits for the end runs such a copy itself, with _?= naming the folder.
Outcome Uninstall(const std::string& options, const std::string& folder) {
    const fs::path copy = fs::temp_directory_path() / "Tickwell-uninstall.exe";
    fs::copy_file(folder + "\\Uninstall.exe", copy, fs::copy_options::overwrite_existing);
    Outcome outcome = Run("\"" + copy.string() + "\" " + options + " _?=" + folder);
    fs::remove(copy);
    return outcome;
}

bool UninstallAsWindowsDoes() {
    char command[1024] = {};
    char folder[MAX_PATH] = {};
    DWORD size = sizeof command;
    DWORD folderSize = sizeof folder;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kEntryKey, "QuietUninstallString", RRF_RT_REG_SZ,
                       nullptr, command, &size) != ERROR_SUCCESS ||
        ::RegGetValueA(HKEY_LOCAL_MACHINE, kEntryKey, "InstallLocation", RRF_RT_REG_SZ, nullptr,
                       folder, &folderSize) != ERROR_SUCCESS ||
        Run(command).exitCode != 0u) {
        return false;
    }
    for (int waited = 0; waited < 300 && fs::exists(folder); ++waited) {
        ::Sleep(100);
    }
    return !fs::exists(folder);
}

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool InstalledAsStaged(const fs::path& folder) {
    for (const char* name :
         {"Tickwell.exe", "QvSupport.dll", "TickwellClock.exe", "MbedTLS-LICENSE.txt",
          "policies\\Quorvane.admx", "policies\\Tickwell.admx", "policies\\en-US\\Quorvane.adml",
          "policies\\en-US\\Tickwell.adml"}) {
        if (!fs::exists(folder / name) || Contents(folder / name) != Contents(kStage / name)) {
            return false;
        }
    }
    return true;
}

void MarkInstalledFiles(const std::string& folder) {
    for (const char* name : {"\\Tickwell.exe", "\\QvSupport.dll"}) {
        std::ofstream(folder + name, std::ios::binary | std::ios::app) << "stale";
    }
}

void SeedSettings() {
    kOptions.WriteDword("bFirstStart", 0);
    kOptions.WriteDword("nSynPeriod", 2);  // only manual
    kServers.WriteDword("Servers_Counter", 1);
    kServers.WriteString("Servers 0", "loopback\n127.0.0.1\n1 0.000");
}

ClockServiceSeen SeeClockService() {
    ClockServiceSeen seen;
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(::OpenServiceW(manager.get(), kClockServiceName,
                                                     SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
        seen.openError = ::GetLastError();
        return seen;
    }
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                               reinterpret_cast<BYTE*>(&status), sizeof status, &size)) {
        seen.state = status.dwCurrentState;
        seen.processId = status.dwProcessId;
    }
    ::QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (size != 0 && ::QueryServiceConfigW(service.get(), config, size, &size)) {
        seen.startType = config->dwStartType;
        seen.displayName = desktop::Narrow(config->lpDisplayName);
        seen.account = desktop::Narrow(config->lpServiceStartName);
        seen.commandLine = desktop::Narrow(config->lpBinaryPathName);
    }
    return seen;
}

std::vector<std::string> ApprovedServers() {
    std::vector<std::string> hosts;
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ApprovedServersKey().c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return hosts;
    }
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (::RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return hosts;
        }
        hosts.emplace_back(name, length);
    }
}

bool ApproveServer(const std::string& host) {
    return ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, ApprovedServersKey().c_str(), host.c_str(), REG_SZ,
                             "", 1) == ERROR_SUCCESS;
}

bool RequireNts(DWORD value) {
    return ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPolicyKey, "bRequireNts", REG_DWORD, &value,
                             sizeof value) == ERROR_SUCCESS;
}

std::optional<DWORD> MaxUserOffset() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kPolicyKey, "nMaxUserOffset", RRF_RT_REG_DWORD, nullptr,
                       &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

void ForgetInstall() {
    // The service first: its running program would keep its file, and so the folder.
    const ClockServiceSeen service = SeeClockService();
    if (service.openError == ERROR_SUCCESS) {
        const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, service.processId));
        Run("\"" + (kStage / "TickwellClock.exe").string() + "\" remove");
        if (process) {
            ::WaitForSingleObject(process.get(), 10000);
        }
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    std::error_code error;
    fs::remove_all(kFolder, error);
    fs::remove(kShortcut, error);
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey.path().c_str(), "Tickwell");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kEntryKey);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kEventSourceKey);
    desktop::RegistryKey("Software\\Quorvane").DeleteTree();
}

}  // namespace installation
