#include "sync/server_pacing.h"

#include <gtest/gtest.h>

#include "sync/pass_backoff.h"

namespace {

using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;
using TimePoint = std::chrono::steady_clock::time_point;

const TimePoint kStart = TimePoint{} + hours(1000);

TEST(ServerPacingTest, AServerIsAskedAgainOnlyFifteenSecondsAfterTheLastRequest) {
    ServerPacing pacing;
    EXPECT_LE(*pacing.FreeAt("a"), kStart);  // never asked
    pacing.Asked("a", kStart + seconds(10));
    pacing.Asked("a", kStart);  // an earlier note does not move it back
    EXPECT_EQ(kStart + seconds(25), *pacing.FreeAt("a"));
    EXPECT_LE(*pacing.FreeAt("b"), kStart);
    EXPECT_FALSE(pacing.LeftAlone("a", kStart + seconds(11)));  // waited for, not skipped
}

TEST(ServerPacingTest, KissCodesLeaveTheServerAlone) {
    struct Case {
        const char* code;
        std::chrono::seconds pauses[4];  // after the 1st to the 4th kiss, each at the pause's end
        bool refused;
    };
    const Case cases[] = {
        {"RATE", {minutes(15), minutes(30), minutes(60), minutes(120)}, false},
        {"DENY", {}, true},
        {"RSTR", {}, true},
        {"XYZW", {}, false},  // an unknown code changes nothing
    };
    for (const Case& c : cases) {
        ServerPacing pacing;
        TimePoint now = kStart;
        for (const seconds pause : c.pauses) {
            pacing.Asked("a", now);
            pacing.Kissed("a", c.code, now);
            EXPECT_EQ(c.refused, pacing.Refused("a")) << c.code;
            EXPECT_EQ(c.refused || pause.count() != 0, pacing.LeftAlone("a", now)) << c.code;
            if (c.refused) {
                EXPECT_FALSE(pacing.FreeAt("a")) << c.code;
                EXPECT_TRUE(pacing.LeftAlone("a", now + hours(1000))) << c.code;
                continue;
            }
            const TimePoint free = *pacing.FreeAt("a");
            EXPECT_EQ(now + std::max<TimePoint::duration>(pause, seconds(15)), free) << c.code;
            EXPECT_FALSE(pacing.LeftAlone("a", free)) << c.code;
            now = free;
        }
        EXPECT_FALSE(pacing.LeftAlone("b", now)) << c.code;
    }
}

TEST(ServerPacingTest, RatePausesDoubleUpToADayAndStartOverAfterAnAnswer) {
    ServerPacing pacing;
    TimePoint now = kStart;
    for (int kiss = 0; kiss < 10; ++kiss) {
        pacing.Kissed("a", "RATE", now);
        now = *pacing.FreeAt("a");
    }
    pacing.Kissed("a", "RATE", now);
    EXPECT_EQ(now + hours(24), *pacing.FreeAt("a"));
    pacing.Answered("a");
    pacing.Kissed("a", "RATE", now);
    EXPECT_EQ(now + minutes(15), *pacing.FreeAt("a"));
}

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
