// The About box: the caller's text in a read-only edit box, a button to the maker's web
// page, and OK.
#pragma once

#include <windows.h>

#include <string>

#include "about/support_dialog.h"
#include "base/unique_handle_win.h"

class AboutDialog : public SupportDialog {
  public:
    AboutDialog(HINSTANCE module, HWND owner, std::string text);

    // Always FALSE, so that the system's default handling follows.
    BOOL OnCommand(WPARAM command, LPARAM extra) override;
    // Puts the text into the edit box.
    BOOL OnInitDialog(HWND window, HWND focus, LPARAM param) override;

  private:
    void ShowLogoForDpi(HWND window);

    std::string text_;
    HWND edit_ = nullptr;
    UniqueBitmap logo_;  // for a DPI above 100 %
};
