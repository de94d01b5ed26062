// The query-and-set step that the program's run and the Tickwell Clock service share: the
// SNTP exchange, the clock set (stepped coarsely first when it is an hour or more off, then
// asked again and set precisely), and the user's fixed offset on top. Each set goes through
// the caller's hook, so the run can keep its sets behind its gate.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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
        enum class Result {
            kSucceeded,
            kNoAnswer,          // failure says why
            kClockRefused,      // the platform refused a set: setError
            kConversionFailed,  // the user's offset leads to no time the clock can hold
            kAbandoned,         // the hook refused a set
        };
        Result result = Result::kNoAnswer;
        double offset = 0.0;  // how far the clock was off: the first exchange's measurement
        double delay = 0.0;   // of the last exchange
        std::int32_t stratum = 0;
        bool answered = false;  // offset, delay and stratum are the server's measurement
        std::string address;    // that answered
        SntpFailure failure;
        std::uint32_t setError = 0;
    };

    // The client's time source must be the clock.
    ClockCorrection(Clock& clock, SntpClient& client, int sntpPort, SetHook hook);

    // Asks the host only; the clock is left alone.
    Outcome Measure(const std::string& host);
    // Asks the host, sets the clock to its time and then runs it userOffsetSeconds ahead.
    Outcome Correct(const std::string& host, std::int32_t userOffsetSeconds);

  private:
    bool StepCoarsely(double offset);

    Clock& clock_;
    SntpClient& client_;
    int sntpPort_;
    SetHook hook_;
};

// Local time moved by whole seconds with calendar arithmetic, milliseconds kept; empty when
// the result is no calendar time the clock can hold.
std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds);
