// Clock changes that other programs made, counted over the last hour: more than
// kMaxPerHour of them there means another time program is setting the clock too.
#pragma once

#include <chrono>
#include <deque>

class ClockChangeWatch {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr int kMaxPerHour = 3;

    // Notes one change; true when changes are now repeated.
    bool Note(TimePoint now);
    bool Repeated(TimePoint now) const;

  private:
    std::deque<TimePoint> changes_;
};
