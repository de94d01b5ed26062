#include "nts/key_exchange.h"

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <psa/crypto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ntp/socket_api.h"

namespace nts {

namespace {

using Steady = std::chrono::steady_clock;

constexpr const char kAlpn[] = "ntske/1";
constexpr const char kExporterLabel[] = "EXPORTER-network-time-security";

std::uint32_t MsLeft(Steady::time_point deadline) {
    return static_cast<std::uint32_t>(std::max<std::int64_t>(
        0, std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count()));
}

// Mbed TLS's state for one connection, freed in the order it was made.
struct TlsSession {
    mbedtls_entropy_context entropy;
    mbedtls_ctr_drbg_context random;
    mbedtls_ssl_config config;
    mbedtls_ssl_context ssl;

    TlsSession() {
        mbedtls_entropy_init(&entropy);
        mbedtls_ctr_drbg_init(&random);
        mbedtls_ssl_config_init(&config);
        mbedtls_ssl_init(&ssl);
    }
    ~TlsSession() {
        mbedtls_ssl_free(&ssl);
        mbedtls_ssl_config_free(&config);
        mbedtls_ctr_drbg_free(&random);
        mbedtls_entropy_free(&entropy);
    }
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;
};

// What the TLS layer reads and writes through: the socket, with the exchange's deadline.
struct Transport {
    net::SocketHandle socket;
    Steady::time_point deadline;
    QueryInterrupter* interrupter;
    bool interrupted = false;
};

int SendThrough(void* context, const unsigned char* data, std::size_t length) {
    const auto* transport = static_cast<const Transport*>(context);
    const long sent = net::Send(transport->socket, data, length);
    return sent < 0 ? MBEDTLS_ERR_NET_SEND_FAILED : static_cast<int>(sent);
}

int ReceiveThrough(void* context, unsigned char* buffer, std::size_t capacity) {
    auto* transport = static_cast<Transport*>(context);
    // In slices, so that a run broken off ends its key exchange soon.
    for (;;) {
        if (IsInterrupted(transport->interrupter)) {
            transport->interrupted = true;
            return MBEDTLS_ERR_SSL_TIMEOUT;
        }
        const std::uint32_t left = MsLeft(transport->deadline);
        if (left == 0) {
            return MBEDTLS_ERR_SSL_TIMEOUT;
        }
        const net::WaitResult waited = net::WaitReadable(
            transport->socket, std::min(left, QueryInterrupter::kCheckIntervalMs));
        if (waited == net::WaitResult::kReadable) {
            break;
        }
        if (waited != net::WaitResult::kTimedOut) {
            return MBEDTLS_ERR_NET_RECV_FAILED;
        }
    }
    const long received = net::Receive(transport->socket, buffer, capacity);
    return received < 0 ? MBEDTLS_ERR_NET_RECV_FAILED : static_cast<int>(received);
}

// The closed socket of a connection that succeeded or failed, whichever way it left.
class Connection {
  public:
    ~Connection() {
        if (socket_ != net::kInvalidSocket) {
            net::Close(socket_);
        }
    }
    net::SocketHandle socket() const { return socket_; }
    void Adopt(net::SocketHandle socket) { socket_ = socket; }

  private:
    net::SocketHandle socket_ = net::kInvalidSocket;
};

std::string TlsAccount(int rc) {
    switch (rc) {
        case MBEDTLS_ERR_SSL_BAD_PROTOCOL_VERSION:
            return "the server offers no TLS 1.3";
        case MBEDTLS_ERR_SSL_FATAL_ALERT_MESSAGE:
            return "the server broke off the handshake";
        case MBEDTLS_ERR_SSL_HANDSHAKE_FAILURE:
            return "no cipher suite or group in common";
        case MBEDTLS_ERR_SSL_CONN_EOF:
        case MBEDTLS_ERR_NET_RECV_FAILED:
        case MBEDTLS_ERR_NET_SEND_FAILED:
            return "the connection was closed";
        default:
            char text[48];
            std::snprintf(text, sizeof text, "TLS error -0x%04X", static_cast<unsigned>(-rc));
            return text;
    }
}

Failure TlsFailure(int rc, std::uint32_t timeoutMs) {
    if (rc == MBEDTLS_ERR_SSL_TIMEOUT) {
        Failure failure = FailureOf(FailureKind::kNoAnswer);
        failure.timeoutMs = timeoutMs;
        failure.error = static_cast<std::uint32_t>(net::kErrorTimedOut);
        failure.account = "no key exchange answer within " + std::to_string(timeoutMs) + " ms";
        return failure;
    }
    Failure failure = FailureOf(FailureKind::kNtsTlsFailed);
    failure.error = static_cast<std::uint32_t>(-rc);
    failure.account = TlsAccount(rc);
    return failure;
}

// Connects to the first address of host that answers, within the deadline.
Failure Connect(const std::string& host, std::uint16_t port, std::uint32_t timeoutMs,
                Steady::time_point deadline, Connection& connection, std::string& address) {
    std::vector<net::Endpoint> peers;
    if (net::Resolve(host, port, &peers) != 0) {
        Failure failure = FailureOf(FailureKind::kUnresolved);
        failure.error = static_cast<std::uint32_t>(net::LastError());
        failure.account = "connect: " + net::ErrorText(net::LastError());
        return failure;
    }
    Failure failure;
    for (const net::Endpoint& peer : peers) {
        address = net::AddressText(peer);
        const net::SocketHandle socket = net::OpenTcp(peer.family);
        if (socket == net::kInvalidSocket) {
            continue;
        }
        if (net::ConnectWithin(socket, peer, MsLeft(deadline))) {
            connection.Adopt(socket);
            return {};
        }
        const int error = net::LastError();
        net::Close(socket);
        failure = FailureOf(error == net::kErrorTimedOut ? FailureKind::kNoAnswer
                                                         : FailureKind::kSocketError);
        failure.error = static_cast<std::uint32_t>(error);
        failure.timeoutMs = timeoutMs;
        failure.account = "connect: " + net::ErrorText(error);
        if (MsLeft(deadline) == 0) {
            break;
        }
    }
    return failure.failed() ? failure : FailureOf(FailureKind::kSocketError);
}

int Configure(TlsSession& tls, const std::string& host, CertificateCheck& certificates) {
    static const char* protocols[] = {kAlpn, nullptr};
    int rc = psa_crypto_init() == PSA_SUCCESS ? 0 : MBEDTLS_ERR_SSL_INTERNAL_ERROR;
    if (rc == 0) {
        rc = mbedtls_ctr_drbg_seed(&tls.random, mbedtls_entropy_func, &tls.entropy, nullptr, 0);
    }
    if (rc == 0) {
        rc = mbedtls_ssl_config_defaults(&tls.config, MBEDTLS_SSL_IS_CLIENT,
                                         MBEDTLS_SSL_TRANSPORT_STREAM, MBEDTLS_SSL_PRESET_DEFAULT);
    }
    if (rc == 0) {
        mbedtls_ssl_conf_min_tls_version(&tls.config, MBEDTLS_SSL_VERSION_TLS1_3);
        mbedtls_ssl_conf_max_tls_version(&tls.config, MBEDTLS_SSL_VERSION_TLS1_3);
        // The chain is judged after the handshake, so that the reason can be told.
        mbedtls_ssl_conf_authmode(&tls.config, MBEDTLS_SSL_VERIFY_OPTIONAL);
        mbedtls_ssl_conf_ca_chain(&tls.config, certificates.Anchors(), nullptr);
        mbedtls_ssl_conf_rng(&tls.config, mbedtls_ctr_drbg_random, &tls.random);
        rc = mbedtls_ssl_conf_alpn_protocols(&tls.config, protocols);
    }
    if (rc == 0) {
        rc = mbedtls_ssl_setup(&tls.ssl, &tls.config);
    }
    if (rc == 0) {
        // The name goes out as SNI and is the name the certificate must prove.
        rc = mbedtls_ssl_set_hostname(&tls.ssl, host.c_str());
    }
    return rc;
}

bool ExportKey(mbedtls_ssl_context& ssl, std::uint8_t direction, AesSiv::Key& key) {
    // The next protocol (NTPv4), the algorithm (AES-SIV-CMAC-256) and the direction.
    const std::uint8_t context[] = {0x00, 0x00, 0x00, 0x0F, direction};
    return mbedtls_ssl_export_keying_material(&ssl, key.data(), key.size(), kExporterLabel,
                                              sizeof kExporterLabel - 1, context, sizeof context,
                                              1) == 0;
}

}  // namespace

KeyExchangeResult ExchangeKeys(const std::string& host, std::uint16_t port, std::uint32_t timeoutMs,
                               CertificateCheck& certificates, QueryInterrupter* interrupter,
                               bool mayLeaveDatesUnproven) {
    KeyExchangeResult result;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    Connection connection;
    result.failure = Connect(host, port, timeoutMs, deadline, connection, result.address);
    if (result.failure.failed()) {
        return result;
    }
    Transport transport{connection.socket(), deadline, interrupter};
    const auto fail = [&](Failure failure) {
        if (transport.interrupted) {
            failure = FailureOf(FailureKind::kAbandoned);
        }
        failure.address = result.address;
        result.failure = std::move(failure);
        return result;
    };

    TlsSession tls;
    int rc = Configure(tls, host, certificates);
    if (rc == 0) {
        mbedtls_ssl_set_bio(&tls.ssl, &transport, SendThrough, ReceiveThrough, nullptr);
        rc = mbedtls_ssl_handshake(&tls.ssl);
    }
    if (rc != 0) {
        return fail(TlsFailure(rc, timeoutMs));
    }
    const mbedtls_x509_crt* chain = mbedtls_ssl_get_peer_cert(&tls.ssl);
    if (chain == nullptr) {
        return fail(FailureOf(FailureKind::kNtsCertificateUntrusted));
    }
    Failure judged = certificates.Judge(*chain, mbedtls_ssl_get_verify_result(&tls.ssl), host);
    if (judged.kind == FailureKind::kNtsCertificateExpired && mayLeaveDatesUnproven) {
        result.datesUnproven = DatesOf(*chain);
    } else if (judged.failed()) {
        return fail(std::move(judged));
    }
    const char* agreed = mbedtls_ssl_get_alpn_protocol(&tls.ssl);
    if (agreed == nullptr || std::string(agreed) != kAlpn) {
        Failure failure = FailureOf(FailureKind::kNtsTlsFailed);
        failure.account = "the server does not speak the key exchange (ALPN ntske/1)";
        return fail(std::move(failure));
    }

    const Bytes request = EncodeKeRequest();
    for (std::size_t sent = 0; sent < request.size();) {
        rc = mbedtls_ssl_write(&tls.ssl, request.data() + sent, request.size() - sent);
        if (rc < 0) {
            return fail(TlsFailure(rc, timeoutMs));
        }
        sent += static_cast<std::size_t>(rc);
    }
    KeAnswerReader reader;
    std::uint8_t buffer[4096];
    while (reader.state() == KeAnswerReader::State::kIncomplete) {
        rc = mbedtls_ssl_read(&tls.ssl, buffer, sizeof buffer);
        if (rc > 0) {
            reader.Add(ByteView(buffer, static_cast<std::size_t>(rc)));
        } else if (rc == 0 || rc == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY ||
                   rc == MBEDTLS_ERR_SSL_CONN_EOF) {
            reader.Closed();
        } else if (rc != MBEDTLS_ERR_SSL_RECEIVED_NEW_SESSION_TICKET &&
                   rc != MBEDTLS_ERR_SSL_WANT_READ) {
            return fail(TlsFailure(rc, timeoutMs));
        }
    }
    if (reader.state() == KeAnswerReader::State::kFailed) {
        return fail(reader.failure());
    }
    if (!ExportKey(tls.ssl, 0x00, result.keys.clientToServer) ||
        !ExportKey(tls.ssl, 0x01, result.keys.serverToClient)) {
        Failure failure = FailureOf(FailureKind::kNtsTlsFailed);
        failure.account = "the keys could not be exported";
        return fail(std::move(failure));
    }
    mbedtls_ssl_close_notify(&tls.ssl);
    result.answer = reader.answer();
    return result;
}

}  // namespace nts
