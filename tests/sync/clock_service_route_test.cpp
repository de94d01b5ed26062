// Which way a run sets the clock: itself, or through the Tickwell Clock service.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "app/presentation.h"
#include "sync/sync_run.h"
#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

using presentation::kNoWayToSetBox;
using presentation::kServiceSilentBox;
using presentation::kSuccessBox;

const ClockServiceReply kSynchronised{ClockServiceStatus::kSynchronised, "", 0.5, 0.25, 2};

ClockServiceAnswer Replied(const ClockServiceReply& reply) {
    ClockServiceAnswer answer;
    answer.outcome = ClockServiceAnswer::Outcome::kReplied;
    answer.reply = reply;
    return answer;
}

ClockServiceAnswer Failed(ClockServiceStatus status, const char* reason) {
    return Replied({status, reason, 0, 0, 0});
}

std::string CouldNot(const char* reason) {
    return std::string("The Tickwell Clock service could not synchronize: ") + reason + ".";
}

TEST(ClockServiceRouteTest, TheOptionAndThePrivilegeChooseTheWayAndFailuresSayWhatToDo) {
    const char* const notApproved = "server not approved by the administrator";
    const char* const noAnswer = "no answer from 127.0.0.1: timed out";
    struct Row {
        std::int32_t use;
        bool privilege;
        ClockServiceAnswer answer;
        bool throughService;
        std::string box;  // "Successful synchronization.", or why not
    };
    const ClockServiceAnswer noService;
    for (const Row& row : {
             Row{0, true, Replied(kSynchronised), false, kSuccessBox},
             Row{0, false, Replied(kSynchronised), true, kSuccessBox},
             Row{0, false, Failed(ClockServiceStatus::kRefused, notApproved), true,
                 CouldNot(notApproved)},
             Row{0, false, noService, true, kNoWayToSetBox},
             Row{1, true, Replied(kSynchronised), true, kSuccessBox},
             Row{1, true, Failed(ClockServiceStatus::kFailed, noAnswer), true, CouldNot(noAnswer)},
             // The service's words for the kinds the program knows become the program's.
             Row{1, true, Failed(ClockServiceStatus::kFailed, "time conversion error"), true,
                 CouldNot("the fixed offset leads to a time the clock cannot hold")},
             Row{1, true,
                 Failed(ClockServiceStatus::kFailed, "Windows refused to set the clock (error 5)"),
                 true, CouldNot("Windows refused to set the clock (error 5)")},
             Row{1, true, Failed(ClockServiceStatus::kFailed, "a newer service's reason"), true,
                 CouldNot("a newer service's reason")},
             Row{1, false, noService, true, kServiceSilentBox},
             Row{2, false, Replied(kSynchronised), false, kSuccessBox},
         }) {
        const std::string name = std::to_string(row.use) + (row.privilege ? " privileged " : " ") +
                                 (row.answer.replied() ? row.answer.reply.reason : "no service");
        RunHarness h;
        h.ServerDoes({});
        h.settings.nClockService = row.use;
        SetOption(h.settings, &UserOptions::nOffset, 45);
        h.clock.HoldPrivilege(row.privilege);
        h.clockService.Answer(row.answer);
        const bool synchronised = row.box == kSuccessBox;

        EXPECT_EQ(synchronised, h.RunNow(RunKind::kManual).ok()) << name;
        // A failure box names the server after the reason it already gives.
        const std::string box = synchronised ? row.box : row.box + "\n\nServer 0 (127.0.0.1).";
        EXPECT_EQ(std::vector<std::string>{box}, h.boxes.texts()) << name;
        const std::string status = h.record().connectStatus;
        const char* const expected = !synchronised ? "Communication error! \\d\\d:\\d\\d; .*"
                                     : row.throughService
                                         ? "Success synchro: .*Net delay: 0\\.250 sec\\."
                                         : "Success synchro: .*";
        EXPECT_TRUE(std::regex_match(status, std::regex(expected))) << name << ": " << status;
        EXPECT_EQ(synchronised ? 0 : 1, h.cursor.currentServer()) << name;

        const std::vector<ClockServiceRequest> requests =
            row.throughService ? std::vector<ClockServiceRequest>{{h.server.address(), 45}}
                               : std::vector<ClockServiceRequest>{};
        EXPECT_EQ(requests, h.clockService.requests()) << name;
        EXPECT_EQ(row.throughService ? 0 : 1, h.server.requests()) << name;
        EXPECT_EQ(row.throughService ? 0u : 2u, h.clock.sets().size()) << name;
    }
}

TEST(ClockServiceRouteTest, ThroughTheServiceTheRunRecordsAndWarnsAsItsOwnSetWould) {
    RunHarness h;
    h.SetLocalTime(10, 0, 0);
    h.clock.Freeze();
    h.settings.nClockService = Settings::kServiceAlways;
    SetOption(h.settings, &UserOptions::nMaxDiff, 5);
    // The service moves the clock ten minutes forward; meanwhile the user turns the warning
    // off, which only the next run sees.
    h.clockService.Answer(kSynchronised, [&h] {
        h.clock.Advance(600.0);
        SetOption(h.settings, &UserOptions::nMaxDiff, 0);
    });
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());

    EXPECT_EQ(0, h.record().timeBefore.wMinute);
    EXPECT_EQ(10, h.record().timeAfter.wMinute);
    EXPECT_EQ(10, h.marks.watchdogTime().wMinute);
    ASSERT_EQ(1u, h.boxes.texts().size());
    EXPECT_EQ(0u, h.boxes.texts()[0].find("10 minutes between")) << h.boxes.texts()[0];
}

// A step of the service that no second server confirmed is marked as the program's own is.
TEST(ClockServiceRouteTest, TheServicesUnconfirmedStepIsMarked) {
    for (const std::string reason : {"", kClockServiceUnconfirmed}) {
        RunHarness h;
        h.settings.nClockService = Settings::kServiceAlways;
        h.clockService.Answer(
            ClockServiceReply{ClockServiceStatus::kSynchronised, reason, 600.0, 0.25, 2});
        const RunResult result = h.RunNow(RunKind::kScheduled);
        ASSERT_TRUE(result.ok()) << reason;
        EXPECT_EQ(!reason.empty(), result.unconfirmed) << reason;
    }
}

TEST(ClockServiceRouteTest, BreakingTheRunEndsTheWaitForTheService) {
    RunHarness h;
    h.settings.nClockService = Settings::kServiceAlways;
    h.clockService.hang = true;
    h.scheduler->StartManualRun();
    const auto waitFor = [](auto condition) {
        // Far below the fake service's own bound of ten seconds.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return condition();
    };
    ASSERT_TRUE(waitFor([&h] { return h.clockService.requests().size() == 1; }));
    h.scheduler->BreakRun("Broken by the user.");
    EXPECT_TRUE(waitFor([&h] { return h.scheduler->AbandonedWorkers() == 0; }));
    EXPECT_TRUE(h.boxes.texts().empty());
    EXPECT_EQ("Broken by the user.", h.status().record.connectStatus);
}

// What the client met on the way to the service goes into the box, the pipe's error included.
TEST(ClockServiceRouteTest, TheClientsTroubleIsSaid) {
    using Outcome = ClockServiceAnswer::Outcome;
    const auto answer = [](Outcome outcome, std::uint32_t pipeError, std::uint32_t process,
                           bool running) {
        ClockServiceAnswer a;
        a.outcome = outcome;
        a.pipeError = pipeError;
        a.serverProcess = process;
        a.serviceRunning = running;
        return a;
    };
    const std::string server = "\n\nServer 0 (127.0.0.1)";
    const std::pair<ClockServiceAnswer, std::string> rows[] = {
        {answer(Outcome::kNoService, 231, 0, false),
         kServiceSilentBox + server +
             ": The Tickwell Clock service does not answer (pipe error 231)."},
        {answer(Outcome::kDistrusted, 0, 77, false),
         CouldNot("the service is not running, yet process 77 serves its pipe") + server + "."},
        {answer(Outcome::kDistrusted, 0, 77, true),
         CouldNot("process 77 serves the service's pipe, not the service") + server + "."},
        {answer(Outcome::kDistrusted, 5, 0, true),
         CouldNot("cannot tell which process serves the service's pipe (error 5)") + server + "."},
        {answer(Outcome::kUnreadable, 0, 0, true),
         CouldNot("the service's reply could not be read") + server + "."},
        {answer(Outcome::kTimedOut, 0, 0, true),
         CouldNot("the Tickwell Clock service did not answer within 30 seconds") + server + "."},
    };
    for (const auto& [given, box] : rows) {
        RunHarness h;
        h.settings.nClockService = Settings::kServiceAlways;
        h.clockService.Answer(given);
        EXPECT_FALSE(h.RunNow(RunKind::kManual).ok());
        EXPECT_EQ(std::vector<std::string>{box}, h.boxes.texts());
    }
}

}  // namespace
