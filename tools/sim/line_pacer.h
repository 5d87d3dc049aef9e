#pragma once

#include <chrono>
#include <optional>

#include "sim/simulator_options.h"

namespace dravolin {

// Emulates the time bytes take on a serial line. Each direction keeps its own absolute
// schedule: a byte is due one byte time after the previous byte of the same direction
// (or after it entered, when the line was idle), so late wake-ups never add up over a
// long reply. Without a pace every byte is due at once.
class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit LinePacer(std::optional<LinePace> pace);

    static int bitsPerByte(const LinePace& pace);
    std::chrono::nanoseconds byteTime() const { return byteTime_; }
    bool paced() const { return byteTime_.count() > 0; }

    // When a byte from the PC that was read at `readAt` has fully arrived.
    Clock::time_point receivedAt(Clock::time_point readAt);

    // When a byte that the device starts sending no earlier than `readyAt` has reached
    // the PC.
    Clock::time_point sentAt(Clock::time_point readyAt);

    // Forgets both schedules, e.g. when the PC has closed the line.
    void reset();

private:
    static Clock::time_point advance(Clock::time_point& lineFree, Clock::time_point from,
                                     std::chrono::nanoseconds byteTime);

    std::chrono::nanoseconds byteTime_{0};
    Clock::time_point receiveLineFree_{};
    Clock::time_point sendLineFree_{};
};

}  // namespace dravolin
