#include "service/event_log_win.h"

#include "resources/tickwell_clock_events.h"
#include "service/service_identity_win.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
    return wide;
}

// "time.example.org" with an offset of 30 s, as the request asked.
std::string Asked(std::span<const std::uint8_t> request) {
    const ParsedClockServiceRequest parsed = ParseClockServiceRequest(request);
    if (!parsed.request) {
        return "a server";
    }
    std::string asked = "\"" + parsed.request->host + "\"";
    if (parsed.request->offsetSeconds != 0) {
        asked += " with an offset of " + std::to_string(parsed.request->offsetSeconds) + " s";
    }
    return asked;
}

}  // namespace

std::optional<ServiceEvent> EventForReply(std::span<const std::uint8_t> request,
                                          const ClockServiceReply& reply) {
    switch (reply.status) {
        case ClockServiceStatus::kSynchronised:
            return std::nullopt;
        case ClockServiceStatus::kRefused:
            return ServiceEvent{
                EVENTLOG_WARNING_TYPE, MSG_REQUEST_REFUSED,
                "Refused to synchronise against " + Asked(request) + ": " + reply.reason + "."};
        case ClockServiceStatus::kFailed:
            return ServiceEvent{
                EVENTLOG_ERROR_TYPE, MSG_SYNCHRONISATION_FAILED,
                "Synchronising against " + Asked(request) + " failed: " + reply.reason + "."};
        case ClockServiceStatus::kMalformed:
            return ServiceEvent{EVENTLOG_WARNING_TYPE, MSG_REQUEST_MALFORMED,
                                "Refused a malformed request: " + reply.reason + "."};
    }
    return std::nullopt;
}

ServiceEvent PipeFailedEvent(DWORD error) {
    // The first instance of a pipe whose name another process holds is refused so.
    const bool taken = error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY;
    return ServiceEvent{EVENTLOG_ERROR_TYPE, MSG_SERVICE_FAILED,
                        "The service could not create its pipe " +
                            std::string(kClockServicePipeName) +
                            (taken ? ": another process has taken it" : "") + " (error " +
                            std::to_string(error) + ")."};
}

EventLog::EventLog() : source_(::RegisterEventSourceW(nullptr, kEventSourceName)) {}

void EventLog::Report(const ServiceEvent& event) {
    if (!source_) {
        return;
    }
    const std::wstring text = Wide(event.text);
    const wchar_t* strings[] = {text.c_str()};
    ::ReportEventW(source_.get(), event.type, 0, event.id, nullptr, 1, 0, strings, nullptr);
}
