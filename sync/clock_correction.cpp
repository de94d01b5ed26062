#include "sync/clock_correction.h"

#include <cmath>

#include "config/date_time.h"
#include "sync/second_opinion.h"

std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds) {
    SYSTEMTIME whole = local;
    whole.wMilliseconds = 0;
    const std::optional<DateTime> start = DateTime::FromSystemTime(whole);
    SYSTEMTIME shifted{};
    if (!start || !start->AddSeconds(offsetSeconds).ToSystemTime(&shifted)) {
        return std::nullopt;
    }
    shifted.wMilliseconds = local.wMilliseconds;
    return shifted;
}

ClockCorrection::ClockCorrection(Clock& clock, SntpClient& client, int sntpPort, SetHook hook,
                                 KeyExchanger* keys, QueryInterrupter* interrupter)
    : clock_(clock),
      client_(client),
      sntpPort_(sntpPort),
      hook_(std::move(hook)),
      keys_(keys),
      interrupter_(interrupter) {}

namespace {

ClockCorrection::Outcome Asked(SntpClient& client, const std::string& host, int port) {
    ClockCorrection::Outcome outcome;
    SntpResult result;
    if (!client.Query(host.c_str(), &result, port)) {
        outcome.failure = client.failure();
        outcome.address = outcome.failure.address;
        return outcome;
    }
    outcome.offset = result.offset;
    outcome.delay = result.delay;
    outcome.stratum = result.stratum;
    outcome.answered = true;
    outcome.address = result.address;
    return outcome;
}

bool AsksForNewKeys(const Failure& failure) {
    return failure.kind == FailureKind::kKissOfDeath && failure.kiss &&
           failure.kiss->meaning() == KissCode::Meaning::kNewKeys;
}

}  // namespace

ClockCorrection::Outcome ClockCorrection::Measure(const TimeServer& server) {
    return server.nts ? MeasureSecurely(server.host) : Asked(client_, server.host, sntpPort_);
}

Failure ClockCorrection::SessionFor(const std::string& host, bool renew) {
    const auto found = sessions_.find(host);
    if (!renew && found != sessions_.end() && found->second.seal->CanSeal()) {
        return {};
    }
    if (keys_ == nullptr) {
        Failure failure = FailureOf(FailureKind::kNtsTlsFailed);
        failure.account = "no key exchange available";
        return failure;
    }
    ++keyExchanges_;
    SecureSession session = keys_->Exchange(host, client_.timeoutMs(), interrupter_);
    if (!session.ok()) {
        sessions_.erase(host);
        return session.failure;
    }
    sessions_[host] = std::move(session);
    return {};
}

ClockCorrection::Outcome ClockCorrection::MeasureSecurely(const std::string& host) {
    // An NTSN kiss that names the request means the server lost its keys: one new key
    // exchange, and the request once more.
    for (bool renew = false;; renew = true) {
        if (Failure failure = SessionFor(host, renew); failure.failed()) {
            Outcome outcome;
            outcome.failure = std::move(failure);
            outcome.address = outcome.failure.address;
            return outcome;
        }
        SecureSession& session = sessions_.at(host);
        client_.SealWith(session.seal.get());
        Outcome outcome = Asked(client_, session.ntpHost, session.ntpPort);
        client_.SealWith(nullptr);
        outcome.secure = outcome.ok();
        if (renew || !AsksForNewKeys(outcome.failure)) {
            return outcome;
        }
    }
}

bool ClockCorrection::StepCoarsely(double offset) {
    // Whole seconds by calendar arithmetic: the milliseconds of the moment are dropped. A
    // failed step is left to the precise set that follows, which reports it.
    return hook_([this, offset] {
        const std::optional<DateTime> now = DateTime::FromSystemTime(clock_.UtcTime());
        SYSTEMTIME stepped{};
        if (now && now->AddSeconds(std::trunc(offset)).ToSystemTime(&stepped)) {
            clock_.SetUtcTime(stepped);
        }
    });
}

bool ClockCorrection::TakeSecondOpinion(const std::vector<TimeServer>& servers, Outcome* outcome) {
    std::optional<OffsetMeasurement> second;
    for (std::size_t i = 0; i < servers.size() && !second; ++i) {
        const Outcome asked = Measure(servers[i]);
        outcome->secondOpinionsAsked = i + 1;
        if (!asked.ok()) {
            if (asked.failure.kind == FailureKind::kAbandoned) {
                *outcome = asked;
                outcome->secondOpinionsAsked = i + 1;
                return false;
            }
            continue;
        }
        // The same server under another name is no second opinion.
        if (asked.address == outcome->address) {
            continue;
        }
        second = OffsetMeasurement{asked.offset, asked.delay};
        outcome->secondOpinion = i;
        outcome->secondOffset = asked.offset;
        outcome->failure.otherServer = servers[i].host;
        outcome->failure.otherAddress = asked.address;
    }
    switch (JudgeSecondOpinion({outcome->offset, outcome->delay}, second)) {
        case SecondOpinionVerdict::kAgrees:
            outcome->failure = {};
            return true;
        case SecondOpinionVerdict::kUnconfirmed:
            outcome->unconfirmed = true;
            return true;
        case SecondOpinionVerdict::kDisagrees:
            break;
    }
    outcome->failure.kind = FailureKind::kDisagreement;
    outcome->failure.secondsApart = WholeSecondsApart(outcome->offset, outcome->secondOffset);
    return false;
}

bool ClockCorrection::ProveDates(const TimeServer& server,
                                 const std::vector<TimeServer>& secondOpinions, Outcome* outcome) {
    const CertificateDates& dates = *sessions_.at(server.host).datesUnproven;
    const std::optional<DateTime> from = DateTime::FromSystemTime(dates.notBefore);
    const std::optional<DateTime> to = DateTime::FromSystemTime(dates.notAfter);
    const std::optional<DateTime> serverTime =
        DateTime::FromSystemTime(AddSeconds(clock_.Now(), outcome->offset).ToSystemTime());
    if (!from || !to || !serverTime || *serverTime - *from < 0 || *to - *serverTime < 0) {
        outcome->failure.kind = FailureKind::kNtsCertificateExpired;
        outcome->failure.account = "the server's time lies outside its certificates' dates";
        return false;
    }
    if (!TakeSecondOpinion(secondOpinions, outcome)) {
        return false;
    }
    if (outcome->unconfirmed) {
        outcome->unconfirmed = false;
        outcome->failure.kind = FailureKind::kNtsCertificateExpired;
        outcome->failure.account = "no second server confirmed the time its certificates need";
        return false;
    }
    outcome->datesCheckedByServerTime = true;
    return true;
}

ClockCorrection::Outcome ClockCorrection::Correct(const TimeServer& server,
                                                  std::int32_t userOffsetSeconds,
                                                  const std::vector<TimeServer>& secondOpinions) {
    Outcome outcome = Measure(server);
    if (!outcome.ok()) {
        return outcome;
    }
    const auto session = sessions_.find(server.host);
    const bool datesUnproven =
        server.nts && session != sessions_.end() && session->second.datesUnproven;
    if (datesUnproven) {
        if (!ProveDates(server, secondOpinions, &outcome)) {
            return outcome;
        }
    } else if (NeedsSecondOpinion(outcome.offset) && !TakeSecondOpinion(secondOpinions, &outcome)) {
        return outcome;
    }
    const auto fail = [&outcome](FailureKind kind) {
        outcome.failure.kind = kind;
        return outcome;
    };

    double remaining = outcome.offset;
    if (NeedsCoarseStep(remaining)) {
        // The precise set uses a fresh exchange, measured against the stepped clock.
        if (!StepCoarsely(remaining)) {
            return fail(FailureKind::kAbandoned);
        }
        const Outcome again = Measure(server);
        if (!again.ok()) {
            return again;
        }
        outcome.secure = outcome.secure && again.secure;
        remaining = again.offset;
        outcome.delay = again.delay;
        outcome.stratum = again.stratum;
        outcome.address = again.address;
    }

    bool set = false;
    // Read at once: the platform's reason is gone after the next call.
    if (!hook_([&] {
            set = clock_.SetClockUtc(AddSeconds(clock_.Now(), remaining));
            if (!set) {
                outcome.failure.error = clock_.LastSetError();
            }
        })) {
        return fail(FailureKind::kAbandoned);
    }
    if (!set) {
        return fail(FailureKind::kClockRefused);
    }

    if (userOffsetSeconds != 0) {
        bool converted = false;
        if (!hook_([&] {
                const std::optional<SYSTEMTIME> shifted =
                    ApplyUserOffset(clock_.LocalTime(), userOffsetSeconds);
                converted = shifted.has_value();
                if (converted) {
                    clock_.SetLocalTime(*shifted);
                }
            })) {
            return fail(FailureKind::kAbandoned);
        }
        if (!converted) {
            return fail(FailureKind::kConversionFailed);
        }
    }
    return outcome;
}
