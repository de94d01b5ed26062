// A second opinion before a large step: one wrong server (misconfigured, spoofed on the path,
// or broken) must not move the clock by hours on its word alone. Before a correction of more
// than a minute, another server is asked; the clock is set only when it agrees, or when no
// other server answers at all (the step is then marked unconfirmed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr double kSecondOpinionThresholdSeconds = 60.0;
// Two servers agree when their offsets differ by no more than this plus both delays.
inline constexpr double kSecondOpinionToleranceSeconds = 1.0;
// How many other servers a correction asks at most for a second opinion.
inline constexpr std::size_t kSecondOpinionTries = 3;

// More than a minute either way.
bool NeedsSecondOpinion(double offset);

// One server's measurement of the local clock.
struct OffsetMeasurement {
    double offset = 0.0;
    double delay = 0.0;
};

enum class SecondOpinionVerdict {
    kAgrees,
    kDisagrees,
    kUnconfirmed,  // no second opinion was had
};

// |o1 - o2| <= 1 s + d1 + d2 agrees; no second measurement leaves the first unconfirmed.
SecondOpinionVerdict JudgeSecondOpinion(const OffsetMeasurement& first,
                                        const std::optional<OffsetMeasurement>& second);

// How far apart two servers' offsets are, in whole seconds (rounded), at most what 32 bits
// hold: the disagreement told to the user and sent by the clock service.
std::uint32_t WholeSecondsApart(double offset, double otherOffset);

// The hosts to ask for a second opinion when hosts[current] answered first: the next ones in
// order after it, wrapping, without the current host and without repeats (case and an IPv6
// address's brackets do not matter), at most kSecondOpinionTries. Indices into hosts; a
// current index outside hosts starts at the first.
std::vector<std::size_t> SecondOpinionCandidates(const std::vector<std::string>& hosts,
                                                 const std::string& currentHost,
                                                 std::size_t current);
