// Feeds arbitrary key exchange answers to the record reader, once whole and once in pieces
// whose sizes the first input byte chooses, as TLS may hand them over. Both readings must
// reach the same verdict and the same cookies, and what a complete answer holds must keep
// the reader's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nts/ke_records.h"

namespace {

using nts::KeAnswerReader;

KeAnswerReader::State ReadToEnd(KeAnswerReader& reader) {
    return reader.state() == KeAnswerReader::State::kIncomplete ? reader.Closed() : reader.state();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::uint32_t pieces = data[0] | 1u;
    const ByteView answer(data + 1, size - 1);

    KeAnswerReader whole;
    whole.Add(answer);
    const KeAnswerReader::State verdict = ReadToEnd(whole);

    KeAnswerReader chunked;
    for (std::size_t at = 0; at < answer.size();) {
        // A small generator is enough to vary the cut points from one input to the next.
        pieces = pieces * 1103515245u + 12345u;
        const std::size_t length =
            std::min<std::size_t>(1 + (pieces >> 16) % 64, answer.size() - at);
        const KeAnswerReader::State before = chunked.state();
        const KeAnswerReader::State after = chunked.Add(answer.subspan(at, length));
        if (before != KeAnswerReader::State::kIncomplete && after != before) {
            std::abort();
        }
        at += length;
    }
    if (ReadToEnd(chunked) != verdict || chunked.answer().cookies != whole.answer().cookies ||
        chunked.answer().server != whole.answer().server ||
        chunked.answer().port != whole.answer().port ||
        chunked.failure().kind != whole.failure().kind) {
        std::abort();
    }

    const bool failed = whole.failure().failed();
    if ((verdict == KeAnswerReader::State::kComplete) == failed ||
        verdict == KeAnswerReader::State::kIncomplete) {
        std::abort();
    }
    if (verdict == KeAnswerReader::State::kComplete) {
        const nts::KeAnswer& got = whole.answer();
        if (got.cookies.empty() || got.cookies.size() > KeAnswerReader::kMaxCookies ||
            got.port == 0) {
            std::abort();
        }
        for (const Bytes& cookie : got.cookies) {
            if (cookie.empty()) {
                std::abort();
            }
        }
    }
    return 0;
}
