// What the notification area's icon says about the clock at a glance.
#pragma once

#include "sync/status_view.h"

enum class TrayState {
    kSynchronised,  // the last run succeeded within the schedule's period
    kRunning,       // a run is in progress
    kFailing,       // the last automatic attempt failed; the program tries again later
    kOverdue,       // no success for more than the allowed days, or never
};

// The hourly schedule counts as kept while the last success is less than this old: one run
// may fail or come late.
inline constexpr int kHourlyKeptMinutes = 120;

// In this order: a run in progress; an automatic attempt that failed with no success since;
// a success within the schedule's period (today, the last two hours, or the allowed days
// for a manual schedule, or yesterday while today's run is not yet due); otherwise overdue,
// which also covers a period that ended without a run's outcome.
TrayState DecideTrayState(const StatusView& status);
