// Which server the next run queries, the clock by which the scheduler measures a running
// run, and the mark from which the hourly period counts. Shared by the user-interface
// thread and the synchronisation worker: every access takes the cursor's lock, and so must
// every change of the catalogue while a run may read it (WithCatalogue).
#pragma once

#include <mutex>
#include <string>

#include "config/settings.h"
#include "platform/clock.h"
#include "config/date_time.h"

class ServerCursor {
  public:
    static constexpr double kHourlyMarkShiftSeconds = 2 * 3600.0;

    // The hourly mark starts two hours ahead, so the first hourly tick runs at once.
    ServerCursor(Settings& settings, Clock& clock);

    // From Settings.nStartingServ.
    void SelectStartingServer();
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

    template <typename Change>
    auto WithCatalogue(Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        return change(settings_.servers);
    }

  private:
    ServerEntry CurrentEntry() const;

    mutable std::mutex mutex_;
    Settings& settings_;
    int currentServer_ = 0;
    SYSTEMTIME watchdogTime_{};
    DateTime hourlyMark_;
};
