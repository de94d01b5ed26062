#include "app/catalogue_editor.h"

#include <utility>

#include "config/settings.h"

CatalogueEditor::CatalogueEditor(ServerCatalogue copy, int chosen) : servers_(std::move(copy)) {
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
    if (chosen_ > 0) {
        --chosen_;
    }
    return true;
}

void CatalogueEditor::RestoreDefaults() {
    Settings::RestoreDefaultEntries(servers_);
    chosen_ = 0;
}

void CatalogueEditor::Add(const ServerEntry& entry) {
    servers_.Add(entry);
}

void CatalogueEditor::SetDelay(int index, double delay) {
    servers_.SetDelay(index, delay);
}

SearchOutcome CatalogueEditor::ChooseBest(const std::vector<RunResult>& results) {
    const SearchOutcome outcome = ::ChooseBest(results);
    chosen_ = outcome.bestIndex;
    return outcome;
}
