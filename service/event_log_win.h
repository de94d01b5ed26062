// What the Tickwell Clock service tells an administrator in the Application log, under the
// source "Tickwell Clock": its start and stop, requests the policy refused, synchronisations
// that failed, malformed requests, policy values it ignores, and a service that could not
// start. The texts are the
// message table's (resources/tickwell_clock_events.mc); these fill its inserts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

#include "config/policy_source.h"
#include "platform/clock_service_protocol.h"
#include "platform/event_log.h"

// What a reply sent for a request is worth telling the administrator; nothing for a success.
std::optional<LoggedEvent> EventForReply(std::span<const std::uint8_t> request,
                                         const ClockServiceReply& reply);
// The service could not make its pipe, for example because another process made it first.
LoggedEvent PipeFailedEvent(DWORD error);
// A value of the machine's policy the service ignores, and why.
LoggedEvent IgnoredPolicyEvent(const IgnoredPolicyValue& value);
LoggedEvent ServiceStartedEvent();
LoggedEvent ServiceStoppedEvent();
