#include "sync/sync_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <utility>

#include "app/presentation.h"
#include "sync/clock_correction.h"
#include "tests/support/calendar.h"
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
    ASSERT_EQ(1u, h.boxes.boxes().size());
    const RecordingMessageBoxes::Box box = h.boxes.boxes()[0];
    EXPECT_EQ("Successful synchronization.", box.text);
    EXPECT_EQ("Tickwell", box.caption);
    EXPECT_EQ(BoxIcon::kInformation, box.icon);
    EXPECT_EQ(1, h.probe.probes);
    EXPECT_EQ(1, h.network.starts);
    EXPECT_EQ(1, h.network.stops);

    const SyncRecord record = h.record();
    const SYSTEMTIME now = h.clock.LocalTime();
    EXPECT_EQ(now.wDay, record.syncDate.wDay);
    EXPECT_EQ(record.timeAfter.wSecond, record.syncDate.wSecond);
    EXPECT_EQ(0u, record.connectStatus.find(
                      "Success synchro: " + presentation::DateStamp(record.syncDate, h.months) +
                      ". Net delay: 0.0"))
        << record.connectStatus;
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
    ASSERT_EQ(1u, h.boxes.boxes().size());
    const RecordingMessageBoxes::Box warning = h.boxes.boxes()[0];
    EXPECT_EQ(0u, warning.text.find("3 minutes between the time after synchronizing and the "
                                    "time before synchronizing.\nIt can be caused by a virus"));
    EXPECT_EQ("Tickwell", warning.caption);
    EXPECT_EQ(BoxIcon::kWarning, warning.icon);

    h.clock.Advance(-90.0);  // counts 1 minute: not more than 1
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_EQ(1u, h.boxes.boxes().size());

    h.settings.firstStart = 1;  // never on the first synchronisation
    h.clock.Advance(-600.0);
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());
    EXPECT_EQ(1u, h.boxes.boxes().size());
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
        const std::vector<std::string> boxes = h.boxes.texts();
        EXPECT_EQ(c.warns ? 1u : 0u, boxes.size()) << c.serverAhead;
        if (c.warns && !boxes.empty()) {
            EXPECT_EQ(0u, boxes[0].find("3 minutes between")) << boxes[0];
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
    bool manual;
    FailureKind failure;
    // The boxes' texts; the last ends with this paragraph on the server and the reason.
    std::vector<std::string> boxes;
    const char* paragraph;
    const char* caption;
    const char* statusPrefix;
    int queries;
};

// Every failure the run can meet: its kind, its boxes (the first line as it always was, then
// the server, the address asked and the reason), its status line, and the next server.
TEST_F(SyncRunTest, EveryFailureReportsKeepsTheRecordAndMovesToTheNextServer) {
    const std::string noAnswer = "Server 0 (127.0.0.1): No answer from 127.0.0.1 within 0.6 s.";
    const std::vector<FailureRow> rows = {
        {"internet session",
         [](RunHarness& r) { r.probe.result = ProbeResult::kSessionFailed; },
         true,
         FailureKind::kInternetOpen,
         {"Internet open error! Test your system and try again."},
         "Server 0 (127.0.0.1): The Internet session could not be opened.",
         "Tickwell: error",
         "Internet Open Error! ",
         0},
        {"probe page",
         [](RunHarness& r) { r.probe.result = ProbeResult::kUrlFailed; },
         true,
         FailureKind::kUrlOpen,
         {presentation::kUrlOpenBox},
         "Server 0 (127.0.0.1): The test web page could not be opened: is the computer online?",
         "Tickwell:Error",
         "URL Open Error! ",
         0},
        {"WSAStartup, manual",
         [](RunHarness& r) { r.network.result = NetworkStartResult::kFailed; },
         true,
         FailureKind::kNetworkStart,
         {"WSAStartup failed!\n", "Time receiving error!"},
         "Server 0 (127.0.0.1): The network could not be started.",
         "Tickwell:Error",
         "Communication error! ",
         0},
        {"WSAStartup, scheduled",
         [](RunHarness& r) { r.network.result = NetworkStartResult::kFailed; },
         false,
         FailureKind::kNetworkStart,
         {},
         "",
         "",
         "Communication error! ",
         0},
        {"Winsock version",
         [](RunHarness& r) { r.network.result = NetworkStartResult::kWrongVersion; },
         true,
         FailureKind::kNetworkVersion,
         {"Winsock stack does not support version that is needed!\n", "Time receiving error!"},
         "Server 0 (127.0.0.1): The network does not offer the version Tickwell needs.",
         "Tickwell:Error",
         "Communication error! ",
         0},
        {"no reply",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kSilent}); },
         true,
         FailureKind::kNoAnswer,
         {"Time receiving error!"},
         noAnswer.c_str(),
         "Tickwell:Error",
         "Communication error! ",
         1},
        {"no reply, scheduled",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kSilent}); },
         false,
         FailureKind::kNoAnswer,
         {},
         "",
         "",
         "Communication error! ",
         1},
        {"kiss-o'-death",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kKissOfDeath}); },
         true,
         FailureKind::kKissOfDeath,
         {"Time receiving error!"},
         "Server 0 (127.0.0.1): The server asked us to slow down (RATE).",
         "Tickwell:Error",
         "Communication error! ",
         1},
        {"unsynchronised server",
         [](RunHarness& r) { r.ServerDoes({.fault = Fault::kUnsynchronised}); },
         true,
         FailureKind::kUnsynchronised,
         {"Time receiving error!"},
         "Server 0 (127.0.0.1): The server's own clock is not synchronized.",
         "Tickwell:Error",
         "Communication error! ",
         1},
        {"second query after the coarse step",
         [](RunHarness& r) {
             r.clock.Advance(7200.0);
             r.ServerDoes({.silentAfter = 1});
         },
         true,
         FailureKind::kNoAnswer,
         {"Time receiving error!"},
         noAnswer.c_str(),
         "Tickwell:Error",
         "Communication error! ",
         2},
        {"the clock refused for want of the privilege",
         [](RunHarness& r) { r.clock.FailSets(true, 1314); },
         true,
         FailureKind::kClockRefused,
         {"Windows refused to set the clock (error 1314): run Tickwell as administrator."},
         "Server 0 (127.0.0.1).",  // the first line gives the reason
         "Tickwell:Error",
         "Communication error! ",
         1},
        {"the clock refused for another reason, after the coarse step",
         [](RunHarness& r) {
             r.clock.Advance(7200.0);
             r.clock.FailSets(true, 87);
         },
         true,
         FailureKind::kClockRefused,
         {"Windows refused to set the clock (error 87)."},
         "Server 0 (127.0.0.1).",
         "Tickwell:Error",
         "Communication error! ",
         2},
    };
    for (const FailureRow& row : rows) {
        RunHarness r;
        r.ServerDoes({});
        row.arrange(r);
        const RunResult result = r.RunNow(row.manual ? RunKind::kManual : RunKind::kScheduled);
        EXPECT_EQ(row.failure, result.failure.kind) << row.name;
        // Of these, only a refused clock had a usable reply: a kiss of death measures nothing.
        EXPECT_EQ(row.failure == FailureKind::kClockRefused, result.answered) << row.name;
        EXPECT_EQ("Server 0", result.serverTitle) << row.name;

        std::vector<std::string> boxes = row.boxes;
        if (!boxes.empty()) {
            boxes.back() += "\n\n" + std::string(row.paragraph);
        }
        EXPECT_EQ(boxes, r.boxes.texts()) << row.name;
        for (const RecordingMessageBoxes::Box& box : r.boxes.boxes()) {
            EXPECT_EQ(BoxIcon::kError, box.icon) << row.name;
            EXPECT_EQ(row.caption, box.caption) << row.name;
        }
        const std::string status = r.record().connectStatus;
        EXPECT_TRUE(std::regex_match(status, std::regex(std::string(row.statusPrefix) +
                                                        "\\d\\d:\\d\\d; \\d\\d-[A-Za-z]+-\\d{4}")))
            << row.name << ": " << status;
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
    std::filesystem::remove_all(folder);
}

}  // namespace
