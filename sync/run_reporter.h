// Between a run and the user: the run decides what happened, the program decides how to
// say it. The run hands over an event; the reporter shows its box and words the status line
// and the history's reason that the run stores, and hears how each run ended.
#pragma once

#include <cstdint>
#include <string>

#include "base/system_time.h"
#include "platform/message_boxes.h"
#include "sync/run_kind.h"
#include "sync/run_result.h"

// Where a run failed: it decides the box's first line and the status line's form.
enum class RunStep {
    kProbe,         // the web probe of a manual run
    kNetworkStart,  // the socket layer, before any query
    kQuery,         // asking the server
    kSet,           // setting the clock from the answer
    kService,       // the Tickwell Clock service, asked to do both
};

struct RunEvent {
    enum class Kind {
        kSucceeded,
        kClockJump,     // the clock moved by more than the user allows: jumpMinutes
        kFailed,        // at step, as result says
        kNoConnection,  // a scheduled run found no connection and did not start
        kAllLeftAlone,  // a scheduled run found every server being left alone and did not start
    };
    Kind kind = Kind::kSucceeded;
    RunStep step = RunStep::kQuery;
    RunResult result;
    SYSTEMTIME local{};  // when it happened, local time
    std::int64_t jumpMinutes = 0;
    bool serviceChosen = false;  // the user chose the service, rather than the run falling back
};

class RunReporter {
  public:
    virtual ~RunReporter() = default;
    // Shows the event's box, if it has one, and returns when it has closed: by the user, or
    // through the guard when the run is abandoned.
    virtual void ShowBox(const RunEvent& event, BoxGuard& guard) = 0;
    // The status line the record keeps for the event.
    virtual std::string StatusLine(const RunEvent& event) const = 0;
    // The history's reason for a run's result; empty for a success.
    virtual std::string HistoryReason(const RunResult& result) const = 0;
    // The history's note on a clock change made by another program; repeated: they keep coming.
    virtual std::string ClockChangeNote(bool repeated) const = 0;
    // What a run that was not abandoned came to, once it has ended, on the run's thread.
    virtual void RunEnded(const RunResult& result, RunKind kind) = 0;
};
