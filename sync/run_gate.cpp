#include "sync/run_gate.h"

RunGate::Generation RunGate::BeginRun() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseBoxLocked();
    return ++current_;
}

void RunGate::AbandonRun() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseBoxLocked();
    ++current_;
}

void RunGate::CloseBoxLocked() {
    if (closeBox_) {
        closeBox_();
        closeBox_ = nullptr;
    }
}

bool RunGate::CurrentLocked(Generation generation) const {
    return generation == kAlways || generation == current_;
}

bool RunGate::IsCurrent(Generation generation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return CurrentLocked(generation);
}

bool RunGate::Apply(Generation generation, const std::function<void(SyncRecord&)>& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CurrentLocked(generation)) {
        return false;
    }
    effect(record_);
    return true;
}

bool RunGate::Apply(Generation generation, const std::function<void(const Held&)>& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CurrentLocked(generation)) {
        return false;
    }
    effect(Held());
    return true;
}

bool RunGate::Apply(Generation generation,
                    const std::function<void(SyncRecord&, const Held&)>& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CurrentLocked(generation)) {
        return false;
    }
    effect(record_, Held());
    return true;
}

bool RunGate::Apply(Generation generation, const std::function<void()>& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CurrentLocked(generation)) {
        return false;
    }
    effect();
    return true;
}

bool RunGate::RunBoxOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(closeBox_);
}

SyncRecord RunGate::Record() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return record_;
}

void RunGate::SetStatus(const std::string& status) {
    std::lock_guard<std::mutex> lock(mutex_);
    record_.connectStatus = status;
}

void RunGate::ReplaceRecord(const SyncRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    record_ = record;
}

bool RunGate::RunBoxGuard::Opened(std::function<void()> close) {
    std::lock_guard<std::mutex> lock(gate_.mutex_);
    if (!gate_.CurrentLocked(generation_)) {
        return false;
    }
    if (generation_ != kAlways) {
        gate_.closeBox_ = std::move(close);
    }
    return true;
}

void RunGate::RunBoxGuard::Closed() {
    std::lock_guard<std::mutex> lock(gate_.mutex_);
    if (generation_ != kAlways && gate_.CurrentLocked(generation_)) {
        gate_.closeBox_ = nullptr;
    }
}
