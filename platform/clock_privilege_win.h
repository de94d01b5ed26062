// The bracket around a clock setting: the process token's system-time privilege enabled
// for the setting and disabled again. The token closes when the bracket is destroyed.
#pragma once

#include <windows.h>

#include "base/unique_handle_win.h"

class ClockPrivilege {
  public:
    // Success also when the platform has no process security (nothing to enable). A token
    // that lacks the privilege still succeeds here; the clock call then fails.
    BOOL Enable();
    // Returns 0 when nothing was enabled.
    BOOL Disable();

  private:
    UniqueHandle token_;
    TOKEN_PRIVILEGES privileges_{};
    BOOL enabled_ = FALSE;
};

// Whether the token holds the system-time privilege at all, enabled or not: only then can
// a ClockPrivilege bracket make a clock setting succeed.
bool TokenHoldsClockPrivilege(HANDLE token);
