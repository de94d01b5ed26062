// A web server for tests on 127.0.0.1:80 (the tests' hosts file maps the probe page's
// host there) that answers every request with one fixed page.
#pragma once

#include <atomic>
#include <thread>

#include "ntp/socket_api.h"

class HttpServer {
  public:
    explicit HttpServer(std::uint16_t port = 80);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int requests() const { return requests_; }

  private:
    void Serve();

    net::SocketHandle listener_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
