#include "tests/support/fake_key_exchanger.h"

#include <memory>

namespace {

class PassingSeal : public RequestSeal {
  public:
    PassingSeal(int cookies, Verdict verdict) : cookies_(cookies), verdict_(verdict) {}
    bool CanSeal() const override { return cookies_ > 0; }
    std::vector<std::uint8_t> Seal(const sntp::Packet& request) override {
        --cookies_;
        return {request.begin(), request.end()};
    }
    Verdict Open(const std::uint8_t*, std::size_t) override { return verdict_; }

  private:
    int cookies_;
    Verdict verdict_;
};

}  // namespace

void FakeKeyExchanger::Answer(const std::string& host, const std::string& ntpHost, int ntpPort) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Config answer;
    answer.ntpHost = ntpHost;
    answer.ntpPort = ntpPort;
    answers_[host] = answer;
}

void FakeKeyExchanger::Fail(const std::string& host, Failure failure) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Config answer;
    answer.failure = std::move(failure);
    answers_[host] = answer;
}

SecureSession FakeKeyExchanger::Exchange(const std::string& host, std::uint32_t,
                                         QueryInterrupter*) {
    const std::lock_guard<std::mutex> lock(mutex_);
    asked_.push_back(host);
    SecureSession session;
    const auto found = answers_.find(host);
    if (found == answers_.end() && !everyHost_) {
        session.failure = FailureOf(FailureKind::kNtsTlsFailed);
        session.failure.account = "no key exchange server";
        return session;
    }
    const Config& answer = found != answers_.end() ? found->second : *everyHost_;
    if (answer.failure.failed()) {
        session.failure = answer.failure;
        return session;
    }
    session.seal = std::make_unique<PassingSeal>(answer.cookies, answer.verdict);
    session.ntpHost = answer.ntpHost;
    session.ntpPort = answer.ntpPort;
    session.datesUnproven = answer.datesUnproven;
    return session;
}

std::vector<std::string> FakeKeyExchanger::asked() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
}
