#include "sync/pass_backoff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using std::chrono::minutes;
using TimePoint = std::chrono::steady_clock::time_point;

const TimePoint kStart = TimePoint{} + std::chrono::hours(1000);

TEST(PassBackoffTest, WholePassesWaitLongerEachTimeUpToAnHour) {
    const std::vector<std::string> servers = {"a", "b", "c"};
    PassBackoff backoff;
    TimePoint now = kStart;
    for (const int expected : {1, 2, 4, 8, 16, 32, 60, 60}) {
        backoff.Tried("a", servers, true, now);
        backoff.Tried("b", servers, true, now);
        EXPECT_FALSE(backoff.waitUntil() && *backoff.waitUntil() > now);  // within the pass
        backoff.Tried("c", servers, true, now);
        ASSERT_TRUE(backoff.waitUntil());
        EXPECT_EQ(now + minutes(expected), *backoff.waitUntil());
        now = *backoff.waitUntil();
    }
}

TEST(PassBackoffTest, OnlyAnAutomaticRunStartsThePauseAndEndingItStartsOver) {
    const std::vector<std::string> servers = {"a", "b"};
    PassBackoff backoff;
    backoff.Tried("a", servers, true, kStart);
    backoff.Tried("b", servers, false, kStart);  // a run the user started
    EXPECT_FALSE(backoff.waitUntil());
    backoff.Tried("b", servers, true, kStart);  // "a" was tried in this pass already
    EXPECT_EQ(kStart + minutes(1), *backoff.waitUntil());
    backoff.Tried("a", servers, true, kStart);
    backoff.Tried("b", servers, true, kStart);
    EXPECT_EQ(minutes(2), backoff.pause());
    backoff.End();
    EXPECT_FALSE(backoff.waitUntil());
    backoff.Tried("a", servers, true, kStart);
    EXPECT_FALSE(backoff.waitUntil());  // the pass starts over after the end
    backoff.Tried("b", servers, true, kStart);
    EXPECT_EQ(minutes(1), backoff.pause());
    // Servers out of play (left alone) are not waited for: the pass is over at once.
    backoff.End();
    backoff.Tried("a", {}, true, kStart);
    EXPECT_EQ(minutes(1), backoff.pause());
}

}  // namespace
