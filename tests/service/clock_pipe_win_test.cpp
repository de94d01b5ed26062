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
    Failure failure = FailureOf(FailureKind::kOther);
    failure.account = "asked " + request.host;
    ClockServiceReply reply = UnsuccessfulReply(ClockServiceStatus::kRefused, failure);
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
            return MalformedReply(parsed.error);
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

std::vector<std::uint8_t> Encoded(const std::string& host, std::int32_t offset = 0,
                                  std::uint16_t version = kClockServiceProtocolVersion) {
    return EncodeClockServiceRequest({host, offset}, version);
}

TEST_F(ClockPipeTest, TheClientGetsTheHandlersReplyToItsWholeRequest) {
    const std::vector<ClockServiceRequest> requests = {
        {"127.0.0.1", 0},
        {"[2001:db8::1]", -3600},
        {std::string(kClockServiceMaxHostLength, 'h'), 2147483647},
    };
    PlatformClockService client = TrustingThisProcess();
    for (const ClockServiceRequest& request : requests) {
        EXPECT_EQ(client.Synchronise(request, nullptr), EchoOf(request)) << request.host;
    }
    EXPECT_EQ(handled_, 3);
}

// A program of the first version asks in it and reads the reply in it: the service's sentence.
TEST_F(ClockPipeTest, AProgramOfTheFirstVersionIsAnsweredInIt) {
    const RawClient client;
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send(Encoded("127.0.0.1", 0, kClockServiceFirstVersion)));
    std::array<std::uint8_t, kClockServiceMaxReplySize> buffer{};
    DWORD read = 0;
    ASSERT_TRUE(::ReadFile(client.pipe(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                           nullptr));
    EXPECT_EQ(kClockServiceFirstVersion, buffer[4] | (buffer[5] << 8));
    const std::optional<ClockServiceReply> reply =
        ParseClockServiceReply(std::span(buffer.data(), read));
    ASSERT_TRUE(reply);
    EXPECT_EQ("asked 127.0.0.1", reply->reason);
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
    EXPECT_EQ(TrustingThisProcess().Synchronise(request, nullptr), EchoOf(request));
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
    EXPECT_EQ(TrustingThisProcess().Synchronise({"127.0.0.1", 0}, &interrupter).failure.kind,
              FailureKind::kAbandoned);
    ::SetEvent(release_.get());
    interrupt.join();
}

// Stands in for the service: takes one request per connection and answers each with the
// test's next bytes, or closes the connection when there are none. Created first, it holds
// the pipe's name.
class StandInServer {
  public:
    using Reply = std::optional<std::vector<std::uint8_t>>;

    explicit StandInServer(std::vector<Reply> replies)
        : pipe_(Opened(::CreateNamedPipeW(kPipe.c_str(), PIPE_ACCESS_DUPLEX,
                                          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096,
                                          0, nullptr))),
          thread_([this, replies = std::move(replies)] {
              for (const Reply& reply : replies) {
                  ::ConnectNamedPipe(pipe_.get(), nullptr);
                  std::array<std::uint8_t, 4096> request{};
                  DWORD bytes = 0;
                  ::ReadFile(pipe_.get(), request.data(), static_cast<DWORD>(request.size()),
                             &bytes, nullptr);
                  requests_.emplace_back(request.begin(), request.begin() + bytes);
                  if (reply) {
                      ::WriteFile(pipe_.get(), reply->data(), static_cast<DWORD>(reply->size()),
                                  &bytes, nullptr);
                      ::ReadFile(pipe_.get(), request.data(), 1, &bytes, nullptr);  // until closed
                  }
                  ::DisconnectNamedPipe(pipe_.get());
              }
          }) {}
    explicit StandInServer(Reply reply) : StandInServer(std::vector<Reply>{std::move(reply)}) {}
    ~StandInServer() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Once every connection has been served.
    std::vector<std::vector<std::uint8_t>> Requests() {
        thread_.join();
        return requests_;
    }

  private:
    UniqueHandle pipe_;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::thread thread_;
};

TEST(ClockServiceClientTest, SaysWhatAMissingOrBrokenServiceAnswered) {
    const ClockServiceReply none = TrustingThisProcess().Synchronise({"127.0.0.1", 0}, nullptr);
    EXPECT_EQ(none.failure.kind, FailureKind::kServiceSilent);
    EXPECT_EQ(none.failure.error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND)) << "no pipe";

    std::vector<std::uint8_t> tooLong =
        EncodeClockServiceReply(MalformedReply(std::string(kClockServiceMaxReasonLength, 'r')),
                                kClockServiceProtocolVersion);
    tooLong.resize(kClockServiceMaxReplySize + 1, 'r');
    struct Case {
        const char* name;
        StandInServer::Reply reply;
        FailureKind expected;
        bool pipeError;  // the pipe's error is kept
    };
    const std::vector<Case> cases = {
        {"closes without a reply", std::nullopt, FailureKind::kServiceSilent, true},
        {"garbage", std::vector<std::uint8_t>{'T', 'W', 'C', 'A', 9},
         FailureKind::kServiceUnreadable, false},
        {"longer than any reply", tooLong, FailureKind::kServiceUnreadable, false},
    };
    for (const Case& c : cases) {
        StandInServer server(c.reply);
        const ClockServiceReply reply =
            TrustingThisProcess().Synchronise({"127.0.0.1", 0}, nullptr);
        EXPECT_EQ(reply.failure.kind, c.expected) << c.name;
        EXPECT_EQ(reply.failure.error != 0, c.pipeError) << c.name << " " << reply.failure.error;
    }
}

// A service of the first version refuses each later request as malformed, in the first
// version: the program asks again a version lower each time and reads the service's sentence.
TEST(ClockServiceClientTest, AServiceOfTheFirstVersionIsAskedAgainInIt) {
    const auto firstVersionReply = [](ClockServiceStatus status, const std::string& reason) {
        ClockServiceReply reply = MalformedReply(reason);
        reply.status = status;
        return EncodeClockServiceReply(reply, kClockServiceFirstVersion);
    };
    StandInServer server(std::vector<StandInServer::Reply>{
        firstVersionReply(ClockServiceStatus::kMalformed, "unknown version 3"),
        firstVersionReply(ClockServiceStatus::kMalformed, "unknown version 2"),
        firstVersionReply(ClockServiceStatus::kFailed,
                          "Windows refused to set the clock (error 5)")});
    const ClockServiceReply reply =
        TrustingThisProcess().Synchronise({"127.0.0.1", 30, true}, nullptr);
    EXPECT_EQ(FailureKind::kClockRefused, reply.failure.kind);
    EXPECT_EQ(5u, reply.failure.error);
    const std::vector<std::vector<std::uint8_t>> requests = server.Requests();
    ASSERT_EQ(3u, requests.size());
    for (const std::uint16_t version : {3, 2, 1}) {
        EXPECT_EQ(EncodeClockServiceRequest({"127.0.0.1", 30, true}, version),
                  requests[3u - version]);
    }
}

// A process that made the pipe before the service could would answer every request with
// success while the clock drifts: it gets no request, and the run fails with the reason.
TEST(ClockServiceClientTest, SendsNothingToAServerThatIsNotTheService) {
    ClockServiceReply success;
    success.status = ClockServiceStatus::kSynchronised;
    const std::vector<std::uint8_t> synchronised =
        EncodeClockServiceReply(success, kClockServiceProtocolVersion);
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
        const ClockServiceReply reply = c.client.Synchronise({"127.0.0.1", 0}, nullptr);
        EXPECT_EQ(reply.failure.kind, c.serviceRunning ? FailureKind::kPipeNotTheService
                                                       : FailureKind::kPipeWithoutService);
        EXPECT_EQ(reply.failure.process, ::GetCurrentProcessId());
        EXPECT_EQ(server.Requests(), std::vector<std::vector<std::uint8_t>>{{}});
    }
}

}  // namespace
