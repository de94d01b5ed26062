// What the main window, its tray tip and the History window show, taken in one call of the
// scheduler: the window reads nothing else of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/system_time.h"
#include "config/date_time.h"
#include "config/sync_record.h"
#include "platform/month_names.h"
#include "sync/run_result.h"

struct StatusView {
    SyncRecord record;              // the last synchronisation's, with the status line
    std::optional<RunResult> last;  // this copy's last run that was not abandoned
    // This copy's last scheduled run (or the one after a resume) that was not abandoned.
    std::optional<RunResult> lastAutomatic;
    bool running = false;
    // Local; empty when none is recorded. The record's date with its time after the step.
    std::optional<DateTime> lastSuccess;
    std::int32_t period = 0;   // a Settings::Period
    std::int32_t maxDays = 0;  // 0: no limit
    // Every server of the catalogue refused service (DENY, RSTR): scheduled runs ask none.
    bool allServersRefused = false;
    std::string serverTitle;          // of the server the next run asks; empty when none
    SYSTEMTIME now{};                 // local
    std::optional<DateTime> nextRun;  // local; empty when no scheduled run comes
    bool todaysRunDone = false;       // a daily schedule whose run has succeeded today
    // The machine woke up: a scheduled run comes as soon as a connection is reported.
    bool resumePending = false;
    bool otherTimeProgram = false;
    int runsEnded = 0;  // moves when a run ends: the history has a new line
    MonthNames months;  // for the record's dates
};
