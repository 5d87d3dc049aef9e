#include <gtest/gtest.h>
#include <termios.h>

#include <cstring>
#include <string>
#include <tuple>

#include "serial/serial_link_fixture.h"
#include "ui/port_settings.h"

namespace dravolin {
namespace {

speed_t speedConstant(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B57600;
    }
}

class LineSettings : public SerialLinkTest,
                     public ::testing::WithParamInterface<std::tuple<int, char, int>> {};

TEST_P(LineSettings, ReachTheDeviceAsRawEightBitLineWithoutFlowControl) {
    const auto [baud, parity, stopBits] = GetParam();
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, baud, parity, stopBits), 1);
    EXPECT_TRUE(presenter.warnings().empty());

    // What the device took, read back. A pseudo-terminal keeps everything but the parity
    // enable bit and the character size, which it always reports as 8 bits, no parity.
    termios line{};
    ASSERT_EQ(tcgetattr(probe().portFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), speedConstant(baud));
    EXPECT_EQ(cfgetispeed(&line), speedConstant(baud));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ((line.c_cflag & PARODD) != 0, parity == 'O');
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, stopBits == 2);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);

    // What was asked of it, for the bits a real serial device keeps as well.
    comm::LineState asked;
    ASSERT_TRUE(comm::buildLineState(settingsStringFor(baud, parity, 8, stopBits), asked));
    EXPECT_EQ(asked.baud, baud);
    EXPECT_EQ(asked.settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ((asked.settings.c_cflag & PARENB) != 0, parity != 'N');
    EXPECT_EQ((asked.settings.c_cflag & PARODD) != 0, parity == 'O');
    EXPECT_EQ((asked.settings.c_cflag & CSTOPB) != 0, stopBits == 2);
}

INSTANTIATE_TEST_SUITE_P(OfferedSettings, LineSettings,
                         ::testing::Combine(::testing::Values(9600, 19200, 38400, 57600),
                                            ::testing::Values('O', 'E', 'N'),
                                            ::testing::Values(1, 2)));

TEST_F(SerialLinkTest, UnparsableSettingsShowOneWarningAndLeaveThePortOpen) {
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, 9600, 'X', 1), 1);
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].caption, "Application Error");
    EXPECT_EQ(presenter.warnings()[0].text, expectedWarning("BuildCommDCB()", EINVAL));

    // Still open and working, with the line as it was (canonical: a line at a time).
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("ok\n"));
    EXPECT_TRUE(waitUntil([&] { return owner.bytes.size() >= 3; }));
    EXPECT_EQ(owner.bytes, "ok\n");
    EXPECT_EQ(presenter.warnings().size(), 1u);
}

TEST_F(SerialLinkTest, ASpeedWithoutLineConstantShowsOneSetCommStateWarning) {
    EXPECT_EQ(openLink(EV_RXCHAR | EV_CTS, 12345), 1);
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].text, expectedWarning("SetCommState()", EINVAL));
}

TEST_F(SerialLinkTest, NoDeviceReturnsZeroShowsNothingAndLeavesTheLockFree) {
    PortMap map;
    map.map(kPort, "/nonexistent/dravolin-tty");
    port->setPortMap(map);
    EXPECT_EQ(openLink(), 0);
    EXPECT_TRUE(presenter.warnings().empty());
    EXPECT_EQ(port->lastOpenFailure(),
              std::string("/nonexistent/dravolin-tty: ") + std::strerror(ENOENT));
    EXPECT_TRUE(probe().portLockIsFree());

    // Its monitor thread touches no port: a requested write is dropped without a box.
    ASSERT_TRUE(startMonitoring());
    requestWrite(bytesOf("frame"));
    // Back at the top of its loop after the write request (a box would have held it up).
    PortOpening& opening = probe().opening();
    EXPECT_TRUE(
        waitUntil([&] { return !opening.writeEvent().isSet() && opening.loopPasses() >= 2; }));
    EXPECT_TRUE(presenter.warnings().empty());
    EXPECT_TRUE(owner.messages.empty());
    port->closePort();
}

TEST_F(SerialLinkTest, ADeviceInUseIsRefusedUntilItsLinkIsClosed) {
    ASSERT_EQ(openLink(), 1);
    EXPECT_TRUE(port->lastOpenFailure().empty());
    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    RecordingOwner otherOwner;
    EXPECT_EQ(other.openPort(&otherOwner, kPort, 9600, 'E', 8, 1, 9, 512, 1), 0);
    EXPECT_EQ(other.lastOpenFailure(), pty.devicePath() + ": " + std::strerror(EBUSY));

    ASSERT_TRUE(startMonitoring());
    port->closePort();
    EXPECT_EQ(other.openPort(&otherOwner, kPort, 9600, 'E', 8, 1, 9, 512, 1), 1);
    EXPECT_TRUE(presenter.warnings().empty());
    other.closePort();
}

TEST_F(SerialLinkTest, OpeningTwiceWithoutClosingReopensTheDeviceForTheNewOpeningAlone) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_EQ(openLink(), 1);
    EXPECT_TRUE(presenter.warnings().empty());
    ASSERT_TRUE(startMonitoring());
    EXPECT_TRUE(sleepUntil([] { return SerialPortProbe::runningMonitorThreads() == 1; }));

    ASSERT_TRUE(pty.send("A"));
    EXPECT_TRUE(waitUntil([&] { return !owner.bytes.empty(); }));
    pumpEvents(50);
    EXPECT_EQ(owner.messageValues(), (std::vector<unsigned>{MSG_CTS, MSG_RX_CHAR}));
    EXPECT_EQ(owner.bytes, "A");
    port->closePort();
}

TEST(SerialWarningText, KeepsLongTextsWholeAndShowsTheNumberOfAnUnknownCode) {
    const std::string longName(300, 'x');
    const std::string text = PortOpening::warningText(longName, 98765, 4);
    EXPECT_EQ(text, "WARNING:  " + longName +
                        " Failed with the following error: \nError 98765\nPort: 4\n");
}

TEST(SerialPortLifetime, DestroyingAPortThatWasNeverOpenedEndsAtOnce) {
    RecordingPresenter presenter;
    auto port = std::make_unique<SerialPort>(presenter);
    EXPECT_FALSE(port->startMonitoring());
    port->closePort();
    port.reset();
    EXPECT_EQ(SerialPortProbe::runningMonitorThreads(), 0);
}

}  // namespace
}  // namespace dravolin
