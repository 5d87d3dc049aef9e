#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "serial/port_lock.h"
#include "serial/serial_link_fixture.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

std::string lockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// The serial link over a pseudo-terminal, with its lock files in a folder of the test's own.
class PortSharing : public SerialLinkTest {
protected:
    void SetUp() override {
        SerialLinkTest::SetUp();
        port->setLockFolder(locks.path().string());
    }

    std::string lockName() const { return PortLock::lockFileName(pty.devicePath()); }
    void mapTo(const std::string& path) {
        PortMap map;
        map.map(kPort, path);
        port->setPortMap(map);
    }

    TestFolder locks;
};

TEST_F(PortSharing, OurLockIsHeldWhileThePortIsOpenAndGoesOnEveryWayOut) {
    ASSERT_EQ(openLink(), 1);
    EXPECT_EQ(locks.read(lockName()), lockText(::getpid()));
    ASSERT_TRUE(startMonitoring());
    port->closePort();
    EXPECT_FALSE(locks.holds(lockName()));

    // A port that fails to open leaves no lock behind.
    mapTo((locks.path() / "ttyGone").string());
    EXPECT_EQ(openLink(), 0);
    EXPECT_EQ(locks.listing(), "");

    // Ending the program with the port open.
    mapTo(pty.devicePath());
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(locks.holds(lockName()));
    port.reset();
    EXPECT_EQ(locks.listing(), "");
    EXPECT_TRUE(port == nullptr);
}

TEST_F(PortSharing, WithoutALockFolderThePortIsUsedAndTheHolderFoundAmongOpenFiles) {
    port->setLockFolder((locks.path() / "missing").string());
    ASSERT_EQ(openLink(), 1);
    EXPECT_NE(port->lockNotice().find("without a lock file"), std::string::npos);
    EXPECT_NE(port->lockNotice().find(pty.devicePath()), std::string::npos);

    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    other.setLockFolder((locks.path() / "missing").string());
    EXPECT_EQ(other.openPort(this, kPort, 9600, 'E', 8, 1, 9, 512, 1), 0);
    EXPECT_EQ(other.lastOpenFailure(), pty.devicePath() + " is busy: in use by " +
                                           thisProgramsName() + " (pid " +
                                           std::to_string(::getpid()) + ")");
    port->closePort();
}

TEST_F(PortSharing, EachCauseOfAFailedOpeningIsSaid) {
    const std::string missing = (locks.path() / "ttyUSB9").string();
    mapTo(missing);
    EXPECT_EQ(openLink(), 0);
    EXPECT_EQ(port->lastOpenFailure(), missing + " does not exist: is the adapter plugged in?");

    const fs::path plain = locks.write("not-a-tty", "");
    mapTo(plain.string());
    EXPECT_EQ(openLink(), 0);
    EXPECT_EQ(port->lastOpenFailure(), plain.string() + " is not a serial device");

    mapTo("");
    EXPECT_EQ(openLink(), 0);
    EXPECT_EQ(port->lastOpenFailure(), "no device stands for this port");
    EXPECT_TRUE(presenter.warnings().empty());
}

TEST_F(PortSharing, PermissionDeniedNamesTheGroupThatOwnsTheDevice) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may open any file, so there is no permission to be refused";
    }
    const fs::path refused = locks.write("ttyRefused", "");
    fs::permissions(refused, fs::perms::none);
    mapTo(refused.string());
    EXPECT_EQ(openLink(), 0);
    struct stat info {};
    ASSERT_EQ(::stat(refused.c_str(), &info), 0);
    const std::string cause = port->lastOpenFailure();
    EXPECT_TRUE(cause.starts_with("permission denied on " + refused.string() + " (group "))
        << cause;
    EXPECT_EQ(locks.listing(), "ttyRefused");
}

}  // namespace
}  // namespace dravolin
