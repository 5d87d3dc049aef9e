#include "sim/line_mismatch.h"

namespace dravolin {

namespace {

// The speed constant of a rate; B0 for one termios has none for.
speed_t speedOf(long baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

// Linux's pseudo-terminal driver drops PARENB (and forces 8 data bits) whatever the PC
// sets, but keeps PARODD: odd parity shows, even parity and none look the same.
bool parityMatches(const termios& settings, char parity) {
    const bool odd = (settings.c_cflag & PARODD) != 0;
    return odd == (parity == 'O');
}

}  // namespace

bool lineMatches(const termios& pcSide, const LinePace& programmer) {
    const speed_t expected = speedOf(programmer.baud);
    const int stopBits = (pcSide.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return expected != B0 && cfgetospeed(&pcSide) == expected &&
           parityMatches(pcSide, programmer.parity) && stopBits == programmer.stopBits;
}

Bytes LineMismatch::answer() {
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(generator_) >= noisePercent_) {
        return {};
    }
    std::uniform_int_distribution<std::size_t> length(1, kMostNoiseBytes);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes noise(length(generator_));
    for (std::uint8_t& value : noise) {
        value = static_cast<std::uint8_t>(byte(generator_));
    }
    return noise;
}

}  // namespace dravolin
