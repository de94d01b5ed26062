#include "service/clock_pipe_server_win.h"

#include <sddl.h>

#include <array>
#include <chrono>
#include <exception>

#include "platform/pipe_transfer_win.h"

namespace {

// The service itself (SYSTEM or LOCAL SERVICE) may do anything; a signed-in user may send a
// request and read the reply (0x12019b: generic read and write without
// FILE_CREATE_PIPE_INSTANCE, so no user can add an instance of this pipe and answer other
// users' requests in the service's place). Nobody else, and no other computer, may connect.
constexpr const wchar_t* kPipeSecurity = L"D:P(A;;GA;;;SY)(A;;GA;;;LS)(A;;0x12019b;;;IU)";
// After an unexpected failure to wait for a client, so that it cannot become a busy loop.
constexpr DWORD kRetryAfterFailureMs = 1000;

UniqueLocalMemory PipeSecurityDescriptor() {
    UniqueLocalMemory descriptor;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1,
                                                           descriptor.put(), nullptr);
    return descriptor;
}

PipeWait ClientLimit(HANDLE stop) {
    return {.deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(ClockPipeServer::kClientLimitMs),
            .stopEvent = stop};
}

}  // namespace

ClockPipeServer::ClockPipeServer(Handler handler, Observer observer)
    : handler_(std::move(handler)), observer_(std::move(observer)) {}

ClockPipeServer::~ClockPipeServer() {
    Stop();
}

bool ClockPipeServer::Start() {
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const UniqueLocalMemory descriptor = PipeSecurityDescriptor();
    if (!stop_ || !descriptor) {
        return false;
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor.get(), FALSE};
    const std::wstring name = ClockServicePipeNameWide();
    for (DWORD i = 0; i < kInstances; ++i) {
        // The first instance fails when another process made the pipe before the service did.
        const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        const HANDLE pipe = ::CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            kInstances, kClockServiceMaxReplySize, kClockServiceMaxRequestSize, 0, &security);
        if (pipe == INVALID_HANDLE_VALUE) {
            pipes_.clear();
            return false;
        }
        pipes_.emplace_back(pipe);
    }
    for (const UniqueHandle& pipe : pipes_) {
        threads_.emplace_back(&ClockPipeServer::Serve, this, pipe.get());
    }
    return true;
}

void ClockPipeServer::Stop() {
    if (stop_) {
        ::SetEvent(stop_.get());
    }
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
    pipes_.clear();
}

void ClockPipeServer::Serve(HANDLE pipe) {
    for (;;) {
        const PipeTransfer connected =
            ConnectPipeClient(pipe, {.deadline = std::nullopt, .stopEvent = stop_.get()});
        if (connected.result == PipeTransferResult::kStopped) {
            return;
        }
        if (connected.result == PipeTransferResult::kDone) {
            ServeClient(pipe);
        } else if (connected.error != ERROR_NO_DATA &&  // a client that came and went at once
                   ::WaitForSingleObject(stop_.get(), kRetryAfterFailureMs) == WAIT_OBJECT_0) {
            return;
        }
        ::DisconnectNamedPipe(pipe);
    }
}

void ClockPipeServer::ServeClient(HANDLE pipe) {
    std::array<std::uint8_t, kClockServiceMaxRequestSize> buffer{};
    const PipeWait requestLimit = ClientLimit(stop_.get());
    const PipeTransfer read = ReadPipeMessage(pipe, buffer, requestLimit);
    std::span<const std::uint8_t> request;
    ClockServiceReply reply;
    switch (read.result) {
        case PipeTransferResult::kDone:
            request = std::span(buffer.data(), read.bytes);
            try {
                reply = handler_(request);
            } catch (const std::exception& error) {
                // Whatever went wrong, the service goes on serving the next client.
                Failure failure = FailureOf(FailureKind::kOther);
                failure.account = std::string("the service could not handle it: ") + error.what();
                reply = UnsuccessfulReply(ClockServiceStatus::kFailed, std::move(failure));
            }
            break;
        case PipeTransferResult::kMessageTooLong:
            // Its rest would otherwise read as the client's goodbye, and the reply be lost.
            while (ReadPipeMessage(pipe, buffer, requestLimit).result ==
                   PipeTransferResult::kMessageTooLong) {
            }
            reply = MalformedReply(kRequestTooLong);
            break;
        case PipeTransferResult::kTimedOut:
            reply = MalformedReply(kNoRequestInTime);
            break;
        case PipeTransferResult::kBroken:
        case PipeTransferResult::kStopped:
            return;
    }
    observer_(request, reply);
    // In the version the client asked in; a request that could not be read, in the first.
    const std::vector<std::uint8_t> encoded =
        EncodeClockServiceReply(reply, ParseClockServiceRequest(request).replyVersion);
    if (WritePipeMessage(pipe, encoded, ClientLimit(stop_.get())).result !=
        PipeTransferResult::kDone) {
        return;
    }
    // Disconnecting throws away a reply the client has not read yet, so the client closes
    // first; a word more from it ends the connection too.
    std::array<std::uint8_t, 1> more{};
    ReadPipeMessage(pipe, more, ClientLimit(stop_.get()));
}
