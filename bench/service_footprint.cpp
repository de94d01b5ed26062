// service-footprint: the Tickwell Clock service under Wine. Its idle working set, after its
// start and after a few hundred requests, against an idle console program measured in the
// same run; and the round trip of a synchronisation through the service's pipe against
// chronyd, beside the same query-and-set made in this process.
//
// Runs in the benchmark's namespace (bench/service-bench), in a fresh prefix of its own,
// where chronyd serves 127.0.0.1 from this machine's own clock: every set moves the clock by
// microseconds, which Wine accepts and ignores. That is checked before anything is set.
// Wine ends a prefix's services soon after its last ordinary process, so this program
// installs, drives and removes the service while it runs.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ntp/sntp_client.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/network_stack.h"
#include "base/unique_handle_win.h"
#include "sync/clock_correction.h"
#include "tests/e2e/process.h"

namespace {

using desktop::Milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int kRequests = 200;
constexpr int kWarmUps = 5;  // not counted: the first exchanges load what later ones reuse
constexpr const char* kChronyd = "127.0.0.1";
constexpr int kSntpPort = 123;
// Wine accepts a set below half a second and refuses larger ones; the benchmark stays far
// below, so that not even a real Windows clock would move noticeably.
constexpr double kLargestOffsetSeconds = 0.1;
constexpr Milliseconds kSettle{2000};
constexpr Milliseconds kCommandLimit{60000};
constexpr const char* kApprovedServersKey = "Software\\Quorvane\\Tickwell\\ApprovedServers";

double Megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

std::optional<std::size_t> WorkingSet(HANDLE process) {
    const std::optional<desktop::ProcessResources> resources = desktop::ResourcesOf(process);
    if (!resources) {
        return std::nullopt;
    }
    return resources->workingSetBytes;
}

// The service as TickwellClock.exe installs it for an administrator, removed again at the
// end of the run whatever happened meanwhile.
class InstalledService {
  public:
    explicit InstalledService(std::string program) : program_(std::move(program)) {}
    ~InstalledService() {
        if (installed_) {
            Remove();
        }
    }
    InstalledService(const InstalledService&) = delete;
    InstalledService& operator=(const InstalledService&) = delete;

    // Approves chronyd first: install keeps what an administrator approved.
    bool Install() {
        installed_ = true;
        return ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kApprovedServersKey, kChronyd, REG_SZ, "",
                                 1) == ERROR_SUCCESS &&
               Run("install");
    }
    bool Remove() {
        installed_ = false;
        return Run("remove");
    }

  private:
    bool Run(const std::string& word) const {
        const desktop::Process command = desktop::Process::Start(program_ + " " + word);
        const std::optional<DWORD> exitCode = command.WaitForExit(kCommandLimit);
        if (!exitCode) {
            std::fprintf(stderr, "service-footprint: TickwellClock.exe %s did not end\n",
                         word.c_str());
            return false;
        }
        if (*exitCode != 0) {
            std::fprintf(stderr, "service-footprint: TickwellClock.exe %s ended with %lu\n",
                         word.c_str(), static_cast<unsigned long>(*exitCode));
            return false;
        }
        return true;
    }

    std::string program_;
    bool installed_ = false;
};

// Round trips in milliseconds, and the offsets the exchanges measured.
struct Timings {
    std::vector<double> milliseconds;
    double offsetSum = 0;

    void Add(SteadyClock::duration taken, double offset) {
        milliseconds.push_back(std::chrono::duration<double, std::milli>(taken).count());
        offsetSum += std::fabs(offset);
    }
    double Percentile(double share) const {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        const auto rank = static_cast<std::size_t>(std::ceil(share * sorted.size()));
        return sorted[std::max<std::size_t>(rank, 1) - 1];
    }
    double MeanOffset() const { return offsetSum / static_cast<double>(milliseconds.size()); }
};

// One synchronisation through the service's pipe; false with the reason said when it failed.
bool SynchroniseThroughService(Timings* timings) {
    PlatformClockService service;
    const auto begin = SteadyClock::now();
    const ClockServiceReply reply =
        service.Synchronise({.host = kChronyd, .offsetSeconds = 0}, nullptr);
    const auto taken = SteadyClock::now() - begin;
    if (!reply.ok()) {
        std::fprintf(stderr, "service-footprint: the service did not synchronise: %s (%d)\n",
                     reply.reason.c_str(), static_cast<int>(reply.failure.kind));
        return false;
    }
    timings->Add(taken, reply.offset);
    return true;
}

// The service's own step made here: the same session, client and correction per request as
// its request handler makes, so the difference is the pipe and the hop to its process.
bool SynchroniseInProcess(Clock& clock, NetworkStack& network, Timings* timings) {
    const auto begin = SteadyClock::now();
    const NetworkSession session(network);
    SntpClient client(clock);
    ClockCorrection correction(clock, client, kSntpPort, [](const std::function<void()>& set) {
        set();
        return true;
    });
    const ClockCorrection::Outcome outcome = correction.Correct(kChronyd, 0);
    const auto taken = SteadyClock::now() - begin;
    if (!outcome.ok()) {
        std::fprintf(stderr, "service-footprint: the correction in process failed: %s (%lu)\n",
                     outcome.failure.account.c_str(),
                     static_cast<unsigned long>(outcome.failure.error));
        return false;
    }
    timings->Add(taken, outcome.offset);
    return true;
}

// Whether chronyd's time is this clock's, so that every set the benchmark makes is tiny.
bool ChronydAgreesWithThisClock(Clock& clock, NetworkStack& network) {
    const NetworkSession session(network);
    SntpClient client(clock);
    ClockCorrection correction(clock, client, kSntpPort, [](const std::function<void()>&) {
        return false;  // measuring only
    });
    const ClockCorrection::Outcome outcome = correction.Measure(kChronyd);
    if (!outcome.ok()) {
        std::fprintf(stderr, "service-footprint: chronyd does not answer: %s\n",
                     outcome.failure.account.c_str());
        return false;
    }
    if (std::fabs(outcome.offset) >= kLargestOffsetSeconds) {
        std::fprintf(stderr,
                     "service-footprint: chronyd is %+.3f s off this clock; nothing is set\n",
                     outcome.offset);
        return false;
    }
    return true;
}

}  // namespace

int main() {
    PlatformClock clock;
    PlatformNetworkStack network;
    if (!ChronydAgreesWithThisClock(clock, network)) {
        return 1;
    }
    const std::string folder = desktop::ThisProgramFolder();
    InstalledService installed("\"" + folder + "TickwellClock.exe\"");
    const std::optional<std::uint32_t> serviceId =
        installed.Install() ? RunningClockServiceProcess() : std::nullopt;
    if (!serviceId) {
        std::fprintf(stderr, "service-footprint: the service is not running\n");
        return 1;
    }
    const UniqueHandle service(::OpenProcess(
        PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, *serviceId));
    desktop::Process peer = desktop::Process::Start("\"" + folder + "idle-console.exe\"");
    ::Sleep(static_cast<DWORD>(kSettle.count()));
    const std::optional<std::size_t> serviceStarted = WorkingSet(service.get());
    const std::optional<std::size_t> peerIdle = WorkingSet(peer.handle());
    if (!serviceStarted || !peerIdle) {
        std::fprintf(stderr, "service-footprint: no working set of the %s\n",
                     serviceStarted ? "idle console program" : "service");
        return 1;
    }

    // In turns, so that whatever else the machine does meanwhile weighs on both alike.
    Timings throughService;
    Timings inProcess;
    for (int i = 0; i < kWarmUps + kRequests; ++i) {
        Timings warmUp;
        Timings* const serviceTimings = i < kWarmUps ? &warmUp : &throughService;
        Timings* const ownTimings = i < kWarmUps ? &warmUp : &inProcess;
        if (!SynchroniseThroughService(serviceTimings) ||
            !SynchroniseInProcess(clock, network, ownTimings)) {
            return 1;
        }
    }
    ::Sleep(static_cast<DWORD>(kSettle.count()));
    const std::optional<std::size_t> serviceUsed = WorkingSet(service.get());
    const std::optional<std::size_t> peerLater = WorkingSet(peer.handle());
    peer.Kill(kCommandLimit);
    if (!serviceUsed || !peerLater) {
        std::fprintf(stderr, "service-footprint: no working set after the requests\n");
        return 1;
    }

    const bool removed = installed.Remove();
    const bool ended =
        ::WaitForSingleObject(service.get(), static_cast<DWORD>(kCommandLimit.count())) ==
        WAIT_OBJECT_0;
    if (!removed || !ended || RunningClockServiceProcess()) {
        std::fprintf(stderr, "service-footprint: the service was not removed\n");
        return 1;
    }

    std::printf(
        "peer: idle-console.exe, a MinGW console program of ours that only sleeps, since the "
        "service is an idle console program too (notepad would add a window it never has)\n");
    std::printf(
        "working set after start: TickwellClock %.1f MiB, idle-console %.1f MiB, ratio %.2f\n",
        Megabytes(*serviceStarted), Megabytes(*peerIdle),
        static_cast<double>(*serviceStarted) / static_cast<double>(*peerIdle));
    std::printf(
        "working set after %d requests: TickwellClock %.1f MiB (%.3f of after start), "
        "idle-console %.1f MiB, ratio %.2f\n",
        kRequests + kWarmUps, Megabytes(*serviceUsed),
        static_cast<double>(*serviceUsed) / static_cast<double>(*serviceStarted),
        Megabytes(*peerLater), static_cast<double>(*serviceUsed) / static_cast<double>(*peerLater));
    const auto print = [](const char* way, const Timings& timings) {
        std::printf("  %-19s median %.2f ms, p90 %.2f ms, mean |offset| %.6f s\n", way,
                    timings.Percentile(0.5), timings.Percentile(0.9), timings.MeanOffset());
    };
    std::printf("synchronisation against chronyd, %d each, in turns:\n", kRequests);
    print("through the service", throughService);
    print("in process", inProcess);
    std::printf("  ratio of medians %.2f, of p90 %.2f\n",
                throughService.Percentile(0.5) / inProcess.Percentile(0.5),
                throughService.Percentile(0.9) / inProcess.Percentile(0.9));
    std::printf("service installed, approved 127.0.0.1, ran and was removed\n");
    return 0;
}
