#include "sim/line_mismatch.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

termios pcLine(speed_t speed, tcflag_t parityFlags, bool twoStopBits) {
    termios settings{};
    cfmakeraw(&settings);
    cfsetospeed(&settings, speed);
    cfsetispeed(&settings, speed);
    settings.c_cflag |= parityFlags | (twoStopBits ? CSTOPB : 0);
    return settings;
}

TEST(LineMismatchTest, OnlyTheSameSpeedParityAndStopBitsMatch) {
    const LinePace programmer{19200, 'O', 2};
    EXPECT_TRUE(lineMatches(pcLine(B19200, PARENB | PARODD, true), programmer));
    EXPECT_FALSE(lineMatches(pcLine(B9600, PARENB | PARODD, true), programmer));
    EXPECT_FALSE(lineMatches(pcLine(B19200, PARENB, true), programmer));
    EXPECT_FALSE(lineMatches(pcLine(B19200, 0, true), programmer));
    // The pseudo-terminal drops PARENB, so odd parity is told by PARODD alone.
    EXPECT_TRUE(lineMatches(pcLine(B19200, PARODD, true), programmer));
    EXPECT_FALSE(lineMatches(pcLine(B19200, PARODD, true), LinePace{19200, 'E', 2}));
    EXPECT_FALSE(lineMatches(pcLine(B19200, PARENB | PARODD, false), programmer));
    EXPECT_TRUE(lineMatches(pcLine(B57600, 0, false), LinePace{57600, 'N', 1}));
    // A rate no terminal setting stands for never matches.
    EXPECT_FALSE(lineMatches(pcLine(B9600, PARENB, false), LinePace{9601, 'E', 1}));
}

}  // namespace
}  // namespace dravolin
