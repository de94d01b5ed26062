// "Add New Server": a title and an address typed by the user, without web prefixes; "Check
// Server" measures the server's delay off the dialog's thread, and "Add" appends it to the
// catalogue as a user entry with the delay of the last check.
#pragma once

#include <string>

#include "app/server_tests_window.h"
#include "config/settings.h"
#include "ui/busy_state.h"
#include "ui/dialog.h"

class AddServerDialog : public Dialog {
  public:
    AddServerDialog(Settings& settings, RunContext& context);

  protected:
    void DoDataExchange(DataExchange& exchange) override;
    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    void OnCheckServer();
    void OnCheckResult(double delay);

    Settings& settings_;
    ServerTestsWindow tests_;
    BusyState busy_;
    std::string m_sReport;
    std::string m_sTitle;
    std::string m_sUrl;
    double m_dDelay = 0.0;  // of the last check, whatever address it checked
};
