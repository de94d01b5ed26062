// The record of the last synchronisation: the local times before and after it, its date,
// and the status line of the last attempt. There is one for the program's whole run.
#pragma once

#include <string>

#include "base/system_time.h"

struct SyncRecord {
    // Why the record holds no status line: nothing was recorded yet, or the store held none.
    enum class MissingStatus { kNotYet, kNotStored };

    SYSTEMTIME timeBefore{};
    SYSTEMTIME timeAfter{};
    SYSTEMTIME syncDate{};      // year 0: nothing recorded
    std::string connectStatus;  // empty: none, for the reason below
    MissingStatus missingStatus = MissingStatus::kNotYet;
};
