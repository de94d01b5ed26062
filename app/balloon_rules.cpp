#include "app/balloon_rules.h"

#include "config/last_success.h"

std::optional<BalloonCause> LastingCauseOf(const RunResult& result) {
    switch (result.failure.kind) {
        case FailureKind::kServiceSilent:
            return BalloonCause::kStepRefused;
        case FailureKind::kClockRefused:
            return result.throughService ? BalloonCause::kServiceRefused
                                         : BalloonCause::kStepRefused;
        case FailureKind::kConversionFailed:
            if (result.throughService) {
                return BalloonCause::kServiceRefused;
            }
            break;
        case FailureKind::kServerNotApproved:
        case FailureKind::kOffsetAboveLimit:
            return BalloonCause::kPolicyRefused;
        default:
            break;
    }
    return std::nullopt;
}

std::vector<BalloonCause> BalloonRules::Causes(const StatusView& status, TrayState state,
                                               TimePoint steadyNow) {
    std::vector<BalloonCause> causes;
    if (status.allServersRefused) {
        causes.push_back(BalloonCause::kAllServersRefused);
    }
    if (state == TrayState::kFailing && status.lastAutomatic) {
        if (const std::optional<BalloonCause> lasting = LastingCauseOf(*status.lastAutomatic)) {
            causes.push_back(*lasting);
        }
        if (failingSince_ && steadyNow - *failingSince_ >= kFailingLongEnough) {
            causes.push_back(BalloonCause::kFailingForAnHour);
        }
    }
    if (becameOverdue_) {
        causes.push_back(BalloonCause::kOverdue);
    }
    if (status.otherTimeProgram) {
        causes.push_back(BalloonCause::kOtherTimeProgram);
    }
    return causes;
}

std::optional<BalloonCause> BalloonRules::Decide(const StatusView& status, TrayState state,
                                                 bool notify, TimePoint steadyNow) {
    if (state != TrayState::kRunning && state != settled_) {
        settled_ = state;
        told_.clear();
        failingSince_.reset();
        if (state == TrayState::kFailing) {
            failingSince_ = steadyNow;
        }
    }
    // Overdue at start is the start's own warning box; only a change while running counts.
    const bool past = IsOverdue(status.lastSuccess, status.now, status.maxDays);
    becameOverdue_ = past && (becameOverdue_ || (pastAllowedDays_ && !*pastAllowedDays_));
    pastAllowedDays_ = past;

    if (!notify || (lastShown_ && steadyNow - *lastShown_ < kLeastInterval)) {
        return std::nullopt;
    }
    for (const BalloonCause cause : Causes(status, state, steadyNow)) {
        if (told_.insert(cause).second) {
            lastShown_ = steadyNow;
            return cause;
        }
    }
    return std::nullopt;
}
