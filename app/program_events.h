// What the program tells an administrator in the Application log, under the source
// "Tickwell": one event per fact an administrator filters on, fed from what the engine hands
// over (each run's result, the scheduler's status) and from the policy the program applies.
// It decides which event a fact is and whether it is written now (event_pacing.h); the
// presentation module words the inserts, and the message table (resources/tickwell_events.mc)
// the rest. Runs end on their own threads, the rest happens on the user-interface thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/event_pacing.h"
#include "config/option_policy.h"
#include "config/option_table.h"
#include "config/profile_store.h"
#include "platform/clock.h"
#include "platform/event_log.h"
#include "sync/run_kind.h"
#include "sync/run_result.h"
#include "sync/status_view.h"

// The ids of the message table; each keeps its meaning for good.
enum class ProgramEventId : std::uint32_t {
    kClockSet = 100,
    kRunFailed = 101,
    kStepRefused = 102,  // Windows, the clock service or the machine's policy refused the step
    kServersDisagree = 103,
    kAllServersRefused = 104,  // every server of the catalogue refused service (DENY, RSTR)
    kOverdue = 105,            // no synchronisation for more than nMaxDays
    kOtherTimeProgram = 106,
    kPolicyApplied = 107,
    kPolicyValueIgnored = 108,
};

EventLevel LevelOf(ProgramEventId id);

class ProgramEvents {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The source the events are reported under.
    static constexpr const wchar_t* kSource = L"Tickwell";
    // The section of the user's profile that remembers what was written when, so that
    // every start and copy of the program for this user counts together.
    static constexpr const char* kMarksSection = "Events";

    ProgramEvents(
        EventLog& log, ProfileStore& marks, Clock& clock,
        std::function<TimePoint()> steadyNow = [] { return std::chrono::steady_clock::now(); });

    // A run that was not abandoned has ended.
    void RunEnded(const RunResult& result, RunKind kind);
    // What the window shows, on every tick: a lasting condition is written when it begins.
    void StatusSeen(const StatusView& status);
    // The policy as the program read it, at start and whenever it may have changed: what it
    // applies and what it ignored.
    void PoliciesRead(const PolicyOutcome& outcome) {
        PolicyApplied(outcome.Applied());
        PolicyValuesIgnored(outcome.ignored);
    }
    // The policy the program applies now, each time it reads it.
    void PolicyApplied(const std::vector<AppliedPolicyValue>& values);
    // The policy's values the program ignored, each time it reads the policy.
    void PolicyValuesIgnored(const std::vector<IgnoredPolicyValue>& values);

  private:
    void Write(ProgramEventId id, std::vector<std::string> inserts);
    // Whether the daily event whose mark is stored under name is due, and if so, notes it.
    bool DailyDue(const char* name, const std::string& said);

    EventLog& log_;
    ProfileStore& marks_;
    Clock& clock_;
    const std::function<TimePoint()> steadyNow_;
    std::mutex mutex_;
    RepeatPacing repeats_;
    ConditionOnsets onsets_;
};
