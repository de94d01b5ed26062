// When the schedule runs: one decision, from plain facts, for the run the scheduler starts and
// for the "Next run" that the tray tip and the History window show, so that the two cannot
// differ. Daily: once a calendar day; once the program has seen today's run done, the next
// day's run starts at a random moment of that day's first minutes. Hourly: 60 minutes after
// the last scheduled start, or at once when due now. After a resume: at once, whatever this
// period's run did. With a fixed offset no run starts from 23:46:00 to 00:14:59, and the day
// begins at 00:15:00. The rules of automatic requests may hold a due run back further.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "base/system_time.h"
#include "config/date_time.h"

// The day's random start, drawn when the program saw the daily run done on doneDay: the next
// day's run waits this long after the day begins, so that not every machine asks at once.
struct DaySpread {
    // yyyymmdd: later days have larger numbers.
    static int DayOf(const SYSTEMTIME& t) { return t.wYear * 10000 + t.wMonth * 100 + t.wDay; }

    int doneDay = 0;
    int seconds = 0;
};

struct ScheduleFacts {
    using Duration = std::chrono::steady_clock::duration;

    SYSTEMTIME now{};            // local
    std::int32_t period = 0;     // a Settings::Period, or a value the options do not know
    bool offsetSet = false;      // a fixed offset: the quiet window around midnight applies
    bool resumePending = false;  // the machine woke up and no scheduled run started since
    SYSTEMTIME syncDate{};       // of the last success; year 0 for none
    // The last scheduled start; empty: an hourly run is due now, however the clock moves.
    std::optional<DateTime> hourlyMark;
    std::optional<DaySpread> daySpread;
    // How long from now the rules of automatic requests hold a scheduled run back; empty when
    // they hold it back until the program starts anew (every server refused).
    std::optional<Duration> heldBack = Duration{};
};

struct Schedule {
    static constexpr int kHourlyPeriodMinutes = 60;

    static Schedule Decide(const ScheduleFacts& facts);

    // When the schedule itself falls due, local time, before the rules of automatic requests
    // have their say; empty for a manual schedule (or any period the options do not know).
    std::optional<DateTime> due;
    bool dueNow = false;
    // A scheduled run starts now.
    bool startsNow = false;
    // When the next scheduled run starts, local time, as "Next run" tells it; empty when none
    // comes.
    std::optional<DateTime> nextRun;
    // A daily schedule whose run has succeeded today.
    bool todaysRunDone = false;
};
