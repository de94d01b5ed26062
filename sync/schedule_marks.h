// The scheduler's two times: when the watchdog started measuring the running run, and the
// mark from which the hourly period counts. Read on the user-interface thread; written there
// and by a run, always inside the run gate, so that an abandoned run's write cannot slip in
// after the gate's check. Under a lock of their own, which nests inside the gate's.
#pragma once

#include <mutex>
#include <optional>

#include "base/system_time.h"
#include "config/date_time.h"
#include "sync/run_gate.h"

class ScheduleMarks {
  public:
    ScheduleMarks() = default;
    ScheduleMarks(const ScheduleMarks&) = delete;
    ScheduleMarks& operator=(const ScheduleMarks&) = delete;

    SYSTEMTIME WatchdogTime() const;
    void RestartWatchdog(const RunGate::Held& held, const SYSTEMTIME& local);
    // The last scheduled start; empty while an hourly run is due now, whatever the clock
    // says: from the program's start, and after a failed hourly run.
    std::optional<DateTime> HourlyMark() const;
    void SetHourlyMark(const RunGate::Held& held, DateTime mark);
    // A failed hourly run: the next tick runs again.
    void MakeHourlyRunDue(const RunGate::Held& held);

  private:
    mutable std::mutex mutex_;
    SYSTEMTIME watchdogTime_{};
    std::optional<DateTime> hourlyMark_;
};
