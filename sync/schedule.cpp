#include "sync/schedule.h"

#include <cmath>
#include <cstdlib>

#include "config/settings.h"

namespace {

constexpr int kDayStartWithOffsetMinutes = 15;

// 23:46:00 up to and including 00:14:59: a fixed offset is not applied around midnight.
bool InQuietWindow(const SYSTEMTIME& t) {
    return (t.wHour == 23 && t.wMinute > 45) || (t.wHour == 0 && t.wMinute < 15);
}

// The moment the day of t begins for the schedule, days later.
std::optional<DateTime> DayBegins(const SYSTEMTIME& t, bool offsetSet, int days) {
    SYSTEMTIME midnight = t;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    const std::optional<DateTime> day = DateTime::FromSystemTime(midnight);
    if (!day) {
        return std::nullopt;
    }
    return day->AddSeconds(days * DateTime::kSecondsPerDay +
                           (offsetSet ? kDayStartWithOffsetMinutes * 60.0 : 0.0));
}

DateTime Later(DateTime a, DateTime b) {
    return a - b < 0 ? b : a;
}

// With a fixed offset, the end of the quiet window when when falls inside it; else when.
DateTime OutsideQuietWindow(DateTime when, bool offsetSet) {
    SYSTEMTIME t{};
    if (!offsetSet || !when.ToSystemTime(&t) || !InQuietWindow(t)) {
        return when;
    }
    return DayBegins(t, true, t.wHour == 23 ? 1 : 0).value_or(when);
}

// When the schedule falls due, before the quiet window has its say.
DateTime CalendarDue(const ScheduleFacts& facts, DateTime now) {
    if (facts.resumePending) {
        return now;  // whatever this period's run did: the clock drifted while the machine slept
    }
    if (facts.period == Settings::kHourly) {
        // A clock set back by an hour or more makes a run due, as one set forward does.
        if (facts.hourlyMark &&
            std::abs(WholeMinutes(*facts.hourlyMark - now)) < Schedule::kHourlyPeriodMinutes) {
            return facts.hourlyMark->AddSeconds(Schedule::kHourlyPeriodMinutes * 60.0);
        }
        return now;
    }
    const int today = DaySpread::DayOf(facts.now);
    const std::optional<DaySpread>& spread = facts.daySpread;
    if (SameDay(facts.syncDate, facts.now)) {
        const int seconds = spread && spread->doneDay == today ? spread->seconds : 0;
        return DayBegins(facts.now, facts.offsetSet, 1).value_or(now).AddSeconds(seconds);
    }
    if (spread && today > spread->doneDay) {
        return Later(
            now,
            DayBegins(facts.now, facts.offsetSet, 0).value_or(now).AddSeconds(spread->seconds));
    }
    return now;
}

}  // namespace

Schedule Schedule::Decide(const ScheduleFacts& facts) {
    Schedule schedule;
    const std::optional<DateTime> now = DateTime::FromSystemTime(facts.now);
    if (!now || (facts.period != Settings::kDaily && facts.period != Settings::kHourly)) {
        return schedule;
    }
    schedule.todaysRunDone = facts.period == Settings::kDaily && SameDay(facts.syncDate, facts.now);
    const DateTime due = OutsideQuietWindow(CalendarDue(facts, *now), facts.offsetSet);
    schedule.due = due;
    schedule.dueNow = WholeSeconds(due - *now) <= 0;
    if (!facts.heldBack) {
        return schedule;
    }
    const double heldSeconds = std::ceil(std::chrono::duration<double>(*facts.heldBack).count());
    const DateTime start =
        OutsideQuietWindow(Later(due, now->AddSeconds(heldSeconds)), facts.offsetSet);
    schedule.nextRun = start;
    schedule.startsNow = WholeSeconds(start - *now) <= 0;
    return schedule;
}
