#include "sync/server_pacing.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::hours;
using std::chrono::minutes;
using TimePoint = std::chrono::steady_clock::time_point;

const TimePoint kStart = TimePoint{} + hours(1000);
const KissCode kRate = *KissCode::FromText("RATE");

// The scheduler's scenarios follow the first pauses; these follow them to their caps.
TEST(ServerPacingTest, RatePausesDoubleUpToADayAndStartOverAfterAnAnswer) {
    ServerPacing pacing;
    TimePoint now = kStart;
    for (int kiss = 0; kiss < 10; ++kiss) {
        pacing.Kissed("a", kRate, now);
        now = *pacing.FreeAt("a");
    }
    pacing.Kissed("a", kRate, now);
    EXPECT_EQ(now + hours(24), *pacing.FreeAt("a"));
    pacing.Answered("a");
    pacing.Kissed("a", kRate, now);
    EXPECT_EQ(now + minutes(15), *pacing.FreeAt("a"));
}

}  // namespace
