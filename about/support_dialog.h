// The library's small framework for modal dialogs: one object per dialog, one dialog
// procedure that routes each message to the object of its window.
#pragma once

#include <windows.h>

#include <string>

class SupportDialog {
  public:
    // Runs dialog template templateId from module; owner may be null. caption replaces the
    // template's caption when the dialog opens, an empty one included.
    SupportDialog(HINSTANCE module, HWND owner, int templateId, std::string caption = {});
    virtual ~SupportDialog() = default;

    SupportDialog(const SupportDialog&) = delete;
    SupportDialog& operator=(const SupportDialog&) = delete;

    // Declared in the order of their virtual table slots; keep it.

    // Shows the dialog and returns the value it ended with, or -1 when it could not be
    // created (after telling the user why).
    virtual INT_PTR DoModal();
    // Ends the dialog on IDOK and IDCANCEL.
    virtual BOOL OnCommand(WPARAM command, LPARAM extra);
    virtual BOOL OnMouseMove(WPARAM keys, LPARAM point);
    virtual BOOL OnLButtonDown(WPARAM keys, LPARAM point);
    virtual BOOL OnLButtonUp(WPARAM keys, LPARAM point);
    // Learns the window and sets its caption.
    virtual BOOL OnInitDialog(HWND window, HWND focus, LPARAM param);
    virtual void OnPaint(HDC dc);
    virtual BOOL OnTimer(WPARAM timerId, LPARAM callback);

  protected:
    // Null until the dialog has been initialised.
    HWND Window() const { return window_; }
    // The library, which holds the templates and pictures.
    HINSTANCE Module() const { return module_; }

  private:
    HINSTANCE module_;
    HWND owner_;
    int templateId_;
    HWND window_ = nullptr;
    std::string caption_;
};

// The dialog procedure of every SupportDialog; DoModal passes the object as the creation
// parameter. Messages for windows without a live object are left to the system.
INT_PTR CALLBACK SupportDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
