#pragma once

#include <termios.h>

#include <cstddef>
#include <random>

#include "protocol/frames.h"
#include "sim/simulator_options.h"

namespace dravolin {

// Whether the PC's end of the line is set as the programmer's own line: the same speed,
// parity and stop bits (8 data bits are taken for granted, as everywhere here). On a
// pseudo-terminal even parity and no parity cannot be told apart (the kernel keeps no
// parity-enable bit there), so those two count as the same.
bool lineMatches(const termios& pcSide, const LinePace& programmer);

// What the programmer's UART makes of bytes sent at other line settings. A pseudo-terminal
// cannot garble bytes, so this plays a mismatch: the UART sees framing and parity errors
// and the programmer either stays silent or gives back a few bytes of noise. The choice
// comes from a seeded generator, so that a run can be repeated.
class LineMismatch {
public:
    static constexpr std::size_t kMostNoiseBytes = 3;

    // `noisePercent` of the bursts get noise back, the others nothing.
    LineMismatch(unsigned seed, int noisePercent) : generator_(seed), noisePercent_(noisePercent) {}

    // The answer to a burst of bytes heard at the wrong settings: empty for silence.
    Bytes answer();

private:
    std::mt19937 generator_;
    int noisePercent_;
};

}  // namespace dravolin
