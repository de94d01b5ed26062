#include "sync/run_gate.h"

#include <gtest/gtest.h>

#include <future>

#include "platform/clock.h"
#include "ntp/sntp_client.h"
#include "tests/support/fault_sntp_server.h"

namespace {

TEST(RunGateTest, EffectsOfAnAbandonedRunNeverApply) {
    RunGate gate;
    const RunGate::Generation first = gate.BeginRun();
    EXPECT_TRUE(gate.Apply(first, [](SyncRecord& r) { r.connectStatus = "first"; }));
    gate.AbandonRun();
    bool ran = false;
    EXPECT_FALSE(gate.Apply(first, [&](SyncRecord&) { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ("first", gate.Record().connectStatus);

    const RunGate::Generation second = gate.BeginRun();
    EXPECT_FALSE(gate.IsCurrent(first));
    EXPECT_TRUE(gate.IsCurrent(second));
    EXPECT_TRUE(gate.Apply(RunGate::kAlways, [](SyncRecord& r) { r.connectStatus = "test"; }));
    EXPECT_EQ("test", gate.Record().connectStatus);
}

TEST(RunGateTest, AbandoningEndsAWaitingQuerySoon) {
    FaultSntpServer silent({.fault = Fault::kSilent});
    RunGate gate;
    const RunGate::Generation generation = gate.BeginRun();
    RunInterrupter interrupter(gate, generation);
    PlatformClock clock;
    SntpClient client(clock, 60000, &interrupter);
    auto query = std::async(std::launch::async, [&] {
        SntpResult result;
        return client.Query(silent.address().c_str(), &result, silent.port());
    });
    while (silent.requests() == 0) {
        std::this_thread::yield();
    }
    gate.AbandonRun();
    ASSERT_EQ(std::future_status::ready, query.wait_for(std::chrono::seconds(10)));
    EXPECT_FALSE(query.get());
    EXPECT_EQ(SntpClient::kErrorInterrupted, client.failure().code);

    // A query of an abandoned run does not even start.
    SntpResult result;
    EXPECT_FALSE(client.Query(silent.address().c_str(), &result, silent.port()));
    EXPECT_EQ(1, silent.requests());
}

TEST(RunGateTest, AbandoningClosesTheRunsOpenBox) {
    RunGate gate;
    const RunGate::Generation generation = gate.BeginRun();
    RunGate::RunBoxGuard guard(gate, generation);
    int closes = 0;
    EXPECT_TRUE(guard.Opened([&] { ++closes; }));
    gate.AbandonRun();
    EXPECT_EQ(1, closes);
    guard.Closed();
    gate.AbandonRun();
    EXPECT_EQ(1, closes);
    EXPECT_FALSE(guard.Opened([&] { ++closes; }));  // too late to be shown
}

}  // namespace
