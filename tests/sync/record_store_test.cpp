#include "sync/record_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/memory_profile_store.h"

namespace {

SyncRecord RecordSaying(const std::string& status) {
    SyncRecord record;
    record.connectStatus = status;
    return record;
}

class RecordStoreTest : public testing::Test {
  protected:
    void Decide(const std::string& status) {
        gate.Apply(RunGate::kAlways,
                   [&](const RunGate::Held& held) { records.Decide(held, RecordSaying(status)); });
    }
    std::string Stored() const {
        const auto value = store.value(Settings::kOptionsSection, "sConnectStatus");
        return value ? std::get<std::string>(*value) : "";
    }

    MemoryProfileStore store;
    Settings settings{store};
    RunGate gate;
    RecordStore records{settings};
};

TEST_F(RecordStoreTest, AStoreWritesTheLatestRecordDecidedOnce) {
    Decide("first");
    Decide("second");
    records.Store();
    EXPECT_EQ("second", Stored());
    const std::size_t writes = store.writes().size();
    records.Store();
    EXPECT_EQ(writes, store.writes().size());
}

// A store waits for the one before it, never under the gate; the later decision is the one
// that stays.
TEST_F(RecordStoreTest, WhileOneWriteHangsTheGateIsFreeAndTheLaterRecordWins) {
    store.HoldWrites(true);
    Decide("earlier");
    std::thread first([&] { records.Store(); });
    ASSERT_TRUE(store.WaitUntilAWriteIsHeld());
    Decide("later");  // would wait for the registry if the gate were held across the write
    std::thread second([&] { records.Store(); });
    store.HoldWrites(false);
    first.join();
    second.join();
    EXPECT_EQ("later", Stored());
}

}  // namespace
