// The server catalogue as the program holds it: shared by the user-interface thread, which
// loads, edits and stores it, and a synchronisation run, which advances the server cursor
// over it. Its entries can be reached only under its lock, through With, so a change that
// skips the lock does not compile. The lock also guards the server cursor's index.
#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "config/server_catalogue.h"

class SharedCatalogue {
  public:
    SharedCatalogue(std::string section, std::string prefix)
        : catalogue_(std::move(section), std::move(prefix)) {}
    SharedCatalogue(const SharedCatalogue&) = delete;
    SharedCatalogue& operator=(const SharedCatalogue&) = delete;

    // use(catalogue) under the lock; its result is returned.
    template <typename Use>
    auto With(Use use) {
        std::lock_guard<std::mutex> lock(mutex_);
        return use(catalogue_);
    }
    template <typename Use>
    auto With(Use use) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return use(std::as_const(catalogue_));
    }

    // A copy of the entries as they are now, for work outside the lock.
    ServerCatalogue Copy() const {
        return With([](const ServerCatalogue& catalogue) { return catalogue; });
    }
    int Size() const {
        return With([](const ServerCatalogue& catalogue) { return catalogue.Size(); });
    }

  private:
    mutable std::mutex mutex_;
    ServerCatalogue catalogue_;
};
