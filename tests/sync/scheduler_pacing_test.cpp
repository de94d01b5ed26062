// How often scheduled runs ask while servers fail: the walk through the catalogue, the
// pause between passes, the 15 s between requests to one server, kiss codes, and the spread
// start of a new day's run. Simulated seconds tick one by one; the fault server counts.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <vector>

#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

class PacedRuns {
  public:
    // Without a fault the server agrees with the simulated clock.
    explicit PacedRuns(int servers, FaultConfig fault = {.fault = Fault::kUnsynchronised})
        : h(servers) {
        h.SetLocalTime(10, 0, 0);
        h.clock.Freeze();
        h.RemakeScheduler();
        if (fault.fault == Fault::kNone) {
            fault.clock = &h.clock;
        }
        h.ServerDoes(fault);
    }

    // Ticks once a simulated second for so many seconds, each after before(second); returns
    // the seconds at which requests reached the server.
    std::vector<int> RequestSeconds(int seconds, const std::function<void(int)>& before = {}) {
        std::vector<int> asked;
        for (int second = 0; second < seconds; ++second) {
            const int requests = h.server.requests();
            if (before) {
                before(second);
            }
            h.scheduler->Tick();
            h.WaitForRunEnd();
            for (int i = requests; i < h.server.requests(); ++i) {
                asked.push_back(second);
            }
            h.clock.Advance(1.0);
        }
        return asked;
    }
    // Seconds from now to the next run the status view announces.
    int SecondsToNextRun() {
        const StatusView view = h.status();
        return WholeSeconds(view.nextRun->days() -
                            DateTime::FromSystemTime(view.now).value_or(DateTime()).days());
    }

    RunHarness h;
};

TEST(PacingTest, AnOutageOfTenMinutesAsksEachServerOncePerPassWithLongerPauses) {
    struct Case {
        int servers;
        int requests;
        std::vector<int> first;  // the first requests' seconds
    };
    const Case cases[] = {
        {1, 4, {0, 60, 180, 420}},
        {3, 12, {0, 1, 2, 62, 63, 64, 184}},
        {19, 76, {0, 1, 17, 18, 78}},
    };
    for (const Case& c : cases) {
        PacedRuns paced(c.servers);
        std::vector<int> asked = paced.RequestSeconds(600);
        EXPECT_EQ(c.requests, static_cast<int>(asked.size())) << c.servers;
        if (c.servers == 19) {
            asked.erase(asked.begin() + 2, asked.begin() + 17);
        }
        asked.resize(std::min(asked.size(), c.first.size()));
        EXPECT_EQ(c.first, asked) << c.servers;
    }
}

TEST(PacingTest, WhatEndsThePauseStillWaitsFifteenSecondsForTheSameServer) {
    enum class End { kResume, kOptions, kChooser, kNetworkBack, kManualRun, kProbeFails };
    struct Case {
        End end;
        int at;
        std::vector<int> asked;
    };
    const Case cases[] = {
        {End::kResume, 5, {0, 15}},       {End::kResume, 20, {0, 20}},
        {End::kOptions, 5, {0, 15}},      {End::kOptions, 20, {0, 20}},
        {End::kChooser, 5, {0, 15}},      {End::kChooser, 20, {0, 20}},
        {End::kNetworkBack, 5, {0, 15}},  {End::kNetworkBack, 20, {0, 20}},
        {End::kManualRun, 5, {0, 5, 20}}, {End::kManualRun, 20, {0, 20, 35}},
        {End::kProbeFails, 5, {0, 15}},  // the manual run sent nothing
    };
    for (const Case& c : cases) {
        const auto what = static_cast<int>(c.end);
        PacedRuns paced(1);
        SyncScheduler& scheduler = *paced.h.scheduler;
        std::optional<int> waitAfterEnd;
        const std::vector<int> asked = paced.RequestSeconds(70, [&](int second) {
            if (second == 1) {
                EXPECT_EQ(59, paced.SecondsToNextRun()) << what;  // the first pause
            }
            paced.h.connectivity.connected =
                c.end != End::kNetworkBack || second == 0 || second >= c.at;
            if (second != c.at) {
                return;
            }
            switch (c.end) {
                case End::kResume:
                    scheduler.Resumed();
                    break;
                case End::kOptions:
                    scheduler.SettingsChanged();
                    break;
                case End::kChooser: {
                    const ServerCatalogue servers = paced.h.settings.servers.Copy();
                    scheduler.Publish(servers, 0);
                    break;
                }
                case End::kNetworkBack:
                    return;
                case End::kManualRun:
                case End::kProbeFails:
                    paced.h.probe.result =
                        c.end == End::kProbeFails ? ProbeResult::kUrlFailed : ProbeResult::kOpened;
                    scheduler.StartManualRun();
                    paced.h.WaitForRunEnd();
                    paced.h.probe.result = ProbeResult::kOpened;
                    break;
            }
            if (c.end != End::kManualRun && c.end != End::kProbeFails) {
                waitAfterEnd = paced.SecondsToNextRun();
            }
        });
        EXPECT_EQ(c.asked, asked) << what << " at " << c.at;
        if (waitAfterEnd) {
            EXPECT_EQ(std::max(0, 15 - c.at), *waitAfterEnd) << what << " at " << c.at;
        }
    }
}

TEST(PacingTest, KissCodesLeaveTheServerAloneAndEveryServerLeftAloneAsksNone) {
    struct Case {
        const char* code;
        std::vector<int> asked;
    };
    for (const Case& c : {Case{"RATE", {0, 900, 2700}}, Case{"DENY", {0}}, Case{"RSTR", {0}}}) {
        PacedRuns paced(1, {.fault = Fault::kKissOfDeath, .kissCode = c.code});
        EXPECT_EQ(c.asked, paced.RequestSeconds(3000)) << c.code;
        const StatusView view = paced.h.status();
        ASSERT_TRUE(view.last) << c.code;
        ASSERT_TRUE(view.last->failure.kiss) << c.code;
        EXPECT_EQ(c.code, view.last->failure.kiss->text());
        if (std::string(c.code) == "RATE") {
            ASSERT_TRUE(view.nextRun);
            EXPECT_EQ(3300, paced.SecondsToNextRun());  // when the third pause, of an hour, ends
            continue;
        }
        EXPECT_TRUE(std::regex_match(
            view.record.connectStatus,
            std::regex("Every time server is being left alone for now\\. \\d\\d:\\d\\d; "
                       "\\d\\d-[A-Za-z]+-\\d{4}")))
            << view.record.connectStatus;
        EXPECT_FALSE(view.nextRun) << c.code;
        // The user's run asks all the same, and so does the program started anew.
        paced.h.scheduler->StartManualRun();
        paced.h.WaitForRunEnd();
        EXPECT_EQ(2, paced.h.server.requests()) << c.code;
        paced.h.RemakeScheduler();
        EXPECT_EQ(std::vector<int>{0}, paced.RequestSeconds(10)) << c.code;
    }
}

// The clock service asked the server for us: the kiss code it got is obeyed all the same.
TEST(PacingTest, AKissCodeTheServiceGotLeavesTheServerAlone) {
    PacedRuns paced(1);
    paced.h.settings.clockService = Settings::kServiceAlways;
    Failure kiss = FailureOf(FailureKind::kKissOfDeath);
    kiss.kiss = KissCode::FromText("DENY");
    paced.h.clockService.Answer(UnsuccessfulReply(ClockServiceStatus::kFailed, kiss, "x"));
    paced.RequestSeconds(100);
    EXPECT_EQ(1u, paced.h.clockService.requests().size());
    EXPECT_FALSE(paced.h.status().nextRun);
}

TEST(PacingTest, AServerLeftAloneIsSkippedWithoutBeingAsked) {
    PacedRuns paced(3, {.fault = Fault::kKissOfDeath, .kissCode = "DENY"});
    const std::vector<int> asked = paced.RequestSeconds(63, [&](int second) {
        if (second == 1) {
            paced.h.ServerDoes({.fault = Fault::kUnsynchronised});
        }
        if (second == 3) {  // the cursor is back at Server 0, which is not waited for
            EXPECT_EQ(59, paced.h.status().nextRun ? paced.SecondsToNextRun() : -1);
        }
    });
    // Server 0 refused; 1 and 2 fail: the pass is over, and the next one starts at Server 1.
    EXPECT_EQ((std::vector<int>{0, 1, 2, 62}), asked);
    ASSERT_TRUE(paced.h.status().last);
    EXPECT_EQ("Server 1", paced.h.status().last->serverTitle);
    EXPECT_FALSE(paced.h.status().allServersRefused);
}

TEST(PacingTest, TheStatusTellsWhenEveryServerRefusedService) {
    PacedRuns paced(2, {.fault = Fault::kKissOfDeath, .kissCode = "DENY"});
    EXPECT_EQ((std::vector<int>{0}), paced.RequestSeconds(1));
    EXPECT_FALSE(paced.h.status().allServersRefused);
    EXPECT_EQ((std::vector<int>{0}), paced.RequestSeconds(5));
    EXPECT_TRUE(paced.h.status().allServersRefused);
}

// A scheduled run's second opinion keeps its rules: a server it asked waits 15 s like any
// other, and one that refused is not asked. Server 0 is three hours ahead.
TEST(PacingTest, ASecondOpinionKeepsTheRulesOfAScheduledRun) {
    struct Case {
        const char* name;
        bool secondRefuses;  // else it answers honestly
        std::vector<int> secondAsked;
    };
    for (const Case& c :
         {Case{"honest second", false, {0, 15}}, Case{"refusing second", true, {1}}}) {
        // A refusing second is refused first, while Server 0 still fails.
        PacedRuns paced(1, c.secondRefuses ? FaultConfig{.fault = Fault::kUnsynchronised}
                                           : FaultConfig{.clockOffsetSeconds = 10800});
        FaultSntpServer second(c.secondRefuses
                                   ? FaultConfig{.fault = Fault::kKissOfDeath, .kissCode = "DENY"}
                                   : FaultConfig{.clock = &paced.h.clock},
                               net::Endpoint::Ipv6Loopback(paced.h.server.port()));
        paced.h.settings.servers.With([&](ServerCatalogue& catalogue) {
            catalogue.Add(ServerEntry("Second", second.address(), 1));
        });
        std::vector<int> asked;
        for (int at = 0; at < 90; ++at) {
            if (at == 1 && c.secondRefuses) {
                paced.h.ServerDoes({.clockOffsetSeconds = 10800, .clock = &paced.h.clock});
            }
            const int before = second.requests();
            paced.h.scheduler->Tick();
            paced.h.WaitForRunEnd();
            for (int i = before; i < second.requests(); ++i) {
                asked.push_back(at);
            }
            paced.h.clock.Advance(1.0);
        }
        EXPECT_EQ(c.secondAsked, asked) << c.name;
    }
}

TEST(PacingTest, ANewDaysRunStartsAtARandomMomentButNotAtProgramStart) {
    for (const int offset : {0, 30}) {
        PacedRuns paced(1, {});
        SetOption(paced.h.settings, &UserOptions::offsetSeconds, offset);
        EXPECT_EQ(std::vector<int>{0}, paced.RequestSeconds(1));  // today's run, at the start
        paced.h.dayStartSeconds = 300;
        paced.h.SetLocalTime(23, 59, 59);
        const int firstDue = offset != 0 ? 15 * 60 + 1 : 1;  // after the quiet window
        const std::vector<int> asked = paced.RequestSeconds(30 * 60, [&](int second) {
            if (second == firstDue + 1) {
                EXPECT_EQ(299, paced.SecondsToNextRun()) << offset;
            }
        });
        EXPECT_EQ(std::vector<int>{firstDue + 300}, asked) << offset;
        EXPECT_EQ(AutomaticRequests::kDayStartSpreadSeconds, paced.h.randomBound.load());

        // A program started on a day whose run is due runs at once.
        paced.h.SetLocalTime(12, 0, 0);
        paced.h.clock.Advance(24 * 3600.0);
        paced.h.RemakeScheduler();
        EXPECT_EQ(std::vector<int>{0}, paced.RequestSeconds(1)) << offset;
    }
}

}  // namespace
