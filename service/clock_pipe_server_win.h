// The service's end of its named pipe. Any local process may connect, so each instance of the
// pipe waits for its clients on a thread of its own: a client that says nothing, or says too
// much, holds up only its own instance, and only until the time limit. One request and one
// reply per connection; the handler decides what the request gets.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock_service_protocol.h"
#include "base/unique_handle_win.h"

class ClockPipeServer {
  public:
    using Handler = std::function<ClockServiceReply(std::span<const std::uint8_t> request)>;
    // Told of every reply sent, the server's own refusals included (their request is empty).
    using Observer =
        std::function<void(std::span<const std::uint8_t> request, const ClockServiceReply&)>;

    static constexpr DWORD kInstances = 4;
    // The longest a client may take to send its request, and then to take the reply.
    static constexpr DWORD kClientLimitMs = 2000;
    static constexpr const char* kRequestTooLong = "request too long";
    static constexpr const char* kNoRequestInTime = "no request within 2 seconds";

    ClockPipeServer(Handler handler, Observer observer);
    ~ClockPipeServer();
    ClockPipeServer(const ClockPipeServer&) = delete;
    ClockPipeServer& operator=(const ClockPipeServer&) = delete;

    // Creates the pipe's instances and serves them. False, with the reason in the thread's
    // last error, when the pipe cannot be made, for example because another process holds
    // its name.
    bool Start();
    // Ends every wait, lets a request in hand finish, and returns when all threads have.
    void Stop();

  private:
    void Serve(HANDLE pipe);
    void ServeClient(HANDLE pipe);

    Handler handler_;
    Observer observer_;
    UniqueHandle stop_;
    std::vector<UniqueHandle> pipes_;
    std::vector<std::thread> threads_;
};
