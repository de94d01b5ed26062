// The stored record of the last synchronisation, written outside the run gate: a run decides
// under the gate which record is stored and writes it once the gate is released, so that the
// user-interface thread, which takes the gate every second, never waits for the registry.
// Writes keep the order of the decisions: each writes the latest record decided, so one
// decided earlier never overwrites a later one.
#pragma once

#include <mutex>
#include <optional>

#include "config/settings.h"
#include "config/sync_record.h"
#include "sync/run_gate.h"

class RecordStore {
  public:
    explicit RecordStore(Settings& settings) : settings_(settings) {}
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Under the gate: the record to store.
    void Decide(const RunGate::Held& held, const SyncRecord& record);
    // After the gate is released: writes the latest record decided, unless written already.
    void Store();

  private:
    Settings& settings_;
    std::mutex writing_;  // one write at a time; never taken under the gate
    std::mutex decided_;  // nests inside the gate's, and is held for a copy only
    std::optional<SyncRecord> pending_;
};
