#include "app/managed_settings.h"

#include <algorithm>

#include "app/presentation.h"

bool ManagedSettings::OptionsManaged() const {
    return std::any_of(kOptionRows.begin(), kOptionRows.end(),
                       [this](const OptionRow& row) { return outcome_.Governed(row.field); });
}

std::string ManagedSettings::Tip(std::int32_t StoredOptions::*field) const {
    if (!outcome_.FromPolicy(field)) {
        return {};
    }
    for (const OptionRow& row : kOptionRows) {
        if (row.field == field) {
            return presentation::PolicyTip(row.name, outcome_.Governed(field));
        }
    }
    return {};
}

bool ManagedSettings::MayDelete(const ServerEntry& entry) const {
    return CatalogueEditable() &&
           !(CatalogueManaged() && entry.userAdded == ServerEntry::kFromPolicy);
}

std::string ManagedSettings::CatalogueTip() const {
    if (!outcome_.servers.Stands()) {
        return {};
    }
    return presentation::PolicyTip(kServersList, CatalogueManaged());
}
