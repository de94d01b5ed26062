#include "platform/worker_threads.h"

#include <system_error>

namespace {

class StdWorker : public Worker {
  public:
    explicit StdWorker(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              work();
              done_.store(true, std::memory_order_release);
          }) {}
    ~StdWorker() override { thread_.join(); }

    bool IsRunning() const override { return !done_.load(std::memory_order_acquire); }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;  // last: started once done_ exists
};

}  // namespace

std::unique_ptr<Worker> StdWorkerThreads::Start(std::function<void()> work) {
    try {
        return std::make_unique<StdWorker>(std::move(work));
    } catch (const std::system_error&) {
        return nullptr;
    }
}
