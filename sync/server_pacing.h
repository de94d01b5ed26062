// How often automatic runs may ask each server of the catalogue (RFC 4330, section 10):
// never again within 15 s of the last request, not at all for a while after a RATE kiss
// (15 minutes, doubling on each further one, up to a day), and never again after DENY or
// RSTR until the program starts anew. Runs the user starts are not paced. Pure decisions on
// steady time the scheduler supplies; the scheduler keeps it under the run gate's lock.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

#include "ntp/kiss_code.h"

class ServerPacing {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;
    static constexpr std::chrono::seconds kLeastInterval{15};
    static constexpr std::chrono::minutes kFirstRatePause{15};
    static constexpr std::chrono::hours kLongestRatePause{24};

    // A request went out to the server, no later than now.
    void Asked(const std::string& server, TimePoint now);
    // The server answered with a good time: a later RATE pauses it from the start again.
    void Answered(const std::string& server);
    // The server answered with a kiss-o'-death code.
    void Kissed(const std::string& server, const KissCode& code, TimePoint now);

    // Refused (DENY, RSTR) or pausing after RATE: an automatic run goes on to the next.
    bool LeftAlone(const std::string& server, TimePoint now) const;
    bool Refused(const std::string& server) const;
    // The earliest time an automatic run may ask it; empty when it is refused.
    std::optional<TimePoint> FreeAt(const std::string& server) const;

  private:
    struct Pace {
        std::optional<TimePoint> asked;
        std::optional<TimePoint> pausedUntil;
        Duration ratePause{};
        bool refused = false;
    };
    std::map<std::string, Pace> servers_;
};
