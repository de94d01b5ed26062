// "Time Server Choosing": the catalogue as a list with its measured delays, the server the
// next run queries, a test of one server and the search for the one with the smallest
// delay, both off the dialog's thread. The dialog edits a working copy; OK puts it back,
// stores it with the chosen index and points the scheduler's cursor at it.
#pragma once

#include <string>

#include "app/server_tests_window.h"
#include "config/settings.h"
#include "sync/server_cursor.h"
#include "ui/busy_state.h"
#include "ui/control.h"
#include "ui/dialog.h"

class ServerChooserDialog : public Dialog {
  public:
    ServerChooserDialog(Settings& settings, ServerCursor& cursor, RunContext& context);

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    enum class Pending { kNothing, kTest, kFindBest };

    void OnTest();
    void OnFindBest();
    LRESULT OnClickServerList();
    void OnDeleteSelected();
    void OnRestoreDefault();
    void OnAddNew();
    void OnTestResult(const ServerTestsWindow::Result& result);
    void FinishSearch();
    void StartTests(Pending pending, const std::vector<std::string>& addresses);
    void FillServerList();
    void ShowCurrentServer();
    void PutBackIntoCatalogue();

    Settings& settings_;
    ServerCursor& cursor_;
    RunContext& context_;
    ServerTestsWindow tests_;
    BusyState busy_;
    Pending pending_ = Pending::kNothing;
    int testedIndex_ = 0;

    ListViewControl m_list;
    std::string m_sReport;
    std::string m_sCurrentServer;
    int m_nSelected = 0;
    ServerCatalogue m_workServers;  // never loaded or stored itself
};
