// The program's events as an administrator's event viewer shows them: every event the
// program writes is in Tickwell.exe's message table, and its text takes exactly the inserts
// the program fills.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "app/program_events.h"
#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/message_table_win.h"
#include "tests/support/recording_event_log.h"

namespace {

// One of each event, written as the program writes them.
std::vector<LoggedEvent> EveryEvent() {
    RecordingEventLog log;
    MemoryProfileStore marks;
    FakeClock clock;
    ProgramEvents events(log, marks, clock);

    RunResult success;
    success.serverTitle = "Example";
    success.address = "192.0.2.1";
    success.offset = 0.0124;
    success.step = 0.0124;
    events.RunEnded(success, RunKind::kScheduled);
    events.RunEnded(Failed(FailureKind::kNoAnswer), RunKind::kManual);
    events.RunEnded(Failed(FailureKind::kClockRefused), RunKind::kManual);
    events.RunEnded(Failed(FailureKind::kDisagreement), RunKind::kManual);

    StatusView status;
    status.now = Calendar(2026, 12, 9, 10, 0);
    status.maxDays = 14;
    status.lastSuccess = DateTime::FromSystemTime(Calendar(2026, 11, 20, 8, 15));
    status.allServersRefused = true;
    status.otherTimeProgram = true;
    events.StatusSeen(status);

    const PolicyScope machine = PolicyScope::kMachineMandatory;
    events.PolicyApplied({{machine, "nSynPeriod", "1"}, {machine, "bNotify", "0"}});
    events.PolicyValuesIgnored(
        {{machine, "nMaxDays", IgnoredPolicyValue::Reason::kOutOfRange, "99"}});
    return log.events();
}

TEST(ProgramEventMessagesTest, EveryEventFormatsFromTheProgramWithItsInserts) {
    const MessageTable table(TICKWELL_BIN "/Tickwell.exe");
    ASSERT_TRUE(table);
    const std::vector<LoggedEvent> events = EveryEvent();
    std::set<std::uint32_t> written;
    for (const LoggedEvent& event : events) {
        SCOPED_TRACE(event.id);
        written.insert(event.id);
        EXPECT_EQ(static_cast<int>(event.inserts.size()), table.InsertsTaken(event.id));
        const std::optional<std::string> text = table.Text(event);
        ASSERT_TRUE(text);
        for (const std::string& insert : event.inserts) {
            EXPECT_NE(std::string::npos, text->find(insert)) << insert;
        }
        std::printf("%u: %s\n", event.id, text->c_str());
    }
    // The table holds no message the program never writes.
    const std::vector<std::uint32_t> ids = table.Ids();
    EXPECT_EQ(written, std::set<std::uint32_t>(ids.begin(), ids.end()));

    EXPECT_EQ(
        "Tickwell set the clock from Example (192.0.2.1): it was +0.012 s off and was moved by "
        "+0.012 s.\r\n\r\nExchange with the server: not secure\r\nSet by: Tickwell\r\nRun: "
        "scheduled\r\n",
        table.Text(events.at(0)));
    EXPECT_EQ(
        "A synchronisation with Example (192.0.2.1) failed: No answer from 192.0.2.1 within 20 "
        "s.\r\n\r\nRun: manual\r\n",
        table.Text(events.at(1)));
}

}  // namespace
