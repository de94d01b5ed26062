#include "sync/server_cursor.h"

void ServerCursor::SelectStartingServer() {
    settings_.servers.With(
        [this](const ServerCatalogue&) { currentIndex_ = settings_.startingServer; });
}

void ServerCursor::Publish(const ServerCatalogue& servers, int chosen) {
    settings_.servers.With([&](ServerCatalogue& catalogue) {
        catalogue.Clear();
        catalogue.Append(servers);
        settings_.startingServer = chosen;
        currentIndex_ = chosen;
    });
}

ServerEntry ServerCursor::CurrentEntry() const {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        if (currentIndex_ < 0 || currentIndex_ >= catalogue.Size()) {
            return ServerEntry();
        }
        return catalogue.At(currentIndex_);
    });
}

std::string ServerCursor::CurrentServerTitle() const {
    return CurrentEntry().title;
}

std::string ServerCursor::CurrentServerAddress() const {
    return CurrentEntry().address;
}

void ServerCursor::SkipToSecureServer() {
    settings_.servers.With([this](const ServerCatalogue& catalogue) {
        const int size = catalogue.Size();
        const int from = currentIndex_ < 0 || currentIndex_ >= size ? 0 : currentIndex_;
        for (int i = 0; i < size; ++i) {
            if (catalogue.At((from + i) % size).nts) {
                currentIndex_ = (from + i) % size;
                return;
            }
        }
    });
}

int ServerCursor::AdvanceServer(const RunGate::Held&) {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        ++currentIndex_;
        const int advanced = currentIndex_;
        if (currentIndex_ >= catalogue.Size()) {
            currentIndex_ = 0;
        }
        return advanced;
    });
}

int ServerCursor::CurrentIndex() const {
    return settings_.servers.With([this](const ServerCatalogue&) { return currentIndex_; });
}
