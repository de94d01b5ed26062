#include "app/balloon_rules.h"

#include "config/last_success.h"
#include "platform/clock_service_protocol.h"

std::optional<BalloonCause> LastingCauseOf(const RunResult& result) {
    using Outcome = ClockServiceAnswer::Outcome;
    switch (result.failure) {
        case RunFailure::kClockRefused:
        case RunFailure::kServiceSilent:
            return BalloonCause::kStepRefused;
        case RunFailure::kServiceFailed:
            break;
        default:
            return std::nullopt;
    }
    if (result.service.outcome != Outcome::kReplied) {
        return std::nullopt;
    }
    switch (ParseClockServiceReason(result.service.reply.reason).failure) {
        case ClockServiceFailure::kServerNotApproved:
        case ClockServiceFailure::kOffsetAboveLimit:
            return BalloonCause::kPolicyRefused;
        case ClockServiceFailure::kClockRefused:
        case ClockServiceFailure::kConversionFailed:
            return BalloonCause::kServiceRefused;
        default:
            return std::nullopt;
    }
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
