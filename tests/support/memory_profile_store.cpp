#include "tests/support/memory_profile_store.h"

#include <chrono>

std::int32_t MemoryProfileStore::GetInt(const std::string& section, const std::string& name,
                                        std::int32_t defaultValue) {
    const std::optional<Value> stored = value(section, name);
    if (stored && std::holds_alternative<std::int32_t>(*stored)) {
        return std::get<std::int32_t>(*stored);
    }
    return defaultValue;
}

bool MemoryProfileStore::PutInt(const std::string& section, const std::string& name,
                                std::int32_t value) {
    return put(section, name, value);
}

std::string MemoryProfileStore::GetString(const std::string& section, const std::string& name,
                                          const std::string& defaultValue) {
    const std::optional<Value> stored = value(section, name);
    if (stored && std::holds_alternative<std::string>(*stored)) {
        return std::get<std::string>(*stored);
    }
    return defaultValue;
}

bool MemoryProfileStore::PutString(const std::string& section, const std::string& name,
                                   const std::string& text) {
    return put(section, name, text);
}

bool MemoryProfileStore::HasSection(const std::string& section) {
    return sections_.count(section) != 0;
}

std::optional<MemoryProfileStore::Value> MemoryProfileStore::value(const std::string& section,
                                                                   const std::string& name) const {
    const auto found = sections_.find(section);
    if (found == sections_.end()) {
        return std::nullopt;
    }
    const auto entry = found->second.find(name);
    if (entry == found->second.end()) {
        return std::nullopt;
    }
    return entry->second;
}

void MemoryProfileStore::erase(const std::string& section, const std::string& name) {
    const auto found = sections_.find(section);
    if (found != sections_.end()) {
        found->second.erase(name);
    }
}

void MemoryProfileStore::HoldWrites(bool hold) {
    std::lock_guard<std::mutex> lock(holdMutex_);
    hold_ = hold;
    holdChanged_.notify_all();
}

bool MemoryProfileStore::WaitUntilAWriteIsHeld(int milliseconds) {
    std::unique_lock<std::mutex> lock(holdMutex_);
    return holdChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [this] { return writeHeld_; });
}

bool MemoryProfileStore::put(const std::string& section, const std::string& name, Value value) {
    {
        std::unique_lock<std::mutex> lock(holdMutex_);
        writeHeld_ = hold_;
        holdChanged_.notify_all();
        holdChanged_.wait(lock, [this] { return !hold_; });
        writeHeld_ = false;
    }
    if (failWrites_) {
        return false;
    }
    sections_[section][name] = std::move(value);
    writes_.push_back(section + "/" + name);
    return true;
}
