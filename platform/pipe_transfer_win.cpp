#include "platform/pipe_transfer_win.h"

#include <algorithm>

#include "base/unique_handle_win.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

enum class Waited { kSignalled, kTimedOut, kStopped, kFailed };

Waited WaitForTransfer(HANDLE transferEvent, const PipeWait& wait) {
    const HANDLE events[] = {transferEvent, wait.stopEvent};
    const DWORD count = wait.stopEvent != nullptr ? 2 : 1;
    for (;;) {
        if (IsInterrupted(wait.interrupter)) {
            return Waited::kStopped;
        }
        DWORD slice = INFINITE;
        if (wait.deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*wait.deadline - SteadyClock::now());
            if (left.count() <= 0) {
                return Waited::kTimedOut;
            }
            slice = static_cast<DWORD>(std::min<long long>(left.count(), INFINITE - 1));
        }
        if (wait.interrupter != nullptr) {
            slice = std::min<DWORD>(slice, QueryInterrupter::kCheckIntervalMs);
        }
        switch (::WaitForMultipleObjects(count, events, FALSE, slice)) {
            case WAIT_OBJECT_0:
                return Waited::kSignalled;
            case WAIT_OBJECT_0 + 1:
                return Waited::kStopped;
            case WAIT_TIMEOUT:
                break;
            default:
                return Waited::kFailed;
        }
    }
}

// Completes a transfer that the call which began it left pending, or reports how it ended.
PipeTransfer Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL completed, const PipeWait& wait) {
    if (!completed) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_MORE_DATA) {
            return {PipeTransferResult::kMessageTooLong, 0, error};
        }
        if (error != ERROR_IO_PENDING) {
            return {PipeTransferResult::kBroken, 0, error};
        }
        const Waited waited = WaitForTransfer(overlapped.hEvent, wait);
        if (waited != Waited::kSignalled) {
            const DWORD waitError = waited == Waited::kFailed ? ::GetLastError() : 0;
            ::CancelIoEx(pipe, &overlapped);
            DWORD ignored = 0;
            ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            switch (waited) {
                case Waited::kTimedOut:
                    return {PipeTransferResult::kTimedOut, 0, ERROR_TIMEOUT};
                case Waited::kStopped:
                    return {PipeTransferResult::kStopped, 0, ERROR_OPERATION_ABORTED};
                default:
                    return {PipeTransferResult::kBroken, 0, waitError};
            }
        }
    }
    DWORD bytes = 0;
    if (::GetOverlappedResult(pipe, &overlapped, &bytes, FALSE)) {
        return {PipeTransferResult::kDone, bytes, 0};
    }
    const DWORD error = ::GetLastError();
    return {error == ERROR_MORE_DATA ? PipeTransferResult::kMessageTooLong
                                     : PipeTransferResult::kBroken,
            bytes, error};
}

UniqueHandle NewTransferEvent() {
    return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// Starts one overlapped read or write with an event of its own and waits for its end.
template <typename StartOperation>
PipeTransfer Transfer(HANDLE pipe, const PipeWait& wait, StartOperation start) {
    const UniqueHandle done = NewTransferEvent();
    if (!done) {
        return {PipeTransferResult::kBroken, 0, ::GetLastError()};
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    return Finish(pipe, overlapped, start(overlapped), wait);
}

}  // namespace

PipeTransfer ReadPipeMessage(HANDLE pipe, std::span<std::uint8_t> buffer, const PipeWait& wait) {
    return Transfer(pipe, wait, [&](OVERLAPPED& overlapped) {
        return ::ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                          &overlapped);
    });
}

PipeTransfer WritePipeMessage(HANDLE pipe, std::span<const std::uint8_t> bytes,
                              const PipeWait& wait) {
    return Transfer(pipe, wait, [&](OVERLAPPED& overlapped) {
        return ::WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                           &overlapped);
    });
}

PipeTransfer ConnectPipeClient(HANDLE pipe, const PipeWait& wait) {
    const UniqueHandle done = NewTransferEvent();
    if (!done) {
        return {PipeTransferResult::kBroken, 0, ::GetLastError()};
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    const BOOL completed = ::ConnectNamedPipe(pipe, &overlapped);
    if (!completed && ::GetLastError() == ERROR_PIPE_CONNECTED) {
        return {PipeTransferResult::kDone, 0, 0};  // the client came before the call
    }
    return Finish(pipe, overlapped, completed, wait);
}
