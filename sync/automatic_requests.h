// The rules every automatic request keeps (RFC 4330, section 10), in one place: the pacing
// of each server of the catalogue, the pause between passes that found no server answering,
// and the spread start of a new day's run. It decides whether a scheduled run may start and
// which server it asks, whether a second opinion may be asked, and until when the next
// attempt is held back; it notes what each run asked and how the server answered. Runs the
// user starts are not held back, but what they ask is noted all the same.
//
// The scheduler supplies steady time. The day's start is the scheduler's thread's alone;
// everything else the worker notes too, so the scheduler keeps it under the run gate's lock.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/system_time.h"
#include "config/date_time.h"
#include "config/shared_catalogue.h"
#include "sync/pass_backoff.h"
#include "sync/run_gate.h"
#include "sync/run_kind.h"
#include "sync/run_result.h"
#include "sync/server_cursor.h"
#include "sync/server_pacing.h"

class AutomaticRequests {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // A new day's run starts at a random moment within this many seconds, so that machines
    // do not all ask at midnight.
    static constexpr int kDayStartSpreadSeconds = 15 * 60;

    enum class Start {
        kNow,
        kWait,
        // Every server is being left alone: nothing is sent, and the user is told.
        kNoneInPlay,
    };

    // random: a whole number from 0 up to, not including, bound.
    AutomaticRequests(const SharedCatalogue& servers, ServerCursor& cursor,
                      std::function<int(int bound)> random);

    // The day's start, on the scheduler's thread. The daily run was seen done today.
    void DayDone(const SYSTEMTIME& today);
    // A scheduled run is due. When spread (a daily schedule, not after a resume) and a later
    // day began since the daily run was seen done, it waits a random moment.
    void RunDue(const SYSTEMTIME& today, bool spread, TimePoint now);
    bool BeforeDayStart(TimePoint now) const;
    // A scheduled run starts, or the machine resumed: the day's start holds nothing back.
    void DropDayStart();

    // The rest under the gate's lock. Whether a scheduled run may start now: never within the
    // pause between passes, and only to a server that is not being left alone, which it
    // moves the cursor to.
    Start MayStart(TimePoint now, const RunGate::Held& held);
    // Whether a scheduled run may ask the server for a second opinion.
    bool MayAsk(const std::string& title, const std::string& address, TimePoint now) const;
    // When the next attempt of a schedule due (at the latest at current, the local time at
    // now) goes out: at due itself, later while these rules hold the run back (when every
    // server is being left alone, once the first of them may be asked again), and never
    // when every server refused, until the program starts anew.
    std::optional<DateTime> NextAttempt(const DateTime& due, const DateTime& current,
                                        TimePoint now) const;
    // Whether the catalogue has servers and every one refused service.
    bool AllRefused() const;

    // The name the notes know the next run's server by. Takes only the catalogue's lock.
    std::string NextServer() const;
    // A request is going out to the server.
    void Asking(const std::string& title, const std::string& address, TimePoint now);
    // What a run that asked the server came to.
    void RunEnded(const std::string& server, const RunResult& result, RunKind kind, TimePoint now);
    // A success, or a reason to try at once: no pause between passes.
    void EndPause();

  private:
    // The catalogue's servers that automatic runs may ask now.
    std::vector<std::string> ServersInPlay(TimePoint now) const;
    // The earliest time automatic runs may ask any server of the catalogue again; empty when
    // every one refused.
    std::optional<TimePoint> FirstServerFree() const;

    const SharedCatalogue& servers_;
    ServerCursor& cursor_;
    std::function<int(int bound)> random_;
    ServerPacing pacing_;
    PassBackoff backoff_;
    // The day (yyyymmdd) on which the daily run was seen done; a later day began meanwhile.
    std::optional<int> dayDone_;
    std::optional<TimePoint> dayStartAt_;
};
