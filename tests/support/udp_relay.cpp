#include "tests/support/udp_relay.h"

#include <stdexcept>

namespace {

constexpr std::size_t kMaxDatagram = 2048;
constexpr std::uint32_t kServerWaitMs = 1000;

}  // namespace

UdpRelay::UdpRelay(net::Endpoint server, Tamper tamper)
    : server_(server), tamper_(std::move(tamper)) {
    socket_ = net::OpenUdp(server.family);
    if (socket_ == net::kInvalidSocket || !net::Bind(socket_, server.WithPort(0)) ||
        !net::LocalEndpoint(socket_, &local_)) {
        throw std::runtime_error("relay: cannot bind: " + net::ErrorText(net::LastError()));
    }
    thread_ = std::thread(&UdpRelay::Serve, this);
}

UdpRelay::~UdpRelay() {
    stopping_ = true;
    thread_.join();
    net::Close(socket_);
}

void UdpRelay::Serve() {
    while (!stopping_) {
        if (net::WaitReadable(socket_, 50) != net::WaitResult::kReadable) {
            continue;
        }
        Datagram request(kMaxDatagram);
        net::Endpoint client;
        const long length = net::ReceiveFrom(socket_, request.data(), request.size(), &client);
        if (length <= 0) {
            continue;
        }
        request.resize(static_cast<std::size_t>(length));
        // A socket of its own per request, so a late reply cannot answer the next one.
        const net::SocketHandle upstream = net::OpenUdp(server_.family);
        Datagram reply(kMaxDatagram);
        long replyLength = -1;
        if (net::Connect(upstream, server_) &&
            net::Send(upstream, request.data(), request.size()) >= 0 &&
            net::WaitReadable(upstream, kServerWaitMs) == net::WaitResult::kReadable) {
            replyLength = net::Receive(upstream, reply.data(), reply.size());
        }
        net::Close(upstream);
        if (replyLength <= 0) {
            continue;
        }
        reply.resize(static_cast<std::size_t>(replyLength));
        ++exchanges_;
        for (const Datagram& sent : tamper_(request, std::move(reply))) {
            net::SendTo(socket_, sent.data(), sent.size(), client);
        }
    }
}
