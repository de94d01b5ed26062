#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "platform/clock_service.h"
#include "platform/pipe_transfer_win.h"
#include "base/unique_handle_win.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// Every instance busy: the service lets go of each client within seconds.
constexpr std::chrono::milliseconds kBusyWait{2000};
// The service may make two SNTP exchanges of 5 s each, after a name lookup.
constexpr std::chrono::milliseconds kReplyLimit{30000};

UniqueHandle OpenPipe(const std::wstring& name, const QueryInterrupter* interrupter) {
    const auto busyUntil = SteadyClock::now() + kBusyWait;
    for (;;) {
        // Whoever holds the pipe's name may only identify this process, never act as it.
        const HANDLE pipe = ::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            return UniqueHandle(pipe);
        }
        if (::GetLastError() != ERROR_PIPE_BUSY || IsInterrupted(interrupter)) {
            return {};
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(busyUntil - SteadyClock::now()).count();
        if (left <= 0) {
            return {};
        }
        const auto slice =
            static_cast<DWORD>(std::min<long long>(left, QueryInterrupter::kCheckIntervalMs));
        if (!::WaitNamedPipeW(name.c_str(), slice) && ::GetLastError() != ERROR_SEM_TIMEOUT) {
            return {};  // gone meanwhile
        }
    }
}

ClockServiceReply Failed(std::string reason) {
    return UnsuccessfulReply(ClockServiceStatus::kFailed, std::move(reason));
}

// Why the pipe's server is not to be trusted; empty when it is the trusted process.
std::optional<std::string> Distrust(HANDLE pipe, const std::optional<std::uint32_t>& trusted) {
    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &server)) {
        return "cannot tell which process serves the service's pipe (error " +
               std::to_string(::GetLastError()) + ")";
    }
    if (!trusted) {
        return "the service is not running, yet process " + std::to_string(server) +
               " serves its pipe";
    }
    if (server != *trusted) {
        return "process " + std::to_string(server) + " serves the service's pipe, not the service";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> RunningClockServiceProcess() {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceW(manager.get(), kClockServiceName, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (!service ||
        !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&status), sizeof status, &size) ||
        status.dwCurrentState != SERVICE_RUNNING) {
        return std::nullopt;
    }
    return status.dwProcessId;
}

PlatformClockService::PlatformClockService() : trusted_(&RunningClockServiceProcess) {}

std::optional<ClockServiceReply> PlatformClockService::Synchronise(
    const ClockServiceRequest& request, const QueryInterrupter* interrupter) {
    const PipeWait wait{.deadline = SteadyClock::now() + kReplyLimit, .interrupter = interrupter};
    const UniqueHandle pipe = OpenPipe(ClockServicePipeNameWide(), interrupter);
    if (!pipe) {
        return std::nullopt;
    }
    if (const std::optional<std::string> distrust = Distrust(pipe.get(), trusted_())) {
        return Failed(*distrust);
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        return std::nullopt;
    }

    const std::vector<std::uint8_t> encoded = EncodeClockServiceRequest(request);
    const PipeTransfer sent = WritePipeMessage(pipe.get(), encoded, wait);
    std::array<std::uint8_t, kClockServiceMaxReplySize> buffer{};
    const PipeTransfer received =
        sent.result == PipeTransferResult::kDone ? ReadPipeMessage(pipe.get(), buffer, wait) : sent;
    switch (received.result) {
        case PipeTransferResult::kDone:
            break;
        case PipeTransferResult::kMessageTooLong:
            return Failed("the service's reply could not be read");
        case PipeTransferResult::kTimedOut:
            // The service may still set the clock: the run must not fall back to setting it too.
            return Failed("the Tickwell Clock service did not answer within 30 seconds");
        case PipeTransferResult::kBroken:
        case PipeTransferResult::kStopped:
            return std::nullopt;
    }
    std::optional<ClockServiceReply> reply =
        ParseClockServiceReply(std::span(buffer.data(), received.bytes));
    if (!reply) {
        return Failed("the service's reply could not be read");
    }
    return reply;
}
