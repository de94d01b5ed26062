#include "sync/server_cursor.h"

void ServerCursor::SelectStartingServer() {
    settings_.servers.With(
        [this](const ServerCatalogue&) { currentServer_ = settings_.nStartingServ; });
}

void ServerCursor::Publish(const ServerCatalogue& servers, int chosen) {
    settings_.servers.With([&](ServerCatalogue& catalogue) {
        catalogue.clear();
        catalogue.append(servers);
        settings_.nStartingServ = chosen;
        currentServer_ = chosen;
    });
}

ServerEntry ServerCursor::CurrentEntry() const {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        if (currentServer_ < 0 || currentServer_ >= catalogue.size()) {
            return ServerEntry();
        }
        return catalogue.at(currentServer_);
    });
}

std::string ServerCursor::CurrentServerTitle() const {
    return CurrentEntry().title;
}

std::string ServerCursor::CurrentServerAddress() const {
    return CurrentEntry().address;
}

int ServerCursor::AdvanceServer(const RunGate::Held&) {
    return settings_.servers.With([this](const ServerCatalogue& catalogue) {
        ++currentServer_;
        const int advanced = currentServer_;
        if (currentServer_ >= catalogue.size()) {
            currentServer_ = 0;
        }
        return advanced;
    });
}

int ServerCursor::currentServer() const {
    return settings_.servers.With([this](const ServerCatalogue&) { return currentServer_; });
}
