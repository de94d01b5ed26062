// What the administrator reads in the event log for each kind of reply, and for the
// service's start, stop and failure to start: the inserts the service fills, and the texts
// TickwellClock.exe's message table makes of them.
#include "service/event_log_win.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/support/message_table_win.h"

namespace {

const std::string kPipe = kClockServicePipeName;

TEST(ServiceEventTest, EveryEventNamesWhatWasAskedAndWhyInTheTablesWords) {
    const MessageTable table(TICKWELL_BIN "/TickwellClock.exe");
    ASSERT_TRUE(table);
    const std::vector<std::uint8_t> request = EncodeClockServiceRequest({"time.example.org", 30});
    const auto reply = [](ClockServiceStatus status) {
        ClockServiceReply made = MalformedReply("why");
        made.status = status;
        return made;
    };
    struct Case {
        std::optional<LoggedEvent> event;
        EventLevel level;
        std::string text;
    };
    const Case cases[] = {
        {EventForReply(request, reply(ClockServiceStatus::kRefused)), EventLevel::kWarning,
         "Refused to synchronise the clock against \"time.example.org\" with a fixed offset of "
         "30 s: why."},
        {EventForReply(request, reply(ClockServiceStatus::kFailed)), EventLevel::kError,
         "Synchronising the clock against \"time.example.org\" with a fixed offset of 30 s "
         "failed: why."},
        {EventForReply(request, reply(ClockServiceStatus::kMalformed)), EventLevel::kWarning,
         "Refused a malformed request: why."},
        {PipeFailedEvent(ERROR_ACCESS_DENIED), EventLevel::kError,
         "The service could not create its pipe " + kPipe +
             ": another process has taken it (error 5)."},
        {PipeFailedEvent(ERROR_PIPE_BUSY), EventLevel::kError,
         "The service could not create its pipe " + kPipe +
             ": another process has taken it (error 231)."},
        {ServiceStartedEvent(), EventLevel::kInformation,
         "The Tickwell Clock service started and waits for requests on " + kPipe + "."},
        {ServiceStoppedEvent(), EventLevel::kInformation, "The Tickwell Clock service stopped."},
        {IgnoredPolicyEvent({PolicyScope::kMachineMandatory, "nMaxUserOffset",
                             IgnoredPolicyValue::Reason::kOutOfRange, "7200"}),
         EventLevel::kWarning,
         "The Tickwell Clock service ignores the policy value nMaxUserOffset = 7200 under "
         "HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvane\\Tickwell: it is outside 0 to 3600."},
        {IgnoredPolicyEvent({PolicyScope::kMachineMandatory, "bRequireNts",
                             IgnoredPolicyValue::Reason::kOutOfRange, "2"}),
         EventLevel::kWarning,
         "The Tickwell Clock service ignores the policy value bRequireNts = 2 under "
         "HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvane\\Tickwell: it is outside 0 to 1."},
        {IgnoredPolicyEvent({PolicyScope::kMachineMandatory, "ApprovedServers\\2",
                             IgnoredPolicyValue::Reason::kNoHost, "ntp example"}),
         EventLevel::kWarning,
         "The Tickwell Clock service ignores the policy value ApprovedServers\\2 = ntp example "
         "under HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvane\\Tickwell: it is no host name or "
         "address."},
    };
    std::set<std::uint32_t> ids;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(c.event);
        EXPECT_EQ(c.level, c.event->level);
        EXPECT_EQ(static_cast<int>(c.event->inserts.size()), table.InsertsTaken(c.event->id));
        EXPECT_EQ(c.text + "\r\n", table.Text(*c.event));
        ids.insert(c.event->id);
    }
    // The pipe's other failures are the system's words.
    const LoggedEvent memory = PipeFailedEvent(ERROR_NOT_ENOUGH_MEMORY);
    ids.insert(memory.id);
    EXPECT_EQ("8", memory.inserts.at(2));
    EXPECT_NE("another process has taken it", memory.inserts.at(1));
    EXPECT_FALSE(memory.inserts.at(1).empty());
    // A success is worth no event, and each kind has an id of its own in the table.
    EXPECT_FALSE(EventForReply(request, reply(ClockServiceStatus::kSynchronised)));
    const std::vector<std::uint32_t> tableIds = table.Ids();
    EXPECT_EQ(std::set<std::uint32_t>(tableIds.begin(), tableIds.end()), ids);
    EXPECT_EQ(7u, ids.size());
}

}  // namespace
