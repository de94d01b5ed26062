#include "app/second_start.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using std::chrono::milliseconds;

// A copy that answers at the given ask and lets go at the given wait (counted from 1; 0
// never), recording the patience given.
class ScriptedCopy : public RunningCopy {
  public:
    ScriptedCopy(int answersAtAsk, int releasesAtWait)
        : answersAtAsk_(answersAtAsk), releasesAtWait_(releasesAtWait) {}

    bool AskToShow(milliseconds patience) override {
        askPatience.push_back(patience);
        return static_cast<int>(askPatience.size()) == answersAtAsk_;
    }
    bool WaitForRelease(milliseconds patience) override {
        ++waits;
        waited += patience;
        return waits == releasesAtWait_;
    }

    std::vector<milliseconds> askPatience;
    int waits = 0;
    milliseconds waited{0};

  private:
    int answersAtAsk_;
    int releasesAtWait_;
};

TEST(SecondStartTest, OnlyACopyThatLetsGoWithinTheWaitMakesWay) {
    struct Case {
        const char* copy;
        int answersAtAsk;
        int releasesAtWait;
        SecondStart outcome;
        int waits;
    };
    using enum SecondStart;
    const Case cases[] = {
        {"runs and answers", 1, 0, kEnd, 0},
        {"ending, lets go at once", 0, 1, kRunAsTheOneCopy, 1},
        {"ending, lets go at the last moment", 0, 10, kRunAsTheOneCopy, 10},
        {"still there after the wait", 0, 0, kEnd, 10},
        {"was still starting, answers later", 3, 0, kEnd, 2},
    };
    for (const Case& c : cases) {
        ScriptedCopy copy(c.answersAtAsk, c.releasesAtWait);
        EXPECT_EQ(c.outcome, MeetRunningCopy(copy)) << c.copy;
        EXPECT_EQ(c.waits, copy.waits) << c.copy;
        EXPECT_EQ(milliseconds(1000) * c.waits, copy.waited) << c.copy;
        ASSERT_FALSE(copy.askPatience.empty()) << c.copy;
        EXPECT_EQ(milliseconds(1000), copy.askPatience.front()) << c.copy;
    }
}

}  // namespace
