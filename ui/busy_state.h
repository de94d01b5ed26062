// A dialog that waits for work off its thread: meanwhile it keeps painting and answering,
// but every button is disabled (OK and Cancel too) and the wait cursor shows over it.
#pragma once

#include <windows.h>

#include <vector>

class BusyState {
  public:
    // Disables the dialog's enabled buttons; End enables them again.
    void Begin(HWND dialog);
    void End();
    bool busy() const { return dialog_ != nullptr; }
    // For WM_SETCURSOR: true when the wait cursor was set.
    bool SetCursor() const;

  private:
    HWND dialog_ = nullptr;
    std::vector<HWND> disabled_;
};
