#include "sync/server_pacing.h"

#include <algorithm>

void ServerPacing::Asked(const std::string& server, TimePoint now) {
    Pace& pace = servers_[server];
    pace.asked = pace.asked ? std::max(*pace.asked, now) : now;
}

void ServerPacing::Answered(const std::string& server) {
    servers_[server].ratePause = Duration{};
}

void ServerPacing::Kissed(const std::string& server, const KissCode& code, TimePoint now) {
    Pace& pace = servers_[server];
    if (code.meaning() == KissCode::Meaning::kRefused) {
        pace.refused = true;
    } else if (code.meaning() == KissCode::Meaning::kSlowDown) {
        pace.ratePause = pace.ratePause == Duration{}
                             ? Duration(kFirstRatePause)
                             : std::min<Duration>(2 * pace.ratePause, kLongestRatePause);
        pace.pausedUntil = now + pace.ratePause;
    }
}

bool ServerPacing::Refused(const std::string& server) const {
    const auto found = servers_.find(server);
    return found != servers_.end() && found->second.refused;
}

bool ServerPacing::LeftAlone(const std::string& server, TimePoint now) const {
    const auto found = servers_.find(server);
    if (found == servers_.end()) {
        return false;
    }
    const Pace& pace = found->second;
    return pace.refused || (pace.pausedUntil && now < *pace.pausedUntil);
}

std::optional<ServerPacing::TimePoint> ServerPacing::FreeAt(const std::string& server) const {
    const auto found = servers_.find(server);
    if (found == servers_.end()) {
        return TimePoint{};
    }
    const Pace& pace = found->second;
    if (pace.refused) {
        return std::nullopt;
    }
    TimePoint free{};
    if (pace.asked) {
        free = *pace.asked + kLeastInterval;
    }
    if (pace.pausedUntil) {
        free = std::max(free, *pace.pausedUntil);
    }
    return free;
}
