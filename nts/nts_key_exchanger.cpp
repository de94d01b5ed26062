#include "nts/nts_key_exchanger.h"

#include "nts/key_exchange.h"
#include "nts/nts_seal.h"

namespace nts {

SecureSession NtsKeyExchanger::Exchange(const std::string& host, std::uint32_t timeoutMs,
                                        QueryInterrupter* interrupter) {
    SecureSession session;
    if (IsInterrupted(interrupter)) {
        session.failure = FailureOf(FailureKind::kAbandoned);
        return session;
    }
    // A run judges the dates itself, against the server's authenticated time.
    KeyExchangeResult exchanged =
        ExchangeKeys(host, port_, timeoutMs, certificates_, interrupter, true);
    if (exchanged.failure.failed()) {
        session.failure = std::move(exchanged.failure);
        session.failure.address = exchanged.address;
        return session;
    }
    if (IsInterrupted(interrupter)) {
        session.failure = FailureOf(FailureKind::kAbandoned);
        return session;
    }
    session.ntpHost = exchanged.answer.server.empty() ? exchanged.address : exchanged.answer.server;
    session.ntpPort = exchanged.answer.port;
    session.datesUnproven = exchanged.datesUnproven;
    session.seal = std::make_unique<NtsSeal>(exchanged.keys, std::move(exchanged.answer.cookies));
    return session;
}

}  // namespace nts
