#include "config/policy_change_watch_win.h"

#include "config/policy_source.h"
#include "config/registry_policy_source_win.h"

namespace {

// The policy key and its parents, deepest first.
constexpr const char* kPaths[] = {kMandatoryPolicyKey, "Software\\Policies\\Quorvane",
                                  "Software\\Policies"};

constexpr DWORD kWatchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

}  // namespace

PolicyChangeWatch::PolicyChangeWatch()
    : watches_{{{HKEY_LOCAL_MACHINE, {}, {}, {}}, {HKEY_CURRENT_USER, {}, {}, {}}}} {
    for (Watch& watch : watches_) {
        watch.event.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        Arm(watch);
    }
}

std::optional<std::size_t> PolicyChangeWatch::DeepestExisting(HKEY root) {
    for (std::size_t level = 0; level < std::size(kPaths); ++level) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, kPaths[level], 0, KEY_NOTIFY | kPolicyView, &key) ==
            ERROR_SUCCESS) {
            ::RegCloseKey(key);
            return level;
        }
    }
    return std::nullopt;
}

void PolicyChangeWatch::Arm(Watch& watch) {
    watch.key.reset();
    watch.level = DeepestExisting(watch.root);
    if (!watch.level || !watch.event) {
        return;
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExA(watch.root, kPaths[*watch.level], 0, KEY_NOTIFY | kPolicyView, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    watch.key.reset(key);
    // Subtree: the Recommended key and the lists below it count too.
    if (::RegNotifyChangeKeyValue(key, TRUE, kWatchedChanges, watch.event.get(), TRUE) !=
        ERROR_SUCCESS) {
        watch.key.reset();
    }
}

bool PolicyChangeWatch::Changed() {
    bool changed = false;
    for (Watch& watch : watches_) {
        const bool signalled =
            watch.event && ::WaitForSingleObject(watch.event.get(), 0) == WAIT_OBJECT_0;
        if (signalled || DeepestExisting(watch.root) != watch.level) {
            Arm(watch);
            changed = true;
        }
    }
    return changed;
}
