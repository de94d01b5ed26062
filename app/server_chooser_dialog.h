// "Time Server Choosing": the catalogue as a list with its measured delays, the server the
// next run queries, a test of one server and the search for the one with the smallest
// delay, both off the dialog's thread and each server asked as a run asks it, and the
// built-in secure (NTS) group added in one step. Every action edits the dialog's working copy; OK
// publishes it to the scheduler with the chosen index in one step, which points the next run
// at the chosen entry, and stores both. Cancel drops the copy.
#pragma once

#include <string>
#include <vector>

#include "app/catalogue_editor.h"
#include "app/managed_settings.h"
#include "app/server_testing_dialog.h"
#include "config/settings.h"
#include "sync/sync_scheduler.h"
#include "ui/control.h"
#include "ui/tool_tips.h"

class ServerChooserDialog : public ServerTestingDialog, public PolicyFollower {
  public:
    ServerChooserDialog(Settings& settings, SyncScheduler& scheduler);
    // The catalogue in use now, and its locks; edits not yet stored give way. While a test
    // runs the list stays, and OK stores nothing of it the policies govern.
    void FollowPolicies() override;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    void OnTestResult(int index, const RunResult& result, int outstanding) override;
    void OnOK() override;

  private:
    void OnTest();
    void OnFindBest();
    LRESULT OnClickServerList();
    void OnDeleteSelected();
    void OnRestoreDefault();
    void OnAddSecure();
    void OnAddNew();
    void FinishSearch();
    void FillServerList();
    // The chosen server's title, and whether it may be deleted.
    void ShowCurrentServer();
    // The line, the locked buttons and their tips under the administrator's Servers list.
    void ShowManaged();

    Settings& settings_;
    SyncScheduler& scheduler_;
    bool searching_ = false;  // the tests running are "Find the best", not "Test"
    int testedIndex_ = 0;
    std::vector<RunResult> searchResults_;  // one per entry, in list order

    ListViewControl list_;
    std::string report_;
    std::string currentServer_;
    ManagedSettings managed_;
    CatalogueEditor editor_;
    ToolTips tips_;
};
