// The scheduler's two times: when the watchdog started measuring the running run, and the
// mark from which the hourly period counts. Read on the user-interface thread; written there
// and by a run, always inside the run gate, so that an abandoned run's write cannot slip in
// after the gate's check. Under a lock of their own, which nests inside the gate's.
#pragma once

#include <mutex>

#include "base/system_time.h"
#include "config/date_time.h"
#include "platform/clock.h"
#include "sync/run_gate.h"

class ScheduleMarks {
  public:
    static constexpr double kHourlyMarkShiftSeconds = 2 * 3600.0;

    // The hourly mark starts two hours ahead, so the first hourly tick runs at once.
    explicit ScheduleMarks(Clock& clock);
    ScheduleMarks(const ScheduleMarks&) = delete;
    ScheduleMarks& operator=(const ScheduleMarks&) = delete;

    SYSTEMTIME watchdogTime() const;
    void RestartWatchdog(const RunGate::Held& held, const SYSTEMTIME& local);
    DateTime hourlyMark() const;
    void SetHourlyMark(const RunGate::Held& held, DateTime mark);
    // A failed hourly run: the mark moves two hours ahead, so the next tick runs again.
    void ShiftHourlyMark(const RunGate::Held& held);

  private:
    mutable std::mutex mutex_;
    SYSTEMTIME watchdogTime_{};
    DateTime hourlyMark_;
};
