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

    // What the device took, read back. A pseudo-terminal keeps everything but the parity
    // enable bit and the character size, which it always reports as 8 bits, no parity.
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

    // What was asked of it, for the bits the pseudo-terminal does not keep.
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

TEST_F(SerialLinkTest, RefusedSettingsShowOneWarningAndLeaveThePortOpen) {
    // A parity the settings string cannot carry fails while it is read; a speed the line
    // has no setting for fails when it is applied.
    const std::pair<char, int> refused[] = {{'X', 9600}, {'E', 12345}};
    const char* calls[] = {"BuildCommDCB()", "SetCommState()"};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, refused[i].second, refused[i].first, 1), 1);
        ASSERT_EQ(presenter.warnings().size(), static_cast<std::size_t>(i + 1));
        const auto& warning = presenter.warnings().back();
        EXPECT_EQ(warning.caption, "Application Error");
        EXPECT_EQ(warning.text, expectedWarning(calls[i], EINVAL));
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

// Settings of the kind a terminal program leaves behind: nothing like the raw line.
termios settingsOfAnotherProgram(const PtyPair& pty) {
    termios settings{};
    EXPECT_TRUE(pty.lineSettings(settings));
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_iflag |= ICRNL | IXON;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_cc[VMIN] = 7;
    settings.c_cc[VTIME] = 3;
    cfsetispeed(&settings, B2400);
    cfsetospeed(&settings, B2400);
    return settings;
}

TEST_F(SerialLinkTest, ClosingPutsBackTheSettingsTheDeviceHadEvenDuringAWriteItDoesNotTake) {
    ASSERT_TRUE(pty.setLineSettings(settingsOfAnotherProgram(pty)));
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
