// "Add New Server": a title and an address typed by the user, without web prefixes; "Check
// Server" measures the server's delay off the dialog's thread, and "Add" appends it to the
// catalogue as a user entry with the delay of the last check.
#pragma once

#include <string>

#include "app/server_testing_dialog.h"
#include "config/settings.h"

class AddServerDialog : public ServerTestingDialog {
  public:
    AddServerDialog(Settings& settings, RunContext& context);

  protected:
    void DoDataExchange(DataExchange& exchange) override;
    void OnTestResult(int index, double delay, int outstanding) override;
    void OnOK() override;

  private:
    void OnCheckServer();

    Settings& settings_;
    std::string m_sReport;
    std::string m_sTitle;
    std::string m_sUrl;
    double m_dDelay = 0.0;  // of the last check, whatever address it checked
};
