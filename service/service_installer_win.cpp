#include "service/service_installer_win.h"

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "config/clock_policy.h"
#include "base/system_error_text_win.h"
#include "platform/clock_service_protocol.h"
#include "service/service_identity_win.h"
#include "service/service_manager_retry.h"

namespace {

// The service control manager tells of a state change only to whoever asks.
constexpr std::chrono::milliseconds kPollInterval{100};

std::wstring ThisProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<SERVICE_STATUS_PROCESS> QueryStatus(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof status, &size)) {
        return std::nullopt;
    }
    return status;
}

bool RegisterEventSource(const std::wstring& program, LONG* error) {
    HKEY raw = nullptr;
    *error =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr);
    if (*error != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegistryKey key(raw);
    // The program carries the message table that shows each event's text.
    *error = ::RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(program.c_str()),
                              static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    if (*error != ERROR_SUCCESS) {
        return false;
    }
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    *error = ::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&types), sizeof types);
    return *error == ERROR_SUCCESS;
}

}  // namespace

template <typename Function, typename... Arguments>
auto ServiceInstaller::Retried(Function function, Arguments... arguments) {
    for (;;) {
        const auto result = function(arguments...);
        if (result) {
            return result;
        }
        const DWORD error = ::GetLastError();
        const std::optional<std::chrono::milliseconds> wait = ServiceManagerRetry::WaitBeforeRetry(
            error,
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - stepBegan_));
        if (!wait) {
            ::SetLastError(error);
            return result;
        }
        std::this_thread::sleep_for(*wait);
    }
}

bool ServiceInstaller::Install() {
    stepBegan_ = SteadyClock::now();
    const UniqueServiceHandle manager(Retried(::OpenSCManagerW, nullptr, nullptr,
                                              SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        return Fail("cannot open the service control manager", ::GetLastError());
    }
    const UniqueServiceHandle service = CreateOrUpdate(manager.get());
    if (!service || !Configure(service.get())) {
        return false;
    }
    LONG error = ERROR_SUCCESS;
    if (!RegisterEventSource(ThisProgram(), &error)) {
        return Fail("cannot register the event source", static_cast<DWORD>(error));
    }
    return WritePolicy({}) && StartAndWait(service.get());
}

bool ServiceInstaller::Stop() {
    stepBegan_ = SteadyClock::now();
    const UniqueServiceHandle manager(
        Retried(::OpenSCManagerW, nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Fail("cannot open the service control manager", ::GetLastError());
    }
    const UniqueServiceHandle service(Retried(::OpenServiceW, manager.get(), kClockServiceName,
                                              SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        const DWORD error = ::GetLastError();
        return error == ERROR_SERVICE_DOES_NOT_EXIST || Fail("cannot open the service", error);
    }
    return StopAndWait(service.get());
}

bool ServiceInstaller::Remove() {
    stepBegan_ = SteadyClock::now();
    const UniqueServiceHandle manager(
        Retried(::OpenSCManagerW, nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Fail("cannot open the service control manager", ::GetLastError());
    }
    bool removed = true;
    const UniqueServiceHandle service(Retried(::OpenServiceW, manager.get(), kClockServiceName,
                                              SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (service) {
        // Deleted even when it will not stop: Windows removes it once it does.
        removed = StopAndWait(service.get());
        if (!Retried(::DeleteService, service.get()) &&
            ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
            removed = Fail("cannot delete the service", ::GetLastError());
        }
    } else if (::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
        removed = Fail("cannot open the service", ::GetLastError());
    }
    // What an interrupted install or remove left goes too.
    const LONG error = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, KEY_WOW64_64KEY, 0);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        removed = Fail("cannot remove the event source", static_cast<DWORD>(error));
    }
    if (!RemoveMachineClockPolicy()) {
        Say("cannot remove the machine policy under "
            "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Tickwell");
        removed = false;
    }
    return removed;
}

bool ServiceInstaller::ConfigureInstalled(const std::vector<std::string>& moreServers) {
    stepBegan_ = SteadyClock::now();
    for (const std::string& host : moreServers) {
        const std::string error = HostError(host);
        if (!error.empty()) {
            Say("\"" + host + "\" is no host name or address of a time server: " + error);
            return false;
        }
    }
    const UniqueServiceHandle manager(
        Retried(::OpenSCManagerW, nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Fail("cannot open the service control manager", ::GetLastError());
    }
    const UniqueServiceHandle service(
        Retried(::OpenServiceW, manager.get(), kClockServiceName, SERVICE_CHANGE_CONFIG));
    if (!service) {
        return Fail("cannot open the service", ::GetLastError());
    }
    return Configure(service.get()) && WritePolicy(moreServers);
}

UniqueServiceHandle ServiceInstaller::CreateOrUpdate(SC_HANDLE manager) {
    const std::wstring command = L"\"" + ThisProgram() + L"\"";
    constexpr DWORD kAccess = SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START;
    UniqueServiceHandle service(Retried(::CreateServiceW, manager, kClockServiceName,
                                        kServiceDisplayName, kAccess, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
                                        nullptr, nullptr, nullptr, kServiceAccount, L""));
    if (service) {
        return service;
    }
    if (::GetLastError() != ERROR_SERVICE_EXISTS) {
        Fail("cannot create the service", ::GetLastError());
        return {};
    }
    // An upgrade: the folder or the account may have changed.
    service.reset(Retried(::OpenServiceW, manager, kClockServiceName, kAccess));
    if (!service) {
        Fail("cannot open the service", ::GetLastError());
        return {};
    }
    if (!Retried(::ChangeServiceConfigW, service.get(), SERVICE_WIN32_OWN_PROCESS,
                 SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                 nullptr, kServiceAccount, L"", kServiceDisplayName)) {
        Fail("cannot update the service's configuration", ::GetLastError());
        return {};
    }
    return service;
}

bool ServiceInstaller::Configure(SC_HANDLE service) {
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(kServiceDescription)};
    if (!Retried(::ChangeServiceConfig2W, service, SERVICE_CONFIG_DESCRIPTION, &description)) {
        return Fail("cannot describe the service", ::GetLastError());
    }
    // Windows then strips every other privilege of the account from the service's token.
    wchar_t privileges[] = L"SeSystemtimePrivilege\0";  // a list, ended by an empty entry
    SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges};
    if (!Retried(::ChangeServiceConfig2W, service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO,
                 &required)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_INVALID_LEVEL) {
            return Fail("cannot limit the service's privileges", error);
        }
        // Wine knows no such setting; Windows does.
        Say("warning: the service's privileges could not be limited: " + ErrorTextWithCode(error));
    }
    return true;
}

bool ServiceInstaller::WritePolicy(const std::vector<std::string>& moreServers) {
    if (WriteDefaultMachineClockPolicy(moreServers)) {
        return true;
    }
    Say("cannot write the machine policy under HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Tickwell");
    return false;
}

bool ServiceInstaller::StartAndWait(SC_HANDLE service) {
    if (!Retried(::StartServiceW, service, 0, nullptr) &&
        ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        return Fail("cannot start the service", ::GetLastError());
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kStartLimitMs);
    for (;;) {
        const std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(service);
        if (!status) {
            return Fail("cannot query the service", ::GetLastError());
        }
        if (status->dwCurrentState == SERVICE_RUNNING) {
            return true;
        }
        if (status->dwCurrentState == SERVICE_STOPPED) {
            const DWORD code = status->dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR
                                   ? status->dwServiceSpecificExitCode
                                   : status->dwWin32ExitCode;
            return Fail("the service stopped as it started", code);
        }
        if (SteadyClock::now() >= deadline) {
            Say("the service did not start within " + std::to_string(kStartLimitMs / 1000) +
                " seconds");
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool ServiceInstaller::StopAndWait(SC_HANDLE service) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kStopLimitMs);
    bool asked = false;
    for (;;) {
        const std::optional<SERVICE_STATUS_PROCESS> status = QueryStatus(service);
        if (!status) {
            return Fail("cannot query the service", ::GetLastError());
        }
        const DWORD state = status->dwCurrentState;
        if (state == SERVICE_STOPPED) {
            return true;
        }
        // A service still starting takes no control yet: it is asked once it runs.
        if (!asked && state != SERVICE_START_PENDING && state != SERVICE_STOP_PENDING) {
            SERVICE_STATUS ignored{};
            if (Retried(::ControlService, service, SERVICE_CONTROL_STOP, &ignored)) {
                asked = true;
            } else if (::GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
                return true;
            } else if (::GetLastError() != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) {
                return Fail("cannot stop the service", ::GetLastError());
            }
        }
        if (SteadyClock::now() >= deadline) {
            Say("the service did not stop within " + std::to_string(kStopLimitMs / 1000) +
                " seconds");
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool ServiceInstaller::Fail(const char* what, DWORD error) {
    Say(std::string(what) + ": " + ErrorTextWithCode(error));
    return false;
}

void ServiceInstaller::Say(const std::string& line) {
    std::fprintf(messages_, "%s\n", line.c_str());
}
