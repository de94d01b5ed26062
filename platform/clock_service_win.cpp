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
constexpr std::chrono::seconds kReplyLimit{ClockServiceAnswer::kReplyLimitSeconds};

using Outcome = ClockServiceAnswer::Outcome;

ClockServiceAnswer Answer(Outcome outcome, DWORD pipeError = 0) {
    ClockServiceAnswer answer;
    answer.outcome = outcome;
    answer.pipeError = pipeError;
    return answer;
}

// The pipe, or the error of the call that failed; an interrupted wait leaves no error.
UniqueHandle OpenPipe(const std::wstring& name, const QueryInterrupter* interrupter, DWORD* error) {
    const auto busyUntil = SteadyClock::now() + kBusyWait;
    for (;;) {
        // Whoever holds the pipe's name may only identify this process, never act as it.
        const HANDLE pipe = ::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            return UniqueHandle(pipe);
        }
        *error = ::GetLastError();
        if (*error != ERROR_PIPE_BUSY) {
            return {};
        }
        if (IsInterrupted(interrupter)) {
            *error = 0;
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
            *error = ::GetLastError();
            return {};  // gone meanwhile
        }
    }
}

// Empty when the pipe's server is the trusted process, else the answer that says who it is.
std::optional<ClockServiceAnswer> Distrust(HANDLE pipe,
                                           const std::optional<std::uint32_t>& trusted) {
    ClockServiceAnswer distrusted = Answer(Outcome::kDistrusted);
    distrusted.serviceRunning = trusted.has_value();
    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &server)) {
        distrusted.pipeError = ::GetLastError();
        return distrusted;
    }
    if (trusted && server == *trusted) {
        return std::nullopt;
    }
    distrusted.serverProcess = server;
    return distrusted;
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

ClockServiceAnswer PlatformClockService::Synchronise(const ClockServiceRequest& request,
                                                     const QueryInterrupter* interrupter) {
    const PipeWait wait{.deadline = SteadyClock::now() + kReplyLimit, .interrupter = interrupter};
    DWORD openError = 0;
    const UniqueHandle pipe = OpenPipe(ClockServicePipeNameWide(), interrupter, &openError);
    if (!pipe) {
        return Answer(openError == 0 ? Outcome::kStopped : Outcome::kNoService, openError);
    }
    if (std::optional<ClockServiceAnswer> distrusted = Distrust(pipe.get(), trusted_())) {
        return *distrusted;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        return Answer(Outcome::kNoService, ::GetLastError());
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
            return Answer(Outcome::kUnreadable);
        case PipeTransferResult::kTimedOut:
            // The service may still set the clock: the run must not fall back to setting it too.
            return Answer(Outcome::kTimedOut);
        case PipeTransferResult::kBroken:
            return Answer(Outcome::kNoService, received.error);
        case PipeTransferResult::kStopped:
            return Answer(Outcome::kStopped);
    }
    std::optional<ClockServiceReply> reply =
        ParseClockServiceReply(std::span(buffer.data(), received.bytes));
    if (!reply) {
        return Answer(Outcome::kUnreadable);
    }
    ClockServiceAnswer answer = Answer(Outcome::kReplied);
    answer.reply = std::move(*reply);
    return answer;
}
