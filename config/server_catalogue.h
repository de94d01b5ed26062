// The ordered list of time servers, indexed from 0, and its layout in the store: a counter
// "<prefix>_Counter" and one text "<prefix> <index>" per entry.
#pragma once

#include <string>
#include <vector>

#include "config/profile_store.h"
#include "config/server_entry.h"

class ServerCatalogue {
  public:
    // A working list that is never loaded or saved has an empty section and prefix.
    ServerCatalogue(std::string section = {}, std::string prefix = {});

    int Size() const { return static_cast<int>(entries_.size()); }
    ServerEntry At(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
    int Add(const ServerEntry& entry);
    // The delay last measured for the entry; nothing for an index that names none.
    void SetDelay(int index, double delay);
    void RemoveAt(int index, int count = 1);
    void Clear() { entries_.clear(); }
    void Append(const ServerCatalogue& other);
    // Keeps the entries for which keep returns true, in order.
    template <typename Predicate>
    void KeepIf(Predicate keep) {
        std::erase_if(entries_, [&](const ServerEntry& e) { return !keep(e); });
    }

    // Appends the usable stored entries up to the counter: a missing or empty one is
    // skipped, the others kept. Returns the stored indices of those appended, in order;
    // none when the counter is missing or not positive.
    std::vector<int> Load(ProfileStore& store);
    // Values left by an earlier, longer catalogue stay: Load stops at the counter.
    void Save(ProfileStore& store) const;

    const std::string& CounterName() const { return counterName_; }
    std::string ValueName(int index) const;

  private:
    std::string section_;
    std::string prefix_;
    std::string counterName_;
    std::vector<ServerEntry> entries_;
};
