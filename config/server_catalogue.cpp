#include "config/server_catalogue.h"

ServerCatalogue::ServerCatalogue(std::string section, std::string prefix)
    : section_(std::move(section)),
      prefix_(std::move(prefix)),
      counterName_(prefix_ + "_Counter") {}

int ServerCatalogue::Add(const ServerEntry& entry) {
    entries_.push_back(entry);
    return Size() - 1;
}

void ServerCatalogue::SetDelay(int index, double delay) {
    if (index >= 0 && index < Size()) {
        entries_[static_cast<std::size_t>(index)].delay = delay;
    }
}

void ServerCatalogue::RemoveAt(int index, int count) {
    if (index < 0 || count <= 0 || index >= Size()) {
        return;
    }
    const int last = std::min(Size(), index + count);
    entries_.erase(entries_.begin() + index, entries_.begin() + last);
}

void ServerCatalogue::Append(const ServerCatalogue& other) {
    const std::vector<ServerEntry> copies = other.entries_;  // safe when other is this
    entries_.insert(entries_.end(), copies.begin(), copies.end());
}

std::string ServerCatalogue::ValueName(int index) const {
    return prefix_ + " " + std::to_string(index);
}

std::vector<int> ServerCatalogue::Load(ProfileStore& store) {
    std::vector<int> loaded;
    const int count = store.GetInt(section_, counterName_, 0);
    for (int i = 0; i < count; ++i) {
        const std::string text = store.GetString(section_, ValueName(i), "");
        if (text.empty()) {
            continue;  // one damaged value must not cost the user the others
        }
        ServerEntry entry;
        entry.FromText(text);
        Add(entry);
        loaded.push_back(i);
    }
    return loaded;
}

void ServerCatalogue::Save(ProfileStore& store) const {
    store.PutInt(section_, counterName_, Size());
    for (int i = 0; i < Size(); ++i) {
        store.PutString(section_, ValueName(i), entries_[static_cast<std::size_t>(i)].ToText());
    }
}
