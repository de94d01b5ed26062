// Installs, stops and removes the Tickwell Clock service through the service control
// manager, for the setup program. A manager still busy (at boot, or starting another
// installer's service) is given time. Each step says what went wrong on the stream it is
// given; a step that only Wine refuses (the required privileges) is a warning there, not a
// failure.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/unique_handle_win.h"

class ServiceInstaller {
  public:
    static constexpr DWORD kStartLimitMs = 30000;
    static constexpr DWORD kStopLimitMs = 10000;

    explicit ServiceInstaller(std::FILE* messages) : messages_(messages) {}

    // Creates the service, or brings an installed one's configuration up to date, registers
    // its event source, writes the default machine policy, and starts the service.
    bool Install();
    // Stops the service if it runs. True also when it is not installed.
    bool Stop();
    // Stops and deletes the service, its event source and the machine policy. True also
    // when it is not installed.
    bool Remove();
    // For a package that installs the service with its own tables (the MSI), what those
    // cannot say: limits the installed service's privileges, and writes the default machine
    // policy with `moreServers` approved too. A host that is none changes nothing.
    bool ConfigureInstalled(const std::vector<std::string>& moreServers);

  private:
    using SteadyClock = std::chrono::steady_clock;

    // Calls the service control manager's function again while the manager is busy (see
    // ServiceManagerRetry); a final failure's error stays the thread's last error.
    template <typename Function, typename... Arguments>
    auto Retried(Function function, Arguments... arguments);
    UniqueServiceHandle CreateOrUpdate(SC_HANDLE manager);
    bool Configure(SC_HANDLE service);
    bool WritePolicy(const std::vector<std::string>& moreServers);
    bool StartAndWait(SC_HANDLE service);
    bool StopAndWait(SC_HANDLE service);
    bool Fail(const char* what, DWORD error);
    void Say(const std::string& line);

    std::FILE* messages_;
    // Install, Stop and Remove each retry for ServiceManagerRetry::kLimit in all.
    SteadyClock::time_point stepBegan_;
};
