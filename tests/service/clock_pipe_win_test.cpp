// The service's pipe server with a handler the test controls, and the program's client
// (PlatformClockService) against it and against a stand-in server that misbehaves.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock_service.h"
#include "base/unique_handle_win.h"
#include "service/clock_pipe_server_win.h"

namespace {

const std::wstring kPipe = ClockServicePipeNameWide();

// No service runs in the tests' prefix: the client is told to trust this process's server.
PlatformClockService TrustingThisProcess() {
    return PlatformClockService(
        [] { return std::optional<std::uint32_t>(::GetCurrentProcessId()); });
}

// What the test handler answers: every field depends on the request, so a reply shows that
// the whole request arrived.
ClockServiceReply EchoOf(const ClockServiceRequest& request) {
    ClockServiceReply reply;
    reply.status = ClockServiceStatus::kRefused;
    reply.reason = "asked " + request.host;
    reply.offset = request.offsetSeconds + 0.25;
    reply.delay = 0.0125;
    reply.stratum = static_cast<std::int32_t>(request.host.size() % 16);
    return reply;
}

class ClockPipeTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()) << "error " << ::GetLastError(); }

    ClockServiceReply Handle(std::span<const std::uint8_t> bytes) {
        ++handled_;
        const ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
        if (!parsed.request) {
            return {ClockServiceStatus::kMalformed, parsed.error};
        }
        ::WaitForSingleObject(release_.get(), INFINITE);
        return EchoOf(*parsed.request);
    }

    // Set: the handler answers at once; reset: it holds every request until set again.
    UniqueHandle release_{::CreateEventW(nullptr, TRUE, TRUE, nullptr)};
    std::atomic<int> handled_{0};
    std::atomic<int> observed_{0};
    ClockPipeServer server_{
        [this](std::span<const std::uint8_t> bytes) { return Handle(bytes); },
        [this](std::span<const std::uint8_t>, const ClockServiceReply&) { ++observed_; }};
};

// A handle that is empty when the call that opened it failed.
UniqueHandle Opened(HANDLE handle) {
    return UniqueHandle(handle != INVALID_HANDLE_VALUE ? handle : nullptr);
}

// A client that writes what the test wants, in one message, and reads with no time limit.
class RawClient {
  public:
    RawClient()
        : pipe_(Opened(::CreateFileW(kPipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr))) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        ::SetNamedPipeHandleState(pipe_.get(), &mode, nullptr, nullptr);
    }
    bool connected() const { return static_cast<bool>(pipe_); }
    HANDLE pipe() const { return pipe_.get(); }

    bool Send(const std::vector<std::uint8_t>& bytes) const {
        DWORD written = 0;
        return ::WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    }
    // Empty when the server closed the connection instead of answering.
    std::optional<ClockServiceReply> Receive() const {
        std::array<std::uint8_t, kClockServiceMaxReplySize> buffer{};
        DWORD read = 0;
        if (!::ReadFile(pipe_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                        nullptr)) {
            return std::nullopt;
        }
        return ParseClockServiceReply(std::span(buffer.data(), read));
    }

  private:
    UniqueHandle pipe_;
};

std::vector<std::uint8_t> Encoded(const std::string& host, std::int32_t offset = 0) {
    return EncodeClockServiceRequest({host, offset});
}

TEST_F(ClockPipeTest, TheClientGetsTheHandlersReplyToItsWholeRequest) {
    const std::vector<ClockServiceRequest> requests = {
        {"127.0.0.1", 0},
        {"[2001:db8::1]", -3600},
        {std::string(kClockServiceMaxHostLength, 'h'), 2147483647},
    };
    PlatformClockService client = TrustingThisProcess();
    for (const ClockServiceRequest& request : requests) {
        const ClockServiceAnswer answer = client.Synchronise(request, nullptr);
        EXPECT_TRUE(answer.replied()) << request.host;
        EXPECT_EQ(answer.reply, EchoOf(request)) << request.host;
    }
    EXPECT_EQ(handled_, 3);
}

TEST_F(ClockPipeTest, AHostileClientGetsAnErrorAndTheConnectionEnds) {
    const std::vector<std::uint8_t> longest(kClockServiceMaxRequestSize, 'x');
    const std::vector<std::uint8_t> tooLong(kClockServiceMaxRequestSize + 1, 'x');
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool handled;  // or refused by the server itself
    };
    const std::vector<Case> cases = {
        {"garbage", {'h', 'e', 'l', 'l', 'o'}, true},
        {"longest message", longest, true},
        {"message too long", tooLong, false},
        {"much too long", std::vector<std::uint8_t>(64 * 1024, 'x'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handled_ = 0;
        observed_ = 0;
        const RawClient client;
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.Send(c.bytes));
        const std::optional<ClockServiceReply> reply = client.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, ClockServiceStatus::kMalformed);
        EXPECT_EQ(reply->reason == ClockPipeServer::kRequestTooLong, !c.handled) << reply->reason;
        EXPECT_EQ(handled_, c.handled ? 1 : 0);
        EXPECT_EQ(observed_, 1);
        // One request per connection: a proper one after it is not served.
        client.Send(Encoded("127.0.0.1"));
        EXPECT_FALSE(client.Receive());
        EXPECT_EQ(handled_, c.handled ? 1 : 0);
    }
}

TEST_F(ClockPipeTest, ASilentClientIsCutOffWhileOthersAreServed) {
    const RawClient silent;
    ASSERT_TRUE(silent.connected());
    const ClockServiceRequest request{"127.0.0.1", 5};
    EXPECT_EQ(TrustingThisProcess().Synchronise(request, nullptr).reply, EchoOf(request));
    DWORD waiting = 1;
    ASSERT_TRUE(::PeekNamedPipe(silent.pipe(), nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(waiting, 0u) << "cut off before the other client was served";

    const std::optional<ClockServiceReply> reply = silent.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, ClockServiceStatus::kMalformed);
    EXPECT_EQ(reply->reason, ClockPipeServer::kNoRequestInTime);
    silent.Send(Encoded("127.0.0.1"));
    EXPECT_FALSE(silent.Receive());
    EXPECT_EQ(handled_, 1);
}

TEST_F(ClockPipeTest, StoppingEndsTheWaitForASilentClient) {
    const RawClient silent;
    ASSERT_TRUE(silent.connected());
    server_.Stop();  // would answer after the time limit if the stop did not end the wait
    EXPECT_FALSE(silent.Receive());
    EXPECT_EQ(observed_, 0);
}

class FlagInterrupter : public QueryInterrupter {
  public:
    bool Interrupted() const override { return flag; }
    std::atomic<bool> flag{false};
};

TEST_F(ClockPipeTest, AnInterruptedClientGivesUpWithoutWaitingForTheReply) {
    ::ResetEvent(release_.get());
    FlagInterrupter interrupter;
    std::thread interrupt([&] {
        while (handled_ == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        interrupter.flag = true;
    });
    // The handler holds the request until the client has returned: had the client waited for
    // the reply, it would have given up only after its 30 seconds, with a failure.
    EXPECT_EQ(TrustingThisProcess().Synchronise({"127.0.0.1", 0}, &interrupter).outcome,
              ClockServiceAnswer::Outcome::kStopped);
    ::SetEvent(release_.get());
    interrupt.join();
}

// Stands in for the service: takes one request and answers with the test's bytes, or
// closes the connection when there are none. Created first, it holds the pipe's name.
class StandInServer {
  public:
    explicit StandInServer(std::optional<std::vector<std::uint8_t>> reply)
        : pipe_(Opened(::CreateNamedPipeW(kPipe.c_str(), PIPE_ACCESS_DUPLEX,
                                          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096,
                                          0, nullptr))),
          thread_([this, reply = std::move(reply)] {
              ::ConnectNamedPipe(pipe_.get(), nullptr);
              std::array<std::uint8_t, 4096> request{};
              DWORD bytes = 0;
              ::ReadFile(pipe_.get(), request.data(), static_cast<DWORD>(request.size()), &bytes,
                         nullptr);
              requestBytes_ = bytes;
              if (reply) {
                  ::WriteFile(pipe_.get(), reply->data(), static_cast<DWORD>(reply->size()), &bytes,
                              nullptr);
                  ::ReadFile(pipe_.get(), request.data(), 1, &bytes, nullptr);  // until closed
              }
              ::DisconnectNamedPipe(pipe_.get());
          }) {}
    ~StandInServer() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Once the client has gone.
    DWORD RequestBytes() {
        thread_.join();
        return requestBytes_;
    }

  private:
    UniqueHandle pipe_;
    std::atomic<DWORD> requestBytes_{0};
    std::thread thread_;
};

TEST(ClockServiceClientTest, SaysWhatAMissingOrBrokenServiceAnswered) {
    using Outcome = ClockServiceAnswer::Outcome;
    const ClockServiceAnswer none = TrustingThisProcess().Synchronise({"127.0.0.1", 0}, nullptr);
    EXPECT_EQ(none.outcome, Outcome::kNoService);
    EXPECT_EQ(none.pipeError, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND)) << "no pipe";

    std::vector<std::uint8_t> tooLong = EncodeClockServiceReply(
        {ClockServiceStatus::kRefused, std::string(kClockServiceMaxReasonLength, 'r')});
    tooLong.resize(kClockServiceMaxReplySize + 1, 'r');
    struct Case {
        const char* name;
        std::optional<std::vector<std::uint8_t>> reply;
        Outcome expected;
        bool pipeError;  // the pipe's error is kept
    };
    const std::vector<Case> cases = {
        {"closes without a reply", std::nullopt, Outcome::kNoService, true},
        {"garbage", std::vector<std::uint8_t>{'T', 'W', 'C', 'A', 9}, Outcome::kUnreadable, false},
        {"longer than any reply", tooLong, Outcome::kUnreadable, false},
    };
    for (const Case& c : cases) {
        StandInServer server(c.reply);
        const ClockServiceAnswer answer =
            TrustingThisProcess().Synchronise({"127.0.0.1", 0}, nullptr);
        EXPECT_EQ(answer.outcome, c.expected) << c.name;
        EXPECT_EQ(answer.pipeError != 0, c.pipeError) << c.name << " " << answer.pipeError;
    }
}

// A process that made the pipe before the service could would answer every request with
// success while the clock drifts: it gets no request, and the run fails with the reason.
TEST(ClockServiceClientTest, SendsNothingToAServerThatIsNotTheService) {
    const std::vector<std::uint8_t> synchronised =
        EncodeClockServiceReply({ClockServiceStatus::kSynchronised, "", 0.0, 0.001, 1});
    struct Case {
        PlatformClockService client;
        bool serviceRunning;
    };
    // No Tickwell Clock service is installed in the tests' prefix.
    std::vector<Case> cases = {
        {PlatformClockService(), false},
        {PlatformClockService([] { return std::optional<std::uint32_t>(4); }), true},
    };
    for (Case& c : cases) {
        StandInServer server(synchronised);
        const ClockServiceAnswer answer = c.client.Synchronise({"127.0.0.1", 0}, nullptr);
        EXPECT_EQ(answer.outcome, ClockServiceAnswer::Outcome::kDistrusted);
        EXPECT_EQ(answer.serverProcess, ::GetCurrentProcessId());
        EXPECT_EQ(answer.serviceRunning, c.serviceRunning);
        EXPECT_EQ(server.RequestBytes(), 0u);
    }
}

}  // namespace
