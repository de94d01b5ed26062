#include "tests/support/platform_fakes.h"

#include <chrono>

NetworkStartResult FakeNetworkStack::Start() {
    ++starts;
    return result;
}

ClockServiceReply FakeClockService::Synchronise(const ClockServiceRequest& request,
                                                const QueryInterrupter* interrupter) {
    std::unique_lock<std::mutex> lock(mutex_);
    requests_.push_back(request);
    const ClockServiceReply answer = answer_;
    const std::function<void()> effect = effect_;
    lock.unlock();
    if (hang) {
        // Bounded, so that a caller that passes no interrupter fails its test instead of
        // hanging it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!IsInterrupted(interrupter) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return UnsuccessfulReply(ClockServiceStatus::kFailed, FailureOf(FailureKind::kAbandoned));
    }
    if (effect) {
        effect();
    }
    return answer;
}

void FakeClockService::Answer(ClockServiceReply reply, std::function<void()> effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(reply);
    effect_ = std::move(effect);
}

std::vector<ClockServiceRequest> FakeClockService::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RecordingMessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon,
                                 BoxGuard& guard) {
    std::unique_lock<std::mutex> lock(mutex_);
    closedByGuard_ = false;
    release_ = false;
    open_ = true;
    const bool hold = hold_;
    lock.unlock();
    const bool wanted = guard.Opened([this] {
        std::lock_guard<std::mutex> closing(mutex_);
        closedByGuard_ = true;
        changed_.notify_all();
    });
    lock.lock();
    if (!wanted) {
        closedByGuard_ = true;
    }
    changed_.notify_all();
    if (hold) {
        changed_.wait_for(lock, std::chrono::seconds(60),
                          [this] { return closedByGuard_ || release_; });
    }
    boxes_.push_back({text, caption, icon, closedByGuard_});
    open_ = false;
    lock.unlock();
    guard.Closed();
}

void RecordingMessageBoxes::Hold(bool hold) {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = hold;
}

bool RecordingMessageBoxes::WaitUntilOpen(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return open_; });
}

void RecordingMessageBoxes::ReleaseOpenBox() {
    std::lock_guard<std::mutex> lock(mutex_);
    release_ = true;
    changed_.notify_all();
}

std::vector<RecordingMessageBoxes::Box> RecordingMessageBoxes::boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

std::vector<std::string> RecordingMessageBoxes::texts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

std::unique_ptr<Worker> CountingWorkerThreads::Start(std::function<void()> work) {
    if (fail) {
        return nullptr;
    }
    ++started;
    return threads_.Start(std::move(work));
}
