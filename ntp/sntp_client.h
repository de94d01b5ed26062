// One SNTP query to one server: a single request over UDP, one reply awaited until the
// time-out, no retries.
#pragma once

#include <cstdint>
#include <string>

#include "ntp/ntp_time.h"
#include "ntp/query_interrupter.h"
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
};

// Why a query failed: the socket step's error, the time-out, or the reply check that failed.
struct SntpFailure {
    int code = 0;
    std::string reason;
};

class SntpClient {
  public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 5000;
    // ERROR_INVALID_DATA: the code left for a reply that failed a check.
    static constexpr int kErrorRejectedReply = 13;
    // WSAEINTR: the query was interrupted from another thread.
    static constexpr int kErrorInterrupted = 10004;

    explicit SntpClient(TimeSource& clock, std::uint32_t timeoutMs = kDefaultTimeoutMs,
                        QueryInterrupter* interrupter = nullptr);

    // On failure the result is untouched, failure() tells why, and the thread's last
    // socket error holds its code.
    bool Query(const char* host, SntpResult* result, int port);

    const SntpFailure& failure() const { return failure_; }
    std::uint32_t timeoutMs() const { return timeoutMs_; }

  private:
    bool Fail(int code, std::string reason);

    TimeSource& clock_;
    std::uint32_t timeoutMs_;
    QueryInterrupter* interrupter_;
    SntpFailure failure_;
};
