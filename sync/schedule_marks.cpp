#include "sync/schedule_marks.h"

ScheduleMarks::ScheduleMarks(Clock& clock)
    : hourlyMark_(DateTime::FromSystemTime(clock.LocalTime())
                      .value_or(DateTime())
                      .AddSeconds(kHourlyMarkShiftSeconds)) {}

SYSTEMTIME ScheduleMarks::watchdogTime() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return watchdogTime_;
}

void ScheduleMarks::RestartWatchdog(const RunGate::Held&, const SYSTEMTIME& local) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchdogTime_ = local;
}

DateTime ScheduleMarks::hourlyMark() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hourlyMark_;
}

void ScheduleMarks::SetHourlyMark(const RunGate::Held&, DateTime mark) {
    std::lock_guard<std::mutex> lock(mutex_);
    hourlyMark_ = mark;
}

void ScheduleMarks::ShiftHourlyMark(const RunGate::Held&) {
    std::lock_guard<std::mutex> lock(mutex_);
    hourlyMark_ = hourlyMark_.AddSeconds(kHourlyMarkShiftSeconds);
}
