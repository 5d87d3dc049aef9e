#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "serial/platform/comm.h"
#include "serial/port_opening.h"

namespace dravolin {

// Hands what the monitor thread receives to the client in runs: the bytes waiting are read
// with one call and cross to the interface thread together. On a slow line bytes come one
// at a time, and handing each over alone costs several thread switches a byte; so while the
// line trickles, a run waits a moment for the bytes behind it. The first two runs of an
// answer are never held back.
class RunReceiver {
public:
    explicit RunReceiver(PortOpening& opening);

    // Reads every byte waiting and hands it over. False when the opening was halted
    // meanwhile.
    bool receive();

    // A frame went out: what comes next begins its answer.
    void frameSent();

private:
    using Clock = std::chrono::steady_clock;

    std::size_t bytesWaiting();
    comm::ReadResult readRun(std::size_t waiting, std::vector<std::uint8_t>& run);
    comm::ReadResult readWaiting(std::size_t waiting, std::vector<std::uint8_t>& run);
    bool trickling(std::size_t firstCount, Clock::time_point now) const;
    // Every byte the client said it awaits is read or waiting.
    bool answerIn(std::size_t waiting) const;
    std::chrono::microseconds nextStretch(std::chrono::microseconds last, std::size_t brought,
                                          std::size_t waiting, Clock::duration left) const;
    bool stretchWaited(std::chrono::microseconds stretch);

    PortOpening& opening_;
    const std::chrono::microseconds byteTime_;
    const std::chrono::microseconds slice_;  // how long a trickling run waits for more at a time
    int shortRunsInARow_ = 0;                // since the last frame went out
    std::size_t readSinceFrame_ = 0;         // bytes read since the last frame went out
    Clock::time_point lastRunEnd_{};
};

}  // namespace dravolin
