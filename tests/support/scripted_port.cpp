#include "support/scripted_port.h"

#include <algorithm>
#include <cerrno>
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

int ScriptedPort::waitForAny(std::span<comm::Event* const> events,
                             std::optional<std::chrono::milliseconds> timeout) {
    ++sleeps_;
    return real_->waitForAny(events, timeout);
}

comm::ReadResult ScriptedPort::read(std::size_t most, std::vector<std::uint8_t>& run,
                                    const comm::Event* abandon) {
    ++reads_;
    comm::ReadResult result;
    if (plan_.readFailures > 0) {
        --plan_.readFailures;
        result.error = LinkError{LinkError::Kind::Read, EIO, "read()", comm::errorText(EIO)};
        return result;
    }
    if (noiseDue() && most > 0) {
        result.count = std::min(most, plan_.noise.size());
        run.insert(run.end(), plan_.noise.begin(), plan_.noise.begin() + result.count);
        result.lineErrors = plan_.noiseLineErrors;
        noiseRead_ = true;
        return result;
    }
    result = real_->read(most, run, abandon);
    bytesRead_ += result.count;
    return result;
}

comm::WriteResult ScriptedPort::write(std::span<const std::uint8_t> bytes,
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
