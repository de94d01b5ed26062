// The event log as the tests see it: every event written, in order.
#pragma once

#include <mutex>
#include <vector>

#include "platform/event_log.h"

class RecordingEventLog : public EventLog {
  public:
    void Write(const LoggedEvent& event) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }

    std::vector<LoggedEvent> events() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> ids;
        for (const LoggedEvent& event : events()) {
            ids.push_back(event.id);
        }
        return ids;
    }
    void clear() {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<LoggedEvent> events_;
};
