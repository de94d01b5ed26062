// Tells when a policy key may have changed: a registry notification on the machine's and the
// user's policy key (each covering its Recommended subkey and lists), armed again after every
// change. Where a key does not exist, its nearest existing parent up to Software\Policies is
// watched instead, so that its creation counts too; a watched key that went away counts as a
// change. Wine never fires RegisterGPNotification; Windows also announces a policy refresh
// with WM_SETTINGCHANGE "Policy", which the window hears of by itself.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "base/unique_handle_win.h"

class PolicyChangeWatch {
  public:
    PolicyChangeWatch();
    PolicyChangeWatch(const PolicyChangeWatch&) = delete;
    PolicyChangeWatch& operator=(const PolicyChangeWatch&) = delete;

    // True once after something under a watched key changed; the watch is armed again. Cheap
    // enough for every tick: it waits for nothing.
    bool Changed();

  private:
    struct Watch {
        HKEY root;
        std::optional<std::size_t> level;  // which of the paths is watched; none: not even the last
        UniqueRegistryKey key;
        UniqueHandle event;
    };
    static std::optional<std::size_t> DeepestExisting(HKEY root);
    static void Arm(Watch& watch);

    std::array<Watch, 2> watches_;
};
