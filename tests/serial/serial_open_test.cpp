#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "core/port_settings.h"
#include "serial/port_lock.h"
#include "serial/serial_link_fixture.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

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

// ---- sharing the device

// The serial link with its lock files in a folder of the test's own, named in DRAVOLIN_LOCK_DIR.
class PortSharing : public SerialLinkTest {
protected:
    void SetUp() override {
        SerialLinkTest::SetUp();
        useLockFolder(locks.path());
    }
    void TearDown() override {
        SerialLinkTest::TearDown();
        ::setenv("DRAVOLIN_LOCK_DIR", lockFolderBefore_.c_str(), 1);
    }

    void useLockFolder(const fs::path& folder) { ::setenv("DRAVOLIN_LOCK_DIR", folder.c_str(), 1); }

    // Named for the device itself, however the port reaches it.
    std::string lockName() const { return "LCK..pts_" + pty.devicePath().substr(9); }
    void mapTo(const std::string& path) {
        PortMap map;
        map.map(kPort, path);
        port->setPortMap(map);
    }

    TestFolder locks;

private:
    const std::string lockFolderBefore_ = PortLock::defaultFolder();
};

TEST_F(PortSharing,
       OurLockIsHeldWhileThePortIsOpenGoesOnEveryWayOutAndAFailedOpeningSaysWhyAndLeavesNothing) {
    ASSERT_TRUE(pty.devicePath().starts_with("/dev/pts/"));
    TestFolder devices;
    fs::create_symlink(pty.devicePath(), devices.path() / "stable-name");
    mapTo((devices.path() / "stable-name").string());
    ASSERT_EQ(openLink(), 1);
    EXPECT_NE(locks.read(lockName()).find(std::to_string(::getpid())), std::string::npos);
    ASSERT_TRUE(startMonitoring());
    port->closePort();
    EXPECT_FALSE(locks.holds(lockName()));

    // A failed opening says why, leaves no lock, shows nothing and drops what it is to write.
    const std::string missing = (devices.path() / "ttyUSB9").string();
    const std::string plain = devices.write("not-a-tty", "").string();
    const std::pair<std::string, std::string> failures[] = {
        {missing, missing + " does not exist: is the adapter plugged in?"},
        {plain, plain + " is not a serial device"},
        {"", "no device stands for this port"}};
    for (const auto& [path, cause] : failures) {
        mapTo(path);
        EXPECT_EQ(openLink(), 0);
        EXPECT_EQ(openFailureOf(*port), cause);
    }
    // Permission denied names the group that owns the device (root may open any file).
    if (::geteuid() != 0) {
        const fs::path refused = devices.write("ttyRefused", "");
        fs::permissions(refused, fs::perms::none);
        mapTo(refused.string());
        EXPECT_EQ(openLink(), 0);
        const std::string cause = openFailureOf(*port);
        EXPECT_TRUE(cause.starts_with("permission denied on " + refused.string() + " (group "))
            << cause;
    }
    EXPECT_EQ(locks.listing(), "");
    EXPECT_TRUE(port->startMonitoring());
    EXPECT_TRUE(presenter.warnings().empty());
    requestWrite("lost");
    port->closePort();

    // Ending the program with the port open.
    mapTo(pty.devicePath());
    ASSERT_EQ(openLink(EV_RXCHAR), 1);
    ASSERT_TRUE(locks.holds(lockName()));
    ASSERT_TRUE(startMonitoring());
    requestWrite("DD");
    EXPECT_EQ(pty.receive(2, 10000), "DD");
    EXPECT_TRUE(openFailureOf(*port).empty());
    port.reset();
    EXPECT_EQ(locks.listing(), "");
}

TEST_F(PortSharing, WithoutALockFolderThePortIsUsedAndTheHolderFoundAmongOpenFiles) {
    useLockFolder(locks.path() / "missing");
    ASSERT_EQ(openLink(), 1);
    EXPECT_NE(port->lockNotice().find(pty.devicePath()), std::string::npos);
    EXPECT_NE(port->lockNotice().find((locks.path() / "missing").string()), std::string::npos)
        << port->lockNotice();

    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    EXPECT_EQ(other.openPort(this, kPort, 9600, 'E', 8, 1, 9, 512, 1), 0);
    EXPECT_EQ(openFailureOf(other), pty.devicePath() + " is busy: in use by " + thisProgramsName() +
                                        " (pid " + std::to_string(::getpid()) + ")");
    port->closePort();
}

}  // namespace
}  // namespace dravolin
