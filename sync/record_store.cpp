#include "sync/record_store.h"

#include <utility>

void RecordStore::Decide(const RunGate::Held&, const SyncRecord& record) {
    std::lock_guard<std::mutex> lock(decided_);
    pending_ = record;
}

void RecordStore::Store() {
    std::lock_guard<std::mutex> writing(writing_);
    std::optional<SyncRecord> record;
    {
        std::lock_guard<std::mutex> lock(decided_);
        record = std::exchange(pending_, std::nullopt);
    }
    if (record) {
        settings_.SaveSyncRecord(*record);
    }
}
