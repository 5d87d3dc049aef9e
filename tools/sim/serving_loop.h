#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "sim/device_memory.h"
#include "sim/device_responder.h"
#include "sim/frame_receiver.h"
#include "sim/line_mismatch.h"
#include "sim/line_pacer.h"
#include "sim/pseudo_terminal.h"
#include "sim/session_record.h"
#include "sim/simulator_options.h"
#include "sim/wake_signal.h"

namespace dravolin {

// The serving thread's work: reads the PC's bytes from the pseudo-terminal master, lets
// each act when its line time has passed, and writes the device's answers at their line
// time. It sleeps in poll between events and wakes for the stop signal at once.
class ServingLoop {
public:
    ServingLoop(const SimulatorOptions& options, PseudoTerminal& terminal, const WakeSignal& wake,
                SessionRecord& record);

    // Serves until the wake signal is raised, the line is hung up on purpose, or the line
    // fails.
    void run();

private:
    using Clock = LinePacer::Clock;

    struct TimedByte {
        std::uint8_t byte;
        Clock::time_point due;
    };

    enum class Progress { Going, Finished };

    Progress servePresentPeer();
    Progress waitForPeer();

    void consumeDueInput(Clock::time_point now);
    void handleFrame(const ReceivedFrame& frame, Clock::time_point at);
    void queueReply(DeviceResponder::Reply reply, Clock::time_point readyAt);
    void dropStaleTransaction(Clock::time_point now);
    Progress sendDueOutput(Clock::time_point now);
    Progress waitForEvents();
    Progress readInput();
    bool pcLineDiffers() const;
    void answerMismatch(std::size_t heard, Clock::time_point readAt);
    void peerClosed();
    Progress otherEndClosed();
    Bytes drainInputOfClosedLine() const;
    Progress hangUp();

    std::optional<Clock::time_point> nextDeadline() const;
    std::optional<Clock::time_point> staleDeadline() const;
    bool sleepUnlessWoken(std::chrono::milliseconds duration) const;
    Progress fail(const std::string& what);
    void trace(const std::string& line) const;

    const SimulatorOptions& options_;
    PseudoTerminal& terminal_;
    const WakeSignal& wake_;
    SessionRecord& record_;

    DeviceMemory memory_;
    DeviceResponder responder_;
    FrameReceiver receiver_;
    LinePacer pacer_;
    LineMismatch mismatch_;

    std::deque<TimedByte> input_;   // read from the PC, not yet acted upon
    std::deque<TimedByte> output_;  // answers not yet written
    Clock::time_point lastActivity_{};
    bool peerPresent_ = false;
    bool writeBlocked_ = false;

    bool hangupArmed_ = false;    // a data reply of the kind named ends with a hang-up
    bool hangupPending_ = false;  // the hang-up follows once output_ is written
    std::size_t hangupBytes_ = 0;
    DataReply hangupReply_ = DataReply::Directory;
};

}  // namespace dravolin
