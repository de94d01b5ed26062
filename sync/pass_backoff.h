// The pause between passes over the catalogue while no server answers (RFC 4330, section
// 10: back off when a server does not respond). Within a pass the scheduled runs walk on
// from server to server; once every server in play has failed since the last success, the
// next scheduled run waits 1 minute, then 2, 4, 8 ... up to 60 minutes between passes. A
// success ends it, and so does whatever gives reason to try at once (a run the user starts,
// a resume, the network coming back, new settings). Pure decisions on steady time the
// scheduler supplies; kept under the run gate's lock.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

class PassBackoff {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::minutes kFirstPause{1};
    static constexpr std::chrono::minutes kLongestPause{60};

    // The server failed, or was skipped. inPlay: the servers an automatic run may still ask.
    // When every one of them has been tried since the last success and the run was an
    // automatic one, the pass is over and the next one waits.
    void Tried(const std::string& server, const std::vector<std::string>& inPlay, bool automatic,
               TimePoint now);
    // A success, or a reason to try at once: no wait, and the pauses start from the first.
    void End();

    // Until when the next scheduled run waits; empty when it need not.
    std::optional<TimePoint> waitUntil() const { return waitUntil_; }
    std::chrono::minutes pause() const { return pause_; }

  private:
    std::set<std::string> tried_;
    std::chrono::minutes pause_{0};
    std::optional<TimePoint> waitUntil_;
};
