// The policy keys in the registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, each with
// Software\Policies\Quorvane\Tickwell (mandatory) and its subkey Recommended. The machine's
// keys are read in the 64-bit view, which the 64-bit service and a 32-bit tool share.
#pragma once

#include <windows.h>

#include <string>

#include "config/policy_source.h"

class RegistryPolicySource : public PolicySource {
  public:
    PolicyKeyContents Read(PolicyScope scope) override;

    static HKEY RootOf(PolicyScope scope);
    static std::string PathOf(PolicyScope scope);
};

// The view every policy key is opened in.
inline constexpr REGSAM kPolicyView = KEY_WOW64_64KEY;
