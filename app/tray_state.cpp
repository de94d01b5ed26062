#include "app/tray_state.h"

#include <cmath>

#include "config/last_success.h"
#include "config/settings.h"

namespace {

bool WithinPeriod(const StatusView& status) {
    const std::optional<DateTime> now = DateTime::FromSystemTime(status.now);
    if (!now || !status.lastSuccess) {
        return false;
    }
    switch (status.period) {
        case Settings::kDaily: {
            SYSTEMTIME success{};
            return status.lastSuccess->ToSystemTime(&success) && SameDay(success, status.now);
        }
        case Settings::kHourly:
            // A success after now (the clock was set back) counts as recent.
            return WholeMinutes(*now - *status.lastSuccess) < kHourlyKeptMinutes;
        default:
            return !IsOverdue(status.lastSuccess, status.now, status.maxDays);
    }
}

// A daily clock after midnight waits for the day's run, which starts at a random moment in
// the day's first minutes: yesterday's success stands until that run is due.
bool WaitingForTheDaysRun(const StatusView& status) {
    const std::optional<DateTime> now = DateTime::FromSystemTime(status.now);
    return status.period == Settings::kDaily && now && status.lastSuccess && status.nextRun &&
           std::floor(now->days()) - std::floor(status.lastSuccess->days()) == 1 &&
           *status.nextRun - *now > 0;
}

}  // namespace

TrayState DecideTrayState(const StatusView& status) {
    if (status.running) {
        return TrayState::kRunning;
    }
    const bool lastSucceeded = status.last && status.last->ok();
    if (status.lastAutomatic && !status.lastAutomatic->ok() && !lastSucceeded) {
        return TrayState::kFailing;
    }
    return WithinPeriod(status) || WaitingForTheDaysRun(status) ? TrayState::kSynchronised
                                                                : TrayState::kOverdue;
}
