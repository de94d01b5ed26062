#include "app/catalogue_editor.h"

#include <utility>

#include "config/default_servers.h"

CatalogueEditor::CatalogueEditor(ServerCatalogue copy, int chosen, ServersPolicy list)
    : servers_(std::move(copy)), list_(std::move(list)) {
    Choose(chosen);
}

void CatalogueEditor::Choose(int row) {
    chosen_ = row >= 0 && row < servers_.Size() ? row : 0;
}

bool CatalogueEditor::DeleteChosen() {
    if (servers_.Size() <= 1) {
        return false;
    }
    servers_.RemoveAt(chosen_);
    entriesChanged_ = true;
    if (chosen_ > 0) {
        --chosen_;
    }
    return true;
}

void CatalogueEditor::RestoreDefaults() {
    list_.RestoreDefaults(servers_);
    chosen_ = 0;
    entriesChanged_ = true;
}

void CatalogueEditor::Add(const ServerEntry& entry) {
    servers_.Add(entry);
    entriesChanged_ = true;
}

int CatalogueEditor::AddSecureServers() {
    const int added = ::AddSecureServers(servers_);
    if (added > 0) {
        entriesChanged_ = true;
    }
    return added;
}

void CatalogueEditor::SetDelay(int index, double delay) {
    servers_.SetDelay(index, delay);
}

SearchOutcome CatalogueEditor::ChooseBest(const std::vector<RunResult>& results) {
    const SearchOutcome outcome = ::ChooseBest(results);
    chosen_ = outcome.bestIndex;
    return outcome;
}
