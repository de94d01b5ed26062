// What the administrator reads in the event log for each kind of reply.
#include "service/event_log_win.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(ServiceEventTest, NamesTheServerAskedAndTheReason) {
    const std::vector<std::uint8_t> request = EncodeClockServiceRequest({"time.example.org", 30});
    struct Case {
        ClockServiceStatus status;
        std::optional<WORD> type;  // none: nothing worth reporting
        const char* text;
    };
    const std::vector<Case> cases = {
        {ClockServiceStatus::kSynchronised, std::nullopt, ""},
        {ClockServiceStatus::kRefused, EVENTLOG_WARNING_TYPE,
         "Refused to synchronise against \"time.example.org\" with an offset of 30 s: why."},
        {ClockServiceStatus::kFailed, EVENTLOG_ERROR_TYPE,
         "Synchronising against \"time.example.org\" with an offset of 30 s failed: why."},
        {ClockServiceStatus::kMalformed, EVENTLOG_WARNING_TYPE,
         "Refused a malformed request: why."},
    };
    std::vector<DWORD> ids;
    for (const Case& c : cases) {
        ClockServiceReply reply = MalformedReply("why");
        reply.status = c.status;
        const std::optional<ServiceEvent> event = EventForReply(request, reply);
        ASSERT_EQ(event.has_value(), c.type.has_value()) << c.text;
        if (event) {
            EXPECT_EQ(event->type, *c.type);
            EXPECT_EQ(event->text, c.text);
            ids.push_back(event->id);
        }
    }
    // Each kind has its own id, so that an administrator can filter for it.
    EXPECT_EQ(std::set<DWORD>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(ServiceEventTest, SaysWhenAnotherProcessHasTakenThePipe) {
    const std::string pipe = kClockServicePipeName;
    for (const auto& [error, text] : std::vector<std::pair<DWORD, std::string>>{
             {ERROR_ACCESS_DENIED, ": another process has taken it (error 5)."},
             {ERROR_PIPE_BUSY, ": another process has taken it (error 231)."},
             {ERROR_NOT_ENOUGH_MEMORY, " (error 8)."}}) {
        const ServiceEvent event = PipeFailedEvent(error);
        EXPECT_EQ(event.type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(event.text, "The service could not create its pipe " + pipe + text);
    }
}

}  // namespace
