// A dialog that tests servers off its own thread. Each test runs on a thread of its own and
// posts its result to the dialog, which handles it on its own thread. Meanwhile the dialog
// keeps painting and answering, but it is busy: its buttons are disabled, the wait cursor
// shows over it, and neither Esc nor the close box ends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sync/server_search.h"
#include "ui/busy_state.h"
#include "ui/dialog.h"

class ServerTestingDialog : public Dialog {
  public:
    static constexpr UINT kResultMessage = WM_APP + 1;

  protected:
    ServerTestingDialog(int templateId, RunContext& context)
        : Dialog(templateId), tests_(context) {}

    // Tests the addresses; address i comes back to OnTestResult as index i.
    void StartTests(const std::vector<std::string>& addresses);
    // One result (delay 0.0 for failure); outstanding counts those still to come. The dialog
    // is busy until this has handled the last one.
    virtual void OnTestResult(int index, double delay, int outstanding) = 0;
    bool busy() const { return busy_.busy(); }

    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

  private:
    ServerTests tests_;
    BusyState busy_;
    int outstanding_ = 0;
};
