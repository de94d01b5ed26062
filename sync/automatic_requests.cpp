#include "sync/automatic_requests.h"

#include <algorithm>
#include <utility>

namespace {

// A server as the pacing knows it: its catalogue entry.
std::string PacingKey(const std::string& title, const std::string& address) {
    return title + '\n' + address;
}

// Failures before any request went out to the server, from this process or the service.
bool RequestWentOut(FailureKind failure) {
    switch (failure) {
        case FailureKind::kInternetOpen:
        case FailureKind::kUrlOpen:
        case FailureKind::kNetworkStart:
        case FailureKind::kNetworkVersion:
        case FailureKind::kServerNotApproved:
        case FailureKind::kOffsetAboveLimit:
        case FailureKind::kMalformedRequest:
        case FailureKind::kServiceSilent:
        case FailureKind::kServiceUnidentified:
        case FailureKind::kPipeNotTheService:
        case FailureKind::kPipeWithoutService:
            return false;
        default:
            return true;
    }
}

}  // namespace

AutomaticRequests::AutomaticRequests(const SharedCatalogue& servers, ServerCursor& cursor,
                                     std::function<int(int bound)> random,
                                     std::function<bool()> onlySecure)
    : servers_(servers),
      cursor_(cursor),
      random_(std::move(random)),
      onlySecure_(std::move(onlySecure)) {}

bool AutomaticRequests::InPlay(const ServerEntry& entry, TimePoint now) const {
    return Playable(entry) && !pacing_.LeftAlone(PacingKey(entry.title, entry.address), now);
}

void AutomaticRequests::DayDone(const SYSTEMTIME& today) {
    const int day = DaySpread::DayOf(today);
    if (!daySpread_ || daySpread_->doneDay != day) {
        daySpread_ = DaySpread{day, random_(kDayStartSpreadSeconds)};
    }
}

void AutomaticRequests::DropDaySpread() {
    daySpread_.reset();
}

AutomaticRequests::Hold AutomaticRequests::HeldBack(TimePoint now, const RunGate::Held&) const {
    Hold hold;
    std::optional<TimePoint> free;
    if (const std::optional<std::string> server = NextServerInPlay(now)) {
        free = pacing_.FreeAt(*server);
    } else {
        // Said at once, not only once the pause between passes is over.
        hold.noneInPlay = true;
        free = FirstServerFree();
    }
    if (!free) {
        return hold;
    }
    const TimePoint at = std::max(*free, backoff_.waitUntil().value_or(*free));
    hold.wait = std::max(Duration{}, at - now);
    return hold;
}

void AutomaticRequests::Starting(TimePoint now, const RunGate::Held& held) {
    const std::optional<std::string> server = NextServerInPlay(now);
    for (int steps = servers_.Size(); server && steps > 0 && NextServer() != *server; --steps) {
        cursor_.AdvanceServer(held);
    }
}

bool AutomaticRequests::MayAsk(const std::string& title, const std::string& address, TimePoint now,
                               const RunGate::Held&) const {
    const std::string key = PacingKey(title, address);
    const std::optional<TimePoint> at = pacing_.FreeAt(key);
    return !pacing_.LeftAlone(key, now) && at && *at <= now;
}

bool AutomaticRequests::AllRefused(const RunGate::Held&) const {
    bool all = true;
    int servers = 0;
    servers_.With([&](const ServerCatalogue& catalogue) {
        servers = catalogue.Size();
        for (int i = 0; i < servers && all; ++i) {
            const ServerEntry entry = catalogue.At(i);
            all = pacing_.Refused(PacingKey(entry.title, entry.address));
        }
    });
    return servers != 0 && all;
}

std::string AutomaticRequests::NextServer() const {
    return PacingKey(cursor_.CurrentServerTitle(), cursor_.CurrentServerAddress());
}

void AutomaticRequests::Asking(const std::string& title, const std::string& address, TimePoint now,
                               const RunGate::Held&) {
    pacing_.Asked(PacingKey(title, address), now);
}

void AutomaticRequests::RunEnded(const std::string& server, const RunResult& result, RunKind kind,
                                 TimePoint now, const RunGate::Held&) {
    if (RequestWentOut(result.failure.kind)) {
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
    if (result.failure.kind == FailureKind::kAbandoned) {
        return;
    }
    // A kiss code the service got when it asked the server for us is meant for us too.
    if (result.failure.kiss) {
        pacing_.Kissed(server, *result.failure.kiss, now);
    }
    backoff_.Tried(server, ServersInPlay(now), IsAutomatic(kind), now);
}

void AutomaticRequests::EndPause(const RunGate::Held&) {
    backoff_.End();
}

std::vector<std::string> AutomaticRequests::ServersInPlay(TimePoint now) const {
    std::vector<std::string> inPlay;
    servers_.With([&](const ServerCatalogue& catalogue) {
        for (int i = 0; i < catalogue.Size(); ++i) {
            const ServerEntry entry = catalogue.At(i);
            if (InPlay(entry, now)) {
                inPlay.push_back(PacingKey(entry.title, entry.address));
            }
        }
    });
    return inPlay;
}

std::optional<std::string> AutomaticRequests::NextServerInPlay(TimePoint now) const {
    if (ServersInPlay(now).empty()) {
        return std::nullopt;
    }
    if (InPlay(cursor_.CurrentServer(), now)) {
        return NextServer();
    }
    // The cursor names an entry, since one being left alone is one of the catalogue's.
    const int cursor = cursor_.CurrentIndex();
    return servers_.With([&](const ServerCatalogue& catalogue) -> std::optional<std::string> {
        for (int step = 1; step < catalogue.Size(); ++step) {
            const ServerEntry entry = catalogue.At((cursor + step) % catalogue.Size());
            if (InPlay(entry, now)) {
                return PacingKey(entry.title, entry.address);
            }
        }
        return std::nullopt;
    });
}

std::optional<AutomaticRequests::TimePoint> AutomaticRequests::FirstServerFree() const {
    std::optional<TimePoint> first;
    servers_.With([&](const ServerCatalogue& catalogue) {
        for (int i = 0; i < catalogue.Size(); ++i) {
            const ServerEntry entry = catalogue.At(i);
            const auto free = Playable(entry)
                                  ? pacing_.FreeAt(PacingKey(entry.title, entry.address))
                                  : std::nullopt;
            if (free && (!first || *free < *first)) {
                first = free;
            }
        }
    });
    return first;
}
