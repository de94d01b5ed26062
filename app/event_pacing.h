// How often the program's events reach the Application log, so that it is never flooded.
// Successes are informational and written at most once a day per user; warnings and errors
// of the schedule's runs at most once an hour; lasting conditions when they begin.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "base/system_time.h"

// The local calendar date as a number: 20261209.
std::int32_t DayNumber(const SYSTEMTIME& local);

// What an informational event said, and on which day. A clock set says nothing of interest
// here (its offset differs every time); a policy's event says the values it lists.
struct DailyMark {
    std::int32_t day = 0;
    std::string said;

    bool operator==(const DailyMark&) const = default;
};

// An informational event is written when none of its kind was written on this day, or when
// it says something else than the last one. Any other day counts: one that lies before the
// last mark is a clock that was ahead and has been put right.
bool DailyEventDue(const DailyMark& last, const DailyMark& now);

// The warnings and errors of the runs the schedule starts, which walks from server to server
// while they fail: each id at most once an hour, the first since a success (or the program's
// start) at once.
class RepeatPacing {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::hours kInterval{1};

    // Whether the event with this id is written now; if so, it counts from now.
    bool Due(std::uint32_t id, TimePoint now);
    // A run succeeded: the next failure is news again.
    void Succeeded() { last_.clear(); }

  private:
    std::map<std::uint32_t, TimePoint> last_;
};

// The lasting conditions of the scheduler's status that an administrator hears of.
struct Conditions {
    bool allServersRefused = false;
    bool overdue = false;
    bool otherTimeProgram = false;

    bool operator==(const Conditions&) const = default;
};

// Each condition is told when it begins: when the program first sees it, and again once it
// has ended and comes back.
class ConditionOnsets {
  public:
    // The conditions that began since the last call.
    Conditions Begun(const Conditions& now);

  private:
    Conditions last_;
};
