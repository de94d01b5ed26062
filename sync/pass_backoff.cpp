#include "sync/pass_backoff.h"

#include <algorithm>

void PassBackoff::Tried(const std::string& server, const std::vector<std::string>& inPlay,
                        bool automatic, TimePoint now) {
    tried_.insert(server);
    const bool passOver = std::ranges::all_of(
        inPlay, [this](const std::string& each) { return tried_.contains(each); });
    if (!automatic || !passOver) {
        return;
    }
    pause_ = pause_.count() == 0 ? kFirstPause : std::min(2 * pause_, kLongestPause);
    waitUntil_ = now + pause_;
    tried_.clear();
}

void PassBackoff::End() {
    tried_.clear();
    pause_ = std::chrono::minutes{0};
    waitUntil_.reset();
}
