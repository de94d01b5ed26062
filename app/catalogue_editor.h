// What the server chooser edits: its own copy of the catalogue and the chosen entry. Every
// action changes only the copy; the dialog publishes it on OK, and Cancel drops it.
#pragma once

#include <vector>

#include "config/option_policy.h"
#include "config/server_catalogue.h"
#include "sync/run_result.h"
#include "sync/server_search.h"

class CatalogueEditor {
  public:
    // A chosen index that names no entry (left by an older catalogue) chooses the first.
    // list: the policy's Servers list, which Restore brings back in place of the built-in
    // table while it stands.
    CatalogueEditor(ServerCatalogue copy, int chosen, ServersPolicy list = {});

    const ServerCatalogue& servers() const { return servers_; }
    int chosen() const { return chosen_; }
    // Added, deleted or restored entries since the dialog opened: the catalogue is then the
    // user's choice.
    bool EntriesChanged() const { return entriesChanged_; }
    ServerEntry chosenEntry() const { return servers_.At(chosen_); }

    // A row of the list, or -1 for a click beside the rows, which chooses the first.
    void Choose(int row);
    // Never the last entry: false, and nothing changes. The entry before the deleted one is
    // chosen, or the first.
    bool DeleteChosen();
    // The built-in table (or the policy's list) merged in: user entries stay, the others
    // come back; the first is chosen.
    void RestoreDefaults();
    // The new entry goes last; the choice stays.
    void Add(const ServerEntry& entry);
    // The built-in secure group after the entries, without an address already there; the
    // choice stays. Returns how many were added.
    int AddSecureServers();
    void SetDelay(int index, double delay);
    // After "Find the best", with its results in list order: the entry with the smallest
    // delay becomes the chosen one.
    SearchOutcome ChooseBest(const std::vector<RunResult>& results);

  private:
    ServerCatalogue servers_;
    ServersPolicy list_;
    int chosen_ = 0;
    bool entriesChanged_ = false;
};
