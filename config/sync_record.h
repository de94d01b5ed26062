// The record of the last synchronisation: the local times before and after it, its date,
// and the status line of the last attempt. There is one for the program's whole run.
#pragma once

#include <string>

#include "platform/month_names.h"
#include "base/system_time.h"

struct SyncRecord {
    static constexpr const char* kInitialStatus = "Initial. There was not synchronization yet.";

    SYSTEMTIME timeBefore{};
    SYSTEMTIME timeAfter{};
    SYSTEMTIME syncDate{};  // year 0: nothing recorded
    std::string connectStatus = kInitialStatus;
};

// "09:05:03   007ms"
std::string TimeBeforeText(const SyncRecord& record);
std::string TimeAfterText(const SyncRecord& record);
// "Mar. 07, 2003", or "00/00/0000" when nothing is recorded or the date is no date.
std::string SyncDateText(const SyncRecord& record, const MonthNames& months);

// The stamps that end the status lines of failures and start the line of a success.
std::string ErrorStamp(const SYSTEMTIME& local, const MonthNames& months);  // "14:05; 07-Mar-2003"
std::string DateStamp(const SYSTEMTIME& local, const MonthNames& months);   // "Mar. 07, 2003"
