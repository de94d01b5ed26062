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
constexpr std::chrono::seconds kReplyLimit{ClockService::kReplyLimitSeconds};

// Trouble on the way to the service, as a reply that did not synchronise.
ClockServiceReply Trouble(FailureKind kind, DWORD error = 0) {
    Failure failure = FailureOf(kind);
    failure.error = error;
    if (kind == FailureKind::kServiceTimedOut) {
        failure.timeoutMs = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kReplyLimit).count());
    }
    return UnsuccessfulReply(ClockServiceStatus::kFailed, std::move(failure));
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

// Empty when the pipe's server is the trusted process, else the reply that says who it is.
std::optional<ClockServiceReply> Distrust(HANDLE pipe,
                                          const std::optional<std::uint32_t>& trusted) {
    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &server)) {
        return Trouble(FailureKind::kServiceUnidentified, ::GetLastError());
    }
    if (trusted && server == *trusted) {
        return std::nullopt;
    }
    ClockServiceReply distrusted =
        Trouble(trusted ? FailureKind::kPipeNotTheService : FailureKind::kPipeWithoutService);
    distrusted.failure.process = server;
    return distrusted;
}

// One request in the version, and its reply, over a connection of its own.
ClockServiceReply AskInVersion(const ClockServiceRequest& request, std::uint16_t version,
                               const std::optional<std::uint32_t>& trusted, const PipeWait& wait) {
    DWORD openError = 0;
    const UniqueHandle pipe = OpenPipe(ClockServicePipeNameWide(), wait.interrupter, &openError);
    if (!pipe) {
        return openError == 0 ? Trouble(FailureKind::kAbandoned)
                              : Trouble(FailureKind::kServiceSilent, openError);
    }
    if (std::optional<ClockServiceReply> distrusted = Distrust(pipe.get(), trusted)) {
        return *distrusted;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        return Trouble(FailureKind::kServiceSilent, ::GetLastError());
    }

    const std::vector<std::uint8_t> encoded = EncodeClockServiceRequest(request, version);
    const PipeTransfer sent = WritePipeMessage(pipe.get(), encoded, wait);
    std::array<std::uint8_t, kClockServiceMaxReplySize> buffer{};
    const PipeTransfer received =
        sent.result == PipeTransferResult::kDone ? ReadPipeMessage(pipe.get(), buffer, wait) : sent;
    switch (received.result) {
        case PipeTransferResult::kDone:
            break;
        case PipeTransferResult::kMessageTooLong:
            return Trouble(FailureKind::kServiceUnreadable);
        case PipeTransferResult::kTimedOut:
            // The service may still set the clock: the run must not fall back to setting it too.
            return Trouble(FailureKind::kServiceTimedOut);
        case PipeTransferResult::kBroken:
            return Trouble(FailureKind::kServiceSilent, received.error);
        case PipeTransferResult::kStopped:
            return Trouble(FailureKind::kAbandoned);
    }
    std::optional<ClockServiceReply> reply =
        ParseClockServiceReply(std::span(buffer.data(), received.bytes));
    return reply ? std::move(*reply) : Trouble(FailureKind::kServiceUnreadable);
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

ClockServiceReply PlatformClockService::Synchronise(const ClockServiceRequest& request,
                                                    const QueryInterrupter* interrupter) {
    const PipeWait wait{.deadline = SteadyClock::now() + kReplyLimit, .interrupter = interrupter};
    const std::optional<std::uint32_t> trusted = trusted_();
    return AskNewestFirst(
        [&](std::uint16_t version) { return AskInVersion(request, version, trusted, wait); });
}
