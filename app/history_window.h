// The History window: the runs of every copy, newest first, in a list; "Copy" puts the
// selected rows on the clipboard and "Open folder" opens the history's folder. One window,
// hidden when closed and shown again, refreshed when a run ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "config/run_history.h"
#include "ui/control.h"
#include "ui/dialog.h"

// %LOCALAPPDATA%\Quorvane\Tickwell, where the history lives.
std::string HistoryFolder();
inline constexpr const char* kHistoryFileName = "history.csv";

class HistoryWindow : public Dialog {
  public:
    // history may be null: the window then stays empty.
    explicit HistoryWindow(RunHistory* history);

    // Creates the window or brings it up, with the file read anew.
    void Open();
    // Reads the file anew when the window is shown.
    void Refresh();
    // When the schedule makes its next attempt, worded; kept for the window's next opening.
    void ShowNextRun(const std::string& text);

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

  private:
    void Fill();
    void OnCopy();
    void OnOpenFolder();
    void Layout(int width, int height);

    RunHistory* history_;
    ListViewControl list_;
    std::vector<HistoryEntry> entries_;  // as the list shows them, newest first
    std::string nextRun_;
};
