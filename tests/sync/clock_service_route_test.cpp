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

ClockServiceReply Synchronised(bool unconfirmed = false) {
    ClockServiceReply reply;
    reply.status = ClockServiceStatus::kSynchronised;
    reply.offset = 0.5;
    reply.delay = 0.25;
    reply.stratum = 2;
    reply.unconfirmed = unconfirmed;
    return reply;
}

ClockServiceReply Failed(ClockServiceStatus status, FailureKind kind) {
    Failure failure = FailureOf(kind);
    if (kind == FailureKind::kClockRefused) {
        failure.error = 5;
    } else if (kind == FailureKind::kNoAnswer) {
        failure.address = "192.0.2.7";  // the address the service asked
        failure.timeoutMs = 5000;
    } else if (kind == FailureKind::kOther) {
        failure.account = "a newer service's reason";
    }
    return UnsuccessfulReply(status, failure, "127.0.0.1");
}

std::string CouldNot(const char* reason) {
    return std::string("The Tickwell Clock service could not synchronize: ") + reason + ".";
}

TEST(ClockServiceRouteTest, TheOptionAndThePrivilegeChooseTheWayAndFailuresSayWhatToDo) {
    using K = FailureKind;
    const ClockServiceStatus kFailedStatus = ClockServiceStatus::kFailed;
    struct Row {
        std::int32_t use;
        bool privilege;
        ClockServiceReply answer;
        bool throughService;
        std::string box;  // "Successful synchronization.", or why not
    };
    const ClockServiceReply noService = Failed(kFailedStatus, K::kServiceSilent);
    for (const Row& row : {
             Row{0, true, Synchronised(), false, kSuccessBox},
             Row{0, false, Synchronised(), true, kSuccessBox},
             Row{0, false, Failed(ClockServiceStatus::kRefused, K::kServerNotApproved), true,
                 CouldNot("server not approved by the administrator")},
             Row{0, false, noService, true, kNoWayToSetBox},
             Row{1, true, Synchronised(), true, kSuccessBox},
             // The service's failures in the program's words, the address it asked among them.
             Row{1, true, Failed(kFailedStatus, K::kNoAnswer), true,
                 CouldNot("no answer from 192.0.2.7 within 5 s")},
             Row{1, true, Failed(kFailedStatus, K::kConversionFailed), true,
                 CouldNot("the fixed offset leads to a time the clock cannot hold")},
             Row{1, true, Failed(kFailedStatus, K::kClockRefused), true,
                 CouldNot("Windows refused to set the clock (error 5)")},
             Row{1, true, Failed(kFailedStatus, K::kOther), true,
                 CouldNot("a newer service's reason")},
             Row{1, false, noService, true, kServiceSilentBox},
             Row{2, false, Synchronised(), false, kSuccessBox},
         }) {
        const std::string name =
            std::to_string(row.use) + (row.privilege ? " privileged " : " ") + row.answer.reason;
        RunHarness h;
        h.ServerDoes({});
        h.settings.clockService = row.use;
        SetOption(h.settings, &UserOptions::offsetSeconds, 45);
        h.clock.HoldPrivilege(row.privilege);
        h.clockService.Answer(row.answer);
        const bool synchronised = row.box == kSuccessBox;

        EXPECT_EQ(synchronised, h.RunNow(RunKind::kManual).ok()) << name;
        // A failure box names the server after the reason it already gives.
        const std::string address =
            row.answer.failure.address.empty() ? h.server.address() : row.answer.failure.address;
        const std::string box =
            synchronised ? row.box : row.box + "\n\nServer 0 (" + address + ").";
        EXPECT_EQ(std::vector<std::string>{box}, h.boxes.texts()) << name;
        const std::string status = h.record().connectStatus;
        const char* const expected = !synchronised ? "Communication error! \\d\\d:\\d\\d; .*"
                                     : row.throughService
                                         ? "Success synchro: .*Net delay: 0\\.250 sec\\."
                                         : "Success synchro: .*";
        EXPECT_TRUE(std::regex_match(status, std::regex(expected))) << name << ": " << status;
        EXPECT_EQ(synchronised ? 0 : 1, h.cursor.CurrentIndex()) << name;

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
    h.settings.clockService = Settings::kServiceAlways;
    SetOption(h.settings, &UserOptions::maxDiffMinutes, 5);
    // The service moves the clock ten minutes forward; meanwhile the user turns the warning
    // off, which only the next run sees.
    h.clockService.Answer(Synchronised(), [&h] {
        h.clock.Advance(600.0);
        SetOption(h.settings, &UserOptions::maxDiffMinutes, 0);
    });
    ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok());

    EXPECT_EQ(0, h.record().timeBefore.wMinute);
    EXPECT_EQ(10, h.record().timeAfter.wMinute);
    EXPECT_EQ(10, h.marks.WatchdogTime().wMinute);
    ASSERT_EQ(1u, h.boxes.texts().size());
    EXPECT_EQ(0u, h.boxes.texts()[0].find("10 minutes between")) << h.boxes.texts()[0];
}

// A step of the service that no second server confirmed is marked as the program's own is.
TEST(ClockServiceRouteTest, TheServicesUnconfirmedStepIsMarked) {
    for (const bool unconfirmed : {false, true}) {
        RunHarness h;
        h.settings.clockService = Settings::kServiceAlways;
        h.clockService.Answer(Synchronised(unconfirmed));
        const RunResult result = h.RunNow(RunKind::kScheduled);
        ASSERT_TRUE(result.ok()) << unconfirmed;
        EXPECT_EQ(unconfirmed, result.unconfirmed);
    }
}

TEST(ClockServiceRouteTest, BreakingTheRunEndsTheWaitForTheService) {
    RunHarness h;
    h.settings.clockService = Settings::kServiceAlways;
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
    const auto trouble = [](FailureKind kind, std::uint32_t error, std::uint32_t process) {
        Failure failure = FailureOf(kind);
        failure.error = error;
        failure.process = process;
        failure.timeoutMs = ClockService::kReplyLimitSeconds * 1000;
        return UnsuccessfulReply(ClockServiceStatus::kFailed, failure);
    };
    const std::string server = "\n\nServer 0 (127.0.0.1)";
    const std::pair<ClockServiceReply, std::string> rows[] = {
        {trouble(FailureKind::kServiceSilent, 231, 0),
         kServiceSilentBox + server +
             ": The Tickwell Clock service does not answer (pipe error 231)."},
        {trouble(FailureKind::kPipeWithoutService, 0, 77),
         CouldNot("the service is not running, yet process 77 serves its pipe") + server + "."},
        {trouble(FailureKind::kPipeNotTheService, 0, 77),
         CouldNot("process 77 serves the service's pipe, not the service") + server + "."},
        {trouble(FailureKind::kServiceUnidentified, 5, 0),
         CouldNot("cannot tell which process serves the service's pipe (error 5)") + server + "."},
        {trouble(FailureKind::kServiceUnreadable, 0, 0),
         CouldNot("the service's reply could not be read") + server + "."},
        {trouble(FailureKind::kServiceTimedOut, 0, 0),
         CouldNot("the Tickwell Clock service did not answer within 30 seconds") + server + "."},
    };
    for (const auto& [given, box] : rows) {
        RunHarness h;
        h.settings.clockService = Settings::kServiceAlways;
        h.clockService.Answer(given);
        EXPECT_FALSE(h.RunNow(RunKind::kManual).ok());
        EXPECT_EQ(std::vector<std::string>{box}, h.boxes.texts());
    }
}

}  // namespace
