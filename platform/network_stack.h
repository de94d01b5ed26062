// Starting and stopping the platform's network stack around a piece of network work.
// Winsock needs it (version 1.1); POSIX sockets need nothing.
#pragma once

enum class NetworkStartResult { kStarted, kFailed, kWrongVersion };

class NetworkStack {
  public:
    virtual ~NetworkStack() = default;
    virtual NetworkStartResult Start() = 0;
    // Called once for every Start that returned kStarted.
    virtual void Stop() = 0;
};

class PlatformNetworkStack : public NetworkStack {
  public:
    NetworkStartResult Start() override;
    void Stop() override;
};

// Starts the stack for its lifetime.
class NetworkSession {
  public:
    explicit NetworkSession(NetworkStack& stack) : stack_(stack), result_(stack.Start()) {}
    ~NetworkSession() {
        if (result_ == NetworkStartResult::kStarted) {
            stack_.Stop();
        }
    }
    NetworkSession(const NetworkSession&) = delete;
    NetworkSession& operator=(const NetworkSession&) = delete;

    NetworkStartResult result() const { return result_; }

  private:
    NetworkStack& stack_;
    NetworkStartResult result_;
};
