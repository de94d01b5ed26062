#include "sync/server_tester.h"

namespace {

// A test's box is the user's to close: nothing abandons a test.
class TestBoxGuard : public BoxGuard {
  public:
    bool Opened(std::function<void()>) override { return true; }
    void Closed() override {}
};

}  // namespace

RunResult ServerTester::Test(const TimeServer& server) {
    const std::string& host = server.host;
    const NetworkSession session(access_.network);
    if (const Failure failure = NetworkStartFailure(session.result()); failure.failed()) {
        RunEvent event;
        event.kind = RunEvent::Kind::kFailed;
        event.step = RunStep::kNetworkStart;
        event.result.host = host;
        event.result.failure = failure;
        event.local = access_.clock.LocalTime();
        TestBoxGuard guard;
        reporter_.ShowBox(event, guard);
        return event.result;
    }
    SntpClient client(access_.clock, access_.sntpTimeoutMs);
    // Measuring only: the correction never sets the clock.
    ClockCorrection correction(
        access_.clock, client, access_.sntpPort, [](const std::function<void()>&) { return false; },
        access_.keys);
    return ResultOf(host, correction.Measure(server));
}
