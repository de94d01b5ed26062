#include "sync/clock_change_watch.h"

#include <algorithm>

namespace {

constexpr std::chrono::hours kWindow{1};

}  // namespace

bool ClockChangeWatch::Note(TimePoint now) {
    while (!changes_.empty() && now - changes_.front() >= kWindow) {
        changes_.pop_front();
    }
    changes_.push_back(now);
    return Repeated(now);
}

bool ClockChangeWatch::Repeated(TimePoint now) const {
    const auto recent = std::count_if(changes_.begin(), changes_.end(),
                                      [now](TimePoint t) { return now - t < kWindow; });
    return recent > kMaxPerHour;
}
