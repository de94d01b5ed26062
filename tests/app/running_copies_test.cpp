#include "app/running_copies.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using std::chrono::milliseconds;

// Copies that each take their time to end once asked (none: never), on a clock that moves
// only while one is waited for.
class ScriptedCopies : public RunningCopies {
  public:
    explicit ScriptedCopies(std::vector<std::optional<milliseconds>> endTimes)
        : endTimes_(std::move(endTimes)) {}

    void AskAllToEnd() override { ++broadcasts; }
    bool AskOneStillShowing() override {
        if (asked_ == endTimes_.size()) {
            return false;
        }
        ++asked_;
        return true;
    }
    bool WaitForItsEnd(milliseconds patience) override {
        patienceGiven.push_back(patience);
        const std::optional<milliseconds> endsAfter = endTimes_[asked_ - 1];
        if (endsAfter && *endsAfter <= patience) {
            elapsed_ += *endsAfter;
            return true;
        }
        elapsed_ += patience;
        return false;
    }
    milliseconds Elapsed() const override { return elapsed_; }

    int broadcasts = 0;
    std::vector<milliseconds> patienceGiven;

  private:
    std::vector<std::optional<milliseconds>> endTimes_;
    std::size_t asked_ = 0;
    milliseconds elapsed_{0};
};

TEST(RunningCopiesTest, EveryCopyEndsWithinOneLimitForAll) {
    struct Case {
        const char* copies;
        std::vector<std::optional<milliseconds>> endTimes;
        bool ended;
        std::vector<milliseconds> patienceGiven;
    };
    const Case cases[] = {
        {"none", {}, true, {}},
        {"one that ends at once", {milliseconds(20)}, true, {milliseconds(5000)}},
        {"two within the limit",
         {milliseconds(3000), milliseconds(1500)},
         true,
         {milliseconds(5000), milliseconds(2000)}},
        {"the second beyond what the first left",
         {milliseconds(3000), milliseconds(2500)},
         false,
         {milliseconds(5000), milliseconds(2000)}},
        {"one that hangs", {std::nullopt, milliseconds(10)}, false, {milliseconds(5000)}},
    };
    for (const Case& c : cases) {
        ScriptedCopies copies(c.endTimes);
        EXPECT_EQ(c.ended, EndRunningCopies(copies)) << c.copies;
        EXPECT_EQ(1, copies.broadcasts) << c.copies;
        EXPECT_EQ(c.patienceGiven, copies.patienceGiven) << c.copies;
    }
}

// A window that outlives its process must not keep the request waiting for ever.
TEST(RunningCopiesTest, AWindowThatStaysAfterItsCopyEndedFailsAtTheLimit) {
    class LingeringWindow : public RunningCopies {
      public:
        void AskAllToEnd() override {}
        bool AskOneStillShowing() override { return true; }
        bool WaitForItsEnd(milliseconds) override {
            elapsed_ += milliseconds(700);
            return true;
        }
        milliseconds Elapsed() const override { return elapsed_; }

      private:
        milliseconds elapsed_{0};
    } copies;
    EXPECT_FALSE(EndRunningCopies(copies));
    EXPECT_EQ(milliseconds(5600), copies.Elapsed());
}

}  // namespace
