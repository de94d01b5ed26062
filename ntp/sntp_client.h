// One SNTP query to one server: one request over UDP to each of its addresses in turn, the
// first good reply taken, all within one time-out, no retries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/query_interrupter.h"
#include "ntp/failure.h"
#include "ntp/ntp_time.h"
#include "ntp/request_seal.h"
#include "ntp/sntp_packet.h"
#include "ntp/time_source.h"

struct SntpResult {
    std::int32_t leap = 0;
    std::int32_t stratum = 0;
    NtpTime originate;    // T1, echoed by the server
    NtpTime receive;      // T2
    NtpTime transmit;     // T3
    NtpTime destination;  // T4
    double delay = 0;     // round trip, seconds
    double offset = 0;    // seconds to add to the local clock to match the server
    std::string address;  // the server's address that answered: "192.0.2.1", "2001:db8::1"
};

class SntpClient {
  public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 5000;
    // A name's next address is asked when the one before has not answered for this long, or
    // at once when every address asked so far has failed.
    static constexpr std::uint32_t kNextAddressAfterMs = 1000;
    // The addresses of a name that are asked at most (a pool has a handful).
    static constexpr std::size_t kMaxAddresses = 64;
    // ERROR_INVALID_DATA: the code left for a reply that failed a check.
    static constexpr int kErrorRejectedReply = 13;
    // WSAEINTR: the query was interrupted from another thread.
    static constexpr int kErrorInterrupted = 10004;

    explicit SntpClient(TimeSource& clock, std::uint32_t timeoutMs = kDefaultTimeoutMs,
                        QueryInterrupter* interrupter = nullptr);

    // host: a name, a dotted IPv4 address or an IPv6 address, bare or in brackets. The
    // time-out counts from the first request. On failure the result is untouched, failure()
    // tells why (for a name with several addresses, why the last one failed, and its
    // address), and the thread's last socket error holds its code. An interrupted query
    // fails as abandoned.
    bool Query(const char* host, SntpResult* result, int port);

    // Seals each request and takes only a reply the seal opens. A seal stands for one
    // server's address (its keys and cookies are that server's), so only the first address
    // is asked; a reply forged for the request and no genuine one fails as not authenticated.
    void SealWith(RequestSeal* seal) { seal_ = seal; }

    const Failure& failure() const { return failure_; }
    std::uint32_t timeoutMs() const { return timeoutMs_; }

  private:
    bool Fail(FailureKind kind, int code, std::string account);
    bool FailEveryAddress(const Failure& last, const std::string& lastAddress,
                          std::size_t addresses);
    bool FailTimedOut(std::size_t asked, std::size_t addresses, const std::string& lastAddress);

    TimeSource& clock_;
    std::uint32_t timeoutMs_;
    QueryInterrupter* interrupter_;
    RequestSeal* seal_ = nullptr;
    Failure failure_;
};
