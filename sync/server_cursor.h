// Which server the next run queries, the clock by which the scheduler measures a running
// run, and the mark from which the hourly period counts. Shared by the user-interface
// thread and the synchronisation worker: every access takes the catalogue's lock, the one
// under which every change of the catalogue happens too.
#pragma once

#include <string>

#include "config/date_time.h"
#include "config/settings.h"
#include "platform/clock.h"

class ServerCursor {
  public:
    static constexpr double kHourlyMarkShiftSeconds = 2 * 3600.0;

    // The hourly mark starts two hours ahead, so the first hourly tick runs at once.
    ServerCursor(Settings& settings, Clock& clock);

    // From Settings.nStartingServ.
    void SelectStartingServer();
    // The chooser's OK: the edited catalogue and its chosen entry, which becomes
    // nStartingServ and the next run's server, in one step under the lock. A run in progress
    // keeps the address it has read.
    void Publish(const ServerCatalogue& servers, int chosen);
    // Empty when the index names no entry.
    std::string CurrentServerTitle() const;
    std::string CurrentServerAddress() const;
    // The failed-run step: on to the next server, wrapping after the last; in hourly mode
    // the mark moves two hours ahead. Returns the index before the wrap.
    int AdvanceServer();

    int currentServer() const;
    SYSTEMTIME watchdogTime() const;
    void setWatchdogTime(const SYSTEMTIME& local);
    DateTime hourlyMark() const;
    void setHourlyMark(DateTime mark);

  private:
    ServerEntry CurrentEntry() const;

    Settings& settings_;
    // Guarded by the catalogue's lock.
    int currentServer_ = 0;
    SYSTEMTIME watchdogTime_{};
    DateTime hourlyMark_;
};
