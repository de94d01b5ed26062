// A dialog that tests servers off its own thread. Each test runs on a thread of its own and
// posts its result to the dialog, which handles it on its own thread. Meanwhile the dialog
// keeps painting and answering, but it is busy: its buttons are disabled, the wait cursor
// shows over it, and neither Esc nor the close box ends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sync/run_result.h"
#include "sync/server_search.h"
#include "sync/server_tester.h"
#include "ui/busy_state.h"
#include "ui/dialog.h"

class ServerTestingDialog : public Dialog {
  public:
    static constexpr UINT kResultMessage = WM_APP + 1;

  protected:
    ServerTestingDialog(int templateId, ServerTester& tester)
        : Dialog(templateId), tests_(tester) {}

    // Tests the servers, each as a run asks it (by NTS when marked so); server i comes back
    // to OnTestResult as index i.
    void StartTests(const std::vector<TimeServer>& servers);
    // One result; outstanding counts those still to come. The dialog is busy until this has
    // handled the last one.
    virtual void OnTestResult(int index, const RunResult& result, int outstanding) = 0;
    bool busy() const { return busy_.busy(); }

    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

  private:
    ServerTests tests_;
    BusyState busy_;
    int outstanding_ = 0;
};
