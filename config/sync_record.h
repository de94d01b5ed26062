// The record of the last synchronisation: the local times before and after it, its date,
// and the status line of the last attempt. There is one for the program's whole run.
#pragma once

#include <string>

#include "base/system_time.h"

struct SyncRecord {
    static constexpr const char* kInitialStatus = "Initial. There was not synchronization yet.";

    SYSTEMTIME timeBefore{};
    SYSTEMTIME timeAfter{};
    SYSTEMTIME syncDate{};  // year 0: nothing recorded
    std::string connectStatus = kInitialStatus;
};
