// The query-and-set step that the program's run and the Tickwell Clock service share: the
// SNTP exchange, a second server's opinion before a step of more than a minute, the clock set
// (stepped coarsely first when it is an hour or more off, then asked again and set
// precisely), and the user's fixed offset on top. Each set goes through
// the caller's hook, so the run can keep its sets behind its gate.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ntp/sntp_client.h"
#include "platform/clock.h"

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

        bool ok() const { return !failure.failed(); }
    };

    // The client's time source must be the clock.
    ClockCorrection(Clock& clock, SntpClient& client, int sntpPort, SetHook hook);

    // Asks the host only; the clock is left alone.
    Outcome Measure(const std::string& host);
    // Asks the host, sets the clock to its time and then runs it userOffsetSeconds ahead.
    // Before a large step the other hosts are asked in turn until one answers from another
    // address: only its agreement, or no answer at all, lets the step happen.
    Outcome Correct(const std::string& host, std::int32_t userOffsetSeconds,
                    const std::vector<std::string>& secondOpinions = {});

  private:
    bool StepCoarsely(double offset);
    // False when the correction ends here: the other server disagrees, or the asking was
    // broken off; outcome says which.
    bool TakeSecondOpinion(const std::vector<std::string>& hosts, Outcome* outcome);

    Clock& clock_;
    SntpClient& client_;
    int sntpPort_;
    SetHook hook_;
};

// Local time moved by whole seconds with calendar arithmetic, milliseconds kept; empty when
// the result is no calendar time the clock can hold.
std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds);
