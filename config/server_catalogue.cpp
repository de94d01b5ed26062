#include "config/server_catalogue.h"

ServerCatalogue::ServerCatalogue(std::string section, std::string prefix)
    : section_(std::move(section)),
      prefix_(std::move(prefix)),
      counterName_(prefix_ + "_Counter") {}

int ServerCatalogue::add(const ServerEntry& entry) {
    entries_.push_back(entry);
    return size() - 1;
}

void ServerCatalogue::setDelay(int index, double delay) {
    if (index >= 0 && index < size()) {
        entries_[static_cast<std::size_t>(index)].delay = delay;
    }
}

void ServerCatalogue::removeAt(int index, int count) {
    if (index < 0 || count <= 0 || index >= size()) {
        return;
    }
    const int last = std::min(size(), index + count);
    entries_.erase(entries_.begin() + index, entries_.begin() + last);
}

void ServerCatalogue::append(const ServerCatalogue& other) {
    const std::vector<ServerEntry> copies = other.entries_;  // safe when other is this
    entries_.insert(entries_.end(), copies.begin(), copies.end());
}

std::string ServerCatalogue::valueName(int index) const {
    return prefix_ + " " + std::to_string(index);
}

std::vector<int> ServerCatalogue::load(ProfileStore& store) {
    std::vector<int> loaded;
    const int count = store.getInt(section_, counterName_, 0);
    for (int i = 0; i < count; ++i) {
        const std::string text = store.getString(section_, valueName(i), "");
        if (text.empty()) {
            continue;  // one damaged value must not cost the user the others
        }
        ServerEntry entry;
        entry.fromText(text);
        add(entry);
        loaded.push_back(i);
    }
    return loaded;
}

void ServerCatalogue::save(ProfileStore& store) const {
    store.putInt(section_, counterName_, size());
    for (int i = 0; i < size(); ++i) {
        store.putString(section_, valueName(i), entries_[static_cast<std::size_t>(i)].toText());
    }
}
