#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "serial/marked_input.h"
#include "serial/platform/comm.h"
#include "serial/port_opening.h"

namespace dravolin {

// Hands what the monitor thread receives to the owner in runs: the bytes waiting are read
// with one call and cross to the interface thread in one hand-over, still one MSG_RX_CHAR
// each and in order. On a slow line bytes come one at a time, and handing each over alone
// costs several thread switches a byte; so while the line trickles, a run waits a moment
// for the bytes behind it. The first two runs of an answer are never held back.
class RunReceiver {
public:
    explicit RunReceiver(PortOpening& opening);

    // Reads every byte waiting and hands it over behind `messages` (the line events of the
    // port event, which come first). False when the opening was halted meanwhile.
    bool receive(std::vector<PortMessage> messages);

    // A frame went out: what comes next begins its answer.
    void frameSent();

private:
    using Clock = std::chrono::steady_clock;

    std::size_t bytesWaiting();
    comm::ReadOutcome readRun(std::size_t waiting, std::vector<PortMessage>& run);
    comm::ReadOutcome readWaiting(std::size_t waiting, std::vector<PortMessage>& run);
    bool trickling(std::size_t firstCount, Clock::time_point now) const;
    // Every byte the owner said it awaits is read or waiting.
    bool answerIn(std::size_t waiting) const;
    std::chrono::microseconds nextStretch(std::chrono::microseconds last, std::size_t brought,
                                          std::size_t waiting, Clock::duration left) const;
    bool stretchWaited(std::chrono::microseconds stretch);
    void reportReadFailure(comm::ReadOutcome outcome);

    PortOpening& opening_;
    const std::chrono::microseconds byteTime_;
    const std::chrono::microseconds slice_;  // how long a trickling run waits for more at a time
    int shortRunsInARow_ = 0;                // since the last frame went out
    std::size_t readSinceFrame_ = 0;         // bytes read since the last frame went out
    Clock::time_point lastRunEnd_{};
    std::array<std::uint8_t, 4096> buffer_{};
    MarkedInput marked_;
    std::vector<std::uint8_t> decoded_;
};

}  // namespace dravolin
