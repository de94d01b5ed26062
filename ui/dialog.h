// A dialog window from a template of this program's resources, bound to a C++ object: one
// dialog procedure finds the object at WM_INITDIALOG and hands every later message to it,
// first to WindowProc, then to the message map, then to the defaults (OnInitDialog,
// OnOK, OnCancel). Esc and the close box arrive as IDCANCEL.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ui/data_exchange.h"
#include "ui/message_map.h"

class Dialog {
  public:
    // The caption of the framework's own boxes (refused values).
    static void SetApplicationTitle(const std::string& title);
    static const std::string& ApplicationTitle();
    // Their text: what the program says for each refused value.
    static void SetRefusalWording(RefusalWording wording);

    explicit Dialog(int templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // A modeless window; it is shown only if its template says so. False when it could not
    // be created.
    bool Create(HWND parent);
    // Runs the dialog until EndDialog and returns its result; -1 when it could not be
    // created.
    INT_PTR DoModal(HWND parent);

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
    // save: from the controls into the members, with validation; false when a value was
    // refused. Otherwise from the members into the controls.
    bool UpdateData(bool save);
    // Ends a modal dialog with the result; hides a modeless one.
    void EndDialog(INT_PTR result);

  protected:
    // Fills the controls; TRUE lets the system give the first control the focus.
    virtual BOOL OnInitDialog();
    // Takes the values and ends with IDOK, unless one is refused.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange&) {}
    // Sees every message before the message map; a result means it was handled.
    virtual std::optional<LRESULT> WindowProc(UINT, WPARAM, LPARAM) { return std::nullopt; }

    MessageMap& messages() { return messages_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> Default(UINT message, WPARAM wParam);

    int templateId_;
    HWND hwnd_ = nullptr;
    MessageMap messages_;
};

// Runs the thread's messages until WM_QUIT, letting each modeless dialog handle its keys
// (Tab, Enter, Esc). Returns the quit message's exit code.
int RunMessageLoop();
