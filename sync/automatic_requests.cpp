#include "sync/automatic_requests.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/clock_service_protocol.h"

namespace {

// A server as the pacing knows it: its catalogue entry.
std::string PacingKey(const std::string& title, const std::string& address) {
    return title + '\n' + address;
}

int DayNumber(const SYSTEMTIME& t) {
    return t.wYear * 10000 + t.wMonth * 100 + t.wDay;
}

// Failures before any request went out to the server.
bool RequestWentOut(RunFailure failure) {
    switch (failure) {
        case RunFailure::kInternetOpen:
        case RunFailure::kUrlOpen:
        case RunFailure::kNetworkStart:
        case RunFailure::kNetworkVersion:
        case RunFailure::kServiceSilent:
            return false;
        default:
            return true;
    }
}

}  // namespace

AutomaticRequests::AutomaticRequests(const SharedCatalogue& servers, ServerCursor& cursor,
                                     std::function<int(int bound)> random)
    : servers_(servers), cursor_(cursor), random_(std::move(random)) {}

void AutomaticRequests::DayDone(const SYSTEMTIME& today) {
    dayDone_ = DayNumber(today);
}

void AutomaticRequests::RunDue(const SYSTEMTIME& today, bool spread, TimePoint now) {
    if (spread && dayDone_ && *dayDone_ != DayNumber(today)) {
        dayStartAt_ = now + std::chrono::seconds(random_(kDayStartSpreadSeconds));
    }
    dayDone_.reset();
}

bool AutomaticRequests::BeforeDayStart(TimePoint now) const {
    return dayStartAt_ && now < *dayStartAt_;
}

void AutomaticRequests::DropDayStart() {
    dayStartAt_.reset();
}

AutomaticRequests::Start AutomaticRequests::MayStart(TimePoint now, const RunGate::Held& held) {
    // Said at once, not only once the pause between passes is over.
    if (ServersInPlay(now).empty()) {
        return Start::kNoneInPlay;
    }
    if (backoff_.waitUntil() && now < *backoff_.waitUntil()) {
        return Start::kWait;
    }
    // Never the one being left alone: on along the catalogue, as a failed run goes.
    while (pacing_.LeftAlone(NextServer(), now)) {
        cursor_.AdvanceServer(held);
    }
    const auto free = pacing_.FreeAt(NextServer());
    return free && now >= *free ? Start::kNow : Start::kWait;
}

bool AutomaticRequests::MayAsk(const std::string& title, const std::string& address,
                               TimePoint now) const {
    const std::string key = PacingKey(title, address);
    const std::optional<TimePoint> at = pacing_.FreeAt(key);
    return !pacing_.LeftAlone(key, now) && at && *at <= now;
}

std::optional<DateTime> AutomaticRequests::NextAttempt(const DateTime& due, const DateTime& current,
                                                       TimePoint now) const {
    std::optional<TimePoint> held = dayStartAt_;
    const auto later = [&held](TimePoint t) { held = held ? std::max(*held, t) : t; };
    if (backoff_.waitUntil()) {
        later(*backoff_.waitUntil());
    }
    const std::string server = NextServer();
    std::optional<TimePoint> free;
    if (!pacing_.LeftAlone(server, now)) {
        free = pacing_.FreeAt(server);
    } else if (const std::vector<std::string> inPlay = ServersInPlay(now); !inPlay.empty()) {
        free = pacing_.FreeAt(inPlay.front());
    } else {
        free = FirstServerFree();
    }
    if (!free) {
        return std::nullopt;
    }
    later(*free);
    if (*held <= now) {
        return due;
    }
    return current.AddSeconds(std::ceil(std::chrono::duration<double>(*held - now).count()));
}

bool AutomaticRequests::AllRefused() const {
    bool all = true;
    int servers = 0;
    servers_.With([&](const ServerCatalogue& catalogue) {
        servers = catalogue.size();
        for (int i = 0; i < servers && all; ++i) {
            const ServerEntry entry = catalogue.at(i);
            all = pacing_.Refused(PacingKey(entry.title, entry.address));
        }
    });
    return servers != 0 && all;
}

std::string AutomaticRequests::NextServer() const {
    return PacingKey(cursor_.CurrentServerTitle(), cursor_.CurrentServerAddress());
}

void AutomaticRequests::Asking(const std::string& title, const std::string& address,
                               TimePoint now) {
    pacing_.Asked(PacingKey(title, address), now);
}

void AutomaticRequests::RunEnded(const std::string& server, const RunResult& result, RunKind kind,
                                 TimePoint now) {
    if (RequestWentOut(result.failure)) {
        pacing_.Asked(server, now);
    }
    for (const ServerEntry& other : result.secondOpinionsAsked) {
        pacing_.Asked(PacingKey(other.title, other.address), now);
    }
    if (result.ok()) {
        pacing_.Answered(server);
        backoff_.End();
        return;
    }
    if (result.failure == RunFailure::kAbandoned) {
        return;
    }
    if (result.failure == RunFailure::kKissOfDeath) {
        pacing_.Kissed(server, result.detail, now);
    } else if (result.failure == RunFailure::kServiceFailed) {
        // The service asked the server for us: a kiss code it got is meant for us too.
        const ClockServiceReason reason = ParseClockServiceReason(result.service.reply.reason);
        if (reason.failure == ClockServiceFailure::kKissOfDeath) {
            pacing_.Kissed(server, reason.detail, now);
        }
    }
    backoff_.Tried(server, ServersInPlay(now), IsAutomatic(kind), now);
}

void AutomaticRequests::EndPause() {
    backoff_.End();
}

std::vector<std::string> AutomaticRequests::ServersInPlay(TimePoint now) const {
    std::vector<std::string> inPlay;
    servers_.With([&](const ServerCatalogue& catalogue) {
        for (int i = 0; i < catalogue.size(); ++i) {
            const ServerEntry entry = catalogue.at(i);
            std::string key = PacingKey(entry.title, entry.address);
            if (!pacing_.LeftAlone(key, now)) {
                inPlay.push_back(std::move(key));
            }
        }
    });
    return inPlay;
}

std::optional<AutomaticRequests::TimePoint> AutomaticRequests::FirstServerFree() const {
    std::optional<TimePoint> first;
    servers_.With([&](const ServerCatalogue& catalogue) {
        for (int i = 0; i < catalogue.size(); ++i) {
            const ServerEntry entry = catalogue.at(i);
            const auto free = pacing_.FreeAt(PacingKey(entry.title, entry.address));
            if (free && (!first || *free < *first)) {
                first = free;
            }
        }
    });
    return first;
}
