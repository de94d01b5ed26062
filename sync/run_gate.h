// The one lock between the user-interface thread and the synchronisation worker, and the
// record of the last synchronisation that it guards. Every run has a generation; when the
// scheduler abandons a run (Break, or a watchdog restart) a new generation begins, the
// abandoned run's open box is closed and its network waits end, and from then on none of
// its effects applies: each is checked against the generation and applied under the same
// lock, so none can slip in after the check.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/message_boxes.h"
#include "base/query_interrupter.h"
#include "config/sync_record.h"

class RunGate {
  public:
    using Generation = std::uint64_t;
    // Effects of work that is no scheduled run (a server test from a dialog) always apply.
    static constexpr Generation kAlways = 0;

    // A new run: every earlier one is abandoned.
    Generation BeginRun();
    void AbandonRun();
    bool IsCurrent(Generation generation) const;

    // Held while the gate's lock is, and made only by the gate. A write under a lock that
    // nests inside the gate's (the server cursor's step, the scheduler's marks) takes it as a
    // parameter, so it compiles only inside an effect: the gate is always taken first, and
    // those locks call out to nothing that could take it again.
    class Held {
      public:
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

      private:
        friend class RunGate;
        Held() = default;
    };

    // Runs the effect under the lock if the generation still counts; false if not. An
    // effect takes the record, the proof that the gate is held, both, or nothing.
    bool Apply(Generation generation, const std::function<void(SyncRecord&)>& effect);
    bool Apply(Generation generation, const std::function<void(const Held&)>& effect);
    bool Apply(Generation generation, const std::function<void(SyncRecord&, const Held&)>& effect);
    bool Apply(Generation generation, const std::function<void()>& effect);

    // A box of the current run is on screen: the watchdog does not count that time.
    bool RunBoxOpen() const;

    // For the user-interface thread: a copy of the record, and the status line.
    SyncRecord Record() const;
    void SetStatus(const std::string& status);
    void ReplaceRecord(const SyncRecord& record);

    // A guard for the boxes that a run of the generation shows.
    class RunBoxGuard : public BoxGuard {
      public:
        RunBoxGuard(RunGate& gate, Generation generation) : gate_(gate), generation_(generation) {}
        bool Opened(std::function<void()> close) override;
        void Closed() override;

      private:
        RunGate& gate_;
        Generation generation_;
    };

  private:
    bool CurrentLocked(Generation generation) const;
    void CloseBoxLocked();

    mutable std::mutex mutex_;
    Generation current_ = kAlways;
    SyncRecord record_;
    std::function<void()> closeBox_;
};

// A value that the worker and the user-interface thread share, reached only with the proof
// that the gate is held.
template <typename Value>
class GateGuarded {
  public:
    Value& Under(const RunGate::Held&) { return value_; }
    const Value& Under(const RunGate::Held&) const { return value_; }

  private:
    Value value_{};
};

// Ends a run's network waits once the run is abandoned.
class RunInterrupter : public QueryInterrupter {
  public:
    RunInterrupter(const RunGate& gate, RunGate::Generation generation)
        : gate_(gate), generation_(generation) {}
    bool Interrupted() const override { return !gate_.IsCurrent(generation_); }

  private:
    const RunGate& gate_;
    RunGate::Generation generation_;
};
