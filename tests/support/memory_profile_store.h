// A ProfileStore in memory that remembers the order of its writes and can be told to fail
// them, or to hold them as a slow registry would, for tests of what is stored and when.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "config/profile_store.h"

class MemoryProfileStore : public ProfileStore {
  public:
    using Value = std::variant<std::int32_t, std::string>;

    std::int32_t GetInt(const std::string& section, const std::string& name,
                        std::int32_t defaultValue) override;
    bool PutInt(const std::string& section, const std::string& name, std::int32_t value) override;
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& defaultValue) override;
    bool PutString(const std::string& section, const std::string& name,
                   const std::string& text) override;
    bool HasSection(const std::string& section) override;

    std::optional<Value> value(const std::string& section, const std::string& name) const;
    void erase(const std::string& section, const std::string& name);
    // "section/name" of every successful write, in order.
    const std::vector<std::string>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    void failWrites(bool fail) { failWrites_ = fail; }
    // While held, a write waits until released.
    void HoldWrites(bool hold);
    // Waits (in real time) until a write is being held; false after the time-out.
    bool WaitUntilAWriteIsHeld(int milliseconds = 10000);

  private:
    bool put(const std::string& section, const std::string& name, Value value);

    std::map<std::string, std::map<std::string, Value>> sections_;
    std::vector<std::string> writes_;
    bool failWrites_ = false;
    std::mutex holdMutex_;
    std::condition_variable holdChanged_;
    bool hold_ = false;
    bool writeHeld_ = false;
};
