// The clock service's sentences for its failures, in the words every version of the service
// has sent: what it says to programs of the first version and in the event log, and what a
// program reads back from a service of the first version. Only the words the first versions
// sent are read back into a kind; any other sentence reads as kOther, shown as it came.
#pragma once

#include <string>

#include "ntp/failure.h"

// The sentence for a failure met asking host ("no answer from pool.ntp.org: ...").
std::string ServiceReasonText(const Failure& failure, const std::string& host);
// A sentence of a service of the first version, its account the sentence itself. Any
// sentence reads back to itself: ServiceReasonText(ReadServiceReason(s), host) == s.
Failure ReadServiceReason(const std::string& reason);
