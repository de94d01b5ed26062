#include "tests/support/fake_clock.h"

FakeClock::FakeClock(double offsetSeconds, int zoneMinutes)
    : offset_(offsetSeconds), zoneSeconds_(zoneMinutes * 60.0) {}

NtpTime FakeClock::BaseLocked() const {
    return frozenAt_ ? *frozenAt_ : NtpTime::Now();
}

NtpTime FakeClock::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return AddSeconds(BaseLocked(), offset_);
}

NtpTime FakeClock::FromSystemReading(NtpTime systemUtc) {
    std::lock_guard<std::mutex> lock(mutex_);
    return AddSeconds(frozenAt_ ? *frozenAt_ : systemUtc, offset_);
}

SYSTEMTIME FakeClock::UtcTime() {
    return Now().ToSystemTime();
}

SYSTEMTIME FakeClock::LocalTime() {
    return AddSeconds(Now(), zoneSeconds_).ToSystemTime();
}

bool FakeClock::SetUtcTime(const SYSTEMTIME& utc) {
    return Apply(SetKind::kUtcTime, utc, NtpTime::FromSystemTime(utc));
}

bool FakeClock::SetLocalTime(const SYSTEMTIME& local) {
    return Apply(SetKind::kLocalTime, local,
                 AddSeconds(NtpTime::FromSystemTime(local), -zoneSeconds_));
}

bool FakeClock::SetClockUtc(const NtpTime& t) {
    return Apply(SetKind::kClockUtc, t.ToSystemTime(), t);
}

bool FakeClock::Apply(SetKind kind, const SYSTEMTIME& time, NtpTime utc) {
    std::lock_guard<std::mutex> lock(mutex_);
    sets_.push_back({kind, time, kind == SetKind::kClockUtc ? utc : NtpTime()});
    if (failSets_) {
        return false;
    }
    offset_ = Difference(utc, BaseLocked());
    return true;
}

void FakeClock::SetLocalNow(const SYSTEMTIME& local) {
    const NtpTime utc = AddSeconds(NtpTime::FromSystemTime(local), -zoneSeconds_);
    std::lock_guard<std::mutex> lock(mutex_);
    offset_ = Difference(utc, BaseLocked());
}

void FakeClock::Freeze() {
    std::lock_guard<std::mutex> lock(mutex_);
    frozenAt_ = NtpTime::Now();
    steadyFrozenAt_ = std::chrono::steady_clock::now();
}

void FakeClock::Advance(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    offset_ += seconds;
    if (seconds > 0) {
        steadyAdvance_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds));
    }
}

std::chrono::steady_clock::time_point FakeClock::SteadyNow() {
    std::lock_guard<std::mutex> lock(mutex_);
    return steadyFrozenAt_.value_or(std::chrono::steady_clock::now()) + steadyAdvance_;
}

double FakeClock::offset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return offset_;
}

void FakeClock::FailSets(bool fail, std::uint32_t error) {
    std::lock_guard<std::mutex> lock(mutex_);
    failSets_ = fail;
    setError_ = error;
}

std::uint32_t FakeClock::LastSetError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return setError_;
}

bool FakeClock::MaySetClock() {
    std::lock_guard<std::mutex> lock(mutex_);
    return privilegeHeld_;
}

void FakeClock::HoldPrivilege(bool held) {
    std::lock_guard<std::mutex> lock(mutex_);
    privilegeHeld_ = held;
}

std::vector<FakeClock::Set> FakeClock::sets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sets_;
}
