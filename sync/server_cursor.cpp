#include "sync/server_cursor.h"

ServerCursor::ServerCursor(Settings& settings, Clock& clock) : settings_(settings) {
    const DateTime now = DateTime::FromSystemTime(clock.LocalTime()).value_or(DateTime());
    hourlyMark_ = now.AddSeconds(kHourlyMarkShiftSeconds);
}

void ServerCursor::SelectStartingServer() {
    settings_.servers.With(
        [this](const ServerCatalogue&) { currentServer_ = settings_.nStartingServ; });
}

void ServerCursor::Publish(const ServerCatalogue& servers, int chosen) {
    settings_.servers.With([&](ServerCatalogue& catalogue) {
        catalogue.clear();
        catalogue.append(servers);
        settings_.nStartingServ = chosen;
        currentServer_ = chosen;
    });
}

ServerEntry ServerCursor::CurrentEntry() const {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        if (currentServer_ < 0 || currentServer_ >= catalogue.size()) {
            return ServerEntry();
        }
        return catalogue.at(currentServer_);
    });
}

std::string ServerCursor::CurrentServerTitle() const {
    return CurrentEntry().title;
}

std::string ServerCursor::CurrentServerAddress() const {
    return CurrentEntry().address;
}

int ServerCursor::AdvanceServer() {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        ++currentServer_;
        const int advanced = currentServer_;
        if (settings_.userOptions().nSynPeriod == Settings::kHourly) {
            hourlyMark_ = hourlyMark_.AddSeconds(kHourlyMarkShiftSeconds);
        }
        if (currentServer_ >= catalogue.size()) {
            currentServer_ = 0;
        }
        return advanced;
    });
}

int ServerCursor::currentServer() const {
    return settings_.servers.With([this](const ServerCatalogue&) { return currentServer_; });
}

SYSTEMTIME ServerCursor::watchdogTime() const {
    return settings_.servers.With([this](const ServerCatalogue&) { return watchdogTime_; });
}

void ServerCursor::setWatchdogTime(const SYSTEMTIME& local) {
    settings_.servers.With([&](const ServerCatalogue&) { watchdogTime_ = local; });
}

DateTime ServerCursor::hourlyMark() const {
    return settings_.servers.With([this](const ServerCatalogue&) { return hourlyMark_; });
}

void ServerCursor::setHourlyMark(DateTime mark) {
    settings_.servers.With([&](const ServerCatalogue&) { hourlyMark_ = mark; });
}
