// The query-and-set step that the program's run and the Tickwell Clock service share: the
// SNTP exchange, a second server's opinion before a step of more than a minute, the clock set
// (stepped coarsely first when it is an hour or more off, then asked again and set
// precisely), and the user's fixed offset on top. Each set goes through
// the caller's hook, so the run can keep its sets behind its gate.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ntp/key_exchanger.h"
#include "ntp/sntp_client.h"
#include "platform/clock.h"

// A server as a correction asks it: plainly, or by secure time (NTS) after a key exchange.
struct TimeServer {
    // A bare host is a plain server.
    TimeServer(std::string serverHost, bool secure = false)
        : host(std::move(serverHost)), nts(secure) {}
    TimeServer(const char* serverHost, bool secure = false)
        : TimeServer(std::string(serverHost), secure) {}

    std::string host;
    bool nts = false;
};

class ClockCorrection {
  public:
    static constexpr double kCoarseStepSeconds = 3600.0;

    // An hour or more off either way: stepped in whole seconds first, then set precisely.
    static bool NeedsCoarseStep(double offset) { return std::fabs(offset) >= kCoarseStepSeconds; }

    // Makes one set of the clock (set), with whatever must go with it; false when the set
    // may no longer happen, which ends the correction.
    using SetHook = std::function<bool(const std::function<void()>& set)>;

    struct Outcome {
        // None when the clock was set (or the server measured); a disagreement names the
        // other server by its host as it was asked.
        Failure failure;
        double offset = 0.0;  // how far the clock was off: the first exchange's measurement
        double delay = 0.0;   // of the last exchange
        std::int32_t stratum = 0;
        bool answered = false;  // offset, delay and stratum are the server's measurement
        std::string address;    // that answered
        // The second opinion that answered before a large step: its place among those asked
        // for, and its measurement.
        std::optional<std::size_t> secondOpinion;
        double secondOffset = 0.0;
        std::size_t secondOpinionsAsked = 0;  // the first so many of the second opinions
        bool unconfirmed = false;             // a large step that no other server answered for
        bool secure = false;                  // the time taken was authenticated (NTS)
        // The server's certificates failed only on their dates against this clock: the time
        // lay within them and a second server agreed.
        bool datesCheckedByServerTime = false;

        bool ok() const { return !failure.failed(); }
    };

    // The client's time source must be the clock. Servers asked by NTS need keys; without
    // a key exchanger they fail as refused by TLS.
    ClockCorrection(Clock& clock, SntpClient& client, int sntpPort, SetHook hook,
                    KeyExchanger* keys = nullptr, QueryInterrupter* interrupter = nullptr);

    // Asks the server only; the clock is left alone.
    Outcome Measure(const TimeServer& server);
    // Asks the server, sets the clock to its time and then runs it userOffsetSeconds ahead.
    // Before a large step the other servers are asked in turn until one answers from another
    // address: only its agreement, or no answer at all, lets the step happen.
    Outcome Correct(const TimeServer& server, std::int32_t userOffsetSeconds,
                    const std::vector<TimeServer>& secondOpinions = {});

    // How many key exchanges the correction made: one per NTS server, and one more after an
    // NTSN kiss or when the cookies ran out.
    std::size_t keyExchanges() const { return keyExchanges_; }

  private:
    Outcome MeasureSecurely(const std::string& host);
    // The server's session of this correction, made by a key exchange when it has none or
    // its cookies are spent; its failure otherwise.
    Failure SessionFor(const std::string& host, bool renew);
    // For a server whose certificates failed only on their dates: its time must lie within
    // them and a second server must agree, whatever the step. False when the correction
    // ends here; outcome says why.
    bool ProveDates(const TimeServer& server, const std::vector<TimeServer>& secondOpinions,
                    Outcome* outcome);
    bool StepCoarsely(double offset);
    // False when the correction ends here: the other server disagrees, or the asking was
    // broken off; outcome says which.
    bool TakeSecondOpinion(const std::vector<TimeServer>& servers, Outcome* outcome);

    Clock& clock_;
    SntpClient& client_;
    int sntpPort_;
    SetHook hook_;
    KeyExchanger* keys_;
    QueryInterrupter* interrupter_;
    // In memory only, for the correction's length: the keys are never stored.
    std::map<std::string, SecureSession> sessions_;
    std::size_t keyExchanges_ = 0;
};

// Local time moved by whole seconds with calendar arithmetic, milliseconds kept; empty when
// the result is no calendar time the clock can hold.
std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds);
