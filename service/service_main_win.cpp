// TickwellClock.exe: the Tickwell Clock service when the service control manager starts it
// (no arguments), and its own installer for the setup program: install, stop, remove; and
// for the MSI, which installs the service itself, configure.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "service/clock_service_host_win.h"
#include "service/service_installer_win.h"

namespace {

constexpr const char* kUsage =
    "usage: TickwellClock.exe [install | stop | remove | configure [HOST...]]\n"
    "  Without a word it runs as the Tickwell Clock service, which only the service control\n"
    "  manager can start. configure completes an install that created the service itself:\n"
    "  it writes the default machine policy and approves each HOST.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        if (RunClockService()) {
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        std::fprintf(stderr,
                     "the service could not connect to the service control manager (error %lu)\n",
                     error);
        return 1;
    }
    ServiceInstaller installer(stderr);
    if (argc == 2 && std::strcmp(argv[1], "install") == 0) {
        return installer.Install() ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "stop") == 0) {
        return installer.Stop() ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "remove") == 0) {
        return installer.Remove() ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "configure") == 0) {
        return installer.ConfigureInstalled({argv + 2, argv + argc}) ? 0 : 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
