#include "serial/run_receiver.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace dravolin {

namespace {

// A run that begins with fewer bytes waiting than this may be a line that trickles.
constexpr std::size_t kShortRun = 16;
// A trickling run waits for the bytes behind it this many byte times at a time.
constexpr std::size_t kSliceBytes = 20;
// Short runs in a row before the line counts as trickling: a two-byte status reply that
// comes a byte at a time is never held back.
constexpr int kShortRunsBeforeGathering = 2;
// How long a trickling run gathers at most: the client still sees progress as often as it
// shows it.
constexpr auto kLongestGather = std::chrono::milliseconds(100);
// The bytes a run gathers at most in the driver's buffer, well inside what any driver
// holds before it loses bytes.
constexpr std::size_t kLongestGathered = 1024;
constexpr std::size_t kLongestRun = 4096;

// The time kSliceBytes take on the line, at least 0.5 ms and at most 5 ms: at most what
// the gathering adds to the last bytes of an answer.
std::chrono::microseconds sliceFor(std::chrono::microseconds byteTime) {
    return std::clamp<std::chrono::microseconds>(
        kSliceBytes * byteTime, std::chrono::microseconds(500), std::chrono::microseconds(5000));
}

// The time one byte takes on the line as configured.
std::chrono::microseconds byteTimeOf(const LineTiming& line) {
    if (line.baudRate <= 0) {
        return std::chrono::microseconds(0);
    }
    return std::chrono::microseconds(bitsPerByte(line) * 1'000'000LL / line.baudRate);
}

// How long the monitor thread leaves a device whose read failed (and is still there) before
// it tries again, rather than ask it over and over.
constexpr auto kPauseAfterFailedRead = std::chrono::milliseconds(100);

// What a busy line brings in three quarters of `stretch`, at least a byte. A stretch that
// brings fewer has seen the line fall quiet in it: the answer ended, and its last bytes
// wait no longer than the rest of that stretch. A quarter is left for a device that leaves
// small gaps between its bytes.
std::size_t busyBytesFor(std::chrono::microseconds stretch, std::chrono::microseconds byteTime) {
    if (byteTime.count() <= 0) {
        return 1;
    }
    return std::max<std::size_t>(1, static_cast<std::size_t>(stretch / byteTime) * 3 / 4);
}

}  // namespace

RunReceiver::RunReceiver(PortOpening& opening)
    : opening_(opening), byteTime_(byteTimeOf(opening.line())), slice_(sliceFor(byteTime_)) {}

void RunReceiver::frameSent() {
    shortRunsInARow_ = 0;
    readSinceFrame_ = 0;
}

bool RunReceiver::receive() {
    for (;;) {
        const std::size_t waiting = bytesWaiting();
        if (waiting == 0) {
            return true;
        }
        std::vector<std::uint8_t> run;
        const comm::ReadResult read = readRun(waiting, run);
        if ((!run.empty() || read.lineErrors > 0) &&
            !opening_.post(std::move(run), read.lineErrors)) {
            return false;
        }
        if (read.error) {
            // After what came before it, so that the operator sees the order of events. A
            // device that has gone fails the next question too, and is then told as gone.
            bytesWaiting();
            opening_.raise(*read.error);
            stretchWaited(kPauseAfterFailedRead);
            return !opening_.halted();
        }
    }
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

comm::ReadResult RunReceiver::readRun(std::size_t waiting, std::vector<std::uint8_t>& run) {
    Clock::time_point now = Clock::now();
    const bool gather = trickling(waiting, now);
    shortRunsInARow_ = waiting < kShortRun ? shortRunsInARow_ + 1 : 0;
    // While the line trickles, the bytes gather in the driver's buffer and are only counted
    // (after a slice, then when the rest of the answer is due); they are read with one call
    // at the end. A read costs far more than a count (under wine, several round trips to its
    // server), and the run is handed over whole anyway.
    const Clock::time_point gatherEnd = now + kLongestGather;
    std::chrono::microseconds stretch = slice_;
    while (gather && now < gatherEnd && waiting < kLongestGathered && !answerIn(waiting) &&
           stretchWaited(stretch)) {
        const std::size_t more = std::max(waiting, bytesWaiting());
        // Fewer than a busy line brings (or a count that failed): the answer ended.
        const bool ended = more < waiting + busyBytesFor(stretch, byteTime_);
        now = Clock::now();
        stretch = nextStretch(stretch, more - waiting, more, gatherEnd - now);
        waiting = more;
        if (ended) {
            break;
        }
    }
    const comm::ReadResult read = readWaiting(waiting, run);
    lastRunEnd_ = Clock::now();
    return read;
}

bool RunReceiver::trickling(std::size_t firstCount, Clock::time_point now) const {
    // Short runs that follow each other closely: bytes arriving one or two at a time.
    const auto closely = 4 * slice_;
    return firstCount < kShortRun && shortRunsInARow_ >= kShortRunsBeforeGathering &&
           now - lastRunEnd_ < closely;
}

bool RunReceiver::answerIn(std::size_t waiting) const {
    const std::size_t expected = opening_.expectedReply();
    return expected > 0 && readSinceFrame_ + waiting >= expected;
}

std::chrono::microseconds RunReceiver::nextStretch(std::chrono::microseconds last,
                                                   std::size_t brought, std::size_t waiting,
                                                   Clock::duration left) const {
    // When the client said how long its answer is, the run sleeps until the rest of it is due
    // at the rate the last stretch saw (within the gathering's bounds): one wake-up rather
    // than one a slice. Past what was said, or without it, it goes on a slice at a time.
    const std::size_t expected = opening_.expectedReply();
    const std::size_t have = readSinceFrame_ + waiting;
    if (brought == 0 || expected <= have) {
        return slice_;
    }
    const std::size_t room = waiting < kLongestGathered ? kLongestGathered - waiting : 0;
    const std::size_t due = std::min(expected - have, room);
    const auto dueTime = last * static_cast<long>(due) / static_cast<long>(brought);
    const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(left);
    return std::max(slice_, std::min(dueTime, longest));
}

bool RunReceiver::stretchWaited(std::chrono::microseconds stretch) {
    // Any signal (shutdown, a frame to write, halt) needs the thread more than the run does.
    const std::array<comm::Event*, 3> wakers{&opening_.shutdownEvent(), &opening_.writeEvent(),
                                             &opening_.haltEvent()};
    return comm::waitForAny(wakers, stretch) == comm::kWaitTimedOut;
}

comm::ReadResult RunReceiver::readWaiting(std::size_t waiting, std::vector<std::uint8_t>& run) {
    std::lock_guard lock(opening_.portLock());
    if (!opening_.beginPortUse()) {
        return {};
    }
    const comm::ReadResult read =
        opening_.port().read(std::min(waiting, kLongestRun), run, &opening_.haltEvent());
    opening_.endPortUse();
    readSinceFrame_ += read.count;
    return read;
}

}  // namespace dravolin
