// Worker threads for synchronisation runs: started at once with their work, asked without
// blocking whether they still run.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class Worker {
  public:
    virtual ~Worker() = default;
    virtual bool IsRunning() const = 0;
};

class WorkerThreads {
  public:
    virtual ~WorkerThreads() = default;
    // Empty when no thread could be started.
    virtual std::unique_ptr<Worker> Start(std::function<void()> work) = 0;
};

// Threads of the standard library; a worker waits for its thread when destroyed.
class StdWorkerThreads : public WorkerThreads {
  public:
    std::unique_ptr<Worker> Start(std::function<void()> work) override;
};
