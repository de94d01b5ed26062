// Whether the machine has a network connection at all, asked before a scheduled run. No
// traffic is sent.
#pragma once

class Connectivity {
  public:
    virtual ~Connectivity() = default;
    virtual bool IsConnected() = 0;
};

// InternetGetConnectedState on Windows; elsewhere, whether any interface other than
// loopback is up.
class PlatformConnectivity : public Connectivity {
  public:
    bool IsConnected() override;
};
