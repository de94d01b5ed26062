// The running copies of this session as their windows show them: top-level dialogs titled
// with the program's name (the main window, hidden or not, and its message boxes). They are
// asked by the registered message that setup has always sent, which the main window answers
// as a confirmed Exit.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "app/running_copies.h"
#include "base/unique_handle_win.h"

class WindowedCopies : public RunningCopies {
  public:
    explicit WindowedCopies(const std::string& displayName);

    void AskAllToEnd() override;
    bool AskOneStillShowing() override;
    bool WaitForItsEnd(std::chrono::milliseconds patience) override;
    std::chrono::milliseconds Elapsed() const override;

  private:
    const std::string displayName_;
    const UINT exitRequest_;
    const std::chrono::steady_clock::time_point began_;
    // The process of the copy asked last; empty when it could not be opened.
    UniqueHandle asked_;
};

// Tickwell.exe /exit: 0 once no copy runs any more, 1 when one did not end in time.
int EndRunningCopiesOf(HINSTANCE instance);
