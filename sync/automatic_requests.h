// The rules every automatic request keeps (RFC 4330, section 10), in one place: the pacing
// of each server of the catalogue, the pause between passes that found no server answering,
// and the spread start of a new day's run. It tells how long a scheduled run is held back and
// which server it asks, whether a second opinion may be asked, and notes what each run asked
// and how the server answered. Runs the user starts are not held back, but what they ask is
// noted all the same.
//
// The scheduler supplies steady time. The day's start is the scheduler's thread's alone;
// everything else the worker notes too, so it is reached only under the run gate's lock.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/system_time.h"
#include "config/shared_catalogue.h"
#include "sync/pass_backoff.h"
#include "sync/run_gate.h"
#include "sync/run_kind.h"
#include "sync/run_result.h"
#include "sync/schedule.h"
#include "sync/server_cursor.h"
#include "sync/server_pacing.h"

class AutomaticRequests {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;
    // A new day's run starts at a random moment within this many seconds, so that machines
    // do not all ask at midnight.
    static constexpr int kDayStartSpreadSeconds = 15 * 60;

    // What holds a scheduled run back now.
    struct Hold {
        // From now until a scheduled run may start; empty: not until the program starts anew,
        // since every server refused.
        std::optional<Duration> wait;
        // Every server is being left alone: nothing is sent, and the user is told.
        bool noneInPlay = false;
    };

    // random: a whole number from 0 up to, not including, bound. onlySecure: whether runs may
    // ask only the catalogue's secure (NTS) servers, which leaves the plain ones out of play.
    AutomaticRequests(
        const SharedCatalogue& servers, ServerCursor& cursor, std::function<int(int bound)> random,
        std::function<bool()> onlySecure = [] { return false; });

    // The day's start, on the scheduler's thread. The daily run was seen done today: the next
    // day's start is drawn, once for the day.
    void DayDone(const SYSTEMTIME& today);
    const std::optional<DaySpread>& daySpread() const { return daySpread_; }
    // A scheduled run starts, or the machine resumed: the day's start holds nothing back.
    void DropDaySpread();

    // The rest under the gate's lock. A scheduled run waits for the pause between passes and
    // for the next server in play to be free; it never asks a server being left alone.
    Hold HeldBack(TimePoint now, const RunGate::Held& held) const;
    // A scheduled run starts now: the cursor moves on to the next server in play.
    void Starting(TimePoint now, const RunGate::Held& held);
    // Whether a scheduled run may ask the server for a second opinion.
    bool MayAsk(const std::string& title, const std::string& address, TimePoint now,
                const RunGate::Held& held) const;
    // Whether the catalogue has servers and every one refused service.
    bool AllRefused(const RunGate::Held& held) const;
    // A request is going out to the server.
    void Asking(const std::string& title, const std::string& address, TimePoint now,
                const RunGate::Held& held);
    // What a run that asked the server came to.
    void RunEnded(const std::string& server, const RunResult& result, RunKind kind, TimePoint now,
                  const RunGate::Held& held);
    // A success, or a reason to try at once: no pause between passes.
    void EndPause(const RunGate::Held& held);

    // The name the notes know the cursor's server by. Takes only the catalogue's lock.
    std::string NextServer() const;

  private:
    // Whether a run may ask the entry at all: not a plain one while only secure ones count.
    bool Playable(const ServerEntry& entry) const { return entry.nts || !onlySecure_(); }
    bool InPlay(const ServerEntry& entry, TimePoint now) const;
    // The catalogue's servers that automatic runs may ask now.
    std::vector<std::string> ServersInPlay(TimePoint now) const;
    // The cursor's server, or when it is being left alone the next one in play after it, on
    // along the catalogue as a failed run goes; empty when none is in play.
    std::optional<std::string> NextServerInPlay(TimePoint now) const;
    // The earliest time automatic runs may ask any server of the catalogue again; empty when
    // every one refused.
    std::optional<TimePoint> FirstServerFree() const;

    const SharedCatalogue& servers_;
    ServerCursor& cursor_;
    std::function<int(int bound)> random_;
    std::function<bool()> onlySecure_;
    ServerPacing pacing_;
    PassBackoff backoff_;
    std::optional<DaySpread> daySpread_;
};
