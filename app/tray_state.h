// What the notification area's icon says about the clock at a glance.
#pragma once

enum class TrayState {
    kSynchronised,  // the last run succeeded within the schedule's period
    kRunning,       // a run is in progress
    kFailing,       // the last automatic attempt failed; the program tries again later
    kOverdue,       // no success for more than the allowed days, or never
};
