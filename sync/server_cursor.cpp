#include "sync/server_cursor.h"

ServerCursor::ServerCursor(Settings& settings, Clock& clock) : settings_(settings) {
    const DateTime now = DateTime::FromSystemTime(clock.LocalTime()).value_or(DateTime());
    hourlyMark_ = now.AddSeconds(kHourlyMarkShiftSeconds);
}

void ServerCursor::SelectStartingServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    currentServer_ = settings_.nStartingServ;
}

ServerEntry ServerCursor::CurrentEntry() const {
    if (currentServer_ < 0 || currentServer_ >= settings_.servers.size()) {
        return {};
    }
    return settings_.servers.at(currentServer_);
}

std::string ServerCursor::CurrentServerTitle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return CurrentEntry().title;
}

std::string ServerCursor::CurrentServerAddress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return CurrentEntry().address;
}

int ServerCursor::AdvanceServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++currentServer_;
    const int advanced = currentServer_;
    if (settings_.nSynPeriod == Settings::kHourly) {
        hourlyMark_ = hourlyMark_.AddSeconds(kHourlyMarkShiftSeconds);
    }
    if (currentServer_ >= settings_.servers.size()) {
        currentServer_ = 0;
    }
    return advanced;
}

int ServerCursor::currentServer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentServer_;
}

SYSTEMTIME ServerCursor::watchdogTime() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return watchdogTime_;
}

void ServerCursor::setWatchdogTime(const SYSTEMTIME& local) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchdogTime_ = local;
}

DateTime ServerCursor::hourlyMark() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hourlyMark_;
}

void ServerCursor::setHourlyMark(DateTime mark) {
    std::lock_guard<std::mutex> lock(mutex_);
    hourlyMark_ = mark;
}
