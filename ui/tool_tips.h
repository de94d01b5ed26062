// Tips for a dialog's controls, shown over disabled ones too: a disabled control gets no
// mouse messages, so each control is also a tool by its rectangle in the dialog, whose own
// mouse messages the tip window watches.
#pragma once

#include <windows.h>

#include <string>

class ToolTips {
  public:
    ToolTips() = default;
    ToolTips(const ToolTips&) = delete;
    ToolTips& operator=(const ToolTips&) = delete;

    // Once the dialog exists; the tip window goes with it.
    void Create(HWND dialog);
    // The control's tip; an empty text takes it away.
    void Set(HWND control, const std::string& text);
    // The tip window, which tests look at from outside.
    HWND hwnd() const { return tips_; }

  private:
    HWND dialog_ = nullptr;
    HWND tips_ = nullptr;
};

// A static line at the bottom of a dialog's template: shown with its text, or hidden with
// the dialog made shorter by the room it takes (and taller again once it shows). The
// dialog must not be resizable by the user.
void ShowBottomLine(HWND dialog, int id, const std::string& text, bool shown);
