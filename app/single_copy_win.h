// The named mutex that makes this copy the one of its user and session. The copy owns it
// from its start to its end, on the thread that claimed it, so that a start made while it
// ends can wait for it to let go.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique_handle_win.h"

class SingleCopy {
  public:
    SingleCopy() = default;
    // Lets go of the mutex: on the thread that claimed it, as ownership is per thread.
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    // True when this start is to run as the one copy. When another copy holds the mutex,
    // it is asked to show its main window (a top-level dialog titled `displayName`), and
    // waited for when it does not answer.
    bool Claim(const std::string& displayName);

  private:
    UniqueHandle mutex_;
    bool owned_ = false;
};
