// Feeds arbitrary datagrams to the reply checks and, for accepted ones, to the offset and
// calendar arithmetic that follow. The first input byte chooses whether the datagram's
// originate field counts as matching, so the checks behind that one are reached too.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ntp/sntp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool matchOriginate = (data[0] & 1) != 0;
    ++data;
    --size;
    NtpTime sent(3000000000u, 0x12345678u);
    if (matchOriginate && size >= sntp::kOriginateOffset + 8) {
        sent = NtpTime::FromWire(data + sntp::kOriginateOffset);
    }
    const sntp::ReplyVerdict verdict = sntp::CheckReply(data, size, sent);
    const bool accepted = !verdict.failure.failed();
    const bool kissed = verdict.failure.kind == FailureKind::kKissOfDeath;
    if ((verdict.answersRequest && accepted != verdict.failure.account.empty()) ||
        (!verdict.answersRequest && !accepted) || kissed != verdict.failure.kiss.has_value()) {
        std::abort();
    }
    if (!verdict.answersRequest) {
        return 0;
    }
    if (!accepted) {
        return 0;
    }
    const sntp::ReplyFields& f = verdict.fields;
    if (f.mode != sntp::kModeServer || f.stratum == 0 || f.stratum > sntp::kHighestStratum ||
        f.leap == sntp::kLeapUnsynchronised || f.transmit.value() == 0 || f.originate != sent) {
        std::abort();
    }
    const NtpTime destination = AddSeconds(sent, 0.01);
    const sntp::OffsetAndDelay measured =
        sntp::ComputeOffsetAndDelay(f.originate, f.receive, f.transmit, destination);
    if (!std::isfinite(measured.offset) || !std::isfinite(measured.delay)) {
        std::abort();
    }
    const SYSTEMTIME st = AddSeconds(NtpTime::Now(), measured.offset).ToSystemTime();
    if (st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31 || st.wHour > 23 ||
        st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999 || st.wDayOfWeek > 6) {
        std::abort();
    }
    return 0;
}
