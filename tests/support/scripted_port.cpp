#include "support/scripted_port.h"

#include <algorithm>
#include <utility>

namespace dravolin::test {

ScriptedPort::ScriptedPort(PortPlan plan, std::shared_ptr<std::atomic<int>> alive)
    : real_(comm::makeSystemPort()), plan_(std::move(plan)), alive_(std::move(alive)) {
    ++*alive_;
}

ScriptedPort::~ScriptedPort() {
    real_.reset();
    --*alive_;
}

bool ScriptedPort::purge() {
    if (plan_.beforePurge) {
        plan_.beforePurge(*real_);
    }
    return real_->purge();
}

bool ScriptedPort::noiseDue() const {
    return !plan_.noise.empty() && !noiseRead_.load() && bytesRead_ >= plan_.noiseAfter;
}

bool ScriptedPort::bytesWaiting(std::size_t& count) {
    const bool known = real_->bytesWaiting(count);
    if (noiseDue()) {
        count += plan_.noise.size();
    }
    return known;
}

bool ScriptedPort::bytesQueuedForOutput(std::size_t& count) {
    const bool known = real_->bytesQueuedForOutput(count);
    if (plan_.outputHeld) {
        count = lastWriteSize_;
    }
    return known;
}

comm::WaitStart ScriptedPort::beginEventWait(comm::Event& completion) {
    ++eventWaitsBegun_;
    if (plan_.staleEventCompletions > 0) {
        --plan_.staleEventCompletions;
        completion.reset();
        completion.set();
        return comm::WaitStart::CompletedAtOnce;
    }
    if (noiseDue()) {
        completion.set();
        return comm::WaitStart::CompletedAtOnce;
    }
    return real_->beginEventWait(completion);
}

int ScriptedPort::waitForAny(std::span<comm::Event* const> events) {
    ++sleeps_;
    return real_->waitForAny(events);
}

comm::ReadOutcome ScriptedPort::read(std::span<std::uint8_t> buffer, std::size_t& count,
                                     const comm::Event* abandon) {
    ++reads_;
    count = 0;
    if (plan_.readFailuresAtOnce > 0 || plan_.readFailuresLate > 0) {
        const bool atOnce = plan_.readFailuresAtOnce > 0;
        --(atOnce ? plan_.readFailuresAtOnce : plan_.readFailuresLate);
        comm::setLastError(EIO);
        return atOnce ? comm::ReadOutcome::FailedAtOnce : comm::ReadOutcome::FailedLate;
    }
    if (noiseDue() && !buffer.empty()) {
        count = std::min(buffer.size(), plan_.noise.size());
        std::copy_n(plan_.noise.begin(), count, buffer.begin());
        noiseRead_ = true;
        return comm::ReadOutcome::Read;
    }
    const comm::ReadOutcome outcome = real_->read(buffer, count, abandon);
    bytesRead_ += count;
    return outcome;
}

comm::WriteOutcome ScriptedPort::write(std::span<const std::uint8_t> bytes,
                                       const comm::Event* abandon) {
    ++writes_;
    lastWriteSize_ = bytes.size();
    return real_->write(bytes, abandon);
}

comm::PortFactory ScriptedPorts::factory() {
    return [this] {
        auto port = std::make_unique<ScriptedPort>(plan, alive_);
        latest_ = port.get();
        return port;
    };
}

}  // namespace dravolin::test
