#include "serial/run_receiver.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace dravolin {

namespace {

// A run whose first read brings fewer bytes than this may be a line that trickles.
constexpr std::size_t kShortRun = 16;
// How long a trickling run gathers at most, so that the owner still sees steady progress.
constexpr auto kLongestGather = std::chrono::milliseconds(10);
constexpr std::size_t kLongestRun = 4096;

// Two byte times of the line, at least 1 ms (the finest the wait counts in) and at most
// 5 ms (what a slow line may add to an answer's last bytes).
int sliceFor(std::chrono::microseconds byteTime) {
    const auto twoBytes = std::chrono::ceil<std::chrono::milliseconds>(2 * byteTime);
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(twoBytes.count(), 1, 5));
}

}  // namespace

RunReceiver::RunReceiver(PortOpening& opening)
    : opening_(opening), sliceMs_(sliceFor(opening.lineByteTime())) {}

void RunReceiver::frameSent() {
    lastRunShort_ = false;
}

bool RunReceiver::receive(std::vector<PortMessage> messages) {
    std::vector<PortMessage> run = std::move(messages);
    for (;;) {
        const std::size_t waiting = bytesWaiting();
        if (waiting == 0) {
            break;
        }
        const comm::ReadOutcome outcome = readRun(waiting, run);
        if (!run.empty() && !opening_.deliver(std::exchange(run, {}))) {
            return false;
        }
        if (outcome == comm::ReadOutcome::FailedAtOnce ||
            outcome == comm::ReadOutcome::FailedLate) {
            // After what came before it, so that the owner sees the order of events.
            reportReadFailure(outcome);
        }
    }
    return run.empty() || opening_.deliver(std::move(run));
}

std::size_t RunReceiver::bytesWaiting() {
    std::size_t waiting = 0;
    std::lock_guard lock(opening_.portLock());
    if (opening_.beginPortUse()) {
        opening_.port().bytesWaiting(waiting);
        opening_.endPortUse();
    }
    return waiting;
}

comm::ReadOutcome RunReceiver::readRun(std::size_t waiting, std::vector<PortMessage>& run) {
    std::size_t got = 0;
    comm::ReadOutcome outcome = readWaiting(waiting, run, got);
    Clock::time_point now = Clock::now();
    if (outcome != comm::ReadOutcome::Read) {
        return outcome;
    }
    const bool gather = trickling(got, now);
    lastRunShort_ = got < kShortRun;
    const Clock::time_point gatherEnd = now + kLongestGather;
    while (gather && now < gatherEnd && run.size() < kLongestRun && quietSlicePassed()) {
        const std::size_t more = bytesWaiting();
        if (more == 0) {
            break;  // the line has gone quiet: the answer is complete for now
        }
        outcome = readWaiting(more, run, got);
        if (outcome != comm::ReadOutcome::Read) {
            break;
        }
        now = Clock::now();
    }
    lastRunEnd_ = Clock::now();
    return outcome;
}

bool RunReceiver::trickling(std::size_t firstRead, Clock::time_point now) const {
    // Short runs that follow each other closely: bytes arriving one or two at a time.
    const auto closely = std::chrono::milliseconds(4 * sliceMs_);
    return firstRead < kShortRun && lastRunShort_ && now - lastRunEnd_ < closely;
}

bool RunReceiver::quietSlicePassed() {
    // Any signal (shutdown, a frame to write, halt) needs the thread more than the run does.
    const std::array<comm::Event*, 3> wakers{&opening_.shutdownEvent(), &opening_.writeEvent(),
                                             &opening_.haltEvent()};
    return comm::waitForAny(wakers, sliceMs_) == comm::kWaitTimedOut;
}

comm::ReadOutcome RunReceiver::readWaiting(std::size_t waiting, std::vector<PortMessage>& run,
                                           std::size_t& got) {
    got = 0;
    comm::ReadOutcome outcome = comm::ReadOutcome::Nothing;
    {
        std::lock_guard lock(opening_.portLock());
        if (!opening_.beginPortUse()) {
            return outcome;
        }
        const std::size_t wanted = std::min({waiting, buffer_.size(), kLongestRun});
        outcome =
            opening_.port().read(std::span(buffer_.data(), wanted), got, &opening_.haltEvent());
        opening_.endPortUse();
    }
    if (outcome == comm::ReadOutcome::Read) {
        run.reserve(run.size() + got);
        for (std::size_t i = 0; i < got; ++i) {
            run.push_back(PortMessage{MSG_RX_CHAR, buffer_[i]});
        }
    }
    return outcome;
}

void RunReceiver::reportReadFailure(comm::ReadOutcome outcome) {
    opening_.reportError(outcome == comm::ReadOutcome::FailedLate
                             ? "GetOverlappedResults() in ReadFile()"
                             : "ReadFile()");
}

}  // namespace dravolin
