// program-footprint: Tickwell.exe under Wine. Its start-up time and memory against Wine's
// own notepad.exe started the same way in the same run; whether its memory and handles
// stay flat over thousands of scheduler ticks with synchronisation runs; and "Find the
// best" over 19 servers of which 10 never answer: how long it takes, and how long the
// dialog takes to answer a message meanwhile.
//
// Runs in the benchmark's namespace (bench/program-bench), where Windows reports a
// connection and chronyd serves 127.0.0.1. For the ticks the only server of the catalogue
// cannot be resolved: every scheduled run fails at once, moves the hourly mark and the
// next tick starts the next one.
#include <algorithm>
#include <chrono>
#include <optional>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/tickwell_ids.h"
#include "tests/e2e/desktop.h"
#include "tests/e2e/process.h"
#include "tests/e2e/registry_key.h"

namespace {

using desktop::Milliseconds;
using Clock = std::chrono::steady_clock;

constexpr int kStarts = 5;
constexpr int kTicks = 5000;
constexpr const char* kProfile = "Software\\Quorvane\\Tickwell";

void SeedProfile() {
    desktop::RegistryKey(kProfile).DeleteTree();
    const desktop::RegistryKey options(std::string(kProfile) + "\\Options");
    options.WriteDword("bFirstStart", 0);
    options.WriteDword("nSynPeriod", 1);  // hourly: a failed run makes the next one due
    const desktop::RegistryKey servers(std::string(kProfile) + "\\Servers");
    servers.WriteDword("Servers_Counter", 1);
    servers.WriteString("Servers 0", "Nowhere\nnowhere.invalid\n1 0.000");
}

struct Started {
    desktop::Process process;
    HWND window = nullptr;
    double milliseconds = 0;
};

// From CreateProcess to the first visible top-level window of the process.
Started StartAndTime(const std::string& commandLine, const std::string& windowClass) {
    Started started;
    const auto begin = Clock::now();
    started.process = desktop::Process::Start(commandLine);
    started.window = desktop::WaitForWindow(
        {.processId = started.process.id(), .className = windowClass, .visibleOnly = true},
        Milliseconds(30000));
    started.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    return started;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct SearchTiming {
    double seconds = 0;
    double longestAnswerMs = 0;
    std::string report;
};

// The chooser's "Find the best" over 9 servers that answer and 10 that never do.
std::optional<SearchTiming> TimeFindTheBest(const std::string& tickwell) {
    desktop::RegistryKey(kProfile).DeleteTree();
    const desktop::RegistryKey options(std::string(kProfile) + "\\Options");
    options.WriteDword("bFirstStart", 0);
    options.WriteDword("nSynPeriod", 2);  // no scheduled run meanwhile
    const desktop::RegistryKey servers(std::string(kProfile) + "\\Servers");
    constexpr int kServers = 19;
    servers.WriteDword("Servers_Counter", kServers);
    for (int i = 0; i < kServers; ++i) {
        const std::string address =
            i % 2 == 0 ? "127.0.0." + std::to_string(100 + i) : std::string("127.0.0.1");
        servers.WriteString("Servers " + std::to_string(i),
                            "Server " + std::to_string(i) + "\n" + address + "\n1 0.000");
    }
    desktop::Process program = desktop::Process::Start(tickwell);
    const HWND main = desktop::WaitForWindow(
        {.processId = program.id(), .className = "#32770", .visibleOnly = true},
        Milliseconds(30000));
    std::optional<SearchTiming> timing;
    HWND chooser = nullptr;
    if (main != nullptr && desktop::PostCommand(main, IDC_MAIN_SERVER)) {
        chooser = desktop::WaitForWindow(
            [&](HWND window) {
                return desktop::ProcessOf(window) == program.id() && desktop::IsShown(window) &&
                       ::GetDlgItem(window, IDC_CHOOSER_FIND_BEST) != nullptr;
            },
            Milliseconds(10000));
    }
    if (chooser != nullptr) {
        ::Sleep(500);
        const auto begin = Clock::now();
        desktop::Click(desktop::Control(chooser, IDC_CHOOSER_FIND_BEST));
        SearchTiming measured;
        while (Clock::now() - begin < std::chrono::seconds(60)) {
            const auto answered = desktop::ResponseTime(chooser, Milliseconds(5000));
            const double answeredMs =
                answered ? std::chrono::duration<double, std::milli>(*answered).count() : 5000;
            measured.longestAnswerMs = std::max(measured.longestAnswerMs, answeredMs);
            measured.report = desktop::ControlText(chooser, IDC_CHOOSER_REPORT);
            if (measured.report.rfind("Tested success", 0) == 0) {
                measured.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
                timing = measured;
                break;
            }
            ::Sleep(10);
        }
    }
    program.Kill(Milliseconds(5000));
    return timing;
}

double Megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main() {
    const std::string tickwell = "\"" + desktop::ThisProgramFolder() + "Tickwell.exe\"";
    std::vector<double> ourStarts;
    std::vector<double> peerStarts;
    std::size_t ourMemory = 0;
    std::size_t peerMemory = 0;
    for (int i = 0; i < kStarts; ++i) {
        SeedProfile();
        Started ours = StartAndTime(tickwell, "#32770");
        Started peer = StartAndTime("notepad.exe", "Notepad");
        if (ours.window == nullptr || peer.window == nullptr) {
            std::fprintf(stderr, "program-footprint: no window of %s\n",
                         ours.window == nullptr ? "Tickwell" : "notepad");
            ours.process.Kill(Milliseconds(5000));
            peer.process.Kill(Milliseconds(5000));
            return 1;
        }
        ourStarts.push_back(ours.milliseconds);
        peerStarts.push_back(peer.milliseconds);
        ::Sleep(1000);
        ourMemory = desktop::ResourcesOf(ours.process.handle())->workingSetBytes;
        peerMemory = desktop::ResourcesOf(peer.process.handle())->workingSetBytes;
        ours.process.Kill(Milliseconds(5000));
        peer.process.Kill(Milliseconds(5000));
    }

    SeedProfile();
    desktop::Process program = desktop::Process::Start(tickwell + " StartUp");
    const HWND main = desktop::WaitForWindow(
        [&](HWND window) {
            return desktop::ProcessOf(window) == program.id() &&
                   ::GetDlgItem(window, IDC_MAIN_SYNCHRONIZE) != nullptr;
        },
        Milliseconds(30000));
    if (main == nullptr) {
        std::fprintf(stderr, "program-footprint: no main window\n");
        return 1;
    }
    ::Sleep(2000);
    const desktop::ProcessResources before = *desktop::ResourcesOf(program.handle());
    // The tick does not look at the timer's id, so the benchmark can tick as fast as the
    // window answers. A run starts on every idle tick; it fails within milliseconds.
    const auto ticking = Clock::now();
    for (int tick = 0; tick < kTicks; ++tick) {
        desktop::Send(main, WM_TIMER, 1, 0);
    }
    const double tickSeconds = std::chrono::duration<double>(Clock::now() - ticking).count();
    ::Sleep(2000);
    const std::string status = desktop::ControlText(main, IDC_MAIN_STATUS);
    const desktop::ProcessResources after = *desktop::ResourcesOf(program.handle());
    program.Kill(Milliseconds(5000));
    if (status.rfind("Communication error! ", 0) != 0) {
        std::fprintf(stderr, "program-footprint: the runs did not fail as planned: %s\n",
                     status.c_str());
        return 1;
    }

    const std::optional<SearchTiming> search = TimeFindTheBest(tickwell);
    if (!search) {
        std::fprintf(stderr, "program-footprint: the search did not end\n");
        return 1;
    }
    std::printf(
        "start to shown window (median of %d): Tickwell %.0f ms, notepad %.0f ms, "
        "ratio %.2f\n",
        kStarts, Median(ourStarts), Median(peerStarts), Median(ourStarts) / Median(peerStarts));
    std::printf("working set after start: Tickwell %.1f MiB, notepad %.1f MiB, ratio %.2f\n",
                Megabytes(ourMemory), Megabytes(peerMemory),
                static_cast<double>(ourMemory) / static_cast<double>(peerMemory));
    std::printf("%d ticks in %.1f s, a run started on every idle one\n", kTicks, tickSeconds);
    std::printf(
        "after %d ticks: working set %.1f -> %.1f MiB (ratio %.3f), private %.1f -> "
        "%.1f MiB, handles %lu -> %lu\n",
        kTicks, Megabytes(before.workingSetBytes), Megabytes(after.workingSetBytes),
        static_cast<double>(after.workingSetBytes) / static_cast<double>(before.workingSetBytes),
        Megabytes(before.privateBytes), Megabytes(after.privateBytes),
        static_cast<unsigned long>(before.handles), static_cast<unsigned long>(after.handles));
    std::printf(
        "Find the best, 19 servers of which 10 never answer: %.2f s (goal 5.5 s), "
        "longest answer meanwhile %.1f ms (goal 100 ms)\n  %s\n",
        search->seconds, search->longestAnswerMs, search->report.c_str());
    return 0;
}
