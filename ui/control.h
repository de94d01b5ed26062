// Thin wrappers of the common controls a dialog binds by id in its data exchange.
#pragma once

#include <windows.h>

class Control {
  public:
    virtual ~Control() = default;
    void Attach(HWND control) { hwnd_ = control; }
    HWND hwnd() const { return hwnd_; }

  protected:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(hwnd_, message, wParam, lParam);
    }

  private:
    HWND hwnd_ = nullptr;
};

class ProgressControl : public Control {
  public:
    void SetPos(int position) const;
};
