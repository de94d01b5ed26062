#include "service/event_log_win.h"

#include <string>

#include "base/system_error_text_win.h"
#include "config/clock_policy.h"
#include "resources/tickwell_clock_events.h"

namespace {

// The server and the fixed offset the request asked for; a request that could not be read
// names none.
std::vector<std::string> Asked(std::span<const std::uint8_t> request) {
    const ParsedClockServiceRequest parsed = ParseClockServiceRequest(request);
    if (!parsed.request) {
        return {"a server", "0"};
    }
    return {"\"" + parsed.request->host + "\"", std::to_string(parsed.request->offsetSeconds)};
}

}  // namespace

std::optional<LoggedEvent> EventForReply(std::span<const std::uint8_t> request,
                                         const ClockServiceReply& reply) {
    std::vector<std::string> inserts = Asked(request);
    inserts.push_back(reply.reason);
    switch (reply.status) {
        case ClockServiceStatus::kSynchronised:
            return std::nullopt;
        case ClockServiceStatus::kRefused:
            return LoggedEvent{EventLevel::kWarning, MSG_REQUEST_REFUSED, inserts};
        case ClockServiceStatus::kFailed:
            return LoggedEvent{EventLevel::kError, MSG_SYNCHRONISATION_FAILED, inserts};
        case ClockServiceStatus::kMalformed:
            return LoggedEvent{EventLevel::kWarning, MSG_REQUEST_MALFORMED, {reply.reason}};
    }
    return std::nullopt;
}

LoggedEvent PipeFailedEvent(DWORD error) {
    // The first instance of a pipe whose name another process holds is refused so.
    const bool taken = error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY;
    std::string cause = taken ? "another process has taken it" : SystemErrorText(error);
    if (cause.empty()) {
        cause = "Windows gives no reason";
    }
    return LoggedEvent{EventLevel::kError,
                       MSG_SERVICE_FAILED,
                       {kClockServicePipeName, cause, std::to_string(error)}};
}

LoggedEvent IgnoredPolicyEvent(const IgnoredPolicyValue& value) {
    std::string why;
    switch (value.reason) {
        case IgnoredPolicyValue::Reason::kOutOfRange: {
            const OptionRange range = ClockPolicyRange(value.name);
            why =
                "it is outside " + std::to_string(range.low) + " to " + std::to_string(range.high);
            break;
        }
        case IgnoredPolicyValue::Reason::kWrongType:
            why = value.name.find('\\') != std::string::npos ? "it is not a REG_SZ"
                                                             : "it is not a REG_DWORD";
            break;
        case IgnoredPolicyValue::Reason::kNoHost:
            why = "it is no host name or address";
            break;
    }
    // The service reads the machine's mandatory key only.
    return LoggedEvent{
        EventLevel::kWarning,
        MSG_POLICY_VALUE_IGNORED,
        {std::string("HKEY_LOCAL_MACHINE\\") + kMandatoryPolicyKey, value.name, value.found, why}};
}

LoggedEvent ServiceStartedEvent() {
    return LoggedEvent{EventLevel::kInformation, MSG_SERVICE_STARTED, {kClockServicePipeName}};
}

LoggedEvent ServiceStoppedEvent() {
    return LoggedEvent{EventLevel::kInformation, MSG_SERVICE_STOPPED, {}};
}
