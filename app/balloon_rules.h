// When the notification area's balloon speaks up: for what the next scheduled run will not
// mend, and for a state that lasts. At most one balloon per cause until the icon's state
// changes (a run in progress does not count as a change), never two within an hour, none
// while the user has turned them off.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <vector>

#include "app/tray_state.h"
#include "sync/status_view.h"

enum class BalloonCause {
    kStepRefused,        // Windows refused to set the clock, and no service set it either
    kServiceRefused,     // the Tickwell Clock service would not set the clock
    kPolicyRefused,      // the machine's policy refused the server or the step
    kAllServersRefused,  // every server of the catalogue refused service (DENY, RSTR)
    kFailingForAnHour,   // scheduled runs have failed for an hour
    kOverdue,            // while the program runs, the last success grew too old
    kOtherTimeProgram,   // another program keeps setting the clock
};

// The cause a scheduled run's failure gives, when the next run will not mend it.
std::optional<BalloonCause> LastingCauseOf(const RunResult& result);

class BalloonRules {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::hours kLeastInterval{1};
    static constexpr std::chrono::hours kFailingLongEnough{1};

    // The balloon to show now, if any, for the state decided from status and the user's
    // switch; steadyNow measures the hour.
    std::optional<BalloonCause> Decide(const StatusView& status, TrayState state, bool notify,
                                       TimePoint steadyNow);

  private:
    // The causes present now, the most pressing first.
    std::vector<BalloonCause> Causes(const StatusView& status, TrayState state,
                                     TimePoint steadyNow);

    std::optional<TrayState> settled_;  // the last state other than kRunning
    std::set<BalloonCause> told_;       // since the settled state last changed
    std::optional<TimePoint> lastShown_;
    std::optional<TimePoint> failingSince_;
    std::optional<bool> pastAllowedDays_;  // as first seen, then as last seen
    bool becameOverdue_ = false;
};
