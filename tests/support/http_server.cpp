#include "tests/support/http_server.h"

#include <stdexcept>
#include <string>

HttpServer::HttpServer(std::uint16_t port) : listener_(net::OpenTcp()) {
    if (listener_ == net::kInvalidSocket || !net::Bind(listener_, {net::kLoopbackAddress, port}) ||
        !net::Listen(listener_)) {
        throw std::runtime_error("http server: cannot listen: " + net::ErrorText(net::LastError()));
    }
    thread_ = std::thread(&HttpServer::Serve, this);
}

HttpServer::~HttpServer() {
    stopping_ = true;
    thread_.join();
    net::Close(listener_);
}

void HttpServer::Serve() {
    while (!stopping_) {
        if (net::WaitReadable(listener_, 50) != net::WaitResult::kReadable) {
            continue;
        }
        const net::SocketHandle client = net::Accept(listener_);
        if (client == net::kInvalidSocket) {
            continue;
        }
        // Reads the request head, then answers and closes.
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos &&
               net::WaitReadable(client, 2000) == net::WaitResult::kReadable) {
            const long n = net::Receive(client, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ++requests_;
        const std::string page = "<html><body>Example Domain</body></html>";
        const std::string response =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
            std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
        net::Send(client, response.data(), response.size());
        net::Close(client);
    }
}
