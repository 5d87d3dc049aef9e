#include "sim/serving_loop.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "protocol/frame_trace.h"

namespace dravolin {

namespace {

using namespace std::chrono_literals;

// A frame that stops half-way is given up after this much silence.
constexpr auto kPartialFrameIdle = 1s;
// A go-ahead or data frame that does not follow its accepted command within this time is
// no longer expected. Longer than any of the PC's own time-outs for that step, so a slow
// PC is never cut off.
constexpr auto kAwaitedFrameIdle = 5s;
// While no PC has the line open the master reports hang-up continuously; look again at
// this pace instead of spinning.
constexpr auto kAbsentPeerPoll = 10ms;
// Lets a PC that is reading pick up the last bytes before the line goes.
constexpr auto kHangupGrace = 100ms;

constexpr std::size_t kIoChunk = 4096;
// A UART's receive buffer: on a paced line the device takes no more from the line at a
// time, so that what the PC has written waits on its side as it would on a real line.
constexpr std::size_t kReceiveFifo = 16;

timespec toTimespec(std::chrono::nanoseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((duration - seconds).count())};
}

const char* replyName(DataReply reply) {
    return reply == DataReply::Directory ? "directory reply" : "file reply";
}

}  // namespace

ServingLoop::ServingLoop(const SimulatorOptions& options, PseudoTerminal& terminal,
                         const WakeSignal& wake, SessionRecord& record)
    : options_(options),
      terminal_(terminal),
      wake_(wake),
      record_(record),
      memory_(options.files, options.capacity, options.log),
      responder_(options_, memory_),
      pacer_(options.pace),
      mismatch_(options.seed, options.noisePercent),
      hangupArmed_(options.hangupAfter.has_value()) {}

void ServingLoop::run() {
    Progress progress = Progress::Going;
    while (progress == Progress::Going) {
        progress = peerPresent_ ? servePresentPeer() : waitForPeer();
    }
}

ServingLoop::Progress ServingLoop::servePresentPeer() {
    const Clock::time_point now = Clock::now();
    consumeDueInput(now);
    dropStaleTransaction(now);
    if (sendDueOutput(now) == Progress::Finished) {
        return Progress::Finished;
    }
    if (hangupPending_ && output_.empty()) {
        return hangUp();
    }
    return waitForEvents();
}

ServingLoop::Progress ServingLoop::waitForPeer() {
    pollfd master{terminal_.master(), POLLIN, 0};
    if (::poll(&master, 1, 0) < 0 && errno != EINTR) {
        return fail("cannot watch the line");
    }
    if ((master.revents & POLLNVAL) != 0) {
        return fail("the line is no longer open");
    }
    if ((master.revents & POLLHUP) != 0 && terminal_.isExisting()) {
        return otherEndClosed();
    }
    if ((master.revents & POLLHUP) == 0) {
        peerPresent_ = true;
        lastActivity_ = Clock::now();
        trace("-- line opened by the PC");
        return Progress::Going;
    }
    if ((master.revents & POLLIN) != 0) {
        // A PC came, wrote and left between two looks.
        trace(traceLine(kFromPc, drainInputOfClosedLine(), "discarded (line closed)"));
    }
    return sleepUnlessWoken(kAbsentPeerPoll) ? Progress::Going : Progress::Finished;
}

void ServingLoop::consumeDueInput(Clock::time_point now) {
    while (!input_.empty() && input_.front().due <= now) {
        const TimedByte next = input_.front();
        input_.pop_front();
        lastActivity_ = std::max(lastActivity_, next.due);
        const FrameReceiver::Fed fed = receiver_.feed(next.byte);
        if (fed.skipped) {
            trace(traceLine(kFromPc, std::span(&next.byte, 1), "skipped"));
        }
        if (fed.frame) {
            handleFrame(*fed.frame, next.due);
        }
    }
}

void ServingLoop::handleFrame(const ReceivedFrame& frame, Clock::time_point at) {
    record_.addFrame(frame.bytes);
    trace(traceLine(kFromPc, frame.bytes));
    std::optional<DeviceResponder::Reply> reply = responder_.respond(frame);
    receiver_.expect(responder_.expectation());
    if (reply) {
        queueReply(std::move(*reply), at);
    }
}

void ServingLoop::queueReply(DeviceResponder::Reply reply, Clock::time_point readyAt) {
    if (reply.dataReply && hangupArmed_ &&
        options_.hangupAfter->reply.value_or(*reply.dataReply) == *reply.dataReply) {
        hangupArmed_ = false;
        hangupPending_ = true;
        hangupBytes_ = std::min(reply.bytes.size(), options_.hangupAfter->bytes);
        hangupReply_ = *reply.dataReply;
        reply.bytes.resize(hangupBytes_);
    }
    trace(traceLine(kToPc, reply.bytes));
    for (const std::uint8_t byte : reply.bytes) {
        output_.push_back(TimedByte{byte, pacer_.sentAt(readyAt)});
    }
    if (!output_.empty()) {
        lastActivity_ = std::max(lastActivity_, output_.back().due);
    }
}

void ServingLoop::dropStaleTransaction(Clock::time_point now) {
    const auto deadline = staleDeadline();
    if (!deadline || now < *deadline) {
        return;
    }
    const Bytes dropped = receiver_.reset();
    responder_.reset();
    if (!dropped.empty()) {
        trace(traceLine(kFromPc, dropped, "discarded (idle)"));
    } else {
        trace("-- the awaited frame did not come; waiting for a command");
    }
}

ServingLoop::Progress ServingLoop::sendDueOutput(Clock::time_point now) {
    while (!writeBlocked_ && !output_.empty() && output_.front().due <= now) {
        std::array<std::uint8_t, kIoChunk> chunk{};
        std::size_t length = 0;
        while (length < chunk.size() && length < output_.size() && output_[length].due <= now) {
            chunk[length] = output_[length].byte;
            ++length;
        }
        const ssize_t written = ::write(terminal_.master(), chunk.data(), length);
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeBlocked_ = true;
            } else if (errno == EIO) {
                peerClosed();
            } else if (errno != EINTR) {
                return fail("cannot write to the line");
            }
            continue;
        }
        output_.erase(output_.begin(), output_.begin() + written);
    }
    return Progress::Going;
}

ServingLoop::Progress ServingLoop::waitForEvents() {
    std::array<pollfd, 2> watched{};
    watched[0] = pollfd{wake_.fd(), POLLIN, 0};
    // On a paced line the next bytes are taken once the last ones have crossed it.
    const bool takesInput = !pacer_.paced() || input_.empty();
    watched[1] =
        pollfd{terminal_.master(),
               static_cast<short>((takesInput ? POLLIN : 0) | (writeBlocked_ ? POLLOUT : 0)), 0};
    const auto deadline = nextDeadline();
    timespec timeout{};
    if (deadline) {
        timeout = toTimespec(std::max(std::chrono::nanoseconds(0), *deadline - Clock::now()));
    }
    if (::ppoll(watched.data(), watched.size(), deadline ? &timeout : nullptr, nullptr) < 0) {
        return errno == EINTR ? Progress::Going : fail("cannot watch the line");
    }
    if (watched[0].revents != 0) {
        return Progress::Finished;
    }
    const short events = watched[1].revents;
    if ((events & POLLNVAL) != 0) {
        return fail("the line is no longer open");
    }
    if ((events & POLLOUT) != 0) {
        writeBlocked_ = false;
    }
    if ((events & (POLLHUP | POLLERR)) != 0) {
        peerClosed();
        return terminal_.isExisting() ? otherEndClosed() : Progress::Going;
    }
    if ((events & POLLIN) != 0) {
        return readInput();
    }
    return Progress::Going;
}

ServingLoop::Progress ServingLoop::readInput() {
    std::array<std::uint8_t, kIoChunk> chunk{};
    const bool paced = pacer_.paced() && !pcLineDiffers();
    const std::size_t wanted = paced ? kReceiveFifo : chunk.size();
    for (;;) {
        const ssize_t count = ::read(terminal_.master(), chunk.data(), wanted);
        if (count > 0) {
            // The bytes entered the line now; each acts once its own line time has passed.
            const Clock::time_point readAt = Clock::now();
            if (pcLineDiffers()) {
                answerMismatch(static_cast<std::size_t>(count), readAt);
                continue;
            }
            for (ssize_t i = 0; i < count; ++i) {
                input_.push_back(
                    TimedByte{chunk[static_cast<std::size_t>(i)], pacer_.receivedAt(readAt)});
            }
            if (paced) {
                return Progress::Going;  // the rest waits until these have crossed the line
            }
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno == EIO) {
            peerClosed();
            return terminal_.isExisting() ? otherEndClosed() : Progress::Going;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return fail("cannot read from the line");
        }
        return Progress::Going;
    }
}

bool ServingLoop::pcLineDiffers() const {
    if (!options_.line) {
        return false;
    }
    // The master's view of the terminal settings is the one the PC set on its end.
    termios pcSide{};
    return ::tcgetattr(terminal_.master(), &pcSide) == 0 && !lineMatches(pcSide, *options_.line);
}

void ServingLoop::answerMismatch(std::size_t heard, Clock::time_point readAt) {
    const Bytes noise = mismatch_.answer();
    trace("-- " + std::to_string(heard) + " bytes heard at other line settings; " +
          (noise.empty() ? std::string("no answer") : "noise answered"));
    for (const std::uint8_t byte : noise) {
        output_.push_back(TimedByte{byte, pacer_.sentAt(readAt)});
    }
    if (!output_.empty()) {
        lastActivity_ = std::max(lastActivity_, output_.back().due);
    }
}

void ServingLoop::peerClosed() {
    // Anything the device had not yet sent would reach the next opener as stale bytes.
    ::tcflush(terminal_.master(), TCOFLUSH);
    Bytes dropped = receiver_.reset();
    for (const TimedByte& pending : input_) {
        dropped.push_back(pending.byte);
    }
    const Bytes unread = drainInputOfClosedLine();
    dropped.insert(dropped.end(), unread.begin(), unread.end());
    if (!dropped.empty()) {
        trace(traceLine(kFromPc, dropped, "discarded (line closed)"));
    }
    trace("-- line closed by the PC");
    responder_.reset();
    pacer_.reset();
    input_.clear();
    output_.clear();
    writeBlocked_ = false;
    if (hangupPending_) {
        hangupPending_ = false;
        hangupArmed_ = true;
    }
    peerPresent_ = false;
}

ServingLoop::Progress ServingLoop::otherEndClosed() {
    // Whoever made the terminal (an emulator) has gone; no PC can come back through it.
    const std::string message = "the other end of " + terminal_.slavePath() + " has closed";
    trace("-- " + message);
    record_.setState(SimulatorState::HungUp, message);
    return Progress::Finished;
}

Bytes ServingLoop::drainInputOfClosedLine() const {
    // Bytes a PC wrote just before it closed would otherwise open the next PC's session.
    // Only while the line is still closed: once a new PC has opened it, what is queued
    // may be its own first frame.
    Bytes unread;
    pollfd master{terminal_.master(), POLLIN, 0};
    if (::poll(&master, 1, 0) <= 0 || (master.revents & POLLHUP) == 0) {
        return unread;
    }
    std::array<std::uint8_t, kIoChunk> chunk{};
    ssize_t count = 0;
    while ((count = ::read(terminal_.master(), chunk.data(), chunk.size())) > 0) {
        unread.insert(unread.end(), chunk.begin(), chunk.begin() + count);
    }
    return unread;
}

ServingLoop::Progress ServingLoop::hangUp() {
    if (!sleepUnlessWoken(kHangupGrace)) {
        return Progress::Finished;
    }
    const std::string message = "closed the line after " + std::to_string(hangupBytes_) +
                                " bytes of the " + replyName(hangupReply_) + ", as asked";
    trace("-- " + message);
    // Recorded first: whoever sees the hang-up on the line finds the reason already there.
    record_.setState(SimulatorState::HungUp, message);
    terminal_.closeMaster();
    return Progress::Finished;
}

std::optional<ServingLoop::Clock::time_point> ServingLoop::nextDeadline() const {
    std::optional<Clock::time_point> deadline = staleDeadline();
    auto consider = [&deadline](Clock::time_point when) {
        deadline = deadline ? std::min(*deadline, when) : when;
    };
    if (!input_.empty()) {
        consider(input_.front().due);
    }
    if (!output_.empty() && !writeBlocked_) {
        consider(output_.front().due);
    }
    return deadline;
}

std::optional<ServingLoop::Clock::time_point> ServingLoop::staleDeadline() const {
    // Bytes still crossing the line count as activity: nothing is idle while they come.
    if (!receiver_.isWaiting() || !input_.empty()) {
        return std::nullopt;
    }
    const auto idle = receiver_.hasPartialFrame() ? Clock::duration(kPartialFrameIdle)
                                                  : Clock::duration(kAwaitedFrameIdle);
    return lastActivity_ + idle;
}

bool ServingLoop::sleepUnlessWoken(std::chrono::milliseconds duration) const {
    pollfd wake{wake_.fd(), POLLIN, 0};
    const timespec timeout = toTimespec(duration);
    const int ready = ::ppoll(&wake, 1, &timeout, nullptr);
    return !(ready > 0 && (wake.revents & POLLIN) != 0);
}

ServingLoop::Progress ServingLoop::fail(const std::string& what) {
    const std::string message = what + ": " + std::strerror(errno);
    options_.log("voska-sim: " + message);
    record_.setState(SimulatorState::Failed, message);
    return Progress::Finished;
}

void ServingLoop::trace(const std::string& line) const {
    if (options_.trace) {
        options_.log(line);
    }
}

}  // namespace dravolin
