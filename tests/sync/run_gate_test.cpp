#include "sync/run_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

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
    EXPECT_FALSE(gate.Apply(first, [&](SyncRecord& r) {
        r.connectStatus = "late";
        ran = true;
    }));
    EXPECT_FALSE(gate.Apply(first, [&] { ran = true; }));
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
    EXPECT_EQ(static_cast<std::uint32_t>(SntpClient::kErrorInterrupted), client.failure().error);
    EXPECT_EQ(FailureKind::kAbandoned, client.failure().kind);

    // A query of an abandoned run does not even start.
    SntpResult result;
    EXPECT_FALSE(client.Query(silent.address().c_str(), &result, silent.port()));
    EXPECT_EQ(1, silent.requests());
}

TEST(RunGateTest, OnlyAnOpenBoxOfTheCurrentRunIsClosedOrCounted) {
    RunGate gate;
    int closes = 0;
    {
        // A box the user closed is not closed again when the run is abandoned later.
        RunGate::RunBoxGuard guard(gate, gate.BeginRun());
        EXPECT_TRUE(guard.Opened([&] { ++closes; }));
        EXPECT_TRUE(gate.RunBoxOpen());
        guard.Closed();
        EXPECT_FALSE(gate.RunBoxOpen());
        gate.AbandonRun();
        EXPECT_EQ(0, closes);
    }
    {
        // A dialog's server test has no run: its box is neither closed nor counted.
        gate.BeginRun();
        RunGate::RunBoxGuard guard(gate, RunGate::kAlways);
        EXPECT_TRUE(guard.Opened([&] { ++closes; }));
        EXPECT_FALSE(gate.RunBoxOpen());
        gate.AbandonRun();
        EXPECT_EQ(0, closes);
        guard.Closed();
    }
}

// Boxes opening and closing on a run's thread while the user breaks and the scheduler
// restarts runs: each box is closed at most once, never after it was closed, and
// ThreadSanitizer checks that every access is ordered.
TEST(RunGateTest, BoxesAndBreaksOnTwoThreads) {
    RunGate gate;
    std::atomic<RunGate::Generation> generation{gate.BeginRun()};
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    std::atomic<int> wrongCloses{0};
    std::thread run([&] {
        while (!stop) {
            std::atomic<bool> open{true};
            RunGate::RunBoxGuard guard(gate, generation);
            if (guard.Opened([&] { wrongCloses += open ? 0 : 1; })) {
                ++opened;
            }
            guard.Closed();
            open = false;
        }
    });
    for (int i = 0; i < 2000 || opened < 200; ++i) {
        gate.AbandonRun();
        generation = gate.BeginRun();
    }
    stop = true;
    run.join();
    EXPECT_EQ(0, wrongCloses.load());
}

// Without ThreadSanitizer too: while a run's effect is being applied, everything that reads
// or changes the gate waits for it, so a Break never returns with an effect half made.
TEST(RunGateTest, EveryUseOfTheGateWaitsForAnEffectUnderWay) {
    struct Use {
        const char* name;
        std::function<void(RunGate&, RunGate::Generation)> use;
    };
    const Use uses[] = {
        {"AbandonRun", [](RunGate& g, RunGate::Generation) { g.AbandonRun(); }},
        {"BeginRun", [](RunGate& g, RunGate::Generation) { g.BeginRun(); }},
        {"IsCurrent", [](RunGate& g, RunGate::Generation run) { g.IsCurrent(run); }},
        {"Apply",
         [](RunGate& g, RunGate::Generation run) {
             g.Apply(run, [](SyncRecord& r) { r.connectStatus = "x"; });
         }},
        {"Apply without the record",
         [](RunGate& g, RunGate::Generation run) { g.Apply(run, [] {}); }},
        {"RunBoxOpen", [](RunGate& g, RunGate::Generation) { g.RunBoxOpen(); }},
        {"Record", [](RunGate& g, RunGate::Generation) { g.Record(); }},
        {"SetStatus", [](RunGate& g, RunGate::Generation) { g.SetStatus("x"); }},
        {"ReplaceRecord", [](RunGate& g, RunGate::Generation) { g.ReplaceRecord({}); }},
        {"Opened",
         [](RunGate& g, RunGate::Generation run) { RunGate::RunBoxGuard(g, run).Opened([] {}); }},
        {"Closed",
         [](RunGate& g, RunGate::Generation run) { RunGate::RunBoxGuard(g, run).Closed(); }},
    };
    for (const Use& u : uses) {
        RunGate gate;
        const RunGate::Generation run = gate.BeginRun();
        std::promise<void> entered;
        std::promise<void> finish;
        std::atomic<bool> effectDone{false};
        auto effect = std::async(std::launch::async, [&] {
            return gate.Apply(run, [&] {
                entered.set_value();
                finish.get_future().wait();
                effectDone = true;
            });
        });
        entered.get_future().wait();
        auto other = std::async(std::launch::async, [&] {
            u.use(gate, run);
            return effectDone.load();
        });
        EXPECT_EQ(std::future_status::timeout, other.wait_for(std::chrono::milliseconds(100)))
            << u.name;
        finish.set_value();
        EXPECT_TRUE(other.get()) << u.name;
        EXPECT_TRUE(effect.get()) << u.name;
    }
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
