// Real message boxes under Wine, on the tests' virtual display.
#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>

namespace {

class TestGuard : public BoxGuard {
  public:
    explicit TestGuard(bool wanted) : wanted_(wanted) {}

    bool Opened(std::function<void()> close) override {
        std::lock_guard<std::mutex> lock(mutex_);
        close_ = std::move(close);
        opened_ = true;
        changed_.notify_all();
        return wanted_;
    }
    void Closed() override {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }

    bool WaitUntilOpened() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return opened_; });
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        close_();
    }
    bool closed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> close_;
    const bool wanted_;
    bool opened_ = false;
    bool closed_ = false;
};

TEST(PlatformMessageBoxesTest, AnOpenBoxClosesFromAnotherThread) {
    PlatformMessageBoxes boxes;
    TestGuard guard(true);
    auto shown = std::async(std::launch::async, [&] {
        boxes.Show("Successful synchronization.", "Tickwell", BoxIcon::kInformation, guard);
    });
    ASSERT_TRUE(guard.WaitUntilOpened());
    EXPECT_EQ(std::future_status::timeout, shown.wait_for(std::chrono::milliseconds(200)));
    guard.Close();
    ASSERT_EQ(std::future_status::ready, shown.wait_for(std::chrono::seconds(20)));
    EXPECT_TRUE(guard.closed());
}

TEST(PlatformMessageBoxesTest, ABoxNoLongerWantedClosesAtOnce) {
    PlatformMessageBoxes boxes;
    TestGuard guard(false);
    auto shown = std::async(std::launch::async, [&] {
        boxes.Show("Time receiving error!", "Tickwell:Error", BoxIcon::kError, guard);
    });
    ASSERT_EQ(std::future_status::ready, shown.wait_for(std::chrono::seconds(20)));
    EXPECT_TRUE(guard.closed());
}

}  // namespace
