// The service reads its policy for every request; a value it ignores is told to the
// administrator once, when it first appears, not on every request that reads it again.
#pragma once

#include <mutex>
#include <vector>

#include "config/policy_source.h"

class IgnoredPolicyNotice {
  public:
    // The values of ignored not told since they last appeared; remembers ignored as the
    // values now ignored. Requests read the policy on threads of their own.
    std::vector<IgnoredPolicyValue> NewlyIgnored(const std::vector<IgnoredPolicyValue>& ignored);

  private:
    std::mutex mutex_;
    std::vector<IgnoredPolicyValue> told_;
};
