// What the program writes to the Application log: which event each run's end and each
// condition of the status is, with its inserts, and how often, so that the log never floods.
#include "app/program_events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/recording_event_log.h"

namespace {

using Id = ProgramEventId;

class ProgramEventsTest : public testing::Test {
  protected:
    ProgramEventsTest() {
        clock.Freeze();
        clock.SetLocalNow(Calendar(2026, 12, 9, 10, 0));
    }

    // A start of the program: what it remembers of its events is in the user's profile.
    void Restart() {
        events = std::make_unique<ProgramEvents>(log, marks, clock,
                                                 [this] { return clock.SteadyNow(); });
    }
    std::vector<std::uint32_t> Ids() const { return log.ids(); }
    static std::uint32_t Of(Id id) { return static_cast<std::uint32_t>(id); }
    static RunResult Succeeded(bool throughService = false) {
        RunResult result;
        result.serverTitle = "Example";
        result.host = "ntp.example.org";
        result.address = "192.0.2.1";
        result.offset = -0.0124;
        result.step = -0.0124;
        result.answered = true;
        result.throughService = throughService;
        return result;
    }

    FakeClock clock;
    RecordingEventLog log;
    MemoryProfileStore marks;
    std::unique_ptr<ProgramEvents> events =
        std::make_unique<ProgramEvents>(log, marks, clock, [this] { return clock.SteadyNow(); });
};

TEST_F(ProgramEventsTest, EachRunEndsInTheEventOfItsFactWithItsInserts) {
    const std::string example = "Example|192.0.2.1|";
    struct Case {
        RunResult result;
        RunKind kind;
        EventLevel level;
        Id id;
        std::string inserts;  // joined by '|'
    };
    const Case cases[] = {
        {Succeeded(), RunKind::kManual, EventLevel::kInformation, Id::kClockSet,
         example + "manual|-0.012|-0.012|not secure|Tickwell"},
        {Succeeded(true), RunKind::kAfterResume, EventLevel::kInformation, Id::kClockSet,
         example + "after resume|-0.012|-0.012|not secure|the Tickwell Clock service"},
        {Failed(FailureKind::kNoAnswer), RunKind::kScheduled, EventLevel::kWarning, Id::kRunFailed,
         example + "scheduled|No answer from 192.0.2.1 within 20 s."},
        {Kissed("DENY"), RunKind::kManual, EventLevel::kWarning, Id::kRunFailed,
         example +
             "manual|The server refused to serve us (DENY). Scheduled runs will not ask it again "
             "until Tickwell starts anew."},
        {Failed(FailureKind::kDisagreement), RunKind::kScheduled, EventLevel::kWarning,
         Id::kServersDisagree, example + "scheduled|Second|192.0.2.2|10800"},
        {FailedInService(FailureKind::kDisagreement), RunKind::kManual, EventLevel::kWarning,
         Id::kServersDisagree, example + "manual|Second|192.0.2.2|10800"},
        {Failed(FailureKind::kClockRefused), RunKind::kScheduled, EventLevel::kError,
         Id::kStepRefused, example + "scheduled|Windows refused to set the clock (error 1314)."},
        {FailedInService(FailureKind::kServerNotApproved), RunKind::kManual, EventLevel::kError,
         Id::kStepRefused,
         example +
             "manual|The Tickwell Clock service could not synchronize: server not approved by "
             "the administrator."},
        {FailedInService(FailureKind::kServiceSilent), RunKind::kScheduled, EventLevel::kError,
         Id::kStepRefused, example + "scheduled|The Tickwell Clock service does not answer."},
        // In the program, a time the clock cannot hold is this offset's, not for good.
        {Failed(FailureKind::kConversionFailed), RunKind::kManual, EventLevel::kWarning,
         Id::kRunFailed,
         example + "manual|The fixed offset leads to a time the clock cannot hold."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inserts);
        RecordingEventLog caseLog;
        MemoryProfileStore caseMarks;
        ProgramEvents caseEvents(caseLog, caseMarks, clock);
        caseEvents.RunEnded(c.result, c.kind);
        const std::vector<LoggedEvent> written = caseLog.events();
        ASSERT_EQ(1u, written.size());
        EXPECT_EQ(c.level, written[0].level);
        EXPECT_EQ(Of(c.id), written[0].id);
        std::string inserts;
        for (const std::string& insert : written[0].inserts) {
            inserts += (inserts.empty() ? "" : "|") + insert;
        }
        EXPECT_EQ(c.inserts, inserts);
    }
}

// Every start and copy of this user's program counts together; a clock set back from a day
// ahead is on another day.
TEST_F(ProgramEventsTest, ASuccessIsToldOnceADayPerUser) {
    struct Step {
        SYSTEMTIME local;
        bool restart;
        bool told;
    };
    const Step steps[] = {
        {Calendar(2026, 12, 9, 10, 0), false, true},  {Calendar(2026, 12, 9, 15, 30), false, false},
        {Calendar(2026, 12, 9, 23, 59), true, false}, {Calendar(2026, 12, 10, 0, 5), false, true},
        {Calendar(2026, 12, 10, 9, 0), true, false},  {Calendar(2026, 12, 9, 9, 0), false, true},
    };
    for (const Step& step : steps) {
        clock.SetLocalNow(step.local);
        if (step.restart) {
            Restart();
        }
        log.clear();
        events->RunEnded(Failed(FailureKind::kNoAnswer), RunKind::kManual);
        events->RunEnded(Succeeded(), RunKind::kScheduled);
        const std::vector<std::uint32_t> expected =
            step.told ? std::vector{Of(Id::kRunFailed), Of(Id::kClockSet)}
                      : std::vector{Of(Id::kRunFailed)};
        EXPECT_EQ(expected, Ids()) << step.local.wDay << " " << step.local.wHour;
    }
    EXPECT_EQ(MemoryProfileStore::Value(std::int32_t{20261209}),
              marks.value(ProgramEvents::kMarksSection, "nClockSetDay"));
}

TEST_F(ProgramEventsTest, TheSchedulesFailuresAreToldOnceAnHourAndTheUsersEveryTime) {
    const RunResult silent = Failed(FailureKind::kNoAnswer);
    const RunResult disagreeing = Failed(FailureKind::kDisagreement);
    const auto expect = [&](std::vector<Id> told) {
        std::vector<std::uint32_t> ids;
        for (const Id id : told) {
            ids.push_back(Of(id));
        }
        EXPECT_EQ(ids, Ids());
        log.clear();
    };
    events->RunEnded(silent, RunKind::kScheduled);
    events->RunEnded(disagreeing, RunKind::kScheduled);
    expect({Id::kRunFailed, Id::kServersDisagree});

    clock.Advance(59 * 60);
    events->RunEnded(silent, RunKind::kScheduled);
    events->RunEnded(silent, RunKind::kAfterResume);
    events->RunEnded(silent, RunKind::kManual);
    expect({Id::kRunFailed});

    clock.Advance(61);
    events->RunEnded(silent, RunKind::kScheduled);
    events->RunEnded(silent, RunKind::kScheduled);
    expect({Id::kRunFailed});

    // After a success the next failure is news at once.
    events->RunEnded(Succeeded(), RunKind::kScheduled);
    events->RunEnded(silent, RunKind::kScheduled);
    events->RunEnded(disagreeing, RunKind::kScheduled);
    expect({Id::kClockSet, Id::kRunFailed, Id::kServersDisagree});
}

TEST_F(ProgramEventsTest, LastingConditionsAreToldWhenTheyBegin) {
    StatusView status;
    status.now = Calendar(2026, 12, 9, 10, 0);
    status.maxDays = 14;
    status.lastSuccess = DateTime::FromSystemTime(Calendar(2026, 11, 20, 8, 15));
    status.allServersRefused = true;
    events->StatusSeen(status);
    const std::vector<LoggedEvent> begun = log.events();
    ASSERT_EQ(2u, begun.size());
    EXPECT_EQ((LoggedEvent{EventLevel::kError, Of(Id::kAllServersRefused), {}}), begun[0]);
    EXPECT_EQ((LoggedEvent{EventLevel::kWarning, Of(Id::kOverdue), {"14", "2026-11-20 08:15"}}),
              begun[1]);
    log.clear();

    events->StatusSeen(status);
    status.otherTimeProgram = true;
    events->StatusSeen(status);
    status.otherTimeProgram = false;
    events->StatusSeen(status);
    status.otherTimeProgram = true;
    events->StatusSeen(status);
    const LoggedEvent other{EventLevel::kWarning, Of(Id::kOtherTimeProgram), {"3"}};
    EXPECT_EQ((std::vector<LoggedEvent>{other, other}), log.events());
    log.clear();

    // Overdue ends with a success, and a limit of 0 allows any age.
    status.lastSuccess = DateTime::FromSystemTime(status.now);
    events->StatusSeen(status);
    status.now = Calendar(2026, 12, 24, 10, 1);
    events->StatusSeen(status);
    status.maxDays = 0;
    events->StatusSeen(status);
    EXPECT_EQ(std::vector{Of(Id::kOverdue)}, Ids());
}

TEST_F(ProgramEventsTest, APolicyIsToldOnceADayAndWhenItChanges) {
    const std::string machine = R"(HKEY_LOCAL_MACHINE\Software\Policies\Quorvane\Tickwell)";
    const PolicyScope mandatory = PolicyScope::kMachineMandatory;
    const std::vector<AppliedPolicyValue> daily = {
        {mandatory, "nSynPeriod", "0"}, {PolicyScope::kMachineRecommended, "nMaxDays", "7"}};
    const std::vector<AppliedPolicyValue> hourly = {{mandatory, "nSynPeriod", "1"}};
    using Reason = IgnoredPolicyValue::Reason;
    const IgnoredPolicyValue tooLong{mandatory, "nMaxDays", Reason::kOutOfRange, "99"};
    const IgnoredPolicyValue text{mandatory, "bNotify", Reason::kWrongType, ""};
    const IgnoredPolicyValue server{mandatory, "Servers\\2", Reason::kNoHost, "ntp example"};

    events->PolicyApplied(daily);
    events->PolicyValuesIgnored({tooLong, text, server});
    const std::vector<LoggedEvent> first = log.events();
    ASSERT_EQ(4u, first.size());
    EXPECT_EQ((LoggedEvent{EventLevel::kInformation,
                           Of(Id::kPolicyApplied),
                           {"nSynPeriod = 0 (" + machine + ")\r\nnMaxDays = 7 (" + machine +
                            "\\Recommended)"}}),
              first[0]);
    EXPECT_EQ((LoggedEvent{EventLevel::kWarning,
                           Of(Id::kPolicyValueIgnored),
                           {machine, "nMaxDays", "99", "it is outside 0 to 45"}}),
              first[1]);
    EXPECT_EQ((std::vector<std::string>{machine, "bNotify", "", "it is not a REG_DWORD"}),
              first[2].inserts);
    EXPECT_EQ("it is no host name or address", first[3].inserts[3]);
    log.clear();

    // Read again the same day, after a restart too: nothing new.
    events->PolicyApplied(daily);
    Restart();
    events->PolicyValuesIgnored({tooLong, text, server});
    EXPECT_TRUE(Ids().empty());

    events->PolicyApplied(hourly);
    events->PolicyValuesIgnored({tooLong});
    EXPECT_EQ((std::vector{Of(Id::kPolicyApplied), Of(Id::kPolicyValueIgnored)}), Ids());
    log.clear();

    // No policy says nothing, and one that comes back is told again.
    events->PolicyApplied({});
    events->PolicyValuesIgnored({});
    events->PolicyApplied(hourly);
    EXPECT_EQ(std::vector{Of(Id::kPolicyApplied)}, Ids());
    log.clear();

    clock.SetLocalNow(Calendar(2026, 12, 10, 8, 0));
    events->PolicyApplied(hourly);
    events->PolicyValuesIgnored({tooLong});
    EXPECT_EQ((std::vector{Of(Id::kPolicyApplied), Of(Id::kPolicyValueIgnored)}), Ids());
}

}  // namespace
