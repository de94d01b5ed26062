// The four policy keys in memory, as a test's administrator sets them.
#pragma once

#include <string>
#include <vector>

#include "config/policy_source.h"

class FakePolicySource : public PolicySource {
  public:
    PolicyKeyContents Read(PolicyScope scope) override { return keys_[scope]; }

    FakePolicySource& Set(PolicyScope scope, const std::string& name, PolicyValue value) {
        keys_[scope].values[name] = std::move(value);
        return *this;
    }
    FakePolicySource& Set(PolicyScope scope, const std::string& name, std::uint32_t value) {
        return Set(scope, name, PolicyValue::Dword(value));
    }
    // The list's values named 1, 2, ... in order.
    FakePolicySource& SetList(PolicyScope scope, const std::string& list,
                              const std::vector<PolicyValue>& entries) {
        PolicyList& values = keys_[scope].lists[list];
        values.clear();
        for (const PolicyValue& entry : entries) {
            values.emplace_back(static_cast<std::uint32_t>(values.size() + 1), entry);
        }
        return *this;
    }
    void Clear(PolicyScope scope) { keys_[scope] = {}; }

    PolicySet All() { return ReadPolicies(*this); }

  private:
    PolicySet keys_;
};
