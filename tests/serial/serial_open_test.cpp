#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <utility>

#include "core/port_settings.h"
#include "serial/serial_link_fixture.h"

namespace dravolin {
namespace {

using Speed = std::pair<int, speed_t>;

class LineSettings : public SerialLinkTest,
                     public ::testing::WithParamInterface<std::tuple<Speed, char, int>> {};

TEST_P(LineSettings, ReachTheDeviceAsRawEightBitLineWithoutFlowControl) {
    const auto [speed, parity, stopBits] = GetParam();
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, speed.first, parity, stopBits), 1);
    EXPECT_TRUE(presenter.warnings().empty());

    // What the device took; a pseudo-terminal reports no parity enable bit and 8 bits always.
    termios line{};
    ASSERT_TRUE(pty.lineSettings(line));
    EXPECT_EQ(cfgetospeed(&line), speed.second);
    EXPECT_EQ(cfgetispeed(&line), speed.second);
    EXPECT_EQ((line.c_cflag & PARODD) != 0, parity == 'O');
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, stopBits == 2);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY), 0u);
    // Input errors are checked and marked, whatever the port had before.
    EXPECT_EQ(line.c_iflag & (INPCK | PARMRK), static_cast<tcflag_t>(INPCK | PARMRK));
    EXPECT_EQ(line.c_iflag & (IGNPAR | ISTRIP | IGNBRK), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);

    // What was asked of it, for those two.
    comm::LineState asked;
    ASSERT_TRUE(comm::buildLineState(settingsStringFor(speed.first, parity, 8, stopBits), asked));
    EXPECT_EQ(asked.settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ((asked.settings.c_cflag & PARENB) != 0, parity != 'N');
}

INSTANTIATE_TEST_SUITE_P(
    OfferedSettings, LineSettings,
    ::testing::Combine(::testing::Values(Speed{9600, B9600}, Speed{19200, B19200},
                                         Speed{38400, B38400}, Speed{57600, B57600}),
                       ::testing::Values('O', 'E', 'N'), ::testing::Values(1, 2)));

// A parity the settings string cannot carry fails as it is read; a speed the line has no
// setting for, as it is applied.
TEST_F(SerialLinkTest, RefusedSettingsShowOneWarningAndLeaveThePortOpen) {
    const std::tuple<char, int, const char*> refused[] = {{'X', 9600, "BuildCommDCB()"},
                                                          {'E', 12345, "SetCommState()"}};
    for (const auto& [parity, baud, call] : refused) {
        const std::size_t shown = presenter.warnings().size();
        ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, baud, parity, 1), 1);
        ASSERT_EQ(presenter.warnings().size(), shown + 1);
        const auto& warning = presenter.warnings().back();
        EXPECT_EQ(warning.caption, "Application Error");
        EXPECT_EQ(warning.text, expectedWarning(call, EINVAL));
        EXPECT_TRUE(device().isOpen());
        port->closePort();
    }
}

// ---- closing

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST_F(SerialLinkTest, ClosingPutsBackTheSettingsTheDeviceHadEvenDuringAWriteItDoesNotTake) {
    // Settings of the kind a terminal program leaves behind: nothing like the raw line.
    termios terminal{};
    ASSERT_TRUE(pty.lineSettings(terminal));
    terminal.c_lflag |= ICANON | ECHO | ISIG;
    terminal.c_iflag |= ICRNL | IXON;
    terminal.c_oflag |= OPOST | ONLCR;
    terminal.c_cc[VMIN] = 7;
    terminal.c_cc[VTIME] = 3;
    cfsetispeed(&terminal, B2400);
    cfsetospeed(&terminal, B2400);
    ASSERT_TRUE(pty.setLineSettings(terminal));
    termios before{};
    ASSERT_TRUE(pty.lineSettings(before));

    ASSERT_TRUE(openAndMonitor());
    termios during{};
    ASSERT_TRUE(pty.lineSettings(during));
    EXPECT_FALSE(sameSettings(during, before));
    requestWrite(std::string(1 << 20, 'U'));  // far more than the line holds: it stays pending
    ASSERT_TRUE(sleepUntil([&] { return device().writes() == 1; }));
    port->closePort();
    termios after{};
    ASSERT_TRUE(pty.lineSettings(after));
    EXPECT_TRUE(sameSettings(after, before));
    // Another program can take the device at once, while our write is still being abandoned.
    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    EXPECT_EQ(other.openPort(this, kPort, 9600, 'E', 8, 1, 9, 512, 1), 1);
    other.closePort();
}

}  // namespace
}  // namespace dravolin
