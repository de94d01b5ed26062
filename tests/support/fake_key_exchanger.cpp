#include "tests/support/fake_key_exchanger.h"

#include <memory>

namespace {

class PassingSeal : public RequestSeal {
  public:
    bool CanSeal() const override { return true; }
    std::vector<std::uint8_t> Seal(const sntp::Packet& request) override {
        return {request.begin(), request.end()};
    }
    Verdict Open(const std::uint8_t*, std::size_t) override { return Verdict::kAuthenticated; }
};

}  // namespace

void FakeKeyExchanger::Answer(const std::string& host, const std::string& ntpHost, int ntpPort) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answers_[host] = {{}, ntpHost, ntpPort};
}

void FakeKeyExchanger::Fail(const std::string& host, Failure failure) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answers_[host] = {std::move(failure), {}, 0};
}

SecureSession FakeKeyExchanger::Exchange(const std::string& host, std::uint32_t,
                                         QueryInterrupter*) {
    const std::lock_guard<std::mutex> lock(mutex_);
    asked_.push_back(host);
    SecureSession session;
    const auto found = answers_.find(host);
    if (found == answers_.end()) {
        session.failure = FailureOf(FailureKind::kNtsTlsFailed);
        session.failure.account = "no key exchange server";
        return session;
    }
    if (found->second.failure.failed()) {
        session.failure = found->second.failure;
        return session;
    }
    session.seal = std::make_unique<PassingSeal>();
    session.ntpHost = found->second.ntpHost;
    session.ntpPort = found->second.ntpPort;
    return session;
}

std::vector<std::string> FakeKeyExchanger::asked() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
}
