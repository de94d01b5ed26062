// "Add New Server": a title and an address typed by the user, without web prefixes, and
// whether it is asked by secure time (NTS); "Check Server" measures the server's delay off
// the dialog's thread, through the key exchange and the sealed query when it is secure, and
// "Add" gives it to the chooser as a user entry with the delay of the last check. An address that
// is no host name or IP address is refused and the dialog stays open.
#pragma once

#include <optional>
#include <string>

#include "app/server_testing_dialog.h"
#include "config/server_entry.h"

class AddServerDialog : public ServerTestingDialog {
  public:
    explicit AddServerDialog(ServerTester& tester);

    // After "Add".
    const ServerEntry& added() const { return added_; }

  protected:
    void DoDataExchange(DataExchange& exchange) override;
    void OnTestResult(int index, const RunResult& result, int outstanding) override;
    void OnOK() override;

  private:
    void OnCheckServer();

    ServerEntry added_;
    std::string report_;
    std::string title_;
    std::string url_;
    bool secure_ = false;  // "Secure (NTS)": checked and added as an NTS server
    // Of the last check, whatever address it checked; empty when it failed.
    std::optional<double> delay_;
};
