// Test stand-ins for the platform services of a synchronisation run and the scheduler.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock_service.h"
#include "platform/message_boxes.h"
#include "platform/worker_threads.h"
#include "platform/connectivity.h"
#include "platform/network_stack.h"
#include "platform/web_probe.h"

class FakeNetworkStack : public NetworkStack {
  public:
    NetworkStartResult Start() override;
    void Stop() override { ++stops; }

    std::atomic<NetworkStartResult> result{NetworkStartResult::kStarted};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
};

class FakeConnectivity : public Connectivity {
  public:
    bool IsConnected() override {
        ++asked;
        return connected;
    }
    std::atomic<bool> connected{true};
    std::atomic<int> asked{0};
};

class FakeWebProbe : public WebProbe {
  public:
    ProbeResult Probe(QueryInterrupter*) override {
        ++probes;
        while (hang) {  // like a name lookup: deaf to interruption
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return result;
    }
    std::atomic<ProbeResult> result{ProbeResult::kOpened};
    std::atomic<bool> hang{false};
    std::atomic<int> probes{0};
};

// Records every request and answers with the scripted reply, or like an absent service.
// Told to hang, it answers nothing until the caller's interrupter stops the wait.
class FakeClockService : public ClockService {
  public:
    ClockServiceReply Synchronise(const ClockServiceRequest& request,
                                  const QueryInterrupter* interrupter) override;

    // effect runs while the service answers, as the real one sets the clock.
    void Answer(ClockServiceReply reply, std::function<void()> effect = {});
    std::vector<ClockServiceRequest> requests() const;

    std::atomic<bool> hang{false};

  private:
    mutable std::mutex mutex_;
    ClockServiceReply answer_ =
        UnsuccessfulReply(ClockServiceStatus::kFailed, FailureOf(FailureKind::kServiceSilent));
    std::function<void()> effect_;
    std::vector<ClockServiceRequest> requests_;
};

// Records every box. By default a box is answered at once; told to hold, it stays open
// until its guard closes it (or the test releases it).
class RecordingMessageBoxes : public MessageBoxes {
  public:
    struct Box {
        std::string text;
        std::string caption;
        BoxIcon icon;
        bool closedByGuard;
    };

    void Show(const std::string& text, const std::string& caption, BoxIcon icon,
              BoxGuard& guard) override;

    void Hold(bool hold);
    // Waits until a box is open (held); false after the time-out.
    bool WaitUntilOpen(int milliseconds = 10000);
    void ReleaseOpenBox();
    std::vector<Box> boxes() const;
    std::vector<std::string> texts() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Box> boxes_;
    bool hold_ = false;
    bool open_ = false;
    bool release_ = false;
    bool closedByGuard_ = false;
};

// Real threads, counted, or none at all when told to fail.
class CountingWorkerThreads : public WorkerThreads {
  public:
    std::unique_ptr<Worker> Start(std::function<void()> work) override;

    std::atomic<int> started{0};
    std::atomic<bool> fail{false};

  private:
    StdWorkerThreads threads_;
};
