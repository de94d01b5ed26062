// Which server the next run queries: an index into the catalogue, shared by the
// user-interface thread and the synchronisation worker. It names one of the catalogue's
// entries, so every access takes the catalogue's lock, the one under which every change of
// the catalogue happens too.
#pragma once

#include <string>

#include "config/settings.h"
#include "sync/run_gate.h"

class ServerCursor {
  public:
    explicit ServerCursor(Settings& settings) : settings_(settings) {}

    // From Settings.startingServer.
    void SelectStartingServer();
    // The chooser's OK: the edited catalogue and its chosen entry, which becomes
    // startingServer and the next run's server, in one step under the lock. A run in progress
    // keeps the address it has read.
    void Publish(const ServerCatalogue& servers, int chosen);
    // Empty when the index names no entry.
    std::string CurrentServerTitle() const;
    std::string CurrentServerAddress() const;
    // The entry the next run asks; an empty one when the index names none.
    ServerEntry CurrentServer() const { return CurrentEntry(); }
    // When only secure servers may be asked: on from the current entry, wrapping, to the
    // first secure one; the index stays when the catalogue has none.
    void SkipToSecureServer();
    // The failed-run step, inside the run's gate: on to the next server, wrapping after the
    // last. Returns the index before the wrap.
    int AdvanceServer(const RunGate::Held& held);

    int CurrentIndex() const;

  private:
    ServerEntry CurrentEntry() const;

    Settings& settings_;
    // Guarded by the catalogue's lock.
    int currentIndex_ = 0;
};
