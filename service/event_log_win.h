// The Windows event log under the source "Tickwell Clock", for what an administrator should
// see: requests the policy refused, synchronisations that failed, malformed requests, and a
// service that could not start. Reporting never stops the service: without the source's
// registration Windows still takes the events, and a log that cannot be opened is skipped.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/clock_service_protocol.h"
#include "base/unique_handle_win.h"

struct ServiceEvent {
    WORD type = EVENTLOG_WARNING_TYPE;
    DWORD id = 0;  // from resources/tickwell_clock_events.mc
    std::string text;

    bool operator==(const ServiceEvent&) const = default;
};

// What a reply sent for a request is worth telling the administrator; nothing for a success.
std::optional<ServiceEvent> EventForReply(std::span<const std::uint8_t> request,
                                          const ClockServiceReply& reply);
// The service could not make its pipe, for example because another process made it first.
ServiceEvent PipeFailedEvent(DWORD error);

class EventLog {
  public:
    EventLog();

    void Report(const ServiceEvent& event);

  private:
    UniqueEventSource source_;
};
