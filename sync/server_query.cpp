#include "sync/server_query.h"

#include <algorithm>

Failure NetworkStartFailure(NetworkStartResult started) {
    switch (started) {
        case NetworkStartResult::kStarted:
            break;
        case NetworkStartResult::kFailed:
            return FailureOf(FailureKind::kNetworkStart);
        case NetworkStartResult::kWrongVersion:
            return FailureOf(FailureKind::kNetworkVersion);
    }
    return {};
}

RunResult ResultOf(const std::string& host, const ClockCorrection::Outcome& outcome,
                   const std::vector<ServerEntry>& secondOpinions,
                   std::optional<std::int32_t> setWithUserOffset) {
    RunResult result;
    result.host = host;
    result.failure = outcome.failure;
    result.address = outcome.address;
    result.offset = outcome.offset;
    result.delay = outcome.delay;
    result.stratum = outcome.stratum;
    result.answered = outcome.answered;
    result.unconfirmed = outcome.unconfirmed;
    result.secure = outcome.secure;
    result.datesCheckedByServerTime = outcome.datesCheckedByServerTime;
    const std::size_t asked = std::min(outcome.secondOpinionsAsked, secondOpinions.size());
    result.secondOpinionsAsked.assign(secondOpinions.begin(),
                                      secondOpinions.begin() + static_cast<std::ptrdiff_t>(asked));
    if (outcome.secondOpinion && *outcome.secondOpinion < secondOpinions.size() &&
        result.failure.kind == FailureKind::kDisagreement) {
        result.failure.otherServer = secondOpinions[*outcome.secondOpinion].title;
    }
    if (outcome.ok() && setWithUserOffset) {
        result.step = outcome.offset + *setWithUserOffset;
    } else if (outcome.failure.kind == FailureKind::kConversionFailed) {
        result.step = outcome.offset;  // the server's time was set, the offset was not
    }
    return result;
}
