// What the windows show of the administrator's policies: whether the line "Some settings are
// managed by your organization." appears, which controls are locked, and the tip that names
// the policy behind a control.
#pragma once

#include <string>

#include "config/option_policy.h"

// A window that shows what the policies leave, told when they change while it is open.
class PolicyFollower {
  public:
    // The settings have the new policies already; the window shows them afresh.
    virtual void FollowPolicies() = 0;

  protected:
    ~PolicyFollower() = default;
};

class ManagedSettings {
  public:
    ManagedSettings() = default;
    explicit ManagedSettings(PolicyOutcome outcome) : outcome_(std::move(outcome)) {}

    // Options: a mandatory policy sets one of the options.
    bool OptionsManaged() const;
    // The user cannot change it: a mandatory policy sets it.
    bool Locked(std::int32_t StoredOptions::*field) const { return outcome_.Governed(field); }
    // Names the policy that sets it, mandatory or recommended; empty when none does.
    std::string Tip(std::int32_t StoredOptions::*field) const;

    // The chooser: a mandatory Servers list stands.
    bool CatalogueManaged() const { return outcome_.servers.Governed(); }
    // Add, Delete and Restore: not under a mandatory list that keeps the user's servers out.
    bool CatalogueEditable() const { return outcome_.servers.UserMayEdit(); }
    // Delete, for the chosen entry: a mandatory list's own servers stay.
    bool MayDelete(const ServerEntry& entry) const;
    // For the list and its buttons; empty when no list stands.
    std::string CatalogueTip() const;

    const PolicyOutcome& outcome() const { return outcome_; }

  private:
    PolicyOutcome outcome_;
};
