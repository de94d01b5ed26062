#include "sync/schedule_marks.h"

SYSTEMTIME ScheduleMarks::WatchdogTime() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return watchdogTime_;
}

void ScheduleMarks::RestartWatchdog(const RunGate::Held&, const SYSTEMTIME& local) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchdogTime_ = local;
}

std::optional<DateTime> ScheduleMarks::HourlyMark() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hourlyMark_;
}

void ScheduleMarks::SetHourlyMark(const RunGate::Held&, DateTime mark) {
    std::lock_guard<std::mutex> lock(mutex_);
    hourlyMark_ = mark;
}

void ScheduleMarks::MakeHourlyRunDue(const RunGate::Held&) {
    std::lock_guard<std::mutex> lock(mutex_);
    hourlyMark_.reset();
}
