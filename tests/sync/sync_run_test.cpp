#include "sync/sync_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <utility>

#include "sync/clock_correction.h"
#include "tests/support/calendar.h"
#include "tests/support/fake_key_exchanger.h"
#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

class SyncRunTest : public testing::Test {
  protected:
    SyncRunTest() { h.ServerDoes({}); }  // the server tells this machine's real time

    std::vector<FakeClock::SetKind> SetKinds() const {
        std::vector<FakeClock::SetKind> kinds;
        for (const FakeClock::Set& set : h.clock.sets()) {
            kinds.push_back(set.kind);
        }
        return kinds;
    }

    RunHarness h;
};

TEST_F(SyncRunTest, ManualSuccessSetsTheClockRecordsAndReports) {
    h.clock.Advance(30.0);
    h.settings.firstStart = 1;
    ASSERT_TRUE(h.RunNow(RunKind::kManual).ok());

    EXPECT_NEAR(0.0, h.clock.offset(), 0.05);
    EXPECT_EQ(std::vector<FakeClock::SetKind>{FakeClock::SetKind::kClockUtc}, SetKinds());
    const std::vector<RunEvent> boxed = h.reporter.boxed();
    ASSERT_EQ(1u, boxed.size());
    EXPECT_EQ(RunEvent::Kind::kSucceeded, boxed[0].kind);
    EXPECT_EQ(1u, h.boxes.boxes().size());
    EXPECT_EQ(1, h.probe.probes);
    EXPECT_EQ(1, h.network.starts);
    EXPECT_EQ(1, h.network.stops);

    const SyncRecord record = h.record();
    const SYSTEMTIME now = h.clock.LocalTime();
    EXPECT_EQ(now.wDay, record.syncDate.wDay);
    EXPECT_EQ(record.timeAfter.wSecond, record.syncDate.wSecond);
    EXPECT_EQ(h.words.StatusLine(*h.reporter.lastStatus()), record.connectStatus);
    EXPECT_EQ(RunEvent::Kind::kSucceeded, h.reporter.lastStatus()->kind);
    EXPECT_EQ(MemoryProfileStore::Value(std::int32_t{record.syncDate.wYear}),
              h.store.value("Options", "nSynYear"));
    EXPECT_EQ(MemoryProfileStore::Value(record.connectStatus),
              h.store.value("Options", "sConnectStatus"));
    EXPECT_EQ(0, h.settings.firstStart);
    EXPECT_EQ(0, h.cursor.CurrentIndex());
}

TEST_F(SyncRunTest, ScheduledRunShowsNoBoxAndSkipsTheProbe) {
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_TRUE(h.boxes.boxes().empty());
    EXPECT_EQ(0, h.probe.probes);
    EXPECT_EQ(1, h.server.requests());
}

// With only secure servers allowed the run skips to the catalogue's secure entry and asks no
// plain server for a second opinion; without, a plain server's run asks both kinds.
TEST_F(SyncRunTest, OnlySecureServersKeepsTheRunAndItsSecondOpinionsOnNts) {
    struct Row {
        bool onlySecure;
        int asked;  // the cursor's entry after the run
        bool secure;
        std::size_t secondOpinions;
    };
    // The plain entries share an address: the second of them is no second opinion.
    for (const Row row : {Row{false, 0, false, 1}, Row{true, 2, true, 0}}) {
        RunHarness r;
        r.settings.servers.With([&](ServerCatalogue& catalogue) {
            catalogue.RemoveAt(1);
            ServerEntry secure("Secure", "nts.test", 1);
            secure.nts = true;
            catalogue.Add(secure);
        });
        FakeKeyExchanger::Config config;
        config.ntpHost = r.server.address();
        config.ntpPort = r.server.port();
        FakeKeyExchanger keys(config);
        r.context.keys = &keys;
        SetOption(r.settings, &UserOptions::onlySecure, row.onlySecure);
        SetOption(r.settings, &UserOptions::maxDiffMinutes, 0);
        r.ServerDoes({.clockOffsetSeconds = 120, .clock = &r.clock});
        const RunResult result = r.RunNow(RunKind::kScheduled);
        ASSERT_TRUE(result.ok()) << row.onlySecure;
        EXPECT_EQ(row.asked, r.cursor.CurrentIndex()) << row.onlySecure;
        EXPECT_EQ(row.secure, result.secure) << row.onlySecure;
        EXPECT_EQ(row.secondOpinions, result.secondOpinionsAsked.size()) << row.onlySecure;
        EXPECT_EQ(std::vector<std::string>{"nts.test"}, keys.asked()) << row.onlySecure;
    }
}

TEST_F(SyncRunTest, ClockTwoHoursFastIsSteppedCoarselyThenSetPrecisely) {
    h.clock.Advance(7200.4);
    h.ServerDoes({.pathDelaysMs = {300}});  // the first exchange is slow, the second is not
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());

    const std::vector<FakeClock::Set> sets = h.clock.sets();
    ASSERT_EQ(2u, sets.size());
    EXPECT_EQ(FakeClock::SetKind::kUtcTime, sets[0].kind);
    EXPECT_EQ(0, sets[0].time.wMilliseconds);  // whole seconds only
    EXPECT_EQ(FakeClock::SetKind::kClockUtc, sets[1].kind);
    EXPECT_EQ(2, h.server.requests());
    EXPECT_NEAR(0.0, h.clock.offset(), 0.05);
    // The status line carries the second, fast exchange's delay.
    EXPECT_NE(std::string::npos, h.record().connectStatus.find("Net delay: 0.0"))
        << h.record().connectStatus;
    // The watchdog's clock was moved past the step.
    EXPECT_EQ(h.clock.LocalTime().wHour, h.marks.WatchdogTime().wHour);
}

TEST_F(SyncRunTest, UserOffsetRunsTheClockBehindKeepingTheMilliseconds) {
    SetOption(h.settings, &UserOptions::offsetSeconds, -90);
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_EQ((std::vector<FakeClock::SetKind>{FakeClock::SetKind::kClockUtc,
                                               FakeClock::SetKind::kLocalTime}),
              SetKinds());
    // Milliseconds dropped would leave the clock up to a second further behind.
    EXPECT_NEAR(-90.0, h.clock.offset(), 0.05);
}

TEST_F(SyncRunTest, WarnsWhenTheClockMovedMoreThanAllowed) {
    SetOption(h.settings, &UserOptions::maxDiffMinutes, 1);
    h.clock.Advance(-180.0);
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());  // scheduled: the warning is its only box
    ASSERT_EQ(1u, h.reporter.boxed().size());
    EXPECT_EQ(RunEvent::Kind::kClockJump, h.reporter.boxed()[0].kind);
    EXPECT_EQ(3, h.reporter.boxed()[0].jumpMinutes);

    h.clock.Advance(-90.0);  // counts 1 minute: not more than 1
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_EQ(1u, h.reporter.boxed().size());

    h.settings.firstStart = 1;  // never on the first synchronisation
    h.clock.Advance(-600.0);
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_EQ(1u, h.reporter.boxed().size());
    EXPECT_EQ(0, h.settings.firstStart);
}

TEST(ClockJumpTest, StepsBackAndForthCountAlike) {
    struct Case {
        double serverAhead;  // seconds
        int maxDiff;         // 0: never warn
        bool warns;
    };
    for (const Case& c : {Case{180, 2, true}, Case{-180, 2, true}, Case{120, 2, false},
                          Case{-120, 2, false}, Case{-3000, 0, false}, Case{3000, 0, false}}) {
        RunHarness h;
        h.clock.Freeze();  // the exchange takes no time: the clock moves by exactly as much
        h.ServerDoes({.clockOffsetSeconds = c.serverAhead, .clock = &h.clock});
        SetOption(h.settings, &UserOptions::maxDiffMinutes, c.maxDiff);
        ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok()) << c.serverAhead;
        const std::vector<RunEvent> boxed = h.reporter.boxed();
        ASSERT_EQ(c.warns ? 1u : 0u, boxed.size()) << c.serverAhead;
        if (c.warns) {
            EXPECT_EQ(RunEvent::Kind::kClockJump, boxed[0].kind);
            EXPECT_EQ(3, boxed[0].jumpMinutes) << c.serverAhead;
        }
    }
}

// The record's two times and the watchdog's mark after each kind of clock step.
TEST(RunMomentsTest, BeforeIsBeforeTheQueryAfterIsAfterEverySetAndSoIsTheWatchdog) {
    struct Case {
        double serverAhead;  // seconds
        std::int32_t userOffset;
    };
    // (A server that follows the simulated clock would move with a coarse step; that step's
    // watchdog mark is checked with the two-hour case above.)
    for (const Case& c : {Case{600, 0}, Case{-600, 0}, Case{600, 90}, Case{0, -30}}) {
        RunHarness h;
        h.SetLocalTime(10, 0, 0);
        h.clock.Freeze();
        h.ServerDoes({.clockOffsetSeconds = c.serverAhead, .clock = &h.clock});
        SetOption(h.settings, &UserOptions::offsetSeconds, c.userOffset);
        SetOption(h.settings, &UserOptions::maxDiffMinutes, 0);
        const SYSTEMTIME before = h.clock.LocalTime();
        ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok()) << c.serverAhead;
        const SYSTEMTIME after = h.clock.LocalTime();
        const SyncRecord record = h.record();
        const auto seconds = [](const SYSTEMTIME& t) {
            return (t.wHour * 60 + t.wMinute) * 60 + t.wSecond;
        };
        EXPECT_EQ(seconds(before), seconds(record.timeBefore)) << c.serverAhead;
        EXPECT_EQ(seconds(after), seconds(record.timeAfter)) << c.serverAhead;
        EXPECT_EQ(36000 + static_cast<int>(c.serverAhead) + c.userOffset, seconds(after));
        EXPECT_EQ(seconds(after), seconds(h.marks.WatchdogTime())) << c.serverAhead;
    }
}

struct FailureRow {
    const char* name;
    std::function<void(RunHarness&)> arrange;
    RunKind kind;
    FailureKind failure;
    std::vector<RunStep> boxed;  // the steps of the failures shown in a box, in order
    RunStep status;              // of the failure the status line tells
    int queries;
};

// Every failure the run can meet: what it reports at which step (its boxes for a run the
// user started, its status line), the record it keeps, and the next server. How each is
// worded is the presentation's.
TEST_F(SyncRunTest, EveryFailureIsReportedAtItsStepKeepsTheRecordAndMovesToTheNextServer) {
    using K = FailureKind;
    constexpr RunKind kManual = RunKind::kManual;
    constexpr RunKind kScheduled = RunKind::kScheduled;
    const auto silent = [](RunHarness& r) { r.ServerDoes({.fault = Fault::kSilent}); };
    const auto noNetwork = [](RunHarness& r) { r.network.result = NetworkStartResult::kFailed; };
    const std::vector<FailureRow> rows = {
        {"internet session",
         [](RunHarness& r) { r.probe.result = ProbeResult::kSessionFailed; },
         kManual,
         K::kInternetOpen,
         {RunStep::kProbe},
         RunStep::kProbe,
         0},
        {"probe page",
         [](RunHarness& r) { r.probe.result = ProbeResult::kUrlFailed; },
         kManual,
         K::kUrlOpen,
         {RunStep::kProbe},
         RunStep::kProbe,
         0},
        // The network's start is told at once, then the run's failure.
        {"WSAStartup, manual",
         noNetwork,
         kManual,
         K::kNetworkStart,
         {RunStep::kNetworkStart, RunStep::kQuery},
         RunStep::kQuery,
         0},
        {"WSAStartup, scheduled", noNetwork, kScheduled, K::kNetworkStart, {}, RunStep::kQuery, 0},
        {"Winsock version",
         [](RunHarness& r) { r.network.result = NetworkStartResult::kWrongVersion; },
         kManual,
         K::kNetworkVersion,
         {RunStep::kNetworkStart, RunStep::kQuery},
         RunStep::kQuery,
         0},
        {"no reply", silent, kManual, K::kNoAnswer, {RunStep::kQuery}, RunStep::kQuery, 1},
        {"no reply, scheduled", silent, kScheduled, K::kNoAnswer, {}, RunStep::kQuery, 1},
        {"kiss-o'-death",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kKissOfDeath}); },
         kManual,
         K::kKissOfDeath,
         {RunStep::kQuery},
         RunStep::kQuery,
         1},
        {"unsynchronised server",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kUnsynchronised}); },
         kManual,
         K::kUnsynchronised,
         {RunStep::kQuery},
         RunStep::kQuery,
         1},
        {"second query after the coarse step",
         [](RunHarness& r) {
             r.clock.Advance(7200.0);
             r.ServerDoes({.silentAfter = 1});
         },
         kManual,
         K::kNoAnswer,
         {RunStep::kQuery},
         RunStep::kQuery,
         2},
        {"the clock refused",
         [](RunHarness& r) { r.clock.FailSets(true, 1314); },
         kManual,
         K::kClockRefused,
         {RunStep::kSet},
         RunStep::kSet,
         1},
        {"the clock refused after the coarse step",
         [](RunHarness& r) {
             r.clock.Advance(7200.0);
             r.clock.FailSets(true, 87);
         },
         kScheduled,
         K::kClockRefused,
         {},
         RunStep::kSet,
         2},
    };
    for (const FailureRow& row : rows) {
        RunHarness r;
        r.ServerDoes({});
        row.arrange(r);
        const RunResult result = r.RunNow(row.kind);
        EXPECT_EQ(row.failure, result.failure.kind) << row.name;
        // Of these, only a refused clock had a usable reply: a kiss of death measures nothing.
        EXPECT_EQ(row.failure == K::kClockRefused, result.answered) << row.name;
        EXPECT_EQ("Server 0", result.serverTitle) << row.name;

        std::vector<RunStep> boxed;
        for (const RunEvent& event : r.reporter.boxed()) {
            EXPECT_EQ(RunEvent::Kind::kFailed, event.kind) << row.name;
            EXPECT_EQ(row.failure, event.result.failure.kind) << row.name;
            boxed.push_back(event.step);
        }
        EXPECT_EQ(row.boxed, boxed) << row.name;
        EXPECT_EQ(row.boxed.size(), r.boxes.texts().size()) << row.name;  // each on screen
        const std::optional<RunEvent> status = r.reporter.lastStatus();
        ASSERT_TRUE(status) << row.name;
        EXPECT_EQ(RunEvent::Kind::kFailed, status->kind) << row.name;
        EXPECT_EQ(row.status, status->step) << row.name;
        EXPECT_EQ("Server 0", status->result.serverTitle) << row.name;
        EXPECT_EQ(r.words.StatusLine(*status), r.record().connectStatus) << row.name;

        EXPECT_EQ(0, r.record().syncDate.wYear) << row.name;
        EXPECT_FALSE(r.store.value("Options", "sConnectStatus")) << row.name;
        EXPECT_EQ(1, r.cursor.CurrentIndex()) << row.name;
        EXPECT_EQ(row.queries, r.server.requests()) << row.name;
        EXPECT_EQ(r.network.starts - (r.network.result == NetworkStartResult::kStarted ? 0 : 1),
                  r.network.stops)
            << row.name;
    }
}

TEST_F(SyncRunTest, ServerTestOfTheDialogsNeverTouchesTheClockOrTheRecord) {
    h.clock.Advance(5000.0);
    const RunResult tested = h.tester.Test(h.server.address());
    ASSERT_TRUE(tested.ok());
    EXPECT_GT(tested.delay, 0.0);
    EXPECT_EQ(h.server.address(), tested.address);
    EXPECT_TRUE(h.clock.sets().empty());
    EXPECT_EQ("", h.record().connectStatus);

    h.ServerDoes({.fault = Fault::kSilent});
    EXPECT_EQ(FailureKind::kNoAnswer, h.tester.Test(h.server.address()).failure.kind);
    EXPECT_TRUE(h.boxes.boxes().empty());  // the caller reports a failed query
    EXPECT_EQ(0, h.cursor.CurrentIndex());

    // Only a network that does not start is told at once; a test is no run all the same.
    h.network.result = NetworkStartResult::kFailed;
    EXPECT_EQ(FailureKind::kNetworkStart, h.tester.Test(h.server.address()).failure.kind);
    EXPECT_EQ(std::vector<std::string>{"WSAStartup failed!\n"}, h.boxes.texts());
    EXPECT_EQ("", h.record().connectStatus);
    EXPECT_EQ(0, h.cursor.CurrentIndex());
}

// A key exchange that refuses, and the hosts it was asked for.
class RefusingKeys : public KeyExchanger {
  public:
    SecureSession Exchange(const std::string& host, std::uint32_t, QueryInterrupter*) override {
        hosts.push_back(host);
        SecureSession session;
        session.failure = FailureOf(FailureKind::kNtsCertificateUntrusted);
        session.failure.certificateName = "CN=" + host;
        return session;
    }
    std::vector<std::string> hosts;
};

TEST_F(SyncRunTest, ServerTestOfASecureServerMakesTheKeyExchangeAndNeverAsksPlainly) {
    RefusingKeys keys;
    ServerTester tester{{h.clock, h.network, h.server.port(), 2000, &keys}, h.reporter};
    ServerTester keyless{{h.clock, h.network, h.server.port(), 2000}, h.reporter};
    const struct {
        const char* name;
        ServerTester& tester;
        bool nts;
        FailureKind kind;
        std::size_t exchanges;
    } cases[] = {
        {"plain", tester, false, FailureKind::kNone, 0},
        {"secure", tester, true, FailureKind::kNtsCertificateUntrusted, 1},
        {"secure without a key exchange", keyless, true, FailureKind::kNtsTlsFailed, 1},
    };
    for (const auto& c : cases) {
        const int asked = h.server.requests();
        const RunResult result = c.tester.Test(TimeServer(h.server.address(), c.nts));
        EXPECT_EQ(c.kind, result.failure.kind) << c.name;
        EXPECT_EQ(c.exchanges, keys.hosts.size()) << c.name;
        EXPECT_EQ(c.nts ? 0 : 1, h.server.requests() - asked) << c.name;
    }
    EXPECT_EQ(std::vector<std::string>{h.server.address()}, keys.hosts);
}

TEST_F(SyncRunTest, EveryRunLeavesItsLineInTheHistoryAndAnUnwritableOneStopsNothing) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("tickwell-run-history-" + std::to_string(std::random_device()()));
    FolderHistoryFile file(folder.string(), "history.csv");
    RunHistory history(file);
    RunContext context = h.context;
    context.history = &history;
    h.ServerDoes({.fault = Fault::kSilent});
    EXPECT_FALSE(SyncRun(context, h.gate.BeginRun(), RunKind::kManual).Run().ok());
    h.ServerDoes({});
    EXPECT_TRUE(SyncRun(context, h.gate.BeginRun(), RunKind::kAfterResume).Run().ok());

    const std::vector<HistoryEntry> entries = history.Entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("after resume", entries[0].kind);
    EXPECT_EQ("Server 1", entries[0].server);
    EXPECT_EQ("127.0.0.1", entries[0].address);
    EXPECT_EQ("success", entries[0].result);
    EXPECT_FALSE(entries[0].step.empty());
    EXPECT_EQ("manual", entries[1].kind);
    EXPECT_EQ("Server 0", entries[1].server);
    EXPECT_EQ("failure", entries[1].result);
    EXPECT_EQ("No answer from 127.0.0.1 within 0.6 s.", entries[1].reason);

    FolderHistoryFile inFile((folder / "history.csv" / "below").string(), "history.csv");
    RunHistory unwritable(inFile);
    context.history = &unwritable;
    h.clock.Advance(30.0);
    EXPECT_TRUE(SyncRun(context, h.gate.BeginRun(), RunKind::kScheduled).Run().ok());
    EXPECT_NEAR(0.0, h.clock.offset(), 0.05);
    // Every run's end reaches the event log, a success once a day.
    EXPECT_EQ((std::vector<std::uint32_t>{101, 100}), h.eventLog.ids());
    std::filesystem::remove_all(folder);
}

}  // namespace
